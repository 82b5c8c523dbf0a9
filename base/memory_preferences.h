#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/preferences.h"

namespace quorvel {

// Preferences kept in memory for one run: quorvel-cli (which leaves the window's stored
// preferences alone) and the tests. It also counts the writes of each value, for tests.
class CMemoryPreferences : public IPreferences {
 public:
  // The stored text of `name` as it is, empty when none is stored (no default is stored).
  std::string StoredText(const char* name) const;
  // How many times `name` has been written (by a write, or by a read that stored a default).
  int WriteCount(const char* name) const;

 protected:
  bool LoadText(const char* name, std::string* value) override;
  void StoreText(const char* name, const std::string& value) override;
  bool LoadInt(const char* name, int32_t* value) override;
  void StoreInt(const char* name, int32_t value) override;

 private:
  std::map<std::string, std::string> m_texts;
  std::map<std::string, int32_t> m_numbers;
  std::map<std::string, int> m_writes;
};

}  // namespace quorvel
