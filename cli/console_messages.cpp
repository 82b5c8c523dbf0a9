#include "cli/console_messages.h"

#include <unistd.h>

#include <cstdio>

namespace quorvel {

CConsoleMessages::CConsoleMessages() : m_terminal(isatty(STDERR_FILENO) == 1) {}

void CConsoleMessages::ShowProgress(const std::string& text) {
  if (m_terminal) {
    // Padded, so a shorter text covers a longer one before it.
    std::fprintf(stderr, "\r%-48s", text.c_str());
    m_lineOpen = true;
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  std::fflush(stderr);
}

void CConsoleMessages::EndProgress() {
  if (!m_lineOpen) return;
  std::fprintf(stderr, "\n");
  m_lineOpen = false;
}

void CConsoleMessages::ShowMessage(const std::string& text, const std::string& caption) {
  EndProgress();
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
