// The capture sample reader on files this tool writes and on hand-built, damaged and foreign
// files.

#include "files/capture_samples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/wave_file.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

using wavetest::Bytes;
using wavetest::Chunk;
using wavetest::FormatContent;
using wavetest::RiffFile;
using wavetest::operator+;

struct Samples {
  bool ok = false;
  uint32_t count = 0;
  int32_t channels = 0;
  int32_t rate = 0;
  std::vector<int16_t> values;
};

class CaptureSamplesTest : public ::testing::Test {
 protected:
  Samples ReadPath(const std::string& path) {
    Samples out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return out;
    int16_t* data = nullptr;
    out.ok = ReadCaptureSamples(file, &out.count, &out.channels, &data, &out.rate);
    if (out.ok) {
      EXPECT_NE(data, nullptr);
      out.values.assign(data, data + static_cast<size_t>(out.count) * out.channels);
    } else {
      EXPECT_EQ(data, nullptr);
      EXPECT_EQ(out.count, 0u);
      EXPECT_EQ(out.channels, 0);
      EXPECT_EQ(out.rate, 0);
    }
    std::free(data);
    return out;
  }
  Samples Read(const Bytes& bytes) {
    const std::string path = m_dir.File("in.wav");
    wavetest::WriteBytes(path, bytes);
    return ReadPath(path);
  }
  static Bytes Fmt(uint16_t channels = 1, uint32_t rate = 48000, uint16_t tag = 1) {
    return Chunk("fmt ", FormatContent(channels, rate, 16, tag));
  }
  static Bytes Data(const std::vector<int16_t>& values) {
    return Chunk("data", wavetest::SampleBytes(values));
  }

  wavetest::ScratchFolder m_dir;
};

TEST_F(CaptureSamplesTest, ReadsBackACaptureFileWithItsTags) {
  const std::string path = m_dir.File("capture.wav");
  const std::vector<int16_t> ramp = wavetest::Ramp(96000, 13);
  CWave wave;
  ASSERT_TRUE(wave.CreateCaptureFile(path.c_str()));
  for (int16_t s : ramp) ASSERT_TRUE(wave.WriteSample(s));
  std::strcpy(wave.m_szArtist, "Quorvel");
  std::strcpy(wave.m_szComment, "Mic 1");
  ASSERT_TRUE(wave.CloseCaptureFile(true));
  const Samples got = ReadPath(path);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.count, 96000u);
  EXPECT_EQ(got.channels, 1);
  EXPECT_EQ(got.rate, 48000);
  EXPECT_EQ(got.values, ramp);
}

TEST_F(CaptureSamplesTest, JoinsSeveralDataChunksInFileOrder) {
  const std::vector<int16_t> a = wavetest::Ramp(1000, 3);
  const std::vector<int16_t> b = wavetest::Ramp(777, -5);
  const Samples got = Read(RiffFile(Fmt() + Data(a) + Chunk("LIST", Bytes(20, 'x')) + Data(b)));
  ASSERT_TRUE(got.ok);
  std::vector<int16_t> joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  EXPECT_EQ(got.count, 1777u);
  EXPECT_EQ(got.values, joined);
}

TEST_F(CaptureSamplesTest, StereoAndOtherRatesAreReportedAsTheyAre) {
  const std::vector<int16_t> frames = wavetest::Ramp(2001);  // odd: the last half frame drops
  const Samples got = Read(RiffFile(Fmt(2, 44100) + Data(frames)));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.channels, 2);
  EXPECT_EQ(got.rate, 44100);
  EXPECT_EQ(got.count, 1000u);
  EXPECT_TRUE(std::equal(got.values.begin(), got.values.end(), frames.begin()));
}

TEST_F(CaptureSamplesTest, ChunksBeforeTheFormatAndItsExtensionArePassedOverBySize) {
  const std::vector<int16_t> ramp = wavetest::Ramp(300);
  const Bytes fmt18 = Chunk("fmt ", FormatContent(1, 48000, 16, 1, wavetest::Le16(0)));
  const Samples got = Read(RiffFile(fmt18 + Data(ramp)));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.values, ramp);
  const Bytes before = Chunk("JUNK", Bytes(28, 0)) + Chunk("fact", Bytes(4, 1));
  EXPECT_EQ(Read(RiffFile(before + Fmt() + Data(ramp))).values, ramp);
}

