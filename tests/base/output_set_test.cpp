// The files of one command: outputs compared by the file they reach, and the room on the disk.
#include "base/output_set.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

TEST(OutputSet, OutputsMeetingOnOneFileAreFound) {
  // Beside "in.wav", "o.png", "link.png" -> o.png, "hard.png" (o.png's inode) and
  // "dangling.png" -> new.png. A path after "<" is an input.
  const struct {
    std::vector<std::string> paths;
    const char* why;  // null: every output has a file of its own
  } cases[] = {
      {{"new.png", "./new.png"}, "--2 ./new.png names the same file as --1 new.png"},
      {{"o.png", "link.png"}, "--2 link.png names the same file as --1 o.png"},
      {{"hard.png", "o.png"}, "--2 o.png names the same file as --1 hard.png"},
      {{"o.png", "<in.wav", "./in.wav"}, "--3 ./in.wav names the same file as the input in.wav"},
      {{"new.png", "o.png", "../o.png"}, nullptr},
      {{"<in.wav", "<in.wav", "o.png"}, nullptr},  // inputs may be one file
      {{"/dev/null", "/dev/null"}, nullptr},       // a device takes any number
      {{"dangling.png", "new.png"}, nullptr},      // the link itself is replaced
  };
  const fs::path before = fs::current_path();
  std::string folder = testing::TempDir() + "quorvel_outputs_XXXXXX";
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  fs::current_path(folder);
  std::ofstream("in.wav") << "capture";
  std::ofstream("o.png") << "picture";
  fs::create_symlink("o.png", "link.png");
  fs::create_hard_link("o.png", "hard.png");
  fs::create_symlink("new.png", "dangling.png");
  for (const auto& c : cases) {
    COutputSet set;
    for (size_t i = 0; i < c.paths.size(); ++i) {
      const std::string& path = c.paths[i];
      if (path[0] == '<') set.AddInput("the input", path.substr(1));
      if (path[0] != '<') set.AddOutput("--" + std::to_string(i + 1), path, 0);
    }
    const Result<void> distinct = set.CheckDistinct();
    EXPECT_EQ(distinct.Ok(), c.why == nullptr) << distinct.Message();
    EXPECT_EQ(distinct.Message(), c.why == nullptr ? "" : c.why);
  }
  fs::current_path(before);
  fs::remove_all(folder);
}

TEST(OutputSet, TheOutputsOnADiskMustFitTogether) {
  const std::string folder = testing::TempDir();
  struct statvfs disk {};
  ASSERT_EQ(statvfs(folder.c_str(), &disk), 0);
  const uint64_t most = static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize / 10 * 6;
  // each would fit alone, both do not; a device takes no room
  COutputSet set;
  set.AddOutput("--a", folder + "a.wav", most);
  set.AddOutput("--b", folder + "b.wav", most);
  set.AddOutput("--c", "/dev/null", uint64_t{1} << 62);
  const std::vector<std::string> words = set.CheckTargets();
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0].rfind(folder + "a.wav: not enough free space on the disk (", 0), 0u);
  EXPECT_EQ(words[1].rfind(folder + "b.wav: not enough free space on the disk (", 0), 0u);
  EXPECT_EQ(words[2], "");
}

}  // namespace
}  // namespace quorvel
