#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/user_messages.h"

namespace quorvel {

// The messages a test would have seen in boxes; questions are answered No and every chooser
// is cancelled.
class CRecordingMessages : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, const std::string&) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(text);
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseOpenFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseFolder(const std::string&, const std::string&, std::string*) override { return false; }
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
  }
  // Forgets the messages shown so far.
  void Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
  }
  // Every message, one a line (for failure reports).
  std::string All() {
    std::string text;
    for (const std::string& message : Messages()) text += message + "\n";
    return text;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_messages;
};

}  // namespace quorvel
