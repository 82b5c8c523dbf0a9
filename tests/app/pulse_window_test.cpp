// A whole measurement from the window through a private PulseAudio server: the sweep is played
// into a null sink and recorded from its monitor, a perfect loudspeaker, so the curve is flat.
// Real time (about 22 s); skipped, with the reason, where no pulseaudio program is installed.
#include <QComboBox>
#include <QSlider>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "app/colour_button.h"
#include "audio/pulse/pulse_audio_services.h"
#include "base/shared_state.h"
#include "graph/graphical.h"
#include "tests/app/gui_test_support.h"
#include "tests/audio/pulse/pulse_test_server.h"

namespace quorvel {

namespace {

// The null sink's monitor in the input list (the null microphone comes first), the null sink in
// the output list.
constexpr int kNullMonitorInput = 1;
constexpr int kNullSinkOutput = 0;
// The whole sweep lasts about 22 s; a loaded machine's null sink may run slower. [ms]
constexpr int kMeasurementLimitMs = 180000;

class PulseWindowTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    std::string why;
    bool missing = false;
    if (!m_server.Start(&why, &missing)) {
      if (missing) GTEST_SKIP() << why;
      FAIL() << why;
    }
    // The null sink kept busy, so that a new stream on it starts at once.
    m_server.KeepNullSinkBusy();
    Result<std::unique_ptr<CPulseAudioServices>> services = CPulseAudioServices::Connect(10000);
    ASSERT_TRUE(services.Ok()) << services.Message() << "\n" << m_server.Log();
    // 1.33 x 0.5: the recorded sweep stays below full scale, so no block is clipped flat.
    Store(kPrefAudioInGain, 6);
    OpenWindow(std::move(*services));
  }
  void TearDown() override {
    m_dialog.reset();
    m_core.reset();  // the engine and the services go before the server
    m_server.Stop();
    GuiTest::TearDown();
  }

  CPulseTestServer m_server;
};

TEST_F(PulseWindowTest, TheNullSinkMeasuresFlatFromTheStartButton) {
  ASSERT_GT(Dialog().InputList()->count(), kNullMonitorInput);
  ASSERT_EQ(Dialog().InputList()->itemText(kNullMonitorInput), "Monitor of Quorvel Null Output");
  ASSERT_EQ(Dialog().OutputList()->itemText(kNullSinkOutput), "Quorvel Null Output");
  Dialog().InputList()->setCurrentIndex(kNullMonitorInput);
  Dialog().OutputList()->setCurrentIndex(kNullSinkOutput);
  ASSERT_EQ(Dialog().GainSlider()->value(), 6);

  Click(Dialog().StartButton());
  ASSERT_EQ(Shared().m_bCapturing.load(), 1) << m_messages.All();
  ASSERT_TRUE(ProcessUntil([&] { return Shared().m_bCapturing.load() == 0; }, kMeasurementLimitMs))
      << m_messages.All();
  // The pacat that keeps the sink busy plays into it all along: the window names it.
  EXPECT_EQ(m_messages.All(),
            "Another program played to the Audio Output during the measurement (pacat): its sound "
            "is in the curve. Stop it and measure again\n");
  ASSERT_EQ(Graph().m_count.load(), 1001);
  EXPECT_EQ(Dialog().StartButton()->text(), "+ S T A R T +\nC A P T U R E");
  EXPECT_EQ(Shared().m_bInputOpen.load(), 0);
  EXPECT_STREQ(Shared().m_szGraphCaption, "Quorvel Capture");
  EXPECT_EQ(Stored(kPrefAudioInPeripheral).toString(), "Monitor of Quorvel Null Output");
  EXPECT_EQ(Stored(kPrefAudioOutPeripheral).toString(), "Quorvel Null Output");

  // Between 100 Hz and 15 kHz every point lies within 0.5 dB of the median, far above the floor.
  std::vector<double> levels;
  for (int k = 0; k <= 1000; ++k) {
    const double f = 20.0 * std::pow(1000.0, k / 1000.0);
    if (f >= 100.0 && f <= 15000.0) levels.push_back(Graph().m_points[k].load());
  }
  std::vector<double> sorted = levels;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  EXPECT_GT(median, -20.0);
  std::string points;
  for (size_t i = 0; i < levels.size(); ++i) {
    if (std::fabs(levels[i] - median) > 0.5) {
      points += " " + std::to_string(i) + ":" + std::to_string(levels[i]);
    }
  }
  EXPECT_TRUE(points.empty()) << "median " << median << ", points apart:" << points;
}

}  // namespace

}  // namespace quorvel
