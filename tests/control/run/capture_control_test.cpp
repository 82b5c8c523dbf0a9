// Capture control's volume slider on outputs whose volume cannot be set (the slider's position
// then scales the output samples, so that it never does nothing), and the caption of a
// measurement that waits for its input, and when the window's timers may sleep.
#include "control/run/capture_control.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/memory_preferences.h"
#include "base/shared_state.h"
#include "control/quorvel_core.h"
#include "control/window/slider_positions.h"
#include "tests/base/scripted_messages.h"
#include "tests/control/recording_window.h"
#include "tests/engine/scripted_services.h"

namespace quorvel {

namespace {

// An output whose volume cannot be set; whether it can be read is the test's choice.
class CFixedVolumeServices : public CScriptedServices {
 public:
  explicit CFixedVolumeServices(bool readable) : m_readable(readable) {
    captureNames = {"Mic"};
    productNames = {"Speakers"};
    descriptions = {"Speakers"};
  }
  bool SetOutputVolume(int, float) override { return false; }
  bool GetOutputVolume(int, float* level) override {
    *level = 0.5f;
    return m_readable;
  }

 private:
  bool m_readable;
};

// Its output runs at `outputRate`.
class CRatedServices : public CFixedVolumeServices {
 public:
  CRatedServices(bool readable, uint32_t outputRate)
      : CFixedVolumeServices(readable), m_rate(outputRate) {}
  uint32_t OutputDeviceRate(int) override { return m_rate; }

 private:
  uint32_t m_rate;
};

struct Rig {
  explicit Rig(bool readable, uint32_t outputRate = 48000)
      : core(std::make_unique<CRatedServices>(readable, outputRate), preferences, messages) {
    control.Initialise();
  }
  ~Rig() {
    if (core.Audio().IsOutputOpen()) static_cast<void>(core.Audio().CloseOutputDevice());
  }
  // The output opens, as a measurement's start opens it.
  void OpenOutput() { ASSERT_EQ(core.Audio().OpenOutputDevice(-1), 0); }

  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CQuorvelCore core;
  CRecordingWindow window;
  CCaptureControl control{core, window};
};

TEST(CaptureControlVolume, AnOutputWhoseVolumeCannotBeSetIsScaledBySlider) {
  Rig rig(true);
  rig.control.OnPollTimer();
  EXPECT_EQ(rig.window.volume, 12);  // the slider shows the device's own volume
  rig.OpenOutput();
  rig.control.OnPollTimer();
  EXPECT_FALSE(rig.control.SoftwareVolume());
  EXPECT_EQ(rig.core.Audio().PlayVolume(), kFullPlayVolume);

  rig.window.volume = 6;  // the user moves the slider
  rig.control.OnPollTimer();
  EXPECT_TRUE(rig.control.SoftwareVolume());
  EXPECT_EQ(rig.core.Audio().PlayVolume(), SoftwareVolumeScale(6));
  EXPECT_EQ(rig.preferences.ReadInt(kPrefVolume, 0), 6);
  // the device's volume no longer moves the slider back
  for (int i = 0; i < 3; ++i) rig.control.OnPollTimer();
  EXPECT_EQ(rig.window.volume, 6);
  EXPECT_EQ(rig.core.Audio().PlayVolume(), SoftwareVolumeScale(6));
  rig.window.volume = 24;
  rig.control.OnVolumeReleased();
  EXPECT_EQ(rig.core.Audio().PlayVolume(), kFullPlayVolume);
}

TEST(CaptureControlVolume, AnOutputWithoutAVolumeTakesTheSlidersPositionAsItOpens) {
  Rig rig(false);
  EXPECT_EQ(rig.window.volume, 16);  // the stored default
  rig.control.OnPollTimer();
  EXPECT_EQ(rig.window.volume, 16);
  rig.OpenOutput();
  rig.control.OnPollTimer();
  EXPECT_TRUE(rig.control.SoftwareVolume());
  EXPECT_EQ(rig.core.Audio().PlayVolume(), SoftwareVolumeScale(16));
}

// An input that delivers nothing: the graph's caption says what the measurement waits for, and
// the stop ends the wait with the capture's own caption.
TEST(CaptureControlWait, TheCaptionNamesTheInputAwaited) {
  Rig rig(true);
  rig.control.OnCaptureButton();
  ASSERT_TRUE(rig.control.Capturing()) << rig.messages.All();
  rig.control.OnMeterTimer();
  EXPECT_STREQ(rig.core.Shared().m_szGraphCaption,
               "waiting for the Audio Input \"Mic\" to deliver...");
  rig.control.OnCaptureButton();
  EXPECT_FALSE(rig.control.Capturing());
  EXPECT_STREQ(rig.core.Shared().m_szGraphCaption, "Quorvel Capture");
  // the next measurement shows its own wait again
  rig.control.OnCaptureButton();
  rig.control.OnMeterTimer();
  EXPECT_STREQ(rig.core.Shared().m_szGraphCaption,
               "waiting for the Audio Input \"Mic\" to deliver...");
  rig.control.OnCaptureButton();
}

// An output the server resamples: the caption names it from the start on, until the wait
// before the sweep shows its own text.
TEST(CaptureControlWait, TheCaptionNamesAnOutputTheServerResamples) {
  Rig rig(true, 44100);
  rig.control.OnCaptureButton();
  ASSERT_TRUE(rig.control.Capturing()) << rig.messages.All();
  EXPECT_STREQ(rig.core.Shared().m_szGraphCaption,
               "The Audio Output runs at 44100 Hz: the server resamples");
  rig.control.OnMeterTimer();
  EXPECT_STREQ(rig.core.Shared().m_szGraphCaption,
               "waiting for the Audio Input \"Mic\" to deliver...");
  rig.control.OnCaptureButton();
  EXPECT_STREQ(rig.core.Shared().m_szGraphCaption, "Quorvel Capture");
}

// The window's timers sleep only once the closed meter is drawn and nothing runs.
TEST(CaptureControlTimers, TheTimersSleepOnlyWhileNothingMoves) {
  Rig rig(true);
  EXPECT_FALSE(rig.control.TimersIdle());  // the closed meter is not drawn yet
  rig.control.OnMeterTimer();
  EXPECT_TRUE(rig.control.TimersIdle());
  rig.control.OnCaptureButton();
  ASSERT_TRUE(rig.control.Capturing()) << rig.messages.All();
  rig.control.OnMeterTimer();
  EXPECT_FALSE(rig.control.TimersIdle());
  rig.control.OnCaptureButton();
}

}  // namespace

}  // namespace quorvel
