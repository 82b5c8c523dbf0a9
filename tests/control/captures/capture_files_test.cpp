// The save and load rules of capture files, on real files in a scratch folder, with a scripted
// answerer in place of the message boxes and file choosers.

#include "control/captures/capture_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/memory_preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "engine/audio_engine.h"
#include "files/capture_samples.h"
#include "files/wave_file.h"
#include "tests/base/decimal_comma_locale.h"
#include "tests/control/capture_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

using wavetest::Bytes;
using wavetest::Chunk;
using wavetest::FormatContent;
using wavetest::RiffFile;
using wavetest::operator+;
using wavetest::FakeCharts;

constexpr size_t kCaptureSamples = 1000500;  // a little over the 1000000 a file must hold

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

class CaptureFilesTest : public ::testing::Test {
 protected:
  CaptureFilesTest()
      : m_audio(std::make_unique<CAudio>()), m_ctx{*m_audio,   m_state, m_wave,
                                                   m_messages, m_prefs, nullptr} {}

  // A capture file as this tool writes it, with the given samples and tags (null: absent).
  void WriteCapture(const std::string& path, const std::vector<int16_t>& samples, const char* title,
                    const char* artist, const char* album, const char* comment = nullptr) {
    CWave wave;
    ASSERT_TRUE(wave.CreateCaptureFile(path.c_str()));
    for (int16_t s : samples) ASSERT_TRUE(wave.WriteSample(s));
    const bool tagged =
        title != nullptr || artist != nullptr || album != nullptr || comment != nullptr;
    if (title != nullptr) std::strcpy(wave.m_szTitle, title);
    if (artist != nullptr) std::strcpy(wave.m_szArtist, artist);
    if (album != nullptr) std::strcpy(wave.m_szAlbum, album);
    if (comment != nullptr) std::strcpy(wave.m_szComment, comment);
    ASSERT_TRUE(wave.CloseCaptureFile(tagged));
  }
  std::string TaggedCapture(const char* title, const char* comment = nullptr,
                            const char* artist = "Quorvel") {
    const std::string path = m_dir.File("tagged.wav");
    WriteCapture(path, Samples(), title, artist, "session 7", comment);
    return path;
  }
  static const std::vector<int16_t>& Samples() {
    static const std::vector<int16_t> ramp = wavetest::Ramp(kCaptureSamples, 11);
    return ramp;
  }
  // `count` samples recorded since a reset (sample i is i * 3), taken as the finished capture.
  void Record(int32_t count) {
    m_audio->ResetAnalysis();
    for (int32_t i = 0; i < count; ++i) {
      m_audio->PushFrame(static_cast<int16_t>(i * 3) * 65536, 0);
    }
    m_audio->TakeRecordingAsCapture();
  }
  // A finished capture at the start of the record track, as the end of a capture leaves it.
  void FinishCapture(int32_t count) {
    Record(count);
    m_state.m_bCurveEndNotified.store(1);
    m_state.m_curveFmin = 20.0;
    m_state.m_curveFmax = 20000.0;
  }
  // The measurement the finished capture is, as the run's end makes it: the record track's
  // samples over the curve's range; none before the curve is complete.
  std::optional<Measurement> Finished() {
    if (m_state.m_bCurveEndNotified.load() == 0) return std::nullopt;
    return Recorded();
  }
  // The record track over the curve's range, complete or not.
  Measurement Recorded() {
    Measurement::Parts parts;
    parts.fmin = m_state.m_curveFmin;
    parts.fmax = m_state.m_curveFmax;
    auto recording = std::make_shared<Recording>();
    recording->samples.assign(m_audio->Recording().begin(), m_audio->Recording().end());
    parts.recording = std::move(recording);
    return Measurement(std::move(parts));
  }
  bool SaveFinished(const std::string& path) {
    const std::optional<Measurement> finished = Finished();
    return CheckMeasurementToSave(m_ctx.Reading(), finished ? &*finished : nullptr) &&
           SaveMeasurementCapture(m_ctx.Reading(), *finished, path);
  }
  // The context with `made` as the last run's measurement, as the core hands it over.
  CaptureFileContext WithFinished(const Measurement& made) {
    CaptureFileContext ctx = m_ctx;
    ctx.finished = &made;
    return ctx;
  }
  bool SaveFinishedAudioFile() {
    const std::optional<Measurement> finished = Finished();
    return SaveAudioFile(m_ctx.Reading(), finished ? &*finished : nullptr);
  }
  void LoadEarlierSamples() {
    m_audio->LoadSamples(LoadedSamples(static_cast<int16_t*>(std::calloc(32, 2))), 32);
  }
  std::string LastMessage() {
    const std::vector<std::string> shown = m_messages.Messages();
    return shown.empty() ? "" : shown.back();
  }
  // The last chooser shown, "folder|extension"; empty when none was.
  std::string LastChooser() {
    const std::vector<std::string> choosers = m_messages.Choosers();
    return choosers.empty() ? "" : choosers.back();
  }
  // Loading and saving capture files never asks a question.
  void TearDown() override { EXPECT_TRUE(m_messages.Questions().empty()); }

