#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "base/user_messages.h"

namespace quorvel {

// The window's messages: modal message boxes with an OK button, Yes/No questions, and the
// file and folder choosers of the desktop, owned by the main window once it exists.
class CQtUserMessages : public IUserMessages {
 public:
  // The window the boxes belong to (null: none, as for the fatal start-up messages). While it is
  // hidden (a window that says why it will not show), they open over the window it belongs to.
  void SetOwner(QWidget* owner) { m_owner = owner; }

  void ShowMessage(const std::string& text, const std::string& caption = "") override;
  bool AskYesNo(const std::string& text, const std::string& caption = "") override;
  bool ChooseSaveFile(const std::string& startFolder, const std::string& defaultExtension,
                      std::string* path) override;
  bool ChooseOpenFile(const std::string& startFolder, const std::string& defaultExtension,
                      std::string* path) override;
  bool ChooseFolder(const std::string& startFolder, const std::string& caption,
                    std::string* path) override;

 private:
  [[nodiscard]] QWidget* Owner() const;

  QPointer<QWidget> m_owner;
};

// The desktop's boxes and choosers over window (a CQtUserMessages it owns), for the windows the
// main window opens (CQuorvelDlg::SetWindowMessages).
[[nodiscard]] std::unique_ptr<IUserMessages> BoxesOver(QWidget* window);

}  // namespace quorvel
