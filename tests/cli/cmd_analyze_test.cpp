// quorvel-cli analyze, run as a program on capture files the test writes: the load checks with
// their messages and exit status, the range from the title tag, --save, the points of a
// recording against a reading of its samples made here, and numbers in a decimal-comma locale.

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/audio_engine.h"
#include "engine/curve_listener.h"
#include "files/wave_file.h"
#include "tests/base/decimal_comma_locale.h"
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

std::vector<int16_t> ReadDataChunk(const std::string& path);

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
    // 6 dB under full scale, as a clean recording is. A failed write makes the close below fail.
    for (int i = 0; i < length; ++i) static_cast<void>(wave.WriteSample(audio->Sweep()[i] / 2));
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

  // The copy holds the file's samples, every one as it was, and is a capture in its turn.
  EXPECT_EQ(ReadDataChunk(copy), ReadDataChunk(capture));
  EXPECT_EQ(Analyze(Quote(copy)).status, 0);
  EXPECT_GT(curve[500].levelDb, -20.0);  // the sweep is loud in the middle of its range
}

TEST_F(AnalyzeCommandTest, CommandLineRangeOverridesTheTitle) {
  const std::string capture =
      WriteSweepCapture("capture.wav", 50.0, 10000.0, "100.00-10000.00 Hz", "Quorvel");
  const std::string csv = m_dir.File("curve.csv");
  const CliOutcome run = Analyze(Quote(capture) + " --fmin 50 --csv " + Quote(csv));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<CurvePoint> curve = ReadCsv(csv);
  ASSERT_FALSE(curve.empty());
  EXPECT_NEAR(curve.front().frequencyHz, 50.0, 1e-6);
  EXPECT_NEAR(50.0 * std::pow(10000.0 / 50.0, static_cast<double>(curve.size() - 1) / 1000.0),
              curve.back().frequencyHz, 1e-6);
  // A range on the command line follows the limits of a measurement (the rulebook's rows are
  // in tests/control/measurement_request_test.cpp).
  EXPECT_EQ(Analyze(Quote(capture) + " --fmax 24001").status, 2);
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
  bool AddPoint(double) override {
    ++points;
    return false;
  }
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
  audio->SetFilePlaying(true);
  int end = 0;
  for (int i = 0; i < length && end == 0; ++i) {
    audio->PushFrame(audio->Sweep()[i] * 65535, audio->Sweep()[i] * 65535);
    if (counter.points == 1001) end = i + 1 + 480;
  }
  ASSERT_GT(end, 1000000);
  const std::string capture = m_dir.File("ends.wav");
  {
    CWave wave;
    ASSERT_TRUE(wave.CreateCaptureFile(capture.c_str()));
    for (int i = 0; i < end; ++i) ASSERT_TRUE(wave.WriteSample(audio->Sweep()[i]));
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

// A disk that fills up under each output, made by a file size limit of 1 KiB (two of the
// shell's 512-byte blocks): each fails with exit 1, names the reason, and leaves the earlier
// file byte for byte and nothing beside it.
TEST_F(AnalyzeCommandTest, OnAFullDiskEveryOutputFailsAndTheEarlierFileStays) {
  const std::string analyze = "analyze " + Quote(WriteSweepCapture("capture.wav", 200.0, 8000.0,
                                                                   "200.00-8000.00 Hz", "Quorvel"));
  std::ofstream(m_dir.File("mic.txt")) << "20 0\n20000 1\n";
  const std::string chart = "chart " + Quote(m_dir.File("mic.txt"));
  const struct {
    std::string command;
    const char* file;
    const char* message;
  } cases[] = {{analyze + " --csv ", "curve.csv", "Could not write the curve to "},
               {analyze + " --png ", "curve.png", "Cannot save the file to disk..."},
               {analyze + " --bmp ", "curve.bmp", "Cannot save the file to disk..."},
               {analyze + " --save ", "copy.wav", "Could not write to File..."},
               {chart + " --csv ", "chart.csv", "Could not write the chart to "}};
  const auto entries = [&] {
    return std::distance(std::filesystem::directory_iterator(m_dir.Path()), {});
  };
  for (const auto& c : cases) {
    const std::string target = m_dir.File(c.file);
    std::ofstream(target) << "earlier";
    const auto before = entries();
    const CliOutcome run = RunCli(c.command + Quote(target), "trap '' XFSZ; ulimit -f 2;");
    EXPECT_EQ(run.status, 1) << c.file << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(target + ": File too large"), std::string::npos) << run.output;
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier") << c.file;
    EXPECT_EQ(entries(), before) << c.file;  // no temporary file is left
  }
}

// ---- recordings as a live capture saves them ----

// What a live capture saves: the recording starts 25440 samples before the end of the block in
// which the burst was found, and ends with the block after the curve's last point. Here the
// played signal of fmin..fmax, 6 dB down, stands for the microphone, after `lead` samples of
// silence; the recording holds `count` samples (26.5 blocks before the end of the live sync
// block, then 1049 + D blocks for a recording made with this point timing, 1049 before it).
std::vector<int16_t> LiveStyleRecording(double fmin, double fmax, int lead, int count) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(fmin, fmax);
  std::vector<int16_t> recording(static_cast<size_t>(count), 0);
  for (int i = lead; i < count && i - lead < length; ++i) {
    recording[static_cast<size_t>(i)] = static_cast<int16_t>(audio->Sweep()[i - lead] / 2);
  }
  return recording;
}

