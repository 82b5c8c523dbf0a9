// Measuring from the window on the simulated loudspeaker (on a fast clock): a whole
// measurement from the start button, a stop midway, failures with their messages, the sliders,
// the marker dragged with the mouse, the level meter's colours, replays and Quit in the middle
// of a run; a measurement timed from a loopback on the other channel.
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QSlider>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/colour_button.h"
#include "app/graph_area.h"
#include "app/level_meter_widget.h"
#include "audio/sim/loudspeaker_model.h"
#include "base/point_frequency.h"
#include "base/shared_state.h"
#include "base/util.h"
#include "control/captures/capture_files.h"
#include "control/response/capture_response.h"
#include "control/run/measurement_request.h"
#include "control/window/slider_positions.h"
#include "control/workbench/workbench_palette.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "tests/app/gui_test_support.h"
#include "tests/control/control_test_support.h"
#include "tests/engine/device_test_support.h"
#include "tests/engine/scripted_services.h"

namespace quorvel {

namespace {

// Counts the paints of a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

class CaptureWindowTest : public GuiTest {
 protected:
  bool Capturing() { return Shared().m_bCapturing.load() != 0; }
  int Points() { return Graph().m_count.load(); }
  // Waits for the running capture to end by itself.
  void WaitForTheEnd() {
    ASSERT_TRUE(ProcessUntil([&] { return !Capturing(); })) << m_messages.All();
  }
  std::vector<double> Curve() {
    std::vector<double> points;
    for (int k = 0; k < Points(); ++k) points.push_back(Graph().m_points[k].load());
    return points;
  }
};

TEST_F(CaptureWindowTest, StartMeasuresTheLoudspeakerAndEndsByItself) {
  OpenWindow();
  PaintCounter graphPaints(Dialog().GraphArea());
  Click(Dialog().StartButton());
  EXPECT_TRUE(Capturing());
  EXPECT_EQ(Dialog().StartButton()->text(), "- S T O P -\nC A P T U R E");
  EXPECT_EQ(Dialog().StartButton()->Face(), QColor(255, 180, 180));
  EXPECT_TRUE(Dialog().StartButton()->IsChecked());
  EXPECT_EQ(Dialog().InputButton()->text(), "Close Input Peripheral");
  const int paintsAtStart = graphPaints.paints;
  WaitForTheEnd();

  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  const std::vector<double> curve = Curve();
  ASSERT_EQ(curve.size(), 1001u);
  // The curve follows the loudspeaker model within 1 dB from 100 Hz to 15 kHz, around one
  // overall level (the sweep, the capture gain and the model's loss).
  std::vector<int> band;
  std::vector<double> offsets;
  for (int k = 0; k <= 1000; ++k) {
    const double f = PointFrequency(k, 20.0, 20000.0);
    if (f < 100.0 || f > 15000.0) continue;
    band.push_back(k);
    offsets.push_back(curve[k] - CLoudspeakerModel::ResponseDb(f));
  }
  std::sort(offsets.begin(), offsets.end());
  const double level = offsets[offsets.size() / 2];
  int apart = 0;
  std::string where;
  for (int k : band) {
    const double error =
        curve[k] - level - CLoudspeakerModel::ResponseDb(PointFrequency(k, 20.0, 20000.0));
    if (std::fabs(error) > 1.0) {
      if (++apart <= 10) where += " " + std::to_string(k) + ":" + std::to_string(curve[k]);
    }
  }
  EXPECT_EQ(apart, 0) << "points off the model:" << where
                      << "; capture overruns: " << m_sim->CaptureOverruns()
                      << "; output resets: " << m_sim->OutputResets();
  // the curve was drawn as it grew, at most once a timer tick
  const int paints = graphPaints.paints - paintsAtStart;
  EXPECT_GE(paints, 10);
  EXPECT_LT(paints, 300);

  EXPECT_STREQ(Shared().m_szGraphCaption, "Quorvel Capture");
  // the window shows the caption: its colour in the top rows of the graph as last painted
  const QImage picture = GraphPicture(Graph());
  int captionPixels = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      captionPixels += picture.pixel(x, y) == PaletteColor(kColorCaption) ? 1 : 0;
    }
  }
  EXPECT_GT(captionPixels, 20);
  EXPECT_EQ(Dialog().StartButton()->text(), "+ S T A R T +\nC A P T U R E");
  EXPECT_EQ(Dialog().StartButton()->Face(), QColor(180, 255, 180));
  EXPECT_FALSE(Dialog().StartButton()->IsChecked());
  EXPECT_EQ(Dialog().InputButton()->text(), "Open Input Peripheral");
  EXPECT_EQ(Shared().m_bInputOpen.load(), 0);
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
  // the devices used are remembered, and the recording can be saved
  EXPECT_EQ(Stored(kPrefAudioInPeripheral).toString(), "Simulated measurement microphone");
  EXPECT_EQ(Stored(kPrefAudioOutPeripheral).toString(), "Default Audio Output");
  EXPECT_TRUE(CheckCaptureToSave(m_core->FileContext()));
}

