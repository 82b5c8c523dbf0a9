#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "base/user_messages.h"

namespace quorvel {

// The one stand-in for the message boxes, questions and choosers in tests: it keeps what a user
// would have seen and answers as scripted. Each question takes the next scripted answer (No
// when none is left); each chooser the next scripted path (cancelled when none is left or the
// path is empty). Safe to call from any thread.
class CScriptedMessages : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, const std::string& caption) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(text);
    m_captions.push_back(caption);
  }
  bool AskYesNo(const std::string& text, const std::string&) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_questions.push_back(text);
    if (m_answers.empty()) return false;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
  }
  bool ChooseSaveFile(const std::string& folder, const std::string& extension,
                      std::string* path) override {
    return Choose(folder, extension, path);
  }
  bool ChooseOpenFile(const std::string& folder, const std::string& extension,
                      std::string* path) override {
    return Choose(folder, extension, path);
  }
  bool ChooseFolder(const std::string& folder, const std::string& caption,
                    std::string* path) override {
    return Choose(folder, caption, path);
  }

  // ---- the script ----
  void AnswerNext(bool yes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(yes);
  }
  // The next file or folder chooser answers path; an empty path cancels it.
  void ChooseNext(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files.push_back(path);
  }

  // ---- what was shown ----
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
  }
  // The captions the messages were shown with, in order.
  std::vector<std::string> Captions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_captions;
  }
  std::vector<std::string> Questions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_questions;
  }
  // Each chooser shown: its start folder and default extension (a folder chooser: its
  // caption), "folder|extension".
  std::vector<std::string> Choosers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_choosers;
  }
  // Forgets the messages shown so far.
  void Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
    m_captions.clear();
  }
  // Every message, one a line (for failure reports).
  std::string All() {
    std::string text;
    for (const std::string& message : Messages()) text += message + "\n";
    return text;
  }

 private:
  bool Choose(const std::string& folder, const std::string& extension, std::string* path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_choosers.push_back(folder + "|" + extension);
    if (m_files.empty()) return false;
    const std::string next = m_files.front();
    m_files.pop_front();
    if (next.empty()) return false;
    *path = next;
    return true;
  }

  std::mutex m_mutex;
  std::deque<bool> m_answers;
  std::deque<std::string> m_files;
  std::vector<std::string> m_messages;
  std::vector<std::string> m_captions;
  std::vector<std::string> m_questions;
  std::vector<std::string> m_choosers;
};

}  // namespace quorvel