std::string WriteRecording(const std::string& path, const std::vector<int16_t>& samples,
                           const char* title) {
  CWave wave;
  EXPECT_TRUE(wave.CreateCaptureFile(path.c_str()));
  for (int16_t s : samples) static_cast<void>(wave.WriteSample(s));
  std::strcpy(wave.m_szTitle, title);
  std::strcpy(wave.m_szArtist, "Quorvel");
  EXPECT_TRUE(wave.CloseCaptureFile(true));
  return path;
}

// The samples of a capture file read from its bytes: the 16-bit values of its "data" chunk,
// which this tool writes right after the 44-byte header.
std::vector<int16_t> ReadDataChunk(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (bytes.size() < 44 || std::memcmp(bytes.data() + 36, "data", 4) != 0) return {};
  const size_t size = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | size_t{bytes[43]} << 24;
  std::vector<int16_t> samples;
  for (size_t i = 44; i + 1 < 44 + size && i + 1 < bytes.size(); i += 2) {
    samples.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
  }
  return samples;
}

// The curve of a recording worked out here, apart from the program: the replay feeds every
// sample s as s * 65535 in 32 bits; a block is looked at each time 960 more samples have come,
// and covers the 960 samples before the newest one; the block that holds the burst's onset
// (placed where the detector's first 250 samples stay inside it) counts as block 1, and point k
// is block 49 + D + k, D = (2382 + 48000 / fmin) / 960. A point is the block's largest
// magnitude in dB of 32-bit full scale.
std::vector<double> IndependentCurve(const std::vector<int16_t>& samples, int burstOnset,
                                     double fmin) {
  const int syncBlockEnd = (burstOnset / 960 + 1) * 960;
  const int skipped = (2382 + static_cast<int>(48000.0 / fmin)) / 960;
  std::vector<double> curve;
  for (int k = 0; k < 1001; ++k) {
    const size_t end =
        static_cast<size_t>(syncBlockEnd) + static_cast<size_t>(48 + skipped + k) * 960;
    if (end > samples.size()) break;
    int peak = 0;
    for (size_t i = end - 961; i < end - 1; ++i) peak = std::max(peak, std::abs(int{samples[i]}));
    const double level = std::max(peak * 65535.0 / 2147483648.0, 2.5e-16);
    curve.push_back(20.0 * std::log10(level));
  }
  return curve;
}

TEST_F(AnalyzeCommandTest, ARecordingThatGivesNoCleanCurveIsAFailure) {
  const std::vector<int16_t> live = LiveStyleRecording(20.0, 20000.0, 480, 25440 + 1053 * 960);
  for (const auto& [title, status, message] :
       {std::tuple{"20000-20 Hz", 1, "The recording's sweep does not match the range 2000.00-"},
        std::tuple{"1.5-1.8 Hz", 2, "quorvel-cli: the range needs 1.9 <= fmin < fmax <= 24000"}}) {
    const std::string csv = m_dir.File("curve.csv");
    const CliOutcome run =
        Analyze(Quote(WriteRecording(m_dir.File("c.wav"), live, title)) + " --csv " + Quote(csv));
    EXPECT_EQ(run.status, status) << run.output;
    EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
    EXPECT_FALSE(std::ifstream(csv).good());
  }
}