TEST_F(CaptureWindowTest, AMeasurementWithTheTimingReferenceIsSavedWithBothChannels) {
  OpenWindow();
  EXPECT_FALSE(Dialog().TimingReferenceBox()->isEnabled());  // louder leaves none to time from
  QTest::keyClick(Dialog().ChannelList(), Qt::Key_Down);
  ASSERT_EQ(Dialog().ChannelList()->currentText(), "left");
  Click(Dialog().TimingReferenceBox());
  EXPECT_EQ(Stored("InputChannel/Simulated measurement microphone").toString(), "left reference");
  Click(Dialog().StartButton());
  EXPECT_FALSE(Dialog().ChannelList()->isEnabled());  // not while it measures
  WaitForTheEnd();
  ASSERT_EQ(Points(), 1001) << m_messages.All();
  const std::string path = (m_folder / "loopback.wav").string();
  m_messages.ChooseNext(path);
  Click(Dialog().SaveButton());
  // the loudspeaker's own delay (its filters move the peak by a fraction of a sample), one clock
  CaptureFileContents contents;
  ASSERT_TRUE(ReadCaptureFile(m_core->FileContext().Reading(), path, &contents));
  ASSERT_EQ(contents.recording->channels, 2);
  ResponseTiming timing;
  ASSERT_TRUE(TimeRecordingFromReference(*contents.recording, 20.0, 20000.0, &timing));
  EXPECT_NEAR(timing.delaySamples, CLoudspeakerModel::kDelaySamples, 1.0);
  EXPECT_LT(std::abs(timing.driftPpm), 5.0);
}

TEST_F(CaptureWindowTest, ARememberedChartIsOfferedAtTheStartAndNamedInTheCaption) {
  const auto charts = m_folder / "charts";
  std::filesystem::create_directories(charts);
  std::ofstream(charts / "Mic 7.txt") << "10 0.0\n100 0.0\n1000 0.0\n10000 0.0\n30000 0.0\n";
  Store(kPrefMicroSelected, "Mic 7");
  OpenWindow();
  std::snprintf(Shared().m_szChartFolder, sizeof Shared().m_szChartFolder, "%s", charts.c_str());
  m_messages.AnswerNext(true);
  Click(Dialog().StartButton());
  EXPECT_EQ(
      m_messages.Questions(),
      std::vector<std::string>{"Do you want to apply the calibation with microphone \"Mic 7\" ?"});
  EXPECT_TRUE(Dialog().CalibrationButton()->IsChecked());
  EXPECT_EQ(Dialog().CalibrationButton()->text(), "Microphone\nCalibration applied");
  WaitForTheEnd();
  EXPECT_STREQ(Shared().m_szGraphCaption, "Quorvel Capture with microphone \"Mic 7\"");
  EXPECT_EQ(Points(), 1001);
}

