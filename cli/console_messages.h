#pragma once

#include "base/user_messages.h"

namespace quorvel {

// Messages of quorvel-cli: printed on stderr. There is nobody to answer questions or choose
// files, so a question is answered No and a file or folder chooser is cancelled; the commands take
// their paths from the command line instead.
//
// It also prints the progress of a measurement on stderr: on a terminal one line that rewrites
// itself, into a pipe or a file a plain line each time (the caller says how often). A message
// starts on a line of its own.
class CConsoleMessages : public IUserMessages {
 public:
  CConsoleMessages();

  // Shows `text` as the progress. On a terminal it replaces the line shown before; elsewhere
  // it is printed as a line of its own.
  void ShowProgress(const std::string& text);
  // Ends the progress line on a terminal, so what follows starts on a line of its own.
  void EndProgress();
  // Whether the progress goes to a terminal (and rewrites itself).
  bool ProgressOnTerminal() const { return m_terminal; }

  void ShowMessage(const std::string& text, const std::string& caption = "") override;
  bool AskYesNo(const std::string& text, const std::string& caption = "") override;
  bool ChooseSaveFile(const std::string& startFolder, const std::string& defaultExtension,
                      std::string* path) override;
  bool ChooseOpenFile(const std::string& startFolder, const std::string& defaultExtension,
                      std::string* path) override;
  bool ChooseFolder(const std::string& startFolder, const std::string& caption,
                    std::string* path) override;

  // The last message shown (empty when none).
  const std::string& LastMessage() const { return m_last; }

 private:
  std::string m_last;
  bool m_terminal = false;
  bool m_lineOpen = false;  // a progress line on the terminal has no line break yet
};

}  // namespace quorvel
