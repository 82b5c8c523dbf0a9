#include "cli/console_messages.h"

#include <cstdio>

namespace quorvel {

void CConsoleMessages::ShowMessage(const std::string& text, const std::string& caption) {
  m_last = text;
  if (caption.empty()) {
    std::fprintf(stderr, "%s\n", text.c_str());
  } else {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
}

bool CConsoleMessages::AskYesNo(const std::string& text, const std::string& caption) {
  std::string shown = text;
  shown += " (answered No)";
  ShowMessage(shown, caption);
  return false;
}

bool CConsoleMessages::ChooseSaveFile(const std::string&, const std::string&, std::string*) {
  return false;
}

bool CConsoleMessages::ChooseOpenFile(const std::string&, const std::string&, std::string*) {
  return false;
}

bool CConsoleMessages::ChooseFolder(const std::string&, const std::string&, std::string*) {
  return false;
}

}  // namespace quorvel
