// Tests of CUtil: path splitting, real files and folders in a temporary directory, bounded text
// copies and formatting, case-blind comparison, tag text decoding and label rounding.
#include "base/util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;  // only "/" and NUL are refused in a Linux name
#endif

// A fresh folder under the system's temporary folder, removed again with everything in it.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    m_path = fs::temp_directory_path() /
             ("quorvel_util_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(m_path);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path() const { return m_path.string(); }
  std::string Write(const std::string& relative, const std::string& content) const {
    const fs::path file = m_path / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }

 private:
  fs::path m_path;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// UTF-16 bytes of text, optionally with a byte-order mark and a zero terminator.
std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool bigEndian, bool mark) {
  std::vector<uint8_t> out;
  const auto put = [&](char16_t unit) {
    const auto lo = static_cast<uint8_t>(unit & 0xFF);
    const auto hi = static_cast<uint8_t>(unit >> 8);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
  };
  if (mark) put(0xFEFF);
  for (char16_t unit : text) put(unit);
  put(0);
  return out;
}

std::string Decode(const std::vector<uint8_t>& bytes, int* length = nullptr) {
  char out[256];
  const int n = CUtil::TextToAnsi(out, sizeof(out), bytes.data(), bytes.size());
  if (length != nullptr) *length = n;
  return out;
}

std::string DecodeUtf8(const std::string& text, size_t count) {
  char out[256];
  CUtil::Utf8ToAnsi(reinterpret_cast<const uint8_t*>(text.data()), out, sizeof(out), count);
  return out;
}

// ---- path splitting ----

TEST(UtilPath, StripExtensionCutsOnlyAPrintableExtension) {
  EXPECT_STREQ(CUtil::StripExtension("capture.wav"), "capture");
  EXPECT_STREQ(CUtil::StripExtension("capture."), "capture.");
  EXPECT_STREQ(CUtil::StripExtension("capture"), "capture");
  EXPECT_STREQ(CUtil::StripExtension("capture.\xC3\xA9"), "capture.\xC3\xA9");
  EXPECT_STREQ(CUtil::StripExtension("archive.tar.gz"), "archive.tar");
  EXPECT_STREQ(CUtil::StripExtension(nullptr), "");
}

TEST(UtilPath, StripExtensionIgnoresDotsInFolderNames) {
  EXPECT_STREQ(CUtil::StripExtension("/home/u/my.curves/plot"), "/home/u/my.curves/plot");
  EXPECT_STREQ(CUtil::StripExtension("C:\\my.d\\plot.png"), "C:\\my.d\\plot");
  EXPECT_STREQ(CUtil::StripExtension("/home/u/my.curves/plot.png"), "/home/u/my.curves/plot");
}

TEST(UtilPath, StripExtensionKeepsAtMost259Characters) {
  const std::string longName(400, 'n');
  EXPECT_EQ(std::string(CUtil::StripExtension(longName.c_str())), std::string(259, 'n'));
}

TEST(UtilPath, FileNameOfPathAcceptsBothSeparatorsAndADriveColon) {
  EXPECT_STREQ(CUtil::FileNameOfPath("C:\\Wav\\capture.wav"), "capture.wav");
  EXPECT_STREQ(CUtil::FileNameOfPath("/home/user/Wav/capture.wav"), "capture.wav");
  EXPECT_STREQ(CUtil::FileNameOfPath("C:\\Wav/mixed\\x.wav"), "x.wav");
  EXPECT_STREQ(CUtil::FileNameOfPath("C:capture.wav"), "capture.wav");
  EXPECT_STREQ(CUtil::FileNameOfPath("capture.wav"), "capture.wav");
  EXPECT_STREQ(CUtil::FileNameOfPath("/home/user/"), "");
}