TEST_F(CaptureWindowTest, AClippedInputIsReportedAfterTheWholeCurve) {
  Store(kPrefAudioInGain, 24);  // +12 dB: the simulated sweep 4.5 dB over full scale
  OpenWindow();
  Click(Dialog().StartButton());
  WaitForTheEnd();
  EXPECT_EQ(Points(), 1001);
  const std::vector<std::string> messages = m_messages.Messages();
  ASSERT_EQ(messages.size(), 1u) << m_messages.All();
  EXPECT_EQ(messages[0].rfind("The Audio Input clipped during the sweep (", 0), 0u) << messages[0];
}

TEST_F(CaptureWindowTest, StopMidwayKeepsTheCurveWithNothingToSave) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Points() >= 300; })) << m_messages.All();
  Click(Dialog().StartButton());
  EXPECT_FALSE(Capturing());
  const int kept = Points();
  EXPECT_GE(kept, 300);
  EXPECT_LT(kept, 1001);
  EXPECT_EQ(Graph().UpdateHasCurve(), 1);
  EXPECT_EQ(Shared().m_bInputOpen.load(), 0);
  EXPECT_EQ(Dialog().StartButton()->text(), "+ S T A R T +\nC A P T U R E");
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
  ProcessFor(100);
  EXPECT_EQ(Points(), kept);  // nothing more arrives
  EXPECT_FALSE(CheckCaptureToSave(m_core->FileContext()));
  EXPECT_EQ(m_messages.Messages().back(), "No new capture performed");
}

TEST_F(CaptureWindowTest, TheCalibrationButtonIsGreyedOutWhileTheCurveIsMeasured) {
  OpenWindow();
  EXPECT_TRUE(Dialog().CalibrationButton()->isEnabled());
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Points() >= 100; })) << m_messages.All();
  EXPECT_FALSE(Dialog().CalibrationButton()->isEnabled());
  // a press that still arrives leaves the running curve's calibration as it began
  Dialog().Control().OnCalibrationButton();
  EXPECT_EQ(Shared().m_bCalibrationApplied.load(), 0);
  WaitForTheEnd();
  EXPECT_EQ(Points(), 1001);
  EXPECT_TRUE(ProcessUntil([&] { return Dialog().CalibrationButton()->isEnabled(); }));
}

TEST_F(CaptureWindowTest, PressingStartTwiceQuicklyStartsAndStops) {
  OpenWindow();
  Click(Dialog().StartButton());
  Click(Dialog().StartButton());
  EXPECT_FALSE(Capturing());
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  // and the next press measures as ever
  Click(Dialog().StartButton());
  WaitForTheEnd();
  EXPECT_EQ(Points(), 1001);
}

TEST_F(CaptureWindowTest, WithoutAnInputTheStartShowsItsMessage) {
  SimulatedAudioOptions options;
  options.clockFactor = kGuiClockFactor;
  options.inputCount = 0;
  auto sim = std::make_unique<CSimulatedAudioServices>(options);
  m_sim = sim.get();
  OpenWindow(std::move(sim));
  Dialog().Control().SetCalibrationButton(true);
  Click(Dialog().StartButton());
  EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"Not a valid Audio Input peripheral"});
  EXPECT_FALSE(Capturing());
  EXPECT_FALSE(Dialog().StartButton()->IsChecked());
  EXPECT_EQ(Dialog().StartButton()->Face(), QColor(180, 255, 180));
  EXPECT_FALSE(Dialog().CalibrationButton()->IsChecked());  // calibration off
  EXPECT_EQ(Dialog().InputButton()->text(), "Open Input Peripheral");
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
}

TEST_F(CaptureWindowTest, AnInputThatCannotBeOpenedShowsItsMessage) {
  OpenWindow();
  m_sim->SetInputName(0, "Another microphone");  // another device took its place since the listing
  Click(Dialog().StartButton());
  ASSERT_EQ(m_messages.Messages().size(), 1u) << m_messages.All();
  EXPECT_EQ(m_messages.Messages()[0].rfind("Could Not Open this Audio Input Device: \n", 0), 0u)
      << m_messages.All();
  EXPECT_FALSE(Capturing());
  EXPECT_EQ(Dialog().InputButton()->text(), "Open Input Peripheral");
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
}

