// Load Audio File's microphone step over the real charts of a chart folder: the chart a capture
// file names is found, loaded for the file's range and applied; a name without a usable chart is
// reported and the file replays without calibration.
#include "calibration/micro_list_proc.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/memory_preferences.h"
#include "base/messages.h"
#include "base/preferences.h"
#include "control/quorvel_core.h"
#include "control/response/capture_response.h"
#include "files/chart_file.h"
#include "files/wave_file.h"
#include "tests/base/scripted_messages.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

class CalibrationChartsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_charts = m_dir.Path() / "charts";
    std::filesystem::create_directories(m_charts / "sub");
    Write("Mic 1.txt", "20 -2\n1000 0\n20000 3\n");
    Write("sub/Other.frd", "20 5\n20000 5\n");
    Write("Blank.txt", "* no data yet\n");
    m_preferences.WriteString(kPrefCalibFiles, m_charts.string());
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(m_charts / name, std::ios::binary) << text;
  }
  // A capture file of this tool naming the microphone `comment`, over 40..12000 Hz (or `title`).
  std::string Capture(const char* comment, const char* title = "40.00-12000.00 Hz") {
    const std::string path = m_dir.File("capture.wav");
    CWave wave;
    EXPECT_TRUE(wave.CreateCaptureFile(path.c_str()));
    for (int16_t s : wavetest::Ramp(1000500, 11)) EXPECT_TRUE(wave.WriteSample(s));
    std::strcpy(wave.m_szTitle, title);
    std::strcpy(wave.m_szArtist, "Quorvel");
    std::strcpy(wave.m_szAlbum, "session");
    std::strcpy(wave.m_szComment, comment);
    EXPECT_TRUE(wave.CloseCaptureFile(true));
    return path;
  }

  wavetest::ScratchFolder m_dir;
  std::filesystem::path m_charts;
  CMemoryPreferences m_preferences;
  CScriptedMessages m_messages;
};

TEST_F(CalibrationChartsTest, LoadAudioFileAppliesTheChartTheFileNames) {
  CQuorvelCore core(AudioChoice::kNone, m_preferences, m_messages);
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(core.FileContext(), Capture("mic 1"), &loaded));
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  EXPECT_TRUE(loaded.calibrationApplied);
  const CSharedState& shared = core.Shared();
  ASSERT_GE(shared.m_nSelectedChart.load(), 0);
  EXPECT_EQ(shared.m_chartNames[size_t(shared.m_nSelectedChart.load())], "Mic 1");
  EXPECT_EQ(shared.m_bCalibrationApplied.load(), 1);
  EXPECT_STREQ(shared.m_szGraphCaption, "Playing \"session\" captured with microphone \"Mic 1\"");
  EXPECT_EQ(m_preferences.StoredText(kPrefMicroSelected), "mic 1");
  // the replay resolves the chart for the file's range
  EXPECT_EQ(loaded.fmin, 40.0);
  EXPECT_EQ(loaded.fmax, 12000.0);
}

TEST_F(CalibrationChartsTest, AMicrophoneWithoutAUsableChartIsReported) {
  CQuorvelCore core(AudioChoice::kNone, m_preferences, m_messages);
  m_preferences.WriteString(kPrefMicroSelected, "Other");
  for (const char* name : {"Nobody", "Blank"}) {  // missing, and listed without any data
    LoadedCaptureFile loaded;
    ASSERT_TRUE(LoadCaptureFile(core.FileContext(), Capture(name), &loaded)) << name;
    EXPECT_EQ(m_messages.Messages().back(),
              "Sorry, could not find microphone \"" + std::string(name) + "\" for calibration");
    EXPECT_FALSE(loaded.calibrationApplied);
    EXPECT_EQ(core.Shared().m_nSelectedChart.load(), -1);
    EXPECT_EQ(core.Shared().m_bCalibrationApplied.load(), 0);
    EXPECT_EQ(m_preferences.StoredText(kPrefMicroSelected), "Other");
    EXPECT_STREQ(core.Shared().m_szGraphCaption, "Playing File \"session\"");
  }
}

// One read of the chart serves the whole lookup: found as usable over 20 Hz..20 kHz, it is still
// refused for a recording whose range reaches its +90 dB below 20 Hz, and over its own range
// the response analysis takes it as the load read it.
TEST_F(CalibrationChartsTest, TheChartNamedIsCheckedForTheFilesRange) {
  Write("Low.txt", "2 90\n20 0\n20000 3\n");
  CQuorvelCore core(AudioChoice::kNone, m_preferences, m_messages);
  LoadedCaptureFile loaded;
  ASSERT_TRUE(LoadCaptureFile(core.FileContext(), Capture("Low", "2.00-2000.00 Hz"), &loaded));
  EXPECT_EQ(m_messages.Messages().back(), kMsgChartNotValid);
  EXPECT_FALSE(loaded.calibrationApplied);

  CaptureResponseRequest request;
  request.path = Capture("Low");
  Result<LoadedResponseCapture> read = LoadCaptureForResponse(core, request);
  ASSERT_TRUE(read);
  const LoadedResponseCapture& response = *read;
  ASSERT_TRUE(response.chart.has_value());
  const Result<ResolvedChart> fresh =
      ResolveChart((m_charts / "Low.txt").string(), "Low", 40.0, 12000.0);
  ASSERT_TRUE(fresh.Ok());
  EXPECT_EQ(response.chart->Name(), "Low");
  for (double f : {30.0, 1000.0, 15000.0}) {
    EXPECT_EQ(response.chart->CorrectionDb(f), fresh->CorrectionDb(f)) << f;
  }
}

}  // namespace

}  // namespace quorvel
