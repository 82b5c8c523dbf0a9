// A session on disk: opened with its missing captures named and a damaged file kept aside,
// saved whole or not at all, and copied by Save Session As.
#include "measurement/session_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "measurement/session_paths.h"
#include "tests/measurement/session_test_folder.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using sessiontest::Bytes;
using sessiontest::Joined;
using sessiontest::Put;

SessionEntry Entry(const std::string& id, const std::string& path) {
  return {id, path, {"trace " + id, {}, true, "", 0}, std::nullopt};
}

// While it lives, file permissions bind this thread even as root, so a read-only folder is
// read-only to a test run as root.
struct CPermissionsBindRoot {
  CPermissionsBindRoot() { Set(~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH))); }
  ~CPermissionsBindRoot() { Set(~0u); }
  static void Set(uint32_t keep) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[2]{};
    if (syscall(SYS_capget, &header, sets) != 0) return;
    sets[0].effective = sets[0].permitted & keep;
    static_cast<void>(syscall(SYS_capset, &header, sets));
  }
};

TEST(SessionStore, OpeningNamesMissingCapturesAndKeepsADamagedFileAside) {
  const std::string folder = sessiontest::MakeFolder();
  Put(folder + "/a.wav", "RIFF");
  SessionDocument document;
  document.entries = {Entry("m1", folder + "/a.wav"), Entry("m2", folder + "/gone.wav")};
  std::string words;
  ASSERT_EQ(WriteSession(folder, document).Message(), "");
  OpenedSession opened = OpenSession(folder);
  EXPECT_TRUE(opened.document == document);
  EXPECT_EQ(Joined(opened.problems),
            "session.json: entry m2 (\"trace m2\") names a capture that "
            "is missing: " +
                folder + "/gone.wav\n");
  EXPECT_EQ(opened.missingCaptureIds, std::vector<std::string>{"m2"});
  EXPECT_EQ(opened.keptAside, "");

  // A damaged file is kept under a free name, so the next save loses none of it.
  const std::string damaged = R"({"version":1,"entries":[{"id":"m1","path":"a.wav"},3]})";
  Put(folder + "/session.json", damaged);
  Put(folder + "/session damaged.json", "an earlier one");
  opened = OpenSession(folder);
  EXPECT_EQ(opened.document.entries.size(), 1u);
  EXPECT_EQ(opened.keptAside, folder + "/session damaged (2).json");
  EXPECT_NE(Joined(opened.problems)
                .find("session.json is kept as it was in \"session damaged "
                      "(2).json\""),
            std::string::npos);
  ASSERT_EQ(WriteSession(folder, opened.document).Message(), "");
  EXPECT_EQ(Bytes(opened.keptAside), damaged);
  EXPECT_EQ(Bytes(folder + "/session damaged.json"), "an earlier one");

  // Above 16 MB it is not read at all (a sparse file: no disk is used).
  ASSERT_EQ(::truncate((folder + "/session.json").c_str(), (16 << 20) + 1), 0);
  opened = OpenSession(folder);
  EXPECT_TRUE(opened.document == SessionDocument{});
  EXPECT_NE(Joined(opened.problems)
                .find("session.json is 16777217 bytes, more than the 16 MB a "
                      "session.json may have; nothing is opened"),
            std::string::npos);
  fs::remove(folder + "/session.json");
  ASSERT_EQ(::mkfifo((folder + "/session.json").c_str(), 0600), 0);  // no wait for a writer
  EXPECT_EQ(Joined(OpenSession(folder).problems), "session.json could not be read: " + folder +
                                                      "/session.json: Not a file; nothing "
                                                      "is opened\n");
}

TEST(SessionStore, AWriteOntoAReadOnlyFolderFailsWithWordsAndLeavesTheOldFile) {
  const std::string folder = sessiontest::MakeFolder();
  SessionDocument document;
  document.entries = {Entry("m1", folder + "/a.wav")};
  std::string words;
  ASSERT_EQ(WriteSession(folder, document).Message(), "");
  const std::string before = Bytes(folder + "/session.json");
  document.entries[0].look.name = "renamed";
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  {
    CPermissionsBindRoot bound;
    words = WriteSession(folder, document).Message();
  }
  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(words, folder + "/session.json: Permission denied");
  EXPECT_EQ(Bytes(folder + "/session.json"), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(SessionStore, SaveSessionAsCopiesTheCapturesInsideAndRewritesTheirPaths) {
  const std::string root = sessiontest::MakeFolder();
  const std::string from = root + "/old", to = root + "/new";
  fs::create_directories(from + "/takes");
  std::string big(3 << 20, '\0');  // over the copy's 1 MB chunk
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
  Put(from + "/a.wav", big);
  Put(from + "/takes/b.wav", "b's bytes");
  Put(root + "/outside.wav", "outside");
  SessionDocument document;
  document.entries = {Entry("m1", from + "/a.wav"), Entry("m2", from + "/takes/b.wav"),
                      Entry("m3", root + "/outside.wav"), Entry("m4", from + "/a.wav"),
                      Entry("m5", from + "/gone.wav")};
  document.derived = {{"d1", DerivedKind::kDifference, true, {"m1", "m2"}, {}}};
  document.view.referenceId = "d1";
  std::string words;
  ASSERT_EQ(WriteSession(from, document).Message(), "");
  const std::string oldJson = Bytes(from + "/session.json");
  fs::create_directories(to);
  Put(to + "/a.wav", "the user's own file");

  // A failure half-way removes what it made: here "takes" is a file in the new folder.
  Put(to + "/takes", "in the way");
  SessionCopy copy;
  words = SaveSessionAs(document, from, to, &copy).Message();
  EXPECT_EQ(words, to + "/takes: Not a directory");
  EXPECT_FALSE(fs::exists(to + "/a (2).wav"));
  EXPECT_FALSE(fs::exists(to + "/session.json"));
  fs::remove(to + "/takes");

  ASSERT_EQ(SaveSessionAs(document, from, to, &copy).Message(), "");
  EXPECT_EQ(Bytes(to + "/a (2).wav"), big);
  EXPECT_EQ(Bytes(to + "/a.wav"), "the user's own file");
  EXPECT_EQ(Bytes(to + "/takes/b.wav"), "b's bytes");
  EXPECT_EQ(copy.notCopied, std::vector<std::string>{from + "/gone.wav"});
  SessionDocument expected = document;
  expected.entries[0].capturePath = expected.entries[3].capturePath = to + "/a (2).wav";
  expected.entries[1].capturePath = to + "/takes/b.wav";
  EXPECT_TRUE(copy.document == expected);
  const std::string newJson = Bytes(to + "/session.json");
  EXPECT_NE(newJson.find("\"path\": \"a (2).wav\""), std::string::npos) << newJson;
  EXPECT_NE(newJson.find("\"path\": \"takes/b.wav\""), std::string::npos);
  EXPECT_NE(newJson.find("\"path\": \"" + root + "/outside.wav\""), std::string::npos);
  EXPECT_NE(newJson.find("\"path\": \"" + from + "/gone.wav\""), std::string::npos);
  const OpenedSession reopened = OpenSession(to);
  EXPECT_TRUE(reopened.document == expected);
  EXPECT_EQ(Bytes(from + "/session.json"), oldJson);

  // A folder that holds a session already is not written over.
  words = SaveSessionAs(document, from, to, &copy).Message();
  EXPECT_EQ(words, to + ": holds a session already");
  EXPECT_EQ(Bytes(to + "/session.json"), newJson);
}

}  // namespace
}  // namespace quorvel
