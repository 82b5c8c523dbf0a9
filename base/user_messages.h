#pragma once

#include <string>

namespace quorvel {

// Every message box, Yes/No question and file or folder chooser goes through this interface:
// modal boxes in the window, the console in quorvel-cli, a scripted answerer in tests. No logic
// shows a modal box directly. Every call comes from the user-interface thread and may block
// until the user answers.
class IUserMessages {
 public:
  virtual ~IUserMessages() = default;

  // An OK box with the given text and caption (an empty caption means the program's name).
  virtual void ShowMessage(const std::string& text, const std::string& caption = "") = 0;

  // A Yes/No question; true for Yes.
  [[nodiscard]] virtual bool AskYesNo(const std::string& text, const std::string& caption = "") = 0;

  // A file chooser for saving or opening. startFolder may be empty; defaultExtension has no dot
  // ("wav", "png"). Returns false when the user cancels; otherwise the full path in *path.
  [[nodiscard]] virtual bool ChooseSaveFile(const std::string& startFolder,
                                            const std::string& defaultExtension,
                                            std::string* path) = 0;
  [[nodiscard]] virtual bool ChooseOpenFile(const std::string& startFolder,
                                            const std::string& defaultExtension,
                                            std::string* path) = 0;

  // A modal folder chooser (the chart folder browser) opening in startFolder (may be empty),
  // with caption as its title. Returns false when the user cancels; otherwise the chosen
  // folder in *path.
  [[nodiscard]] virtual bool ChooseFolder(const std::string& startFolder,
                                          const std::string& caption, std::string* path) = 0;
};

}  // namespace quorvel
