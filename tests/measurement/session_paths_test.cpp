// Where a session's files go: the folder of a new session, the names of its captures, and how
// session.json names them.
#include "measurement/session_paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/measurement/session_test_folder.h"

namespace quorvel {
namespace {

TEST(SessionPaths, ACaptureInsideTheFolderIsNamedRelativeOneOutsideAbsolute) {
  const struct {
    const char* folder;
    const char* capture;
    const char* stored;
  } cases[] = {
      {"/s/a", "/s/a/x.wav", "x.wav"},
      {"/s/a/", "/s/a/takes/x.wav", "takes/x.wav"},
      {"/s/a", "/s/a/./b/../x.wav", "x.wav"},
      {"/s/a", "/s/a/../a/y.wav", "y.wav"},
      {"/s/a", "/s/ab/x.wav", "/s/ab/x.wav"},  // a longer name, not a folder inside
      {"/s/a", "/s/x.wav", "/s/x.wav"},
      {"/s/a", "/s/a", "/s/a"},
      {"/", "/x.wav", "x.wav"},
      {"/s/\xff", "/s/\xff/\xfe.wav", "\xfe.wav"},
  };
  for (const auto& c : cases) {
    const std::string stored = StoredCapturePath(c.folder, c.capture);
    EXPECT_EQ(stored, c.stored) << c.folder << " " << c.capture;
    EXPECT_EQ(ResolveCapturePath(c.folder, stored), NormalPath(c.capture)) << c.capture;
  }
  EXPECT_EQ(ResolveCapturePath("/s/a", "../x.wav"), "/s/x.wav");
  EXPECT_EQ(ResolveCapturePath("/s/a", "/o//x.wav"), "/o/x.wav");
}

TEST(SessionPaths, ACaptureIsNamedForItsCaptionAndTimeAndNeverTakesAName) {
  const std::string folder = sessiontest::MakeFolder();
  const std::tm made{12, 30, 15, 10, 11, 126, 0, 0, 0, 0, nullptr};  // 2026-12-10 15:30:12
  const std::string longCaption(300, 'x');
  // The caption keeps what leaves room for the time, " (1000)" and ".wav": 255 - 18 - 7 - 4.
  std::string accents = "a", cut = "a";
  for (int i = 0; i < 150; ++i) accents += "é";
  for (int i = 0; i < 112; ++i) cut += "é";  // 225 bytes: the 226th would split a character
  const struct {
    std::string caption;
    std::vector<std::string> taken;
    std::string name;
  } cases[] = {
      {"Quorvel Capture", {}, "Quorvel Capture 2026-12-10 153012.wav"},
      {"Quorvel Capture",
       {"Quorvel Capture 2026-12-10 153012.wav"},
       "Quorvel Capture 2026-12-10 153012 (2).wav"},
      {"Quorvel Capture",
       {"Quorvel Capture 2026-12-10 153012.wav", "Quorvel Capture 2026-12-10 153012 (2).wav"},
       "Quorvel Capture 2026-12-10 153012 (3).wav"},
      {"Quorvel Capture with microphone \"a/b\nc\x7f\"",
       {},
       "Quorvel Capture with microphone \"a_b_c_\" 2026-12-10 153012.wav"},
      {"?:*<>|", {}, "?:*<>| 2026-12-10 153012.wav"},  // ordinary characters on Linux
      {longCaption, {}, std::string(226, 'x') + " 2026-12-10 153012.wav"},
      {accents, {}, cut + " 2026-12-10 153012.wav"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const std::string& name : c.taken) sessiontest::Put(folder + "/" + name, "taken");
    const std::string name = NewCaptureFileName(folder, c.caption, made);
    EXPECT_EQ(name, c.name);
  }
  // A link that leads nowhere holds its name too.
  ASSERT_EQ(::symlink("/nowhere", (folder + "/Quorvel Capture 2026-12-10 153012.wav").c_str()), 0);
  EXPECT_EQ(NewCaptureFileName(folder, "Quorvel Capture", made),
            "Quorvel Capture 2026-12-10 153012 (2).wav");
}

TEST(SessionPaths, ASessionFolderIsMadeOnlyWhenAskedAndTwoWindowsGetTwo) {
  const std::string data = sessiontest::MakeFolder() + "/data";
  const std::tm started{5, 4, 3, 2, 0, 126, 0, 0, 0, 0, nullptr};  // 2026-01-02 03:04:05
  EXPECT_FALSE(std::filesystem::exists(data));
  const Result<std::string> first = CreateSessionFolder(data, started);
  const Result<std::string> second = CreateSessionFolder(data, started);
  ASSERT_TRUE(first && second) << first.Message() << second.Message();
  EXPECT_EQ(*first, data + "/Sessions/2026-01-02 030405");
  EXPECT_EQ(*second, data + "/Sessions/2026-01-02 030405 (2)");
  EXPECT_TRUE(std::filesystem::is_directory(*second));
  sessiontest::Put(data + "/file", "");
  const Result<std::string> refused = CreateSessionFolder(data + "/file", started);
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.Message(), data + "/file/Sessions: Not a directory");
}

}  // namespace
}  // namespace quorvel