TEST(UtilPath, DirectoryOfPath) {
  EXPECT_STREQ(CUtil::DirectoryOfPath("C:\\Wav\\a.wav"), "C:\\Wav");
  EXPECT_STREQ(CUtil::DirectoryOfPath("/home/user/Wav/a.wav"), "/home/user/Wav");
  EXPECT_STREQ(CUtil::DirectoryOfPath("a.wav"), "");
  EXPECT_STREQ(CUtil::DirectoryOfPath(nullptr), "");
  // A file in the root folder: the root, which is a folder that exists.
  EXPECT_STREQ(CUtil::DirectoryOfPath("/a.wav"), "/");
  EXPECT_STREQ(CUtil::DirectoryOfPath("\\a.wav"), "\\");
  EXPECT_STREQ(CUtil::DirectoryOfPath("/Wav/a.wav"), "/Wav");
  // A path longer than the buffer is cut at 519 characters before the separator is sought.
  const std::string longPath = std::string(510, 'd') + "/" + std::string(100, 'f');
  EXPECT_EQ(std::string(CUtil::DirectoryOfPath(longPath.c_str())), std::string(510, 'd'));
}

TEST(UtilPath, FileTitleOfPath) {
  EXPECT_EQ(CUtil::FileTitleOfPath("C:\\Wav\\capture.wav"), "capture");
  EXPECT_EQ(CUtil::FileTitleOfPath("/home/user/CalibFiles/ECM8000.frd"), "ECM8000");
  EXPECT_EQ(CUtil::FileTitleOfPath("/charts/mic.v2.txt"), "mic.v2");
  EXPECT_EQ(CUtil::FileTitleOfPath("/charts/noextension"), "noextension");
  EXPECT_EQ(CUtil::FileTitleOfPath("capture.wav"), "");
}

TEST(UtilPath, ToWidePathNormalisesSeparatorsAndConvertsToUtf16) {
  const char16_t* wide = CUtil::ToWidePath("C:\\Wav/a.wav");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(std::u16string(wide), u"C:/Wav/a.wav");
  // Non-ASCII letters and a character outside the basic plane (a surrogate pair).
  wide = CUtil::ToWidePath("/home/J\xC3\xBCrgen/\xF0\x9F\x8E\xA4.png");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(std::u16string(wide), u"/home/J\u00FCrgen/\U0001F3A4.png");
  // A separator directly after a written one is copied unchanged.
  wide = CUtil::ToWidePath("\\\\server\\share");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(std::u16string(wide), u"/\\server/share");
  // A byte outside any UTF-8 sequence is read as Windows-1252.
  wide = CUtil::ToWidePath("/caf\xE9");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(std::u16string(wide), u"/caf\u00E9");
}

TEST(UtilPath, ToWidePathRefusesPathsLongerThan260) {
  const std::string fits(260, 'p');
  const std::string tooLong(261, 'p');
  ASSERT_NE(CUtil::ToWidePath(fits.c_str()), nullptr);
  EXPECT_EQ(std::u16string(CUtil::ToWidePath(fits.c_str())).size(), 260u);
  EXPECT_EQ(CUtil::ToWidePath(tooLong.c_str()), nullptr);
  EXPECT_EQ(CUtil::ToWidePath(nullptr), nullptr);
}

// ---- file names and real files ----

TEST(UtilFiles, CheckFileNameReplacesEachRefusedCharacter) {
  struct Case {
    const char* path;
    const char* mended;
  };
  const Case cases[] = {{"a\x01"
                         "b",
                         "a_b"},
                        {"a\x1F"
                         "b",
                         "a_b"},
                        {"a\"b", "a'b"},
                        {"a<b", "a'b"},
                        {"a>b", "a'b"},
                        {"a*b", "a b"},
                        {"a?b", "a b"},
#ifdef _WIN32
                        {"a:b", "a;b"},
#endif
                        {"a|b", "a,b"}};
  for (const Case& c : cases) {
    char out[CUtil::kCheckFileNameSize];
    // On Linux a name may hold anything but "/" and NUL: the path comes back whole.
    EXPECT_EQ(CUtil::CheckFileName(out, c.path), kWindows ? 1 : 0) << c.mended;
    EXPECT_STREQ(out, kWindows ? c.mended : c.path);
  }
  char out[CUtil::kCheckFileNameSize];
  EXPECT_EQ(CUtil::CheckFileName(out, "C:\\Wav\\a?.wav"), kWindows ? 1 : 0);
  EXPECT_EQ(CUtil::CheckFileName(out, "C:\\Wav\\a.wav"), 0);
  EXPECT_STREQ(out, "C:\\Wav\\a.wav");
  EXPECT_EQ(CUtil::CheckFileName(out, "C:/Wav/a.wav"), 0);  // a drive colon before "/"
  EXPECT_EQ(CUtil::CheckFileName(out, "/home/u/J\xC3\xBCrgen.wav"), 0);
  EXPECT_EQ(CUtil::CheckFileName(out, "<a|b>*?"), kWindows ? 5 : 0);
#ifdef _WIN32
  EXPECT_EQ(CUtil::CheckFileName(out, "C:\\Wav\\capture 12:30.wav"), 1);
#else
  // ":" is an ordinary character of a Linux file name.
  EXPECT_EQ(CUtil::CheckFileName(out, "/home/u/capture 12:30.wav"), 0);
  EXPECT_STREQ(out, "/home/u/capture 12:30.wav");
#endif
  EXPECT_EQ(CUtil::CheckFileName(out, ""), 0);
  EXPECT_EQ(CUtil::CheckFileName(nullptr, "a"), -1);
  EXPECT_EQ(CUtil::CheckFileName(out, nullptr), -1);
}

