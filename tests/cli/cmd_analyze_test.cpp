// quorvel-cli analyze, run as a program on capture files the test writes: the load checks with
// their messages and exit status, the range from the title tag, and --save.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/audio_engine.h"
#include "engine/curve_listener.h"
#include "files/wave_file.h"
#include "tests/cli/cli_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

CliOutcome Analyze(const std::string& arguments) {
  return RunCli("analyze " + arguments);
}

std::string Quote(const std::string& text) {
  return ShellQuote(text);
}

// The curve CSV: frequency and level of every point.
struct CurvePoint {
  double frequencyHz;
  double levelDb;
};

std::vector<CurvePoint> ReadCsv(const std::string& path) {
  std::vector<CurvePoint> points;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    int index = 0;
    CurvePoint p{};
    if (std::sscanf(line.c_str(), "%d,%lf,%lf", &index, &p.frequencyHz, &p.levelDb) == 3) {
      points.push_back(p);
    }
  }
  return points;
}

class AnalyzeCommandTest : public ::testing::Test {
 protected:
  // The generated playback signal of fmin..fmax saved as a capture file with the given tags.
  std::string WriteSweepCapture(const std::string& name, double fmin, double fmax,
                                const char* title, const char* artist) {
    auto audio = std::make_unique<CAudio>();
    const int length = audio->GenerateSweep(fmin, fmax);
    EXPECT_GT(length, 1000000);
    const std::string path = m_dir.File(name);
    CWave wave;
    EXPECT_TRUE(wave.CreateCaptureFile(path.c_str()));
    // A failed write makes the close below fail.
    for (int i = 0; i < length; ++i) static_cast<void>(wave.WriteSample(audio->m_sweep[i]));
    if (title != nullptr) std::strcpy(wave.m_szTitle, title);
    if (artist != nullptr) std::strcpy(wave.m_szArtist, artist);
    EXPECT_TRUE(wave.CloseCaptureFile(title != nullptr || artist != nullptr));
    return path;
  }

  wavetest::ScratchFolder m_dir;
};

TEST_F(AnalyzeCommandTest, RangeComesFromTheTitleTagAndSaveWritesTheReplayedRecording) {
  const std::string capture =
      WriteSweepCapture("capture.wav", 200.0, 8000.0, "200.00-8000.00 Hz", "Quorvel");
  const std::string csv = m_dir.File("curve.csv");
  const std::string copy = m_dir.File("copy.wav");
  const CliOutcome run =
      Analyze(Quote(capture) + " --csv " + Quote(csv) + " --save " + Quote(copy));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("curve complete"), std::string::npos) << run.output;
  const std::vector<CurvePoint> curve = ReadCsv(csv);
  ASSERT_EQ(curve.size(), 1001u);
  EXPECT_NEAR(curve.front().frequencyHz, 200.0, 1e-6);
  EXPECT_NEAR(curve.back().frequencyHz, 8000.0, 1e-6);

  // The copy is a capture file with the tags Save Audio File writes.
  CWave reader;
  ASSERT_EQ(reader.ReadWave(copy.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.title, "200.00-8000.00 Hz");
  EXPECT_STREQ(reader.m_info.artist, "Quorvel");
  EXPECT_STREQ(reader.m_info.album, "copy");
  EXPECT_GT(reader.m_info.year, 2000);

  // Replayed in its turn, the copy gives the same curve: the recording was saved from its start.
  const std::string csv2 = m_dir.File("curve2.csv");
  const CliOutcome again = Analyze(Quote(copy) + " --csv " + Quote(csv2));
  ASSERT_EQ(again.status, 0) << again.output;
  const std::vector<CurvePoint> curve2 = ReadCsv(csv2);
  ASSERT_EQ(curve2.size(), 1001u);
  int apart = 0;
  for (size_t k = 0; k < curve.size(); ++k) {
    // Silent points (at or below -90 dB) compare as silent; the others within 0.1 dB.
    const bool silent = curve[k].levelDb <= -90.0 && curve2[k].levelDb <= -90.0;
    if (!silent && std::fabs(curve[k].levelDb - curve2[k].levelDb) > 0.1) ++apart;
  }
  EXPECT_EQ(apart, 0);
  EXPECT_NEAR(curve2[500].levelDb, curve[500].levelDb, 0.1);
  EXPECT_GT(curve2[500].levelDb, -20.0);  // the sweep is loud in the middle of its range
}

