#pragma once

#include <QString>
#include <map>
#include <memory>
#include <string>

#include "base/preferences.h"

class QSettings;

namespace quorvel {

// CPreferences: the user's settings kept between runs in QSettings, organization and application
// as control/settings_file.h names them, group "Preferences": the registry key
// Software\Velkar\Quorvel\Preferences on Windows, the INI file SettingsFilePath of the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config) on Linux. Texts are stored
// whole as UTF-8 strings, the two slider positions as 32-bit integers, and every write is
// synced at once. A text that is not UTF-8 (a path of the file system may be any bytes) is
// stored as a byte array ("@ByteArray(...)"), and one written into the file by hand is read
// byte for byte and stored so at once, before any write could replace it. A file that cannot
// be written (or read) leaves the settings in memory: read from the file where it can be, every
// change kept for this run. The rules (defaults, blanks, lengths, "%lf" numbers) are
// IPreferences'. User-interface thread only.
class CPreferences : public IPreferences {
 public:
  static constexpr char kGroup[] = "Preferences";

  CPreferences();
  ~CPreferences() override;
  CPreferences(const CPreferences&) = delete;
  CPreferences& operator=(const CPreferences&) = delete;

  // Opens the store, creating its folder and group when missing. A file that cannot be parsed,
  // or of more than 1 MB, is kept aside beside it (KeptAside names it) and the store starts
  // empty. A file that cannot be written or read, or such a file that cannot be kept aside,
  // opens the store in memory (NotWritable says why). False when its path holds something other
  // than a regular file (a named pipe is never opened); until it is open every read gives the
  // default and nothing is stored.
  [[nodiscard]] bool OpenKeys();
  bool IsOpen() const { return m_settings != nullptr || m_memoryOnly; }
  // Where OpenKeys kept an unreadable file; empty when it kept none.
  const std::string& KeptAside() const { return m_keptAside; }
  // "PATH: reason" when the settings live in memory only; empty when they are stored.
  const std::string& NotWritable() const { return m_notWritable; }
  // Why OpenKeys failed, in words, when it knows more than that it failed; else empty.
  const std::string& Problem() const { return m_problem; }
  // The file the settings live in.
  [[nodiscard]] static QString FileName();

 protected:
  bool LoadText(const char* name, std::string* value) override;
  void StoreText(const char* name, const std::string& value) override;
  bool LoadInt(const char* name, int32_t* value) override;
  void StoreInt(const char* name, int32_t value) override;

 private:
  static QString Key(const char* name);
  // Hand-written texts that are not UTF-8, read again byte for byte from the file.
  void KeepBytesOfTexts(const std::string& path);

  std::unique_ptr<QSettings> m_settings;
  std::string m_keptAside;
  std::string m_problem;
  std::string m_notWritable;
  bool m_memoryOnly = false;  // nothing of the file is read: it could not be kept aside
  // what this run stored while the file cannot be written
  std::map<std::string, std::string> m_memoryTexts;
  std::map<std::string, int32_t> m_memoryInts;
};

}  // namespace quorvel