TEST(UtilFiles, CheckFileNameCountsRefusedCharactersPastTheCopiedPart) {
  std::string path(1500, 'x');
  path += "?.wav";
  std::vector<char> out(CUtil::kCheckFileNameSize + 16, '#');
  EXPECT_EQ(CUtil::CheckFileName(out.data(), path.c_str()), kWindows ? 1 : 0);
  EXPECT_EQ(std::string(out.data()).size(), 1023u);
  EXPECT_EQ(out[1024], '#');  // nothing written past the 1024-byte buffer
}

TEST(UtilFiles, OpenFileCheckedOpensOnlyClearNames) {
  TempFolder folder;
  const std::string good = folder.Write("chart.txt", "20 0\n");
  FILE* file = CUtil::OpenFileChecked(good.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char line[16] = {};
  EXPECT_NE(std::fgets(line, sizeof(line), file), nullptr);
  EXPECT_STREQ(line, "20 0\n");
  std::fclose(file);

  // "?" is an ordinary character of a Linux name: such a file opens.
  const std::string odd = folder.Write("chart?.txt", "20 0\n");
  file = CUtil::OpenFileChecked(odd.c_str(), "rb");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) std::fclose(file);
  EXPECT_EQ(CUtil::OpenFileChecked((folder.Path() + "/missing.txt").c_str(), "rb"), nullptr);
  EXPECT_EQ(CUtil::OpenFileChecked(nullptr, "rb"), nullptr);
}

TEST(UtilFiles, FileSizeOf) {
  TempFolder folder;
  const std::string file = folder.Write("data.bin", std::string(1234, 'x'));
  EXPECT_EQ(CUtil::FileSizeOf(file.c_str()), 1234u);
  EXPECT_EQ(CUtil::FileSizeOf(folder.Write("empty.bin", "").c_str()), 0u);
  EXPECT_EQ(CUtil::FileSizeOf((folder.Path() + "/missing.bin").c_str()), 0u);
  EXPECT_EQ(CUtil::FileSizeOf(folder.Path().c_str()), 0u);  // a folder is not a file
  EXPECT_EQ(CUtil::FileSizeOf(nullptr), 0u);
}

TEST(UtilFiles, FileSizeOfSaturatesAbove32Bits) {
  TempFolder folder;
  const std::string file = folder.Write("huge.bin", "");
  std::error_code ec;
  fs::resize_file(file, (5ull << 30) + 100, ec);  // sparse: takes no real space
  if (ec) GTEST_SKIP() << "no sparse file support here: " << ec.message();
  // Truncated to 32 bits this would read 1073741924 and pass a small-file size check.
  EXPECT_EQ(CUtil::FileSizeOf(file.c_str()), 0xFFFFFFFFu);
}

TEST(UtilFiles, GetExeDirectoryIsTheFolderOfThisTest) {
  char out[CUtil::kPathBufferSize];
  const fs::path exe = fs::read_symlink("/proc/self/exe");
  const int length = CUtil::GetExeDirectory(out);
  EXPECT_EQ(length, static_cast<int>(exe.string().size()));
  const std::string expected = exe.parent_path().string().substr(0, 258);
  EXPECT_EQ(std::string(out), expected);
  if (expected.size() < 258) {
    EXPECT_TRUE(fs::exists(fs::path(out) / exe.filename()));
  }
}