TEST_F(AnalyzeCommandTest, CommandLineRangeOverridesTheTitle) {
  const std::string capture =
      WriteSweepCapture("capture.wav", 100.0, 10000.0, "100.00-10000.00 Hz", "Quorvel");
  const std::string csv = m_dir.File("curve.csv");
  const CliOutcome run = Analyze(Quote(capture) + " --fmin 50 --csv " + Quote(csv));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<CurvePoint> curve = ReadCsv(csv);
  ASSERT_FALSE(curve.empty());
  EXPECT_NEAR(curve.front().frequencyHz, 50.0, 1e-6);
  EXPECT_NEAR(50.0 * std::pow(10000.0 / 50.0, static_cast<double>(curve.size() - 1) / 1000.0),
              curve.back().frequencyHz, 1e-6);
  const CliOutcome bad = Analyze(Quote(capture) + " --fmin 20000");
  EXPECT_EQ(bad.status, 2) << bad.output;
}

TEST_F(AnalyzeCommandTest, RefusedFilesExitWithTheLoadMessages) {
  const std::string shortFile = m_dir.File("short.wav");
  {
    CWave wave;
    ASSERT_TRUE(wave.CreateCaptureFile(shortFile.c_str()));
    for (int i = 0; i < 48000; ++i) static_cast<void>(wave.WriteSample(static_cast<int16_t>(i)));
    ASSERT_TRUE(wave.CloseCaptureFile(false));
  }
  CliOutcome run = Analyze(Quote(shortFile));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Sorry this file is too short to be a valid 'Quorvel' file..."),
            std::string::npos)
      << run.output;

  const std::string foreign =
      WriteSweepCapture("foreign.wav", 100.0, 10000.0, "100.00-10000.00 Hz", "Someone");
  run = Analyze(Quote(foreign));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Sorry this file is not a genuine 'Quorvel' wav file..."),
            std::string::npos)
      << run.output;

  run = Analyze(Quote(m_dir.File("absent.wav")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Could not open File"), std::string::npos) << run.output;
}

// Counts the curve points the analysis finds.
struct PointCounter : ICurveListener {
  void AddPoint(double) override { ++points; }
  int points = 0;
};

TEST_F(AnalyzeCommandTest, ARecordingEndingRightAfterItsLastPointCanBeSavedAgain) {
  // A saved recording ends with the block that completed the live curve; replayed from the
  // file's first sample, its blocks can run out after the 1001st point and before the block
  // that reports the curve complete. Here the samples end half a block after that point.
  PointCounter counter;
  auto audio = std::make_unique<CAudio>(nullptr, &counter);
  const int length = audio->GenerateSweep(20.0, 20000.0);
  audio->ResetAnalysis();
  audio->m_filePlaying.store(1);
  int end = 0;
  for (int i = 0; i < length && end == 0; ++i) {
    audio->PushFrame(audio->m_sweep[i] * 65535, audio->m_sweep[i] * 65535);
    if (counter.points == 1001) end = i + 1 + 480;
  }
  ASSERT_GT(end, 1000000);
  const std::string capture = m_dir.File("ends.wav");
  {
    CWave wave;
    ASSERT_TRUE(wave.CreateCaptureFile(capture.c_str()));
    for (int i = 0; i < end; ++i) ASSERT_TRUE(wave.WriteSample(audio->m_sweep[i]));
    std::strcpy(wave.m_szTitle, "20.00-20000.00 Hz");
    std::strcpy(wave.m_szArtist, "Quorvel");
    ASSERT_TRUE(wave.CloseCaptureFile(true));
  }
  const std::string copy = m_dir.File("again.wav");
  const CliOutcome run = Analyze(Quote(capture) + " --save " + Quote(copy));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("No new capture performed"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("1001 of 1001 points, curve complete"), std::string::npos)
      << run.output;
  CWave reader;
  ASSERT_EQ(reader.ReadWave(copy.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.title, "20.00-20000.00 Hz");
}

TEST_F(AnalyzeCommandTest, SaveNeedsACompletedCurve) {
  // A million samples of silence: the sync burst is never found, so no curve completes.
  const std::string silent = m_dir.File("silent.wav");
  {
    CWave wave;
    ASSERT_TRUE(wave.CreateCaptureFile(silent.c_str()));
    for (int i = 0; i < 1000000; ++i) static_cast<void>(wave.WriteSample(0));
    ASSERT_TRUE(wave.CloseCaptureFile(false));
  }
  const std::string copy = m_dir.File("copy.wav");
  const CliOutcome run = Analyze(Quote(silent) + " --save " + Quote(copy));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("No new capture performed"), std::string::npos) << run.output;
  EXPECT_FALSE(std::ifstream(copy).good());
}

}  // namespace

}  // namespace quorvel
