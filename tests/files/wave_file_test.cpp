// CWave's container: the capture file written, and the chunk walk of ReadWave on real and
// hand-built files.

#include "files/wave_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

using wavetest::Bytes;
using wavetest::Chunk;
using wavetest::FormatContent;
using wavetest::GetLe32;
using wavetest::RiffFile;
using wavetest::operator+;

// ---- the capture file written ----

TEST(WaveWriter, SamplesWithoutMetadataMakeHeaderPlusTwoBytesEach) {
  wavetest::ScratchFolder dir;
  for (size_t n : {size_t{0}, size_t{1}, size_t{1001}, size_t{48000}}) {
    std::string name = std::to_string(n);
    name.append(".wav");
    const std::string path = dir.File(name);
    const std::vector<int16_t> samples = wavetest::Ramp(n, 97);
    {
      CWave wave;
      ASSERT_TRUE(wave.CreateCaptureFile(path.c_str()));
      for (int16_t s : samples) ASSERT_TRUE(wave.WriteSample(s));
      EXPECT_TRUE(wave.CloseCaptureFile(false));
      EXPECT_FALSE(wave.IsWriting());
    }
    const Bytes file = wavetest::ReadBytes(path);
    ASSERT_EQ(file.size(), 44 + 2 * n) << "samples: " << n;
    EXPECT_EQ(GetLe32(file, 4), 36 + 2 * n);
    EXPECT_EQ(GetLe32(file, 40), 2 * n);
    // The header exactly as a capture file holds it: PCM, mono, 48000 Hz, 16 bits.
    const Bytes expected = RiffFile(Chunk("fmt ", FormatContent(1, 48000, 16)) +
                                    Bytes{'d', 'a', 't', 'a', 0, 0, 0, 0});
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 4, file.begin()));
    EXPECT_TRUE(std::equal(expected.begin() + 8, expected.begin() + 40, file.begin() + 8));
    // The samples, little-endian, in order.
    const Bytes data = wavetest::SampleBytes(samples);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 44));
  }
}

TEST(WaveWriter, FolderThatDoesNotExistIsRefused) {
  wavetest::ScratchFolder dir;
  CWave wave;
  EXPECT_FALSE(wave.CreateCaptureFile(dir.File("missing/x.wav").c_str()));
  EXPECT_FALSE(wave.WriteSample(1));
  EXPECT_FALSE(wave.CloseCaptureFile(true));
}