// ---- folder scan ----

TEST(UtilFolderScan, EmptyExtensionListLeavesTheListUntouched) {
  TempFolder folder;
  folder.Write("a.txt", "1");
  std::vector<std::string> list = {"/earlier/entry.txt"};
  EXPECT_EQ(CUtil::ListFilesByExtension(folder.Path(), &list, {}), 0);
  EXPECT_EQ(list, std::vector<std::string>{"/earlier/entry.txt"});
}

TEST(UtilFolderScan, SubfolderFilesAreListedWhereTheSubfolderIsMetButNotCounted) {
  TempFolder folder;
  const std::string a = folder.Write("a.TXT", "1");
  const std::string b = folder.Write("sub/b.txt", "2");
  folder.Write("c.wav", "3");
  folder.Write("sub/d.txtx", "4");
  folder.Write("noextension", "5");
  std::vector<std::string> list;
  EXPECT_EQ(CUtil::ListFilesByExtension(folder.Path(), &list, {".txt"}), 1);
  ASSERT_EQ(list.size(), 2u);
  // The order is the file system's order of "a.TXT" and "sub" in the folder.
  bool fileFirst = false;
  for (const auto& entry : fs::directory_iterator(folder.Path())) {
    const std::string name = entry.path().filename().string();
    if (name == "a.TXT" || name == "sub") {
      fileFirst = name == "a.TXT";
      break;
    }
  }
  const std::vector<std::string> expected =
      fileFirst ? std::vector<std::string>{a, b} : std::vector<std::string>{b, a};
  EXPECT_EQ(list, expected);
}

TEST(UtilFolderScan, SeveralExtensionsDeepFoldersAndNoDuplicates) {
  TempFolder folder;
  folder.Write("one.txt", "1");
  folder.Write("two.FRD", "2");
  folder.Write("x/y/z/three.Txt", "3");
  folder.Write("x/four.frd", "4");
  folder.Write("x/y/skip.wav", "5");
  const std::string earlier = folder.Path() + "/one.txt";
  std::vector<std::string> list = {earlier};
  EXPECT_EQ(CUtil::ListFilesByExtension(folder.Path(), &list, {".txt", ".frd"}), 1);
  EXPECT_EQ(list.size(), 4u);
  EXPECT_EQ(list.front(), earlier);
  // A second scan finds everything listed already.
  EXPECT_EQ(CUtil::ListFilesByExtension(folder.Path() + "/", &list, {".txt", ".frd"}), 0);
  EXPECT_EQ(list.size(), 4u);
  std::vector<std::string> sorted = list;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
}

TEST(UtilFolderScan, LinkLoopsAndPipesDoNotTrapTheScan) {
  TempFolder folder;
  folder.Write("sub/chart.txt", "1");
  fs::create_directory_symlink(folder.Path(), folder.Path() + "/sub/loop");
  ASSERT_EQ(mkfifo((folder.Path() + "/pipe.txt").c_str(), 0600), 0);
  std::vector<std::string> list;
  EXPECT_EQ(CUtil::ListFilesByExtension(folder.Path(), &list, {".txt"}), 0);
  EXPECT_EQ(list, std::vector<std::string>{folder.Path() + "/sub/chart.txt"});
}

TEST(UtilFolderScan, MissingFolderGivesNothing) {
  std::vector<std::string> list;
  EXPECT_EQ(CUtil::ListFilesByExtension("/nonexistent/quorvel/folder", &list, {".txt"}), 0);
  EXPECT_TRUE(list.empty());
}

// ---- text ----