TEST_F(AnalyzeCommandTest, ACaptureOfThisTimingGivesTheCurveOfAnIndependentReading) {
  struct Case {
    double fmin;
    double fmax;
    int skipped;  // D
  };
  for (const Case c : {Case{20.0, 20000.0, 4}, Case{2.0, 2000.0, 27}, Case{100.0, 5000.0, 2}}) {
    SCOPED_TRACE(testing::Message() << c.fmin << ".." << c.fmax << " Hz");
    // The burst's onset 480 samples into the file's block 26, so the live sync block (26.5
    // blocks into the file) holds it.
    const int lead = 480;
    const int count = 25440 + (1049 + c.skipped) * 960;
    char title[64];
    std::snprintf(title, sizeof title, "%.2f-%.2f Hz", c.fmin, c.fmax);
    const std::string path = WriteRecording(m_dir.File("new.wav"),
                                            LiveStyleRecording(c.fmin, c.fmax, lead, count), title);
    const std::string csv = m_dir.File("new.csv");
    const CliOutcome run = Analyze(Quote(path) + " --csv " + Quote(csv));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
    const std::vector<CurvePoint> curve = ReadCsv(csv);
    const std::vector<double> expected =
        IndependentCurve(ReadDataChunk(path), lead + 24000, c.fmin);
    ASSERT_EQ(curve.size(), 1001u);
    ASSERT_EQ(expected.size(), 1001u);
    int apart = 0;
    for (size_t k = 0; k < curve.size(); ++k) {
      if (std::fabs(curve[k].levelDb - expected[k]) > 0.05) ++apart;
    }
    EXPECT_EQ(apart, 0);
  }
}

TEST_F(AnalyzeCommandTest, ARecordingClippedFlatGivesItsCurveWithAWarningAndStatus3) {
  std::vector<int16_t> recording = LiveStyleRecording(20.0, 20000.0, 480, 25440 + 1053 * 960);
  for (int16_t& s : recording) s = static_cast<int16_t>(std::clamp(s * 4, -32767, 32767));
  const CliOutcome run =
      Analyze(Quote(WriteRecording(m_dir.File("hot.wav"), recording, "20.00-20000.00 Hz")));
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_NE(run.output.find("warning: the recording reached full scale ("), std::string::npos)
      << run.output;
}

TEST_F(AnalyzeCommandTest, ACaptureSavedBeforeThisTimingGivesThePointsItHoldsAndAWarning) {
  // Saved before the points were timed on their frequencies, a recording ends D blocks earlier:
  // 25440 + 1049 x 960 samples. Replayed, it holds the points up to the last whole block: 1002 - D
  // when the burst is found in the first half of the live sync block (the replay's block then
  // ends half a block before the live one), 1001 - D in its second half.
  struct Case {
    int lead;    // silence before the signal [samples]; the onset is 24000 later
    int points;  // at 20 Hz, D = 4
  };
  for (const Case c : {Case{480, 998}, Case{1000, 997}}) {
    SCOPED_TRACE(testing::Message() << "burst onset at " << c.lead + 24000);
    const int count = 25440 + 1049 * 960;
    const std::string path =
        WriteRecording(m_dir.File("old.wav"), LiveStyleRecording(20.0, 20000.0, c.lead, count),
                       "20.00-20000.00 Hz");
    const std::string csv = m_dir.File("old.csv");
    const std::string png = m_dir.File("old.png");
    const CliOutcome run = Analyze(Quote(path) + " --csv " + Quote(csv) + " --png " + Quote(png));
    ASSERT_EQ(run.status, 3) << run.output;  // written, with a warning
    const std::string warning = "warning: the recording lacks " + std::to_string(1001 - c.points) +
                                " of the 1001 points of a curve\n";
    EXPECT_NE(run.output.find(warning), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(std::to_string(c.points) + " of 1001 points\n"), std::string::npos)
        << run.output;
    const std::vector<CurvePoint> curve = ReadCsv(csv);
    ASSERT_EQ(curve.size(), static_cast<size_t>(c.points));
    // The points it has are the right ones.
    const std::vector<double> expected =
        IndependentCurve(ReadDataChunk(path), c.lead + 24000, 20.0);
    ASSERT_EQ(expected.size(), curve.size());
    for (size_t k = 0; k < curve.size(); ++k) {
      ASSERT_NEAR(curve[k].levelDb, expected[k], 0.05) << "point " << k;
    }
    EXPECT_TRUE(std::ifstream(png).good());
  }
}