TEST(WaveWriter, NamedPipeWithoutAReaderIsRefusedWithoutWaiting) {
  // A pipe chosen as the file to save must not block the command until some program reads it.
  wavetest::ScratchFolder dir;
  const std::string fifo = dir.File("pipe.wav");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  CWave wave;
  std::atomic<bool> done{false};
  bool created = true;
  std::thread create([&] {
    created = wave.CreateCaptureFile(fifo.c_str());
    done.store(true);
  });
  // Bounded wait: the create ends at once; should it block, a reader that opens the pipe
  // releases it so the test ends and reports the hang.
  for (int i = 0; i < 10000 && !done.load(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const bool endedByItself = done.load();
  int reader = -1;  // kept open to the end, so nothing is written into a pipe without reader
  while (!done.load()) {
    if (reader < 0) reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  create.join();
  EXPECT_TRUE(endedByItself) << "the create waited for a reader";
  EXPECT_FALSE(created);
  EXPECT_FALSE(wave.IsWriting());
  static_cast<void>(wave.CloseCaptureFile(false));  // nothing is open: a no-op
  if (reader >= 0) close(reader);
}

TEST(WaveWriter, DestructorPatchesAFileLeftOpen) {
  wavetest::ScratchFolder dir;
  const std::string path = dir.File("open.wav");
  {
    CWave wave;
    ASSERT_TRUE(wave.CreateCaptureFile(path.c_str()));
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(wave.WriteSample(static_cast<int16_t>(i)));
  }
  const Bytes file = wavetest::ReadBytes(path);
  ASSERT_EQ(file.size(), 64u);  // no metadata
  EXPECT_EQ(GetLe32(file, 4), 56u);
  EXPECT_EQ(GetLe32(file, 40), 20u);
}

TEST(WaveWriter, NewCreateDropsTheUnfinishedFileAndKeepsTheEarlierOne) {
  wavetest::ScratchFolder dir;
  const std::string first = dir.File("first.wav");
  const std::string second = dir.File("second.wav");
  std::ofstream(first) << "earlier";
  CWave wave;
  ASSERT_TRUE(wave.CreateCaptureFile(first.c_str()));
  ASSERT_TRUE(wave.WriteSample(5));
  ASSERT_TRUE(wave.CreateCaptureFile(second.c_str()));
  EXPECT_TRUE(wave.CloseCaptureFile(false));
  const Bytes file = wavetest::ReadBytes(first);
  EXPECT_EQ(std::string(file.begin(), file.end()), "earlier");
  EXPECT_EQ(wavetest::ReadBytes(second).size(), 44u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(WaveWriter, MetadataFollowsTheSamplesAndSizesCoverIt) {
  wavetest::ScratchFolder dir;
  const std::string path = dir.File("capture.wav");
  CWave wave;
  ASSERT_TRUE(wave.CreateCaptureFile(path.c_str()));
  for (int16_t s : wavetest::Ramp(100)) ASSERT_TRUE(wave.WriteSample(s));
  std::strcpy(wave.m_szTitle, "20.00-20000.00 Hz");
  std::strcpy(wave.m_szArtist, "Quorvel");
  std::strcpy(wave.m_szAlbum, "capture");
  ASSERT_TRUE(wave.CloseCaptureFile(true));
  const Bytes file = wavetest::ReadBytes(path);
  EXPECT_EQ(GetLe32(file, 4), file.size() - 8);
  EXPECT_EQ(GetLe32(file, 40), 200u);
  ASSERT_GE(file.size(), 244u + 84u + 8u + 134u);
  EXPECT_EQ(std::string(file.begin() + 244, file.begin() + 248), "LIST");
  const size_t id3At = 244 + 8 + GetLe32(file, 248);
  EXPECT_EQ(std::string(file.begin() + static_cast<long>(id3At),
                        file.begin() + static_cast<long>(id3At) + 4),
            "id3 ");
  EXPECT_EQ(id3At + 8 + GetLe32(file, id3At + 4), file.size());
  EXPECT_EQ(file.back(), 0);
  EXPECT_EQ(file.size() % 2, 0u);
}

TEST(WaveWriter, APipeTakesTheBytesAFileGets) {
  // Nothing is patched after the samples: a named pipe gets the very bytes of a file.
  wavetest::ScratchFolder dir;
  const std::vector<int16_t> samples = wavetest::Ramp(100000, 37);
  const auto save = [&](const std::string& path) {
    CWave wave;
    return wave.CreateCaptureFile(path.c_str()) &&
           wave.WriteSamples(samples.data(), samples.size()) && wave.CloseCaptureFile(true);
  };
  const std::string fifo = dir.File("pipe.wav");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fcntl(reader, F_SETPIPE_SZ, 1 << 20), 1 << 20);
  EXPECT_TRUE(save(fifo));
  Bytes piped(1 << 20);
  piped.resize(static_cast<size_t>(std::max<ssize_t>(0, read(reader, piped.data(), 1 << 20))));
  close(reader);
  EXPECT_TRUE(save(dir.File("file.wav")));
  EXPECT_EQ(piped, wavetest::ReadBytes(dir.File("file.wav")));
}

// ---- the chunk walk ----

class ReadWaveTest : public ::testing::Test {
 protected:
  int Read(const Bytes& bytes) {
    const std::string path = m_dir.File("in.wav");
    wavetest::WriteBytes(path, bytes);
    return m_wave.ReadWave(path.c_str());
  }
  static Bytes Fmt() { return Chunk("fmt ", FormatContent(1, 48000, 16)); }
  // An INFO list of (id, text) subchunks, each with its terminator and pad byte.
  static Bytes InfoList(std::initializer_list<std::pair<const char*, std::string>> items,
                        const char* type = "INFO") {
    Bytes content;
    wavetest::AppendText(content, type);
    for (const auto& [id, text] : items) {
      Bytes t(text.begin(), text.end());
      t.push_back(0);
      if (t.size() % 2 != 0) t.push_back(0);
      wavetest::Append(content, Chunk(id, t));
    }
    return Chunk("LIST", content);
  }
  // An ID3v2.3 tag holding one TIT2 frame of ISO-8859-1 text.
  static Bytes Id3Title(const std::string& title) {
    Bytes frame;
    wavetest::AppendText(frame, "TIT2");
    wavetest::Append(frame, wavetest::Be32(static_cast<uint32_t>(title.size() + 1)));
    frame.push_back(0);
    frame.push_back(0);
    frame.push_back(0);  // encoding
    wavetest::AppendText(frame, title);
    Bytes tag{'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<uint8_t>(frame.size())};
    wavetest::Append(tag, frame);
    return Chunk("id3 ", tag);
  }

  wavetest::ScratchFolder m_dir;
  CWave m_wave;
};

TEST_F(ReadWaveTest, LowerCaseRiffAndWaveAreAccepted) {
  const Bytes file = RiffFile(Fmt() + InfoList({{"IART", "Quorvel"}}), -1, "riff", "wave");
  EXPECT_EQ(Read(file), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.artist, "Quorvel");
  EXPECT_EQ(m_wave.m_nTagCount, 1);
  EXPECT_EQ(m_wave.m_channels, 1);
  EXPECT_EQ(m_wave.m_sampleRate, 48000u);
  EXPECT_EQ(m_wave.m_bitsPerSample, 16);
}

TEST_F(ReadWaveTest, RefusesFilesThatAreNotRiffWaveOrHaveNoFormatBeforeTheSamples) {
  const Bytes data = Chunk("data", Bytes(8, 0));
  EXPECT_EQ(Read(RiffFile(data + Fmt())), CWave::kReadNotWave);
  EXPECT_EQ(Read(RiffFile(Fmt(), -1, "RIFX")), CWave::kReadNotWave);
  EXPECT_EQ(Read(RiffFile(Fmt(), -1, "RIFF", "AVI ")), CWave::kReadNotWave);
  // A file that ends before any format chunk is short of its format.
  EXPECT_EQ(Read(RiffFile(Chunk("fmX ", FormatContent(1, 48000, 16)))), CWave::kReadShort);
  // Only the first three characters of the format id are compared, without regard to case.
  EXPECT_EQ(Read(RiffFile(Chunk("FMTx", FormatContent(1, 48000, 16)))), CWave::kReadDone);
  // Chunks before the format, as other programs write them, are walked like those after it.
  EXPECT_EQ(Read(RiffFile(Chunk("JUNK", Bytes(28, 0)) + InfoList({{"IART", "x"}}) + Fmt() + data)),
            CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.artist, "x");
}

TEST_F(ReadWaveTest, ShortHeadersAreReported) {
  EXPECT_EQ(Read({}), CWave::kReadShort);
  EXPECT_EQ(Read(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V'}), CWave::kReadShort);
  // 12 bytes of header but fewer than 24 of format.
  Bytes cut = RiffFile(Fmt());
  cut.resize(30);
  EXPECT_EQ(Read(cut), CWave::kReadShort);
  // A format chunk that claims more than the file holds.
  Bytes longFmt = RiffFile(Chunk("fmt ", FormatContent(1, 48000, 16), 0x7FFFFFF0));
  EXPECT_EQ(Read(longFmt), CWave::kReadShort);
  EXPECT_EQ(Read(RiffFile(Chunk("fmt ", FormatContent(0xFFFE, 48000, 16), 0xFFFFFFFF))),
            CWave::kReadShort);
}

TEST_F(ReadWaveTest, EveryReturnLeavesTheTagCountOfTheClearedRecord) {
  // After a tagged file, each way a read can end leaves no tags and a count of 0: a stale count
  // would make the next untagged file look tagged without an artist.
  Bytes notRiff = RiffFile(Fmt());
  std::memcpy(notRiff.data(), "RIFX", 4);
  struct Case {
    const char* what;
    std::function<int()> read;
    int result;
  };
  const Case cases[] = {
      {"missing file", [&] { return m_wave.ReadWave(m_dir.File("absent.wav").c_str()); },
       CWave::kReadDone},
      {"short header", [&] { return Read({'x'}); }, CWave::kReadShort},
      {"not RIFF", [&] { return Read(notRiff); }, CWave::kReadNotWave},
      {"tags, then samples before the format",
       [&] {
         return Read(RiffFile(InfoList({{"IART", "B"}}) + Chunk("data", Bytes(4, 0)) + Fmt()));
       },
       CWave::kReadNotWave},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Read(RiffFile(Fmt() + InfoList({{"IART", "A"}, {"INAM", "T"}}))), CWave::kReadDone);
    ASSERT_EQ(m_wave.m_nTagCount, 2);
    EXPECT_EQ(c.read(), c.result);
    EXPECT_EQ(m_wave.m_nTagCount, 0);
    EXPECT_STREQ(m_wave.m_info.artist, "");
  }
}

TEST_F(ReadWaveTest, FormatExtensionIsConsumedExactly) {
  // 18-byte format (extension size 0), then the list: the walk finds the list.
  Bytes fmt18 = Chunk("fmt ", FormatContent(1, 44100, 16, 1, wavetest::Le16(0)));
  EXPECT_EQ(Read(RiffFile(fmt18 + InfoList({{"IART", "a"}}))), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.artist, "a");
  EXPECT_EQ(m_wave.m_extensionSize, 0);
  // 22 extra bytes of an extensible format are kept whole.
  Bytes ext = wavetest::Le16(22);
  wavetest::Append(ext, wavetest::Le16(24));
  ext.resize(24, 0xAB);
  Bytes fmt40 = Chunk("fmt ", FormatContent(0xFFFE, 48000, 24, 0xFFFE, ext));
  EXPECT_EQ(Read(RiffFile(fmt40 + InfoList({{"IART", "b"}}))), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.artist, "b");
  EXPECT_EQ(m_wave.m_extensibleFormat.size(), 48u);
  EXPECT_EQ(m_wave.m_extensibleFormat[47], 0xAB);
  // 20-byte format of another tag: extension size and one value, then 0 further bytes.
  Bytes fmt20 = Chunk("fmt ", FormatContent(3, 48000, 32, 3, wavetest::Le32(0x00070002)));
  EXPECT_EQ(Read(RiffFile(fmt20 + InfoList({{"IART", "c"}}))), CWave::kReadDone);
  EXPECT_EQ(m_wave.m_extensionSize, 2);
  EXPECT_EQ(m_wave.m_extensionValue, 7);
  EXPECT_STREQ(m_wave.m_info.artist, "c");
}

TEST_F(ReadWaveTest, OddChunkWithPadByteMakesTheWalkStartAtThePad) {
  // The odd chunk is followed by its pad byte; the walk reads the next header from the pad
  // byte, so the list after it is not found where a padding reader would find it.
  const Bytes odd = Chunk("junk", Bytes{1, 2, 3});
  const Bytes list = InfoList({{"IART", "Quorvel"}});
  EXPECT_EQ(Read(RiffFile(Fmt() + odd + Bytes{0} + list)), CWave::kReadDone);
  EXPECT_EQ(m_wave.m_nTagCount, 0);
  // Without the pad byte the list is read.
  EXPECT_EQ(Read(RiffFile(Fmt() + odd + list)), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.artist, "Quorvel");
}

TEST_F(ReadWaveTest, Id3BeforeListKeepsOnlyTheListValues) {
  const Bytes list = InfoList({{"IART", "Quorvel"}});
  EXPECT_EQ(Read(RiffFile(Fmt() + Id3Title("Tag title") + list)), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.artist, "Quorvel");
  EXPECT_STREQ(m_wave.m_info.title, "");
  EXPECT_EQ(m_wave.m_nTagCount, 1);
  // In the order this tool writes, both count.
  EXPECT_EQ(Read(RiffFile(Fmt() + list + Id3Title("Tag title"))), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.title, "Tag title");
  EXPECT_EQ(m_wave.m_nTagCount, 2);
}

TEST_F(ReadWaveTest, DataAndUnknownChunksAreSkippedAndFactIsRead) {
  const Bytes data = Chunk("data", wavetest::SampleBytes(wavetest::Ramp(500)));
  const Bytes fact = Chunk("fact", wavetest::Le32(500));
  EXPECT_EQ(Read(RiffFile(Fmt() + fact + data + Chunk("cue ", Bytes(24, 9)) +
                          InfoList({{"INAM", "t"}, {"IART", "a"}, {"IPRD", "b"}}))),
            CWave::kReadDone);
  EXPECT_EQ(m_wave.m_factSampleCount, 500u);
  EXPECT_EQ(m_wave.m_nTagCount, 3);
  // An "adtl" list is read with the same parser.
  EXPECT_EQ(Read(RiffFile(Fmt() + InfoList({{"ICMT", "note"}}, "adtl"))), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.comment, "note");
}

TEST_F(ReadWaveTest, OversizedChunksEndTheWalkWithoutReadingPastTheFile) {
  const Bytes list = InfoList({{"IART", "Quorvel"}});
  // Larger than the RIFF size field.
  EXPECT_EQ(Read(RiffFile(Fmt() + Chunk("data", Bytes(8, 0), 100000) + list)), CWave::kReadDone);
  EXPECT_EQ(m_wave.m_nTagCount, 0);
  // Within a huge RIFF size but beyond the end of the file: no 4 GB buffer, no read past it.
  EXPECT_EQ(
      Read(RiffFile(Fmt() + Chunk("LIST", Bytes{'I', 'N', 'F', 'O'}, 0xFFFFFFF0), 0xFFFFFFFF)),
      CWave::kReadDone);
  EXPECT_EQ(m_wave.m_nTagCount, 0);
  EXPECT_EQ(Read(RiffFile(Fmt() + Chunk("id3 ", Bytes{'I', 'D', '3'}, 0x7FFFFFFF), 0xFFFFFFFF)),
            CWave::kReadDone);
  // A list too short to hold its type, and an id3 chunk too short for a header.
  EXPECT_EQ(
      Read(RiffFile(Fmt() + Chunk("LIST", Bytes{'I', 'N'}) + Chunk("id3 ", Bytes{'I', 'D', '3'}))),
      CWave::kReadDone);
  EXPECT_EQ(m_wave.m_nTagCount, 0);
  // A truncated fact chunk.
  EXPECT_EQ(Read(RiffFile(Fmt() + Chunk("fact", Bytes{1, 2}, 4), 0xFFFF)), CWave::kReadDone);
}

TEST_F(ReadWaveTest, WholeCaptureFileRoundTrip) {
  const std::string path = m_dir.File("capture.wav");
  CWave writer;
  ASSERT_TRUE(writer.CreateCaptureFile(path.c_str()));
  for (int16_t s : wavetest::Ramp(4800)) ASSERT_TRUE(writer.WriteSample(s));
  std::strcpy(writer.m_szTitle, "100.00-10000.00 Hz");
  std::strcpy(writer.m_szArtist, "Quorvel");
  std::strcpy(writer.m_szAlbum, "capture");
  std::strcpy(writer.m_szComment, "Mic 1");
  ASSERT_TRUE(writer.CloseCaptureFile(true));
  ASSERT_EQ(m_wave.ReadWave(path.c_str()), CWave::kReadDone);
  EXPECT_STREQ(m_wave.m_info.title, "100.00-10000.00 Hz");
  EXPECT_STREQ(m_wave.m_info.artist, "Quorvel");
  EXPECT_STREQ(m_wave.m_info.album, "capture");
  EXPECT_STREQ(m_wave.m_info.comment, "Mic 1");
  EXPECT_EQ(m_wave.m_info.year, writer.m_year);
  EXPECT_GE(m_wave.m_info.year, 2024);
  EXPECT_EQ(m_wave.m_nTagCount, 5);
  EXPECT_EQ(m_wave.m_formatTag, 1);
  EXPECT_EQ(m_wave.m_byteRate, 96000u);
  EXPECT_EQ(m_wave.m_blockAlign, 2);
}

}  // namespace

}  // namespace quorvel
