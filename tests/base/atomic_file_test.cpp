// Files written whole or not at all: what stays at the target and beside it.
#include "base/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// Every entry of a folder: a file's bytes, a link's destination, or "other".
std::map<std::string, std::string> Listing(const fs::path& dir) {
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    std::string& what = entries[e.path().filename().string()] = "other";
    if (e.is_symlink()) {
      what = "link to " + fs::read_symlink(e.path()).string();
    } else if (e.is_regular_file()) {  // a named pipe is never opened
      std::ifstream in(e.path(), std::ios::binary);
      what.assign(std::istreambuf_iterator<char>(in), {});
    }
  }
  return entries;
}

TEST(AtomicFile, ATargetIsReplacedWholeOrStaysAsItWas) {
  const struct {
    const char* target;  // in a folder holding "earlier.csv"
    const char* made;    // what is made at `target` first: "link", "loop", "pipe", "folder"
    const char* reason;  // the failure's words after "<path>: "; null for a save
    bool fullDisk;       // a file size limit of 64 KiB
    bool probeSaves;     // what CheckCanBeSaved says before
  } cases[] = {{"new.csv", "", nullptr, false, true},
               {"earlier.csv", "", nullptr, false, true},
               {"earlier.csv", "", "File too large", true, true},
               {"link.csv", "link", nullptr, false, true},
               {"loop/a.csv", "loop", "Too many levels of symbolic links", false, false},
               {"pipe", "pipe", "No program reads this named pipe", false, false},
               {"folder", "folder", "Is a directory", false, false},
               {"missing/a.csv", "", "No such file or directory", false, false}};
  const std::string content(200000, 'n');  // beyond the writer's buffer and the size limit
  // Each case with an unnamed temporary file, then with the named one of file systems without.
  for (size_t run = 0; run < 2 * std::size(cases); ++run) {
    const auto& c = cases[run % std::size(cases)];
    const bool unnamed = run < std::size(cases);
    CAtomicFile::AllowUnnamedTemporaryFiles(unnamed);
    SCOPED_TRACE(std::string(c.target) + (unnamed ? ", unnamed" : ", named"));
    std::string folder = testing::TempDir() + "quorvel_atomic_XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const fs::path dir = folder;
    std::ofstream(dir / "earlier.csv") << "earlier";
    const std::string made = c.made;
    if (made == "link") fs::create_symlink(dir / "earlier.csv", dir / "link.csv");
    if (made == "loop") fs::create_symlink(dir / "loop", dir / "loop");
    if (made == "pipe" && mkfifo((dir / "pipe").c_str(), 0600) != 0) FAIL() << "mkfifo";
    if (made == "folder") fs::create_directory(dir / "folder");
    const std::string path = (dir / c.target).string();
    std::map<std::string, std::string> expected = Listing(dir);
    EXPECT_EQ(CAtomicFile::CheckCanBeSaved(path).Ok(), c.probeSaves);

    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit limited = unlimited;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, c.fullDisk ? &limited : &unlimited), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails (EFBIG)
    const Result<void> whole = WriteWholeFile(path, content.data(), content.size());
    const bool saved = whole.Ok();
    const std::string& words = whole.Message();
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(saved, c.reason == nullptr) << words;
    if (saved) expected[fs::path(path).filename().string()] = content;  // a link is replaced
    if (!saved && c.reason != nullptr) {
      EXPECT_EQ(words, path + ": " + c.reason);
    }
    EXPECT_EQ(Listing(dir), expected);  // no temporary file; "earlier.csv" as it was
    fs::remove_all(dir);
  }
  CAtomicFile::AllowUnnamedTemporaryFiles(true);
}

TEST(AtomicFile, AReplacedFileKeepsItsAccessAndAKilledSaveLeavesNothing) {
  std::string folder = testing::TempDir() + "quorvel_atomic_XXXXXX";
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const fs::path dir = folder;
  // A group other than the process's own: any for root, else a supplementary one, if any.
  gid_t groups[64];
  const int n = getgroups(64, groups);
  const gid_t group = geteuid() == 0 ? getegid() + 1 : n > 0 ? groups[n - 1] : getegid();
  const std::string earlier = (dir / "private.wav").string();
  std::ofstream(earlier) << "earlier";
  ASSERT_EQ(chown(earlier.c_str(), static_cast<uid_t>(-1), group), 0);
  ASSERT_EQ(chmod(earlier.c_str(), 0640), 0);
  for (const bool unnamed : {true, false}) {
    CAtomicFile::AllowUnnamedTemporaryFiles(unnamed);
    ASSERT_TRUE(WriteWholeFile(earlier, "new", 3));
    struct stat st {};
    ASSERT_EQ(stat(earlier.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << unnamed;
    EXPECT_EQ(st.st_gid, group) << unnamed;
  }
  CAtomicFile::AllowUnnamedTemporaryFiles(true);
  // Killed half-way through a save: the earlier file as it was, nothing beside it.
  const std::map<std::string, std::string> expected = Listing(dir);
  const pid_t child = fork();
  if (child == 0) {
    CAtomicFile file;
    if (file.Open(earlier) && file.Write(std::string(200000, 'k').data(), 200000)) raise(SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(Listing(dir), expected);
  fs::remove_all(dir);
}

TEST(AtomicFile, TheProbeMeetsWhatTheSaveWouldMeet) {
  std::string folder = testing::TempDir() + "quorvel_probe_XXXXXX";
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const std::string pipe = folder + "/pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::string deep = folder + "/";  // the temporary name fits PATH_MAX, the target's does not
  while (deep.size() < 3880) deep += "./";
  const struct {
    std::string path;
    bool reader;         // the test holds the pipe open for reading
    const char* reason;  // after "<path>: "; null when it can be saved
  } cases[] = {
      {folder + "/" + std::string(256, 'n'), false,
       "File name too long: this folder takes names of at most 255 bytes"},
      {deep + std::string(250, 'n'), false, "File name too long: a path has at most 4095 bytes"},
      {folder + "/" + std::string(255, 'n'), false, nullptr},
      {pipe, false, "No program reads this named pipe"},
      {pipe, true, nullptr}};
  for (const auto& c : cases) {
    const int reader = c.reader ? open(pipe.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    CAtomicFile::SaveCheck found;
    const Result<void> check = CAtomicFile::CheckCanBeSaved(c.path, &found);
    EXPECT_EQ(check.Ok(), c.reason == nullptr);
    EXPECT_EQ(check.Message(), c.reason == nullptr ? "" : c.path + ": " + c.reason);
    EXPECT_EQ(found.pipe >= 0, c.reader);
    if (reader < 0) continue;
    // the reader sees no end while the probe's descriptor is held, and the end once it is not
    char byte = 0;
    EXPECT_EQ(read(reader, &byte, 1) == -1 && errno == EAGAIN, true);
    close(found.pipe);
    EXPECT_EQ(read(reader, &byte, 1), 0);
    close(reader);
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quorvel