// Services whose output cannot be opened: another program holds it.
class CBusyOutputServices : public CScriptedServices {
 public:
  CBusyOutputServices() {
    captureNames = {"Microphone"};
    productNames = {"Speakers"};
    descriptions = {"Speakers"};
  }
  int32_t OpenOutput(int, const PlayFormat&, OutputNotifyRoutine, void*) override {
    return kMmErrAllocated;
  }
};

TEST_F(CaptureWindowTest, AnOutputThatCannotBeOpenedShowsItsMessage) {
  OpenWindow(std::make_unique<CBusyOutputServices>());
  Click(Dialog().StartButton());
  // the message first, then what it means in plain words
  ASSERT_EQ(m_messages.Messages().size(), 1u) << m_messages.All();
  EXPECT_EQ(m_messages.Messages()[0].rfind(
                "Could Not Open the Audio Output Device: Ressource still allocated\n", 0),
            0u)
      << m_messages.All();
  EXPECT_FALSE(Capturing());
  EXPECT_EQ(Dialog().StartButton()->text(), "+ S T A R T +\nC A P T U R E");
  EXPECT_FALSE(Audio().IsOutputOpen());
  EXPECT_STREQ(Audio().ChosenOutputName(), "");
  // the input stays open, as its button says
  EXPECT_EQ(Shared().m_bInputOpen.load(), 1);
  EXPECT_EQ(Dialog().InputButton()->text(), "Close Input Peripheral");
  EXPECT_TRUE(ProcessUntil([&] { return Audio().DeviceThreadCount() == 1; }));
}

TEST_F(CaptureWindowTest, AnInputLostMidSweepEndsTheMeasurementWithAMessage) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Points() >= 200; })) << m_messages.All();
  m_sim->SetInputLost(true);
  ASSERT_TRUE(ProcessUntil([&] { return !Capturing(); }));
  ASSERT_EQ(m_messages.Messages().size(), 1u);
  EXPECT_EQ(m_messages.Messages()[0].rfind("The Audio Input stopped during the measurement", 0), 0u)
      << m_messages.All();
  EXPECT_LT(Points(), 1001);
  EXPECT_EQ(Dialog().StartButton()->text(), "+ S T A R T +\nC A P T U R E");
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
}

TEST_F(CaptureWindowTest, ClosingTheInputDuringACaptureWaitsForStop) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Points() >= 100; }));
  Click(Dialog().InputButton());
  EXPECT_EQ(Dialog().InputButton()->text(), "Open Input Peripheral");
  ProcessFor(300);
  EXPECT_TRUE(Capturing());  // the Stop caption stays until Stop
  EXPECT_EQ(Dialog().StartButton()->text(), "- S T O P -\nC A P T U R E");
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  Click(Dialog().StartButton());
  EXPECT_FALSE(Capturing());
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
}

TEST_F(CaptureWindowTest, SliderMovesAreStoredAndAppliedWithinATick) {
  OpenWindow();
  Dialog().GainSlider()->setValue(18);
  EXPECT_TRUE(
      ProcessUntil([&] { return Audio().InputGain() == GainFactor(GainDbOfPosition(18)); }));
  EXPECT_EQ(Stored(kPrefAudioInGain).toInt(), 18);

  // The volume acts on an open output: during a measurement. The slider first takes the
  // device's own volume; a move then sets the device's volume.
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Audio().IsOutputOpen(); }));
  ASSERT_TRUE(ProcessUntil([&] { return Dialog().VolumeSlider()->value() == 24; }));
  Dialog().VolumeSlider()->setValue(6);
  float volume = -1.0f;
  EXPECT_TRUE(ProcessUntil(
      [&] { return m_sim->GetOutputVolume(0, &volume) && std::fabs(volume - 0.25f) < 1e-6f; }));
  EXPECT_EQ(Stored(kPrefVolume).toInt(), 6);
  EXPECT_EQ(Audio().PlayVolume(), kFullPlayVolume);  // the device attenuates
  Click(Dialog().StartButton());
}

