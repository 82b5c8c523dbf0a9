// Files written whole or not at all, on real files: what stays at the target and beside it
// after a save that succeeds and after one that fails.
#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// Every entry of a folder: a file's bytes, a link's destination, or its kind.
std::map<std::string, std::string> Listing(const fs::path& dir) {
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    const fs::file_status st = e.symlink_status();
    std::string& what = entries[e.path().filename().string()];
    if (fs::is_symlink(st)) {
      what = "link to " + fs::read_symlink(e.path()).string();
    } else if (fs::is_regular_file(st)) {
      std::ifstream in(e.path(), std::ios::binary);
      what.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
      what = fs::is_directory(st) ? "folder" : "other";
    }
  }
  return entries;
}

struct Case {
  const char* what;
  std::function<std::string(const fs::path& dir)> target;  // prepares the folder
  const char* reason;  // the failure's words after "<path>: "; null for a save that succeeds
  bool fileSizeLimit;  // 64 KiB, as a disk that fills up
  bool probeSaves;     // what CheckCanBeSaved says beforehand
};

TEST(AtomicFile, ATargetIsReplacedWholeOrStaysAsItWas) {
  const Case cases[] = {
      {"a new file", [](const fs::path& d) { return d / "new.csv"; }, nullptr, false, true},
      {"an earlier file", [](const fs::path& d) { return d / "earlier.csv"; }, nullptr, false,
       true},
      {"a full disk", [](const fs::path& d) { return d / "earlier.csv"; }, "File too large", true,
       true},
      {"a link to another file",
       [](const fs::path& d) {
         fs::create_symlink(d / "earlier.csv", d / "link.csv");
         return d / "link.csv";
       },
       nullptr, false, true},
      {"a link loop in the folder",
       [](const fs::path& d) {
         fs::create_symlink(d / "loop", d / "loop");
         return d / "loop" / "a.csv";
       },
       "Too many levels of symbolic links", false, false},
      {"a named pipe without a reader",
       [](const fs::path& d) {
         EXPECT_EQ(mkfifo((d / "pipe").c_str(), 0600), 0);
         return d / "pipe";
       },
       "No program reads this named pipe", false, true},
      {"a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "folder");
         return d / "folder";
       },
       "Is a directory", false, false},
      {"a missing folder", [](const fs::path& d) { return d / "missing" / "a.csv"; },
       "No such file or directory", false, false},
  };
  const std::string content(200000, 'n');  // beyond the writer's buffer and the size limit
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string pattern = testing::TempDir() + "quorvel_atomic_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    std::ofstream(dir / "earlier.csv") << "earlier";
    const std::string path = c.target(dir);
    const std::map<std::string, std::string> before = Listing(dir);
    EXPECT_EQ(CAtomicFile::CheckCanBeSaved(path, nullptr), c.probeSaves);
    EXPECT_EQ(Listing(dir), before);  // the probe leaves nothing behind

    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails (EFBIG)
    rlimit limited = unlimited;
    limited.rlim_cur = 64 * 1024;
    if (c.fileSizeLimit) {
      ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    std::string words;
    const bool saved = WriteWholeFile(path, content.data(), content.size(), &words);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, handler);

    std::map<std::string, std::string> expected = before;
    if (c.reason == nullptr) {
      EXPECT_TRUE(saved) << words;
      expected[fs::path(path).filename().string()] = content;  // a link there is replaced
    } else {
      EXPECT_FALSE(saved);
      EXPECT_EQ(words, path + ": " + c.reason);
    }
    EXPECT_EQ(Listing(dir), expected);  // no temporary file; "earlier.csv" as it was
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace quorvel