  wavetest::ScratchFolder m_dir;
  std::unique_ptr<CAudio> m_audio;
  CSharedState m_state;
  CWave m_wave;
  CScriptedMessages m_messages;
  CMemoryPreferences m_prefs;
  CaptureFileContext m_ctx;
};

// ---- Save Audio File ----

TEST_F(CaptureFilesTest, SaveRefusesWithoutACompletedCurve) {
  Record(100000);
  m_state.m_bCurveEndNotified.store(0);
  m_messages.ChooseNext(m_dir.File("never.wav"));
  EXPECT_FALSE(SaveFinishedAudioFile());
  EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"No new capture performed"});
  m_state.m_bCurveEndNotified.store(1);
  Record(47999);
  EXPECT_FALSE(SaveFinishedAudioFile());
  EXPECT_EQ(m_messages.Messages().size(), 2u);
  EXPECT_EQ(LastMessage(), "No new capture performed");
  EXPECT_TRUE(m_messages.Choosers().empty());  // the chooser was never shown
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("never.wav")));
  FinishCapture(48000);
  const Measurement made = Recorded();
  EXPECT_TRUE(CheckCaptureToSave(WithFinished(made)));
  m_state.m_curveFmin = 0.0;  // the curve reset by a wider range, and the capture with it
  EXPECT_FALSE(CheckCaptureToSave(WithFinished(made)));
}