TEST_F(CaptureWindowTest, TheMarkerFollowsTheMouseAlongTheCurve) {
  OpenWindow();
  Click(Dialog().StartButton());
  WaitForTheEnd();
  CGraphArea* area = Dialog().GraphArea();

  QTest::mousePress(area, Qt::LeftButton, {}, QPoint(33 + 500, 200));
  EXPECT_EQ(Graph().m_cursorIndex, 500);
  EXPECT_EQ(area->cursor().shape(), Qt::SizeHorCursor);
  area->repaint();  // the drawing puts the marker on the curve and reads it
  EXPECT_NEAR(Graph().m_cursorFreq, PointFrequency(501, 20.0, 20000.0),
              0.005 * PointFrequency(501, 20.0, 20000.0));
  EXPECT_EQ(Graph().m_cursorLevel, Graph().m_points[500].load());

  QTest::mouseMove(area, QPoint(33 + 800, 120));
  EXPECT_EQ(Graph().m_cursorIndex, 800);
  area->repaint();
  EXPECT_EQ(Graph().m_cursorLevel, Graph().m_points[800].load());
  QTest::mouseMove(area, QPoint(1060, 120));  // out of the plot: the marker stays
  EXPECT_EQ(Graph().m_cursorIndex, 800);
  EXPECT_EQ(area->cursor().shape(), Qt::ArrowCursor);
  QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(1060, 120));
  EXPECT_EQ(Graph().m_cursorIndex, 800);
  // a press in the margin hides it
  QTest::mousePress(area, Qt::LeftButton, {}, QPoint(10, 200));
  EXPECT_EQ(Graph().m_cursorIndex, -1);
  QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(10, 200));
}

// The colour of segment `slot` of the meter as drawn on the screen.
QColor SlotPixel(CLevelMeterWidget* meter, int slot) {
  const QImage image = meter->grab().toImage();
  const int x = CLevelMeterWidget::kBorder + CLevelMeter::SlotLeft(meter->Geometry(), slot) +
                meter->Geometry().slotWidth / 2;
  return image.pixelColor(x, CLevelMeterWidget::kBorder + 5);
}

TEST_F(CaptureWindowTest, TheMeterShowsTheInputLevelInItsColours) {
  OpenWindow();
  CLevelMeterWidget* meter = Dialog().LevelMeter();
  ProcessFor(100);
  EXPECT_EQ(SlotPixel(meter, 10), QColor::fromRgb(PaletteColor(7)));  // closed: grey

  Click(Dialog().InputButton());
  ASSERT_EQ(Shared().m_bInputOpen.load(), 1);
  ProcessFor(500);  // past the rising bar; the simulated room is quiet
  EXPECT_EQ(SlotPixel(meter, 20), QColor::fromRgb(PaletteColor(2)));  // open: blue
  // a full-scale peak lights every segment: green, then yellow, then red
  CAudioProbe::PeakLeft(Audio()).store(0x7FFF0000);
  ASSERT_TRUE(ProcessUntil([&] { return Dialog().Control().Meter().Level() > 31.0f; }));
  ProcessFor(5);
  EXPECT_EQ(SlotPixel(meter, 10), QColor::fromRgb(PaletteColor(5)));
  EXPECT_EQ(SlotPixel(meter, 29), QColor::fromRgb(PaletteColor(8)));
  EXPECT_EQ(SlotPixel(meter, 31), QColor::fromRgb(PaletteColor(14)));  // the peak mark

  Click(Dialog().InputButton());
  ProcessFor(100);
  EXPECT_EQ(SlotPixel(meter, 10), QColor::fromRgb(PaletteColor(7)));
  EXPECT_EQ(Audio().Counters().peakLeft, 0);
}

