#include "control/workbench/workbench_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "measurement/session_store.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// The list's rules: each change is on disk at once (session.json opened afresh equals the list),
// and removals take what was derived from the removed trace with them.
using Change = Result<void> (*)(CWorkbenchList&);
struct ListCase {
  const char* what;
  Change change;
  bool accepted;
  const char* ids;  // the measurements, then "|" and the derived traces, after the change
};

TEST(WorkbenchList, EachChangeIsOnDiskAndKeepsRecipesSound) {
  const std::vector<ListCase> cases = {
      {"rename", [](CWorkbenchList& l) { return l.Rename("m2", "L"); }, true, "m1 m2 m3 | d1 d2"},
      {"hide", [](CWorkbenchList& l) { return l.SetShown("d1", false); }, true, "m1 m2 m3 | d1 d2"},
      {"down", [](CWorkbenchList& l) { return l.Move("m1", 1); }, true, "m2 m1 m3 | d1 d2"},
      {"past the top", [](CWorkbenchList& l) { return l.Move("m1", -1); }, false,
       "m1 m2 m3 | d1 d2"},
      {"before a source", [](CWorkbenchList& l) { return l.Move("d2", -1); }, false,
       "m1 m2 m3 | d1 d2"},
      {"source of both", [](CWorkbenchList& l) { return l.Remove("m1"); }, true, "m2 m3 |"},
      {"source of one", [](CWorkbenchList& l) { return l.Remove("m3"); }, true, "m1 m2 | d1"},
      {"difference of three",
       [](CWorkbenchList& l) {
         return AddedAndWritten(l.AddDerived(DerivedKind::kDifference, {"m1", "m2", "m3"}, "x"));
       },
       false, "m1 m2 m3 | d1 d2"},
      {"unknown id", [](CWorkbenchList& l) { return l.SetNote("m9", "n"); }, false,
       "m1 m2 m3 | d1 d2"},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = fs::path(testing::TempDir()) / "workbench list";
    fs::remove_all(folder);
    fs::create_directories(folder);
    CWorkbenchList list(folder.string());
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
      const AddedTrace added = list.Add((folder / name).string(), name, 1765380612);
      ASSERT_TRUE(added.written) << added.written.Message();
    }
    ASSERT_TRUE(AddedAndWritten(list.AddDerived(DerivedKind::kAveragePower, {"m1", "m2"}, "Mean")));
    ASSERT_TRUE(AddedAndWritten(list.AddDerived(DerivedKind::kDifference, {"d1", "m3"}, "Diff")));
    EXPECT_NE(list.Document().entries[0].look.colour, list.Document().entries[1].look.colour);

    const Result<void> changed = c.change(list);
    EXPECT_EQ(changed.Ok(), c.accepted) << changed.Message();
    std::string ids;
    for (const SessionEntry& e : list.Document().entries) ids += e.id + " ";
    ids += "|";
    for (const DerivedTrace& d : list.Document().derived) ids += " " + d.id;
    EXPECT_EQ(ids, c.ids);
    CWorkbenchList reopened("");
    std::vector<std::string> problems;  // the captures were never written here
    ASSERT_TRUE(reopened.Open(folder.string(), &problems));
    EXPECT_EQ(reopened.Document(), list.Document());
  }
}

// A measurement added while session.json cannot be written is in the list all the same, with its
// id, and the next change that can write puts it on disk.
TEST(WorkbenchList, AnAdditionNotWrittenStaysInTheListUntilTheNextChange) {
  const fs::path folder = fs::path(testing::TempDir()) / "workbench list unwritten";
  fs::remove_all(folder);
  fs::create_directories(folder / "session.json");  // a folder where the file goes
  CWorkbenchList list(folder.string());
  const AddedTrace added = list.Add((folder / "a.wav").string(), "a", 1765380612);
  EXPECT_FALSE(added.written);
  EXPECT_NE(added.written.Message().find("session.json"), std::string::npos)
      << added.written.Message();
  EXPECT_EQ(AddedAndWritten(added).Message(), added.written.Message());
  ASSERT_EQ(list.Document().entries.size(), 1u);
  EXPECT_EQ(list.Document().entries[0].id, added.id);
  fs::remove(folder / "session.json");
  ASSERT_TRUE(list.Rename(added.id, "b"));
  CWorkbenchList reopened("");
  std::vector<std::string> problems;
  ASSERT_TRUE(reopened.Open(folder.string(), &problems));
  EXPECT_EQ(reopened.Document(), list.Document());
}

}  // namespace
}  // namespace quorvel