TEST(UtilText, BoundedAndPrintableLength) {
  EXPECT_EQ(CUtil::BoundedLength(nullptr), 0);
  EXPECT_EQ(CUtil::BoundedLength("abc"), 3);
  const std::string huge(2'000'000, 'h');
  EXPECT_EQ(CUtil::BoundedLength(huge.c_str()), 1048575);

  EXPECT_EQ(CUtil::PrintableLength("abc def~"), 8);
  EXPECT_EQ(CUtil::PrintableLength("\xC3\xA9t\xC3\xA9"), 0);  // starts with an accented letter
  EXPECT_EQ(CUtil::PrintableLength("\xE9t\xE9"), 0);
  EXPECT_EQ(CUtil::PrintableLength("ab\x7F"
                                   "cd"),
            2);
  EXPECT_EQ(CUtil::PrintableLength("ab\tcd"), 2);
  EXPECT_EQ(CUtil::PrintableLength(""), 0);
  EXPECT_EQ(CUtil::PrintableLength(nullptr), 0);
  EXPECT_EQ(CUtil::PrintableLength(std::string(5000, 'p').c_str()), 4095);
}

TEST(UtilText, IsBlank) {
  EXPECT_TRUE(CUtil::IsBlank(""));
  EXPECT_TRUE(CUtil::IsBlank("    "));
  EXPECT_TRUE(CUtil::IsBlank(nullptr));
  EXPECT_FALSE(CUtil::IsBlank("  a "));
  EXPECT_FALSE(CUtil::IsBlank("\t"));
}

TEST(UtilText, CopyTextStaysWithinItsBuffer) {
  const std::string source(700, 's');
  std::vector<char> path(CUtil::kPathBufferSize + 8, '#');
  EXPECT_EQ(CUtil::CopyText(path.data(), source.c_str()), 519);
  EXPECT_EQ(std::string(path.data()), std::string(519, 's'));
  EXPECT_EQ(path[CUtil::kPathBufferSize], '#');

  char small[10];
  EXPECT_EQ(CUtil::CopyText(small, sizeof(small), "0123456789abc"), 9);
  EXPECT_STREQ(small, "012345678");

  std::vector<char> large(2048, '#');
  EXPECT_EQ(CUtil::CopyText(large.data(), large.size(), source.c_str()), 520);
  EXPECT_EQ(CUtil::CopyText(nullptr, "x"), 0);
  EXPECT_EQ(CUtil::CopyText(small, nullptr), 0);
  EXPECT_STREQ(small, "012345678");
}

TEST(UtilText, AppendTextStaysWithinItsBuffer) {
  char text[CUtil::kPathBufferSize] = "abc";
  CUtil::AppendText(text, "def");
  EXPECT_STREQ(text, "abcdef");
  CUtil::AppendText(text, nullptr);
  CUtil::AppendText(nullptr, "x");
  EXPECT_STREQ(text, "abcdef");
  const std::string more(600, 'm');
  CUtil::AppendText(text, more.c_str());
  EXPECT_EQ(std::string(text), "abcdef" + std::string(513, 'm'));

  std::vector<char> small(12, '#');
  small[0] = '\0';
  CUtil::AppendText(small.data(), 8, "0123");
  CUtil::AppendText(small.data(), 8, "4567");
  EXPECT_STREQ(small.data(), "0123456");
  EXPECT_EQ(small[8], '#');
}

TEST(UtilText, CopyTrimmed) {
  char out[64];
  CUtil::CopyTrimmed(out, 9, "  abc  ");
  EXPECT_STREQ(out, "abc");
  CUtil::CopyTrimmed(out, 6, "  abcdef");  // only six bytes of the source are consumed
  EXPECT_STREQ(out, "abcd");
  CUtil::CopyTrimmed(out, 20, "\t\r\n x y \n");
  EXPECT_STREQ(out, "x y");
  CUtil::CopyTrimmed(out, 10, "\xC3\xA9t\xC3\xA9");  // letters at the ends are not blanks
  EXPECT_STREQ(out, "\xC3\xA9t\xC3\xA9");
  const char zeros[10] = {};
  CUtil::CopyTrimmed(out, sizeof zeros, zeros);  // nothing but zero bytes: empty
  EXPECT_STREQ(out, "");
  CUtil::CopyTrimmed(out, 0, "abc");  // no byte to consume
  EXPECT_STREQ(out, "");
  // Zero bytes in front are skipped like the other control bytes; after the text one ends it.
  const char padded[9] = {'\0', '\0', ' ', 'a', 'b', '\0', 'c', ' ', '\0'};
  CUtil::CopyTrimmed(out, sizeof padded, padded);
  EXPECT_STREQ(out, "ab");
  const char onlyPadding[3] = {'\0', '\t', '\0'};
  CUtil::CopyTrimmed(out, sizeof onlyPadding, onlyPadding);
  EXPECT_STREQ(out, "");
  // A source that holds exactly count bytes and no terminator.
  const char unterminated[4] = {'w', 'x', 'y', 'z'};
  CUtil::CopyTrimmed(out, sizeof(unterminated), unterminated);
  EXPECT_STREQ(out, "wxyz");
  strcpy(out, "kept");
  CUtil::CopyTrimmed(out, 4, nullptr);
  CUtil::CopyTrimmed(nullptr, 4, "x");
  EXPECT_STREQ(out, "kept");
}

