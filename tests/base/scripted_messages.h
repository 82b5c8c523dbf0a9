#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "tests/base/recording_messages.h"

namespace quorvel {

// The messages and questions a test would have seen in boxes, with the answers it scripted:
// each question takes the next scripted answer (No when none is left).
class CScriptedMessages : public CRecordingMessages {
 public:
  void AnswerNext(bool yes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(yes);
  }
  bool AskYesNo(const std::string& text, const std::string&) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_questions.push_back(text);
    if (m_answers.empty()) return false;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
  }
  // The next file or folder chooser answers path; an empty path cancels it.
  void ChooseNext(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files.push_back(path);
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
  // Each chooser shown: its start folder and default extension (a folder chooser: its
  // caption), "folder|extension".
  std::vector<std::string> Choosers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_choosers;
  }
  std::vector<std::string> Questions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_questions;
  }
  // The captions the messages were shown with, in order.
  void ShowMessage(const std::string& text, const std::string& caption) override {
    CRecordingMessages::ShowMessage(text, caption);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_captions.push_back(caption);
  }
  std::vector<std::string> Captions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_captions;
  }

 private:
  bool Choose(const std::string& folder, const std::string& extension, std::string* path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_choosers.push_back(folder + "|" + extension);
    if (m_files.empty() || m_files.front().empty()) {
      if (!m_files.empty()) m_files.pop_front();
      return false;
    }
    *path = m_files.front();
    m_files.pop_front();
    return true;
  }

  std::mutex m_mutex;
  std::deque<bool> m_answers;
  std::deque<std::string> m_files;
  std::vector<std::string> m_choosers;
  std::vector<std::string> m_questions;
  std::vector<std::string> m_captions;
};

}  // namespace quorvel
