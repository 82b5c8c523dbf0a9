#pragma once

#include "base/user_messages.h"

namespace quorvel {

// Messages of quorvel-cli: printed on stderr. There is nobody to answer questions or choose
// files, so a question is answered No and a file or folder chooser is cancelled; the commands take
// their paths from the command line instead.
class CConsoleMessages : public IUserMessages {
 public:
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
};

}  // namespace quorvel