TEST(UtilText, CaseBlindComparison) {
  EXPECT_EQ(CUtil::CompareNoCase("Quorvel", "QUORVEL"), 0);
  EXPECT_EQ(CUtil::CompareNoCase("abc", "abd"), 'C' - 'D');
  EXPECT_GT(CUtil::CompareNoCase("abd", "ABC"), 0);
  EXPECT_LT(CUtil::CompareNoCase("ab", "abc"), 0);
  const std::string a = std::string(520, 'x') + "a";
  const std::string b = std::string(520, 'X') + "b";
  EXPECT_EQ(CUtil::CompareNoCase(a.c_str(), b.c_str()), 0);  // only 520 characters count
  EXPECT_EQ(CUtil::CompareNoCaseN("abcX", "ABCY", 3), 0);
  EXPECT_NE(CUtil::CompareNoCaseN("abcX", "ABCY", 4), 0);
  EXPECT_EQ(CUtil::CompareNoCaseN("ab", "AB", 100), 0);  // stops after the terminator
}

TEST(UtilText, FindNoCase) {
  EXPECT_EQ(CUtil::FindNoCase("Made with QUORVEL 1.0", "quorvel"), 10);
  EXPECT_EQ(CUtil::FindNoCase("Quorvel", "Quorvel"), 0);
  EXPECT_EQ(CUtil::FindNoCase("Quorve", "quorvel"), -1);
  EXPECT_EQ(CUtil::FindNoCase("anything", ""), 0);
  EXPECT_EQ(CUtil::FindNoCase("", "a"), -1);
  EXPECT_EQ(CUtil::FindNoCase(nullptr, "a"), -1);
  EXPECT_EQ(CUtil::FindNoCase("aaab", "AAB"), 1);
}

TEST(UtilText, FormatTextIsBoundAt4096) {
  std::vector<char> out(CUtil::kFormatSize + 64, '#');
  EXPECT_EQ(CUtil::FormatText(out.data(), "%.2lf-%.2lf Hz", 20.0, 20000.0), 17);
  EXPECT_STREQ(out.data(), "20.00-20000.00 Hz");
  const std::string longText(5000, 'L');
  EXPECT_EQ(CUtil::FormatText(out.data(), "%s!", longText.c_str()), 5001);
  EXPECT_EQ(std::string(out.data()), std::string(4095, 'L'));
  EXPECT_EQ(out[CUtil::kFormatSize], '#');

  char small[8];
  std::fill(std::begin(small), std::end(small), '#');
  EXPECT_EQ(CUtil::FormatText(small, 6, "%d", 1234567), 7);
  EXPECT_STREQ(small, "12345");
  EXPECT_EQ(small[6], '#');
}

// ---- numbers ----

TEST(UtilNumbers, RoundForLabel) {
  EXPECT_EQ(CUtil::RoundForLabel(0.009), 0.0);
  EXPECT_EQ(CUtil::RoundForLabel(-0.009), 0.0);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(3.14159), 3.14);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(-3.14159), -3.14);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(5.0), 5.0);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(99.96), 100.0);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(1234.5), 1230.0);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(123456.0), 123460.0);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(0.0123456), 0.0123);
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(12.25), 12.3);  // halves away from zero
  EXPECT_DOUBLE_EQ(CUtil::RoundForLabel(-12.25), -12.3);
}