TEST_F(CaptureFilesTest, SaveWritesTheRecordingAndItsTags) {
  FinishCapture(120000);
  m_state.m_curveFmin = 31.5;  // the range fields may show another range since
  m_state.m_curveFmax = 16000.0;
  m_state.m_chartNames = {"Mic A", "Mic B"};
  m_state.m_chartPaths = {"/charts/a.txt", "/charts/b.txt"};
  m_state.m_nSelectedChart.store(1);
  m_state.m_bCalibrationApplied.store(1);
  const std::string path = m_dir.File("living room.wav");
  m_messages.ChooseNext(path);
  ASSERT_TRUE(SaveFinishedAudioFile());
  EXPECT_TRUE(m_messages.Messages().empty());
  EXPECT_TRUE(LastChooser().ends_with("|wav"));
  EXPECT_STREQ(m_state.m_szWavPath, path.c_str());
  EXPECT_EQ(m_prefs.StoredText("Wav"), path);

  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  uint32_t count = 0;
  int32_t channels = 0;
  int32_t rate = 0;
  int16_t* samples = nullptr;
  ASSERT_TRUE(ReadCaptureSamples(file, &count, &channels, &samples, &rate));
  ASSERT_EQ(count, 120000u);
  EXPECT_EQ(channels, 1);
  EXPECT_EQ(rate, 48000);
  int mismatches = 0;
  for (uint32_t i = 0; i < count; ++i) {
    mismatches += samples[i] != static_cast<int16_t>(i * 3);
  }
  EXPECT_EQ(mismatches, 0);
  std::free(samples);

  CWave reader;
  ASSERT_EQ(reader.ReadWave(path.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.title, "31.50-16000.00 Hz");
  EXPECT_STREQ(reader.m_info.artist, "Quorvel");
  EXPECT_STREQ(reader.m_info.album, "living room");
  EXPECT_STREQ(reader.m_info.comment, "Mic B");
  EXPECT_EQ(reader.m_info.year, CurrentYear());
  EXPECT_EQ(reader.m_nTagCount, 5);
}

TEST_F(CaptureFilesTest, SaveWithoutCalibrationHasNoComment) {
  FinishCapture(50000);
  m_state.m_chartNames = {"Mic A"};
  m_state.m_nSelectedChart.store(0);
  m_state.m_bCalibrationApplied.store(0);
  const std::string path = m_dir.File("plain.wav");
  ASSERT_TRUE(SaveFinished(path));
  CWave reader;
  ASSERT_EQ(reader.ReadWave(path.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.comment, "");
  EXPECT_STREQ(reader.m_info.title, "20.00-20000.00 Hz");
  EXPECT_EQ(reader.m_nTagCount, 4);
  // Header and samples, the list (12 + IPRD 14 + IART 16 + INAM 26 + ICRD 14) and the tag
  // (8 + 10 + TIT2 49 + TPE1 29 + TALB 25 + TYER 16 + 1 pad).
  EXPECT_EQ(std::filesystem::file_size(path), 44u + 100000u + 82u + 138u);
}

// A disk that fills up while the recording is written, made by a file size limit of 64 KiB:
// the save says so, and the capture stays there to be saved elsewhere.
TEST_F(CaptureFilesTest, ADiskThatFillsUpDuringTheSaveIsReported) {
  FinishCapture(120000);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails (EFBIG)
  rlimit limited = before;
  limited.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const std::string path = m_dir.File("full disk.wav");
  const bool saved = SaveFinished(path);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_EQ(m_messages.Messages(),
            std::vector<std::string>{"Could not write to File...\n" + path + ": File too large"});
  EXPECT_FALSE(std::filesystem::exists(path));  // nothing cut short is left
  EXPECT_TRUE(CheckCaptureToSave(WithFinished(Recorded())));
  ASSERT_TRUE(SaveFinished(m_dir.File("elsewhere.wav")));
  CWave reader;
  EXPECT_EQ(reader.ReadWave(m_dir.File("elsewhere.wav").c_str()), CWave::kReadDone);
}

TEST_F(CaptureFilesTest, SaveAcceptsCharactersWindowsRefusesInALinuxName) {
  FinishCapture(50000);
  const std::string path = m_dir.File("what? 12:30.wav");
#ifdef _WIN32
  EXPECT_FALSE(SaveFinished(path));
  EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"Could not create File!"});
#else
  ASSERT_TRUE(SaveFinished(path)) << testing::PrintToString(m_messages.Messages());
  EXPECT_TRUE(m_messages.Messages().empty());
  EXPECT_STREQ(m_state.m_szWavPath, path.c_str());
  CWave reader;
  ASSERT_EQ(reader.ReadWave(path.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.album, "what? 12:30");
#endif
}

TEST_F(CaptureFilesTest, TheRangeInTheTitleKeepsItsDecimalPointInEveryLocale) {
  FinishCapture(50000);
  m_state.m_curveFmin = 100.0;
  m_state.m_curveFmax = 5000.0;
  const std::string saved = m_dir.File("comma.wav");
  {
    QUORVEL_IN_DECIMAL_COMMA_LOCALE(comma);
    ASSERT_TRUE(SaveFinished(saved));
    EXPECT_EQ(FormatRangeTitle(31.25, 16000.0), "31.25-16000.00 Hz");
    // A title read back in the same locale gives the range it names.
    LoadedCaptureFile loaded;
    ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture("100.00-5000.00 Hz"), &loaded));
    EXPECT_DOUBLE_EQ(loaded.fmin, 100.0);
    EXPECT_DOUBLE_EQ(loaded.fmax, 5000.0);
    // A title with decimal commas (what the fault wrote) reads as "%lf-%lf" reads it in the C
    // locale: 100, then no "-" after it, so fmax 0, and the range is put right to 100..20000.
    ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture("100,00-5000,00 Hz"), &loaded));
    EXPECT_DOUBLE_EQ(loaded.fmin, 100.0);
    EXPECT_DOUBLE_EQ(loaded.fmax, 20000.0);
  }
  CWave reader;
  ASSERT_EQ(reader.ReadWave(saved.c_str()), CWave::kReadDone);
  EXPECT_STREQ(reader.m_info.title, "100.00-5000.00 Hz");
  EXPECT_TRUE(m_messages.Messages().empty()) << testing::PrintToString(m_messages.Messages());
}