TEST_F(CaptureSamplesTest, RefusesWhatIsNotPcmWave) {
  const Bytes data = Data(wavetest::Ramp(100));
  EXPECT_FALSE(Read(RiffFile(Fmt(1, 48000, 3) + data)).ok);           // float
  EXPECT_FALSE(Read(RiffFile(Fmt(1, 48000, 0xFFFE) + data)).ok);      // extensible
  EXPECT_FALSE(Read(RiffFile(Fmt() + data, -1, "RIFF", "wave")).ok);  // case matters here
  EXPECT_FALSE(Read(RiffFile(Chunk("FMT ", FormatContent(1, 48000, 16)) + data)).ok);
  EXPECT_FALSE(Read(RiffFile(Data(wavetest::Ramp(100)) + Fmt())).ok);
  EXPECT_FALSE(Read(RiffFile(Fmt(0) + data)).ok);  // no channels
  // The first four bytes are not examined.
  EXPECT_TRUE(Read(RiffFile(Fmt() + data, -1, "RIFX")).ok);
}

TEST_F(CaptureSamplesTest, EmptyTruncatedAndDatalessFilesFail) {
  EXPECT_FALSE(Read({}).ok);
  EXPECT_FALSE(Read(Bytes{'R', 'I', 'F', 'F'}).ok);
  EXPECT_FALSE(Read(RiffFile(Fmt())).ok);
  EXPECT_FALSE(Read(RiffFile(Fmt() + Chunk("LIST", Bytes(8, 0)))).ok);
  // 4 bytes of samples are not enough; 10 are. (The position after a chunk header is compared
  // with the RIFF size field itself, so a last chunk of 8 bytes or fewer lies beyond it.)
  EXPECT_FALSE(Read(RiffFile(Fmt() + Data({1, 2}), 0xFFFF)).ok);
  EXPECT_TRUE(Read(RiffFile(Fmt() + Data({1, 2, 3, 4, 5}))).ok);
  EXPECT_FALSE(Read(RiffFile(Fmt() + Data({1, 2, 3}))).ok);
  Bytes cut = RiffFile(Fmt() + Data(wavetest::Ramp(100)));
  cut.resize(30);
  EXPECT_FALSE(Read(cut).ok);
}

TEST_F(CaptureSamplesTest, SizeFieldsBeyondTheFileAreNotTrusted) {
  // A RIFF size of 0xFFFFFFFF in a file of about 100 bytes: no 4 GB buffer, nothing read past
  // the end; the data that is there is read.
  const std::vector<int16_t> ramp = wavetest::Ramp(20);
  Samples got = Read(RiffFile(Fmt() + Data(ramp), 0xFFFFFFFF));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.values, ramp);
  // A data chunk that claims more than the file holds ends the walk before it.
  got = Read(RiffFile(Fmt() + Data(ramp) + Chunk("data", Bytes(10, 1), 0x7FFFFFFF), 0xFFFFFFFF));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.values, ramp);
  EXPECT_FALSE(Read(RiffFile(Fmt() + Chunk("data", Bytes(10, 1), 0xFFFFFFF0), 0xFFFFFFFF)).ok);
  // A skipped chunk that claims too much ends the walk as well.
  got = Read(RiffFile(Fmt() + Data(ramp) + Chunk("junk", Bytes(4, 0), 0x10000000) + Data(ramp),
                      0xFFFFFFFF));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.count, 20u);
  // A format chunk that claims more than the file holds.
  EXPECT_FALSE(
      Read(RiffFile(Chunk("fmt ", FormatContent(1, 48000, 16), 0xFFFFFFFF) + Data(ramp))).ok);
}

TEST_F(CaptureSamplesTest, WalkStopsAtTheRiffSize) {
  // A RIFF size that covers the first data chunk only: the second chunk lies beyond it and is
  // not read.
  const std::vector<int16_t> a = wavetest::Ramp(50);
  const Bytes chunks = Fmt() + Data(a) + Data(wavetest::Ramp(50, 11));
  const Samples got = Read(RiffFile(chunks, 4 + 24 + 8 + 100));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.values, a);
  // With the RIFF size of the whole file both are read.
  EXPECT_EQ(Read(RiffFile(chunks)).count, 100u);
}

TEST_F(CaptureSamplesTest, OddSizedChunkIsFollowedExactly) {
  // No pad byte is skipped: a pad after an odd chunk shifts the next header by one byte, so the
  // next data chunk is not found.
  const std::vector<int16_t> a = wavetest::Ramp(10);
  Samples got = Read(RiffFile(Fmt() + Data(a) + Chunk("junk", Bytes{1, 2, 3}) + Bytes{0} +
                              Data(wavetest::Ramp(10, 5))));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.values, a);
  got = Read(RiffFile(Fmt() + Data(a) + Chunk("junk", Bytes{1, 2, 3}) + Data(a)));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.count, 20u);
}

TEST(CaptureSamplesNull, NullFileFails) {
  uint32_t count = 9;
  int32_t channels = 9;
  int32_t rate = 9;
  int16_t* data = nullptr;
  EXPECT_FALSE(ReadCaptureSamples(nullptr, &count, &channels, &data, &rate));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(channels, 0);
  EXPECT_EQ(rate, 0);
}

}  // namespace

}  // namespace quorvel