TEST(UtilNumbers, ParseFrequency) {
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("20"), 20.0);
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("250"), 250.0);
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("1,2kHz"), 1200.0);
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("1,5 kHz"), 1500.0);
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("2 KHZ"), 2000.0);
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("  440.5 Hz"), 440.5);
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("+7"), 7.0);
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency("-3"), -3.0);
  EXPECT_EQ(CUtil::ParseFrequency("abc"), 0.0);
  EXPECT_EQ(CUtil::ParseFrequency(""), 0.0);
  EXPECT_EQ(CUtil::ParseFrequency(nullptr), 0.0);
  // Only the first 31 characters are read.
  EXPECT_DOUBLE_EQ(CUtil::ParseFrequency((std::string(29, ' ') + "123").c_str()), 12.0);
}

// ---- encodings ----

TEST(UtilEncoding, TextToAnsiReadsBothByteOrders) {
  int length = -1;
  EXPECT_EQ(Decode(Bytes({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00, 0x00, 0x00}), &length), "AB");
  EXPECT_EQ(length, 2);
  EXPECT_EQ(Decode(Bytes({0xFE, 0xFF, 0x00, 0x41, 0x00, 0x42, 0x00, 0x00}), &length), "AB");
  EXPECT_EQ(length, 2);
  // Without a mark, a zero byte marks little-endian UTF-16.
  EXPECT_EQ(Decode(Bytes({0x41, 0x00, 0x42, 0x00})), "AB");
}

TEST(UtilEncoding, TextToAnsiRoundTripsNonAsciiLetters) {
  const std::u16string text = u"Gr\u00F6\u00DFe \u20AC \u00C9t\u00E9 \U0001F3A4";
  const std::string utf8 =
      "Gr\xC3\xB6\xC3\x9F"
      "e \xE2\x82\xAC \xC3\x89t\xC3\xA9 \xF0\x9F\x8E\xA4";
  for (bool bigEndian : {false, true}) {
    int length = 0;
    EXPECT_EQ(Decode(Utf16Bytes(text, bigEndian, true), &length), utf8) << bigEndian;
    EXPECT_EQ(length, static_cast<int>(utf8.size()));
  }
  // And back: the UTF-8 text converts to the same UTF-16 (as a path).
  ASSERT_NE(CUtil::ToWidePath(utf8.c_str()), nullptr);
  EXPECT_EQ(std::u16string(CUtil::ToWidePath(utf8.c_str())), text);
  // UTF-8 input passes through unchanged.
  EXPECT_EQ(Decode(std::vector<uint8_t>(utf8.begin(), utf8.end())), utf8);
}

TEST(UtilEncoding, TextToAnsiStaysWithinCountAndDestination) {
  // The count ends the text even without a zero terminator.
  EXPECT_EQ(Decode(Bytes({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00})), "AB");
  EXPECT_EQ(Decode(Bytes({0xFF, 0xFE, 0x41, 0x00, 0x42})), "A");  // odd byte ignored
  EXPECT_EQ(Decode(Bytes({0xFF, 0xFE})), "");
  EXPECT_EQ(Decode(Bytes({0xFF, 0xFE, 0x00, 0xD8, 0x41, 0x00})), "?A");  // unpaired surrogate
  EXPECT_EQ(Decode({}), "");

  char small[4];
  const auto abc = Utf16Bytes(u"ABCDEF", false, true);
  EXPECT_EQ(CUtil::TextToAnsi(small, sizeof(small), abc.data(), abc.size()), 3);
  EXPECT_STREQ(small, "ABC");
  const auto accents = Utf16Bytes(u"\u00E9\u00E9", true, true);  // two bytes each in UTF-8
  EXPECT_EQ(CUtil::TextToAnsi(small, sizeof(small), accents.data(), accents.size()), 2);
  EXPECT_STREQ(small, "\xC3\xA9");  // never half a character
}

TEST(UtilEncoding, TextToAnsiDecodesUtf8AfterLeadingControlBytes) {
  const std::string tag = "\x03  Quorvel  ";
  int length = 0;
  EXPECT_EQ(Decode(std::vector<uint8_t>(tag.begin(), tag.end()), &length), "Quorvel");
  EXPECT_EQ(length, 7);
}