// ---- numbers and the user's locale ----

TEST_F(AnalyzeCommandTest, NumbersKeepTheirDecimalPointInADecimalCommaLocale) {
  std::string why;
  const std::string folder = testlocale::DecimalCommaLocaleFolder(&why);
  if (folder.empty()) {
    if (!testlocale::CScopedDecimalComma::Available()) GTEST_SKIP() << why;
    FAIL() << why;
  }
  const std::string capture =
      WriteSweepCapture("capture.wav", 100.0, 5000.0, "100.00-5000.00 Hz", "Quorvel");
  const std::string csv = m_dir.File("curve.csv");
  const std::string png = m_dir.File("curve.png");
  const std::string copy = m_dir.File("copy.wav");
  // The picture makes the program start Qt, which takes the locale from the environment; the
  // copy's title and the closing lines come after it.
  const CliOutcome run = RunCli("analyze " + Quote(capture) + " --png " + Quote(png) + " --csv " +
                                    Quote(csv) + " --save " + Quote(copy),
                                testlocale::DecimalCommaEnvironment(folder));
  ASSERT_EQ(run.status, 0) << run.output;
  CWave reader;
  ASSERT_EQ(reader.ReadWave(copy.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.title, "100.00-5000.00 Hz");
  EXPECT_NE(run.output.find("first point: 100.000000 Hz"), std::string::npos) << run.output;
  const std::vector<CurvePoint> curve = ReadCsv(csv);
  ASSERT_EQ(curve.size(), 1001u);
  EXPECT_NEAR(curve.back().frequencyHz, 5000.0, 1e-6);
  // The same program in the C locale gives the same texts.
  const std::string csvC = m_dir.File("curve_c.csv");
  ASSERT_EQ(Analyze(Quote(capture) + " --csv " + Quote(csvC)).status, 0);
  std::ifstream a(csv);
  std::ifstream b(csvC);
  const std::string textA((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
  const std::string textB((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
  EXPECT_EQ(textA, textB);
}

// ---- curve files ----

TEST_F(AnalyzeCommandTest, APictureOntoAFolderIsRefusedAndTheFolderStays) {
  const std::string capture =
      WriteSweepCapture("capture.wav", 100.0, 5000.0, "100.00-5000.00 Hz", "Quorvel");
  const std::string folder = m_dir.File("curve.png");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  const CliOutcome run = Analyze(Quote(capture) + " --png " + Quote(folder));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Cannot save the file to disk..."), std::string::npos) << run.output;
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(AnalyzeCommandTest, CsvOntoANamedPipeWithoutAReaderIsRefusedAtOnce) {
  const std::string capture =
      WriteSweepCapture("capture.wav", 100.0, 5000.0, "100.00-5000.00 Hz", "Quorvel");
  const std::string pipe = m_dir.File("curve.fifo");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // Without the refusal the program would wait for a reader for ever: the shell's timeout ends
  // such a run with status 124.
  const CliOutcome run =
      RunCli("analyze " + Quote(capture) + " --csv " + Quote(pipe), "timeout 60");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Could not write the curve to " + pipe), std::string::npos)
      << run.output;
}

TEST_F(AnalyzeCommandTest, SharedFilesAFullStandardOutputAndQtEndWithTheirStatus) {
  const std::string analyze =
      "analyze " + Quote(WriteSweepCapture("c.wav", 100.0, 5000.0, "100.00-5000.00 Hz", "Quorvel"));
  const struct {
    const char* prefix;  // after a cd into the folder
    const char* arguments;
    int status;
    const char* says;
  } cases[] = {
      {"(", " --csv o.png --png ./o.png)", 2, "--png ./o.png names the same file as --csv"},
      {"(", " > /dev/full)", 1, "could not write the standard output: No space left on"},
      {"env -u XDG_RUNTIME_DIR", "", 0, ""},  // and no word of it
      {"QT_QPA_PLATFORM=nosuch", "", 1, "Could not find the Qt platform plugin \"nosuch\""}};
  for (const auto& c : cases) {
    const CliOutcome run =
        RunCli(analyze + c.arguments, "cd " + Quote(m_dir.Path()) + " && " + c.prefix);
    EXPECT_EQ(run.status, c.status) << c.arguments << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("XDG_RUNTIME_DIR"), std::string::npos) << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("o.png")));
}

}  // namespace

}  // namespace quorvel