TEST_F(CaptureWindowTest, AReplayRedrawsTheCurveAndItsRecordingCanBeSavedAgain) {
  OpenWindow();
  Click(Dialog().StartButton());
  WaitForTheEnd();
  const std::vector<double> live = Curve();
  ASSERT_NO_FATAL_FAILURE(LoadRecordingAsSamples(Audio()));
  Dialog().Control().SetCalibrationButton(true);

  ASSERT_TRUE(Dialog().Control().StartReplay());
  EXPECT_FALSE(Dialog().StartButton()->isEnabled());
  // the input cannot be opened meanwhile: only the play thread feeds the analysis
  EXPECT_FALSE(Dialog().InputButton()->isEnabled());
  Dialog().Control().OnInputButton();
  EXPECT_EQ(Shared().m_bInputOpen.load(), 0);
  ASSERT_TRUE(ProcessUntil([&] { return Dialog().StartButton()->isEnabled(); }))
      << m_messages.All();
  EXPECT_TRUE(Dialog().InputButton()->isEnabled());
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  const std::vector<double> replayed = Curve();
  ASSERT_EQ(replayed.size(), 1001u);
  for (int k = 100; k <= 900; k += 100) EXPECT_NEAR(replayed[k], live[k], 0.1) << k;
  EXPECT_EQ(Audio().Loaded().data(), nullptr);              // freed once the play thread had gone
  EXPECT_FALSE(Dialog().CalibrationButton()->IsChecked());  // off at the end of a replay
  EXPECT_TRUE(ProcessUntil([&] { return bool(DevicesAtRest(Audio(), *m_sim)); }));
  EXPECT_TRUE(CheckCaptureToSave(m_core->FileContext())) << m_messages.All();
}

// Nothing is lost: both measurements are in the session folder without a save command, and
// the first is drawn (in the plot, clear of the axes and labels) behind the second as it grows.
TEST_F(CaptureWindowTest, TwoMeasurementsInARowAreKeptInTheSessionAndOverlaid) {
  OpenWindow();
  Click(Dialog().StartButton());
  WaitForTheEnd();
  EXPECT_EQ(Graph().Curves().size(), 1u);  // the kept curve is the live one, none behind it
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Points() > 100; }));
  const QImage plot = GraphPicture(Graph()).copy(40, 25, 1000, 380);  // clear of axes, labels
  const auto* pixels = reinterpret_cast<const QRgb*>(plot.constBits());
  EXPECT_GT(std::count(pixels, pixels + 1000 * 380, WorkbenchColourAt(0) | 0xff000000u), 500);
  WaitForTheEnd();
  EXPECT_EQ(Graph().Curves().size(), 2u);  // the first behind the live second, not itself
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  const std::filesystem::path folder = m_core->Workbench().List().SessionFolder();
  EXPECT_EQ(folder.parent_path(), m_folder / "data/Velkar/Quorvel/Sessions");
  m_dialog.reset();  // closed and opened again
  m_core.reset();
  OpenWindow();
  std::vector<std::string> problems;
  ASSERT_TRUE(m_core->Workbench().Open(folder.string(), &problems));
  EXPECT_TRUE(problems.empty());  // else a capture would be missing
  EXPECT_EQ(m_core->Workbench().List().Document().entries.size(), 2u);
}

TEST_F(CaptureWindowTest, QuitDuringACaptureLeavesNothingRunning) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return Points() >= 100; }));
  Click(Dialog().QuitButton());
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_TRUE(DevicesAtRest(Audio(), *m_sim));
  EXPECT_EQ(Shared().m_bInputOpen.load(), 0);
}

TEST_F(CaptureWindowTest, QuitDuringAReplayLeavesNothingRunning) {
  OpenWindow();
  Click(Dialog().StartButton());
  WaitForTheEnd();
  ASSERT_NO_FATAL_FAILURE(LoadRecordingAsSamples(Audio()));
  ASSERT_TRUE(Dialog().Control().StartReplay());
  ASSERT_TRUE(ProcessUntil([&] { return Points() >= 100; }));
  Click(Dialog().QuitButton());
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_TRUE(DevicesAtRest(Audio(), *m_sim));
  EXPECT_EQ(Audio().Loaded().data(), nullptr);
}

}  // namespace

}  // namespace quorvel