TEST(UtilEncoding, Utf8ToAnsiTrimsAndEndsAtControlBytes) {
  EXPECT_EQ(DecodeUtf8("  Quorvel \n", 11), "Quorvel");
  EXPECT_EQ(DecodeUtf8("Caf\xC3\xA9", 5), "Caf\xC3\xA9");
  EXPECT_EQ(DecodeUtf8("a\xC2\xA0"
                       "b",
                       4),
            "a b");                                    // no-break space
  EXPECT_EQ(DecodeUtf8("\xC2\xA0X\xC2\xA0", 5), "X");  // and trimmed at the ends
  EXPECT_EQ(DecodeUtf8("ab\x7F"
                       "cd",
                       5),
            "ab");
  EXPECT_EQ(DecodeUtf8("ab\x01"
                       "cd",
                       5),
            "ab");
  EXPECT_EQ(DecodeUtf8("abcdef", 3), "abc");
  EXPECT_EQ(DecodeUtf8("abcdef", 0), "");
  EXPECT_EQ(DecodeUtf8("", 5), "");
}

TEST(UtilEncoding, Utf8ToAnsiReadsStrayBytesAsWindows1252) {
  EXPECT_EQ(DecodeUtf8("Caf\xE9", 4), "Caf\xC3\xA9");
  EXPECT_EQ(DecodeUtf8("\x80 5", 3), "\xE2\x82\xAC 5");
  EXPECT_EQ(DecodeUtf8("x\xA0y", 3), "x y");
  EXPECT_EQ(DecodeUtf8("\xC3(", 2), "\xC3\x83(");  // a lead byte without its continuation
}

TEST(UtilEncoding, Utf8ToAnsiStaysWithinItsDestination) {
  char out[6];
  const std::string text = "  \xC3\xA9\xC3\xA9\xC3\xA9  ";
  CUtil::Utf8ToAnsi(reinterpret_cast<const uint8_t*>(text.data()), out, sizeof(out), text.size());
  EXPECT_STREQ(out, "\xC3\xA9\xC3\xA9");
  CUtil::Utf8ToAnsi(nullptr, out, sizeof(out), 4);
  EXPECT_STREQ(out, "");
}

TEST(UtilEncoding, ToAsciiUpperLookAlikes) {
  char out[64];
  EXPECT_EQ(CUtil::ToAsciiUpper(out, sizeof(out), "media player\x01"), 13);
  EXPECT_STREQ(out, "MEDIA PLAYER_");
  // Accented letters keep their case: upper-casing happens before the table.
  CUtil::ToAsciiUpper(out, sizeof(out), "\xE9t\xE9 \xC9T\xC9 \xD1\xF1 \xDF\xD7\xF7 \x80\x99");
  EXPECT_STREQ(out, "eTe ETE Nn Sx/ ET");
  EXPECT_EQ(CUtil::ToAsciiUpper(out, 4, "abcdef"), 3);
  EXPECT_STREQ(out, "ABC");
}

TEST(UtilEncoding, LookAlikeTableSortsLettersFromPunctuation) {
  // The bytes whose look-alike is a letter or digit, as the chart reader relies on.
  const auto isWordByte = [](int b) {
    const int singles[] = {0x80, 0x83, 0x8A, 0x8C, 0x8E, 0x99, 0x9A, 0x9C, 0x9E,
                           0x9F, 0xA2, 0xA3, 0xA4, 0xA5, 0xA7, 0xA9, 0xAA, 0xAE,
                           0xB0, 0xB2, 0xB3, 0xB5, 0xB6, 0xB9, 0xBA};
    if (std::find(std::begin(singles), std::end(singles), b) != std::end(singles)) return true;
    return (b >= 0xC0 && b <= 0xF6) || (b >= 0xF8 && b <= 0xFF);
  };
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char c = CUtil::AsciiLookAlike(static_cast<unsigned char>(b));
    EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << std::hex << b;
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    EXPECT_EQ(alnum, isWordByte(b)) << std::hex << b << " -> " << c;
  }
  EXPECT_EQ(CUtil::AsciiLookAlike(0xA4), 'o');
  EXPECT_EQ(CUtil::AsciiLookAlike(0xB5), 'u');
  EXPECT_EQ(CUtil::AsciiLookAlike('q'), 'q');
}

}  // namespace

}  // namespace quorvel