TEST_F(CaptureFilesTest, ChooserStartsInTheFolderOfTheLastFile) {
  FinishCapture(50000);
  const std::string last = m_dir.File("last.wav");
  std::strcpy(m_state.m_szWavPath, last.c_str());
  EXPECT_FALSE(SaveFinishedAudioFile());  // cancelled
  EXPECT_TRUE(m_messages.Messages().empty());
  EXPECT_EQ(LastChooser(), m_dir.Path().string() + "|wav");
  // A folder is taken as it is; an empty path falls back to the executable's folder.
  std::strcpy(m_state.m_szWavPath, m_dir.Path().string().c_str());
  EXPECT_EQ(CaptureFileStartFolder(m_state), m_dir.Path().string());
  m_state.m_szWavPath[0] = '\0';
  std::strcpy(m_state.m_szExeDir, m_dir.Path().string().c_str());
  EXPECT_EQ(CaptureFileStartFolder(m_state), m_dir.Path().string());
  // A file whose folder is gone too: the nearest folder that still exists.
  std::strcpy(m_state.m_szWavPath, m_dir.File("gone/deeper/x.wav").c_str());
  EXPECT_EQ(CaptureFileStartFolder(m_state), m_dir.Path().string());
  std::strcpy(m_state.m_szWavPath, "/no/such/folder/x.wav");
  EXPECT_EQ(CaptureFileStartFolder(m_state), "/");
}

// ---- Load Audio File: refusals ----

TEST_F(CaptureFilesTest, LoadRefusesAFileThatCannotBeOpenedInWords) {
  // the number, then the system's reason on a line of its own
  const std::string loop = m_dir.File("loop.wav");
  std::filesystem::create_symlink(loop, loop);
  for (const auto& [path, message] :
       {std::pair{m_dir.File("missing.wav"), ": error 2\nNo such file or directory"},
        std::pair{loop, ": error 40\nToo many levels of symbolic links"}}) {
    EXPECT_FALSE(LoadCaptureFile(m_ctx, path, nullptr));
    EXPECT_EQ(LastMessage(), "Could not open File " + path + message);
    EXPECT_STREQ(m_state.m_szWavPath, "");
  }
}

