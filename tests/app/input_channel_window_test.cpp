// The window's input channel choice on the simulated loopback: a measurement timed from the
// other channel, saved as a two-channel capture, and the choice remembered for the input.
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include "app/colour_button.h"
#include "audio/sim/loudspeaker_model.h"
#include "base/shared_state.h"
#include "control/capture_files.h"
#include "control/capture_response.h"
#include "graph/graphical.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

using InputChannelWindowTest = GuiTest;

TEST_F(InputChannelWindowTest, AMeasurementWithTheTimingReferenceIsSavedWithBothChannels) {
  OpenWindow();
  QComboBox* channel = Dialog().ChannelList();
  QCheckBox* reference = Dialog().TimingReferenceBox();
  EXPECT_EQ(channel->currentText(), "louder");
  EXPECT_FALSE(reference->isEnabled());  // the louder channel leaves no channel to time from
  QTest::keyClick(channel, Qt::Key_Down);
  EXPECT_EQ(channel->currentText(), "left");
  ASSERT_TRUE(reference->isEnabled());
  Click(reference);
  ASSERT_TRUE(reference->isChecked());
  EXPECT_EQ(Stored("InputChannel/Simulated measurement microphone").toString(), "left reference");

  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Shared().m_bCapturing.load() == 0; })) << m_messages.All();
  ASSERT_EQ(Graph().m_count.load(), 1001) << m_messages.All();
  EXPECT_GE(m_sim->LoopbackLatencyFrames(), 5u * 48u);  // the devices' latency was drawn
  const std::string path = (m_folder / "loopback.wav").string();
  m_messages.ChooseNext(path);
  Click(Dialog().SaveButton());
  ASSERT_TRUE(m_messages.Messages().empty()) << m_messages.All();

  // channel 1 the microphone, channel 2 the loopback: the loudspeaker's own delay, whatever
  // the devices added, and one clock
  CaptureFileContents contents;
  ASSERT_TRUE(ReadCaptureFile(m_core->FileContext().Reading(), path, &contents));
  ASSERT_EQ(contents.recording->channels, 2);
  ResponseTiming timing;
  ASSERT_TRUE(TimeRecordingFromReference(*contents.recording, 20.0, 20000.0, &timing));
  // (the loudspeaker's filters move its impulse response's peak by a fraction of a sample)
  EXPECT_NEAR(timing.delaySamples, CLoudspeakerModel::kDelaySamples, 1.0);
  EXPECT_LT(std::abs(timing.driftPpm), 5.0);

  // the choice is the input's when the window opens again
  m_dialog.reset();
  m_core.reset();
  OpenWindow();
  EXPECT_EQ(Dialog().ChannelList()->currentText(), "left");
  EXPECT_TRUE(Dialog().TimingReferenceBox()->isChecked());
}

}  // namespace

}  // namespace quorvel
