#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/user_messages.h"

namespace quorvel {

// Messages kept instead of shown: what a piece of work would have told the user, for the caller
// to show as one summary or to pass on later, in order. Every question and chooser answers No
// (cancelled): work that keeps its messages asks nothing. One thread at a time.
class CKeptMessages final : public IUserMessages {
 public:
  struct Message {
    std::string text;
    std::string caption;
  };

  void ShowMessage(const std::string& text, const std::string& caption = "") override;
  bool AskYesNo(const std::string& text, const std::string& caption = "") override;
  bool ChooseSaveFile(const std::string& startFolder, const std::string& defaultExtension,
                      std::string* path) override;
  bool ChooseOpenFile(const std::string& startFolder, const std::string& defaultExtension,
                      std::string* path) override;
  bool ChooseFolder(const std::string& startFolder, const std::string& caption,
                    std::string* path) override;

  [[nodiscard]] const std::vector<Message>& Kept() const { return m_kept; }
  [[nodiscard]] bool Empty() const { return m_kept.empty(); }
  // The first message's text; empty when none was kept.
  [[nodiscard]] std::string FirstText() const;
  // The first message's lines joined by spaces: the words a one-line summary needs.
  [[nodiscard]] std::string FirstWords() const;
  // Shows every message kept through `to`, in the order they came.
  void ShowTo(IUserMessages& to) const;

 private:
  std::vector<Message> m_kept;
};

}  // namespace quorvel
