// The kept messages: every one in order, the first's words for a summary, passed on whole.
#include "base/kept_messages.h"

#include <gtest/gtest.h>

#include "tests/base/scripted_messages.h"

namespace quorvel {
namespace {

TEST(KeptMessages, KeepsEveryMessageInOrderAndAsksNothing) {
  CKeptMessages kept;
  EXPECT_EQ(kept.FirstWords(), "");
  kept.ShowMessage("Could not load the file.\nIt is not a capture", "Load");
  kept.ShowMessage("second");
  EXPECT_EQ(kept.FirstText(), "Could not load the file.\nIt is not a capture");
  EXPECT_EQ(kept.FirstWords(), "Could not load the file. It is not a capture");
  EXPECT_FALSE(kept.AskYesNo("Replace?"));
  std::string path = "untouched";
  EXPECT_FALSE(kept.ChooseSaveFile("", "wav", &path));
  EXPECT_EQ(path, "untouched");
  CScriptedMessages shown;
  kept.ShowTo(shown);
  EXPECT_EQ(shown.Messages(), (std::vector<std::string>{kept.FirstText(), "second"}));
  EXPECT_EQ(shown.Captions(), (std::vector<std::string>{"Load", ""}));
}

}  // namespace
}  // namespace quorvel
