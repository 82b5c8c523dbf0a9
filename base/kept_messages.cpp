#include "base/kept_messages.h"

namespace quorvel {

void CKeptMessages::ShowMessage(const std::string& text, const std::string& caption) {
  m_kept.push_back({text, caption});
}

bool CKeptMessages::AskYesNo(const std::string&, const std::string&) {
  return false;
}

bool CKeptMessages::ChooseSaveFile(const std::string&, const std::string&, std::string*) {
  return false;
}

bool CKeptMessages::ChooseOpenFile(const std::string&, const std::string&, std::string*) {
  return false;
}

bool CKeptMessages::ChooseFolder(const std::string&, const std::string&, std::string*) {
  return false;
}

std::string CKeptMessages::FirstText() const {
  return m_kept.empty() ? std::string() : m_kept.front().text;
}

std::string CKeptMessages::FirstWords() const {
  std::string words;
  if (m_kept.empty()) return words;
  for (const char c : m_kept.front().text) words.push_back(c == '\n' ? ' ' : c);
  return words;
}

void CKeptMessages::ShowTo(IUserMessages& to) const {
  for (const Message& message : m_kept) to.ShowMessage(message.text, message.caption);
}

}  // namespace quorvel