TEST_F(CaptureFilesTest, LoadRefusesFilesOutsideTheSizeLimits) {
  // Earlier loaded samples stay while the size test fails.
  LoadEarlierSamples();
  const std::string small = m_dir.File("small.wav");
  WriteCapture(small, wavetest::Ramp(959977), nullptr, nullptr, nullptr);  // 1919998 bytes
  EXPECT_FALSE(LoadCaptureFile(m_ctx, small, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is too short to be a valid 'Quorvel' file...");
  const std::string big = m_dir.File("big.wav");
  wavetest::WriteBytes(big, Bytes(2200001, 0));
  EXPECT_FALSE(LoadCaptureFile(m_ctx, big, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is too big to be a valid 'Quorvel' file...");
  EXPECT_EQ(m_audio->Loaded().size(), 32u);
  EXPECT_STREQ(m_state.m_szWavPath, "");
  EXPECT_EQ(m_messages.Messages().size(), 2u);
}

TEST_F(CaptureFilesTest, NamedPipeWithoutAWriterIsRefusedWithoutWaiting) {
  // A pipe chosen in the file chooser (or given to quorvel-cli) must not block the command
  // until some other program writes to it: it holds no file, so it is too short.
  const std::string fifo = m_dir.File("pipe.wav");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> done{false};
  bool loaded = true;
  std::thread load([&] {
    loaded = LoadCaptureFile(m_ctx, fifo, nullptr);
    done.store(true);
  });
  // Bounded wait: the load ends at once; should it block, a writer that opens and closes the
  // pipe releases it so the test ends and reports the hang.
  for (int i = 0; i < 10000 && !done.load(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const bool endedByItself = done.load();
  while (!done.load()) {
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  load.join();
  EXPECT_TRUE(endedByItself) << "the load waited for a writer";
  EXPECT_FALSE(loaded);
  EXPECT_EQ(LastMessage(), "Sorry this file is too short to be a valid 'Quorvel' file...");
  EXPECT_STREQ(m_state.m_szWavPath, "");
}

TEST_F(CaptureFilesTest, FileOfExactlyTheSmallestSizeFailsTheSampleCount) {
  LoadEarlierSamples();
  const std::string path = m_dir.File("edge.wav");
  WriteCapture(path, wavetest::Ramp((1920000 - 44) / 2), nullptr, nullptr, nullptr);
  ASSERT_EQ(std::filesystem::file_size(path), 1920000u);
  EXPECT_FALSE(LoadCaptureFile(m_ctx, path, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is not convenient for 'Quorvel'...");
  EXPECT_EQ(m_audio->Loaded().data(), nullptr);  // the earlier samples are gone
  EXPECT_STREQ(m_state.m_szWavPath, path.c_str());
}

TEST_F(CaptureFilesTest, LoadRefusesWhatTheSampleReaderCannotRead) {
  const std::string path = m_dir.File("noise.wav");
  wavetest::WriteBytes(path, Bytes(2000000, 'x'));
  EXPECT_FALSE(LoadCaptureFile(m_ctx, path, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is not convenient...");
  EXPECT_EQ(m_audio->Loaded().data(), nullptr);
  // A float file of the right size.
  const Bytes data = Chunk("data", Bytes(2000000, 0));
  wavetest::WriteBytes(path, RiffFile(Chunk("fmt ", FormatContent(1, 48000, 16, 3)) + data));
  EXPECT_FALSE(LoadCaptureFile(m_ctx, path, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is not convenient...");
}

TEST_F(CaptureFilesTest, LoadRefusesStereoAndOtherRates) {
  const std::string path = m_dir.File("other.wav");
  const Bytes data = Chunk("data", Bytes(2100000, 1));
  wavetest::WriteBytes(path, RiffFile(Chunk("fmt ", FormatContent(2, 48000, 16)) + data));
  EXPECT_FALSE(LoadCaptureFile(m_ctx, path, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is not convenient for 'Quorvel'...");
  wavetest::WriteBytes(path, RiffFile(Chunk("fmt ", FormatContent(1, 44100, 16)) + data));
  EXPECT_FALSE(LoadCaptureFile(m_ctx, path, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is not convenient for 'Quorvel'...");
  EXPECT_EQ(m_audio->Loaded().data(), nullptr);
}

TEST_F(CaptureFilesTest, TaggedFileMustNameTheToolAsArtist) {
  // Only a genre tag, no artist.
  const std::string path = m_dir.File("genre.wav");
  Bytes list = Bytes{'I', 'N', 'F', 'O'} + Chunk("IGNR", Bytes{'P', 'o', 'p', 0});
  wavetest::WriteBytes(
      path, RiffFile(Chunk("fmt ", FormatContent(1, 48000, 16)) +
                     Chunk("data", wavetest::SampleBytes(Samples())) + Chunk("LIST", list)));
  EXPECT_FALSE(LoadCaptureFile(m_ctx, path, nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is not a genuine 'Quorvel' wav file...");
  EXPECT_EQ(m_audio->Loaded().data(), nullptr);
  // Another tool's name.
  EXPECT_FALSE(
      LoadCaptureFile(m_ctx, TaggedCapture("20.00-20000.00 Hz", nullptr, "Audacity"), nullptr));
  EXPECT_EQ(LastMessage(), "Sorry this file is not a genuine 'Quorvel' wav file...");
  // The tool's name anywhere in the artist, in any case.
  LoadedCaptureFile loaded;
  EXPECT_TRUE(LoadCaptureFile(
      m_ctx, TaggedCapture("20.00-20000.00 Hz", nullptr, "my QUORVEL recording"), &loaded));
  EXPECT_EQ(m_messages.Messages().size(), 2u);
}

// ---- Load Audio File: what a load sets ----

TEST_F(CaptureFilesTest, LoadOfATaggedCaptureSetsEverything) {
  m_state.m_bCurveEndNotified.store(1);
  m_state.m_chartNames = {"Mic A"};  // selected before: this file names no microphone
  m_state.m_nSelectedChart.store(0);
  const std::string path = TaggedCapture("100.00-8000.00 Hz");
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, path, &loaded));
  EXPECT_TRUE(m_messages.Messages().empty());
  EXPECT_DOUBLE_EQ(loaded.fmin, 100.0);
  EXPECT_DOUBLE_EQ(loaded.fmax, 8000.0);
  EXPECT_EQ(loaded.name, "session 7");
  EXPECT_FALSE(loaded.calibrationApplied);
  EXPECT_DOUBLE_EQ(m_state.m_curveFmin, 100.0);
  EXPECT_DOUBLE_EQ(m_state.m_curveFmax, 8000.0);
  EXPECT_EQ(m_state.m_bCurveEndNotified.load(), 0);
  EXPECT_STREQ(m_state.m_szGraphCaption, "Playing File \"session 7\"");
  EXPECT_STREQ(m_state.m_szWavPath, path.c_str());
  EXPECT_EQ(m_prefs.StoredText("Wav"), path);
  ASSERT_EQ(m_audio->Loaded().size(), kCaptureSamples);
  EXPECT_EQ(std::memcmp(m_audio->Loaded().data(), Samples().data(), kCaptureSamples * 2), 0);
  // Nothing new to save until the replay's curve completes, though a measurement stands.
  Record(1000000);
  EXPECT_FALSE(CheckCaptureToSave(WithFinished(Recorded())));
  EXPECT_EQ(LastMessage(), "No new capture performed");
}

TEST_F(CaptureFilesTest, ForeignUntaggedFileIsAcceptedWithTheFullRange) {
  const std::string path = m_dir.File("foreign take.wav");
  WriteCapture(path, Samples(), nullptr, nullptr, nullptr);
  m_state.m_curveFmin = 5.0;
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, path, &loaded));
  EXPECT_DOUBLE_EQ(loaded.fmin, 20.0);
  EXPECT_DOUBLE_EQ(loaded.fmax, 20000.0);
  EXPECT_DOUBLE_EQ(m_state.m_curveFmin, 20.0);
  EXPECT_EQ(loaded.name, "foreign take");
  EXPECT_STREQ(m_state.m_szGraphCaption, "Playing File \"foreign take\"");
  EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(CaptureFilesTest, AnUntaggedFileAfterATaggedOneIsNotTakenForTagged) {
  // An untagged file whose header ReadWave refuses ("RIFX": the sample reader does not look at
  // the form id) after a tagged file: the tag count of the earlier read must not make it look
  // tagged without an artist.
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture("50.00-5000.00 Hz"), &loaded));
  ASSERT_GT(m_wave.m_nTagCount, 0);
  const std::string path = m_dir.File("rifx take.wav");
  WriteCapture(path, Samples(), nullptr, nullptr, nullptr);
  {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite("RIFX", 1, 4, file), 4u);
    ASSERT_EQ(std::fclose(file), 0);
  }
  ASSERT_TRUE(LoadCaptureFile(m_ctx, path, &loaded)) << LastMessage();
  EXPECT_EQ(m_wave.m_nTagCount, 0);
  EXPECT_DOUBLE_EQ(loaded.fmin, 20.0);
  EXPECT_DOUBLE_EQ(loaded.fmax, 20000.0);
  EXPECT_TRUE(m_messages.Messages().empty()) << LastMessage();
}

TEST_F(CaptureFilesTest, RangeComesFromTheTitleTag) {
  struct Case {
    const char* title;
    double fmin;
    double fmax;
  };
  const Case cases[] = {
      {"500.00-200.00 Hz", 500, 20000}, {"3000-1000 Hz", 2000, 20000},
      {"20.00-25000.00 Hz", 20, 20000}, {"Hz", 20, 20000},
      {"-5-100 Hz", 20, 20000},         {"50.00-5000.00 Hz", 50, 5000},
      {"nan-nan Hz", 20, 20000},        {"100-nan Hz", 100, 20000},
      {"100-inf Hz", 100, 20000},       {"4000", 2000, 20000},
  };
  for (const Case& c : cases) {
    LoadedCaptureFile loaded;
    ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture(c.title), &loaded)) << c.title;
    EXPECT_DOUBLE_EQ(loaded.fmin, c.fmin) << c.title;
    EXPECT_DOUBLE_EQ(loaded.fmax, c.fmax) << c.title;
  }
  EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(CaptureFilesTest, MissingMicrophoneIsReportedAndTheLoadGoesOn) {
  m_prefs.WriteString("MicroSelected", "Earlier Mic");
  const int writesBefore = m_prefs.WriteCount("MicroSelected");
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture("20.00-20000.00 Hz", "Mic Ω"), &loaded));
  EXPECT_EQ(m_messages.Messages(),
            std::vector<std::string>{"Sorry, could not find microphone \"Mic Ω\" for calibration"});
  EXPECT_EQ(m_prefs.StoredText("MicroSelected"), "Earlier Mic");
  // the comment, then the kept value back
  EXPECT_EQ(m_prefs.WriteCount("MicroSelected") - writesBefore, 2);
  EXPECT_EQ(m_state.m_nSelectedChart.load(), -1);
  EXPECT_FALSE(loaded.calibrationApplied);
  EXPECT_EQ(m_state.m_bCalibrationApplied.load(), 0);
  EXPECT_STREQ(m_state.m_szGraphCaption, "Playing File \"session 7\"");
  EXPECT_NE(m_audio->Loaded().data(), nullptr);
}

TEST_F(CaptureFilesTest, NamedMicrophoneWithAChartIsApplied) {
  FakeCharts charts;
  charts.names = {"Other", "Mic 1"};
  m_state.m_chartNames = charts.names;
  m_state.m_chartPaths = {"/c/other.txt", "/c/mic1.txt"};
  m_ctx.charts = &charts;
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture("40.00-12000.00 Hz", "Mic 1"), &loaded));
  EXPECT_TRUE(m_messages.Messages().empty());
  EXPECT_TRUE(loaded.calibrationApplied);
  EXPECT_EQ(m_state.m_nSelectedChart.load(), 1);
  EXPECT_EQ(m_state.m_bCalibrationApplied.load(), 1);
  EXPECT_EQ(charts.loadedPath, "/c/mic1.txt");
  EXPECT_DOUBLE_EQ(charts.loadedFmin, 40.0);
  EXPECT_DOUBLE_EQ(charts.loadedFmax, 12000.0);
  EXPECT_EQ(m_prefs.StoredText("MicroSelected"), "Mic 1");
  EXPECT_STREQ(m_state.m_szGraphCaption,
               "Playing \"session 7\" captured with microphone \"Mic 1\"");
}

TEST_F(CaptureFilesTest, UnusableChartIsReportedAndDropped) {
  FakeCharts charts;
  charts.names = {"Mic 1"};
  m_state.m_chartNames = charts.names;
  m_state.m_chartPaths = {"/c/mic1.txt"};
  m_ctx.charts = &charts;
  m_prefs.WriteString("MicroSelected", "Kept");
  charts.invalidIndex = 0;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture("20.00-20000.00 Hz", "Mic 1"), nullptr));
  EXPECT_EQ(LastMessage(), "The response curve of the selected microphone is not valid");
  EXPECT_TRUE(charts.loadedPath.empty());
  charts.invalidIndex = -1;
  charts.failLoad = true;
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, TaggedCapture("20.00-20000.00 Hz", "Mic 1"), &loaded));
  EXPECT_EQ(LastMessage(), "The response curve of the selected microphone is not valid");
  EXPECT_EQ(m_messages.Messages().size(), 2u);
  EXPECT_FALSE(loaded.calibrationApplied);
  EXPECT_EQ(m_state.m_nSelectedChart.load(), -1);
  EXPECT_EQ(m_state.m_bCalibrationApplied.load(), 0);
  EXPECT_EQ(m_prefs.StoredText("MicroSelected"), "Kept");
  EXPECT_STREQ(m_state.m_szGraphCaption, "Playing File \"session 7\"");
}

TEST_F(CaptureFilesTest, TwoDataChunksAreOneRecording) {
  const std::vector<int16_t>& all = Samples();
  const std::vector<int16_t> first(all.begin(), all.begin() + 400000);
  const std::vector<int16_t> second(all.begin() + 400000, all.end());
  const std::string path = m_dir.File("two parts.wav");
  wavetest::WriteBytes(path, RiffFile(Chunk("fmt ", FormatContent(1, 48000, 16)) +
                                      Chunk("data", wavetest::SampleBytes(first)) +
                                      Chunk("data", wavetest::SampleBytes(second))));
  ASSERT_TRUE(LoadCaptureFile(m_ctx, path, nullptr));
  ASSERT_EQ(m_audio->Loaded().size(), kCaptureSamples);
  EXPECT_EQ(std::memcmp(m_audio->Loaded().data(), all.data(), kCaptureSamples * 2), 0);
}

TEST_F(CaptureFilesTest, LoadCommandEndsARunningMeasurementBeforeTheChooser) {
  m_prefs.WriteString("Wav", m_dir.File("previous.wav"));
  m_state.m_bCapturing.store(1);
  m_state.m_bCalibrationApplied.store(1);
  int ended = 0;
  EXPECT_FALSE(LoadAudioFile(
      m_ctx, [&] { ++ended; }, nullptr));  // cancelled
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(m_state.m_bCapturing.load(), 0);
  EXPECT_EQ(m_state.m_bCalibrationApplied.load(), 0);
  EXPECT_EQ(LastChooser(), m_dir.Path().string() + "|wav");
  EXPECT_STREQ(m_state.m_szWavPath, m_dir.File("previous.wav").c_str());
  EXPECT_TRUE(m_messages.Messages().empty());
  // Idle: nothing to end; the chosen file is loaded.
  m_messages.ChooseNext(TaggedCapture("20.00-20000.00 Hz"));
  LoadedCaptureFile loaded;
  EXPECT_TRUE(LoadAudioFile(
      m_ctx, [&] { ++ended; }, &loaded));
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(loaded.name, "session 7");
  // a title range below the limits: refused as the range fields refuse it
  m_messages.ChooseNext(TaggedCapture("1.5-1.8 Hz"));
  EXPECT_FALSE(LoadAudioFile(m_ctx, {}, nullptr));
  EXPECT_EQ(LastMessage(),
            "the range needs an fmax of the 25 steps and an fmin from 1.9 Hz to a decade below it");
  EXPECT_EQ(m_audio->Loaded().data(), nullptr);
}

TEST_F(CaptureFilesTest, SavedCaptureLoadsBackUnchanged) {
  FinishCapture(static_cast<int32_t>(kCaptureSamples));
  m_state.m_curveFmin = 63.0;
  m_state.m_curveFmax = 12500.0;
  const std::string path = m_dir.File("round trip.wav");
  ASSERT_TRUE(SaveFinished(path));
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(m_ctx, path, &loaded));
  EXPECT_TRUE(m_messages.Messages().empty());
  EXPECT_DOUBLE_EQ(loaded.fmin, 63.0);
  EXPECT_DOUBLE_EQ(loaded.fmax, 12500.0);
  EXPECT_EQ(loaded.name, "round trip");
  ASSERT_EQ(m_audio->Loaded().size(), kCaptureSamples);
  EXPECT_TRUE(std::ranges::equal(m_audio->Loaded(), m_audio->Recording()));
}

}  // namespace

}  // namespace quorvel
