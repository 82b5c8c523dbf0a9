// The "Impulse Response and Distortion" window from the main window's menu, on the simulated
// loudspeaker: available only with a complete curve and its recording, its gate re-draws the
// level, its FRD export reads back, and a replayed capture is corrected by its microphone.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/colour_button.h"
#include "app/qt_user_messages.h"
#include "app/workbench_window.h"
#include "audio/sim/loudspeaker_model.h"
#include "base/preferences.h"
#include "graph/response_view_plots.h"
#include "response/decay_spectrum.h"
#include "response/spectrogram.h"
#include "tests/app/gui_test_support.h"
#include "tests/print/print_test_support.h"

namespace quorvel {

namespace {

class ResponseWindowTest : public GuiTest {
 protected:
  // The menu's entry, enabled or not; triggered when asked and enabled.
  bool ResponseEntry(bool trigger) {
    std::unique_ptr<QMenu> menu(Dialog().CreateWindowMenu());
    for (QAction* action : menu->actions()) {
      if (action->text() != CQuorvelDlg::kResponseEntry) continue;
      if (trigger && action->isEnabled()) action->trigger();
      return action->isEnabled();
    }
    ADD_FAILURE() << "no entry";
    return false;
  }
  void RunToEnd() {
    ASSERT_TRUE(ProcessUntil([&] {
      return Shared().m_bCapturing.load() == 0 && !Dialog().Control().Replaying();
    })) << m_messages.All();
  }
  // The FRD file's data lines, each three numbers; the comment lines in *comments.
  std::vector<std::array<double, 3>> ExportFrd(const std::string& path, std::string* comments) {
    m_messages.ChooseNext(path);
    Click(Dialog().ResponseWindow()->FrdButton());
    std::ifstream file(path);
    std::vector<std::array<double, 3>> rows;
    for (std::string line; std::getline(file, line);) {
      if (line.rfind("*", 0) == 0) {
        *comments += line + "\n";
      } else {
        std::istringstream fields(line);
        auto& row = rows.emplace_back();
        EXPECT_TRUE(fields >> row[0] >> row[1] >> row[2] && (fields >> std::ws).eof()) << line;
      }
    }
    return rows;
  }
};

TEST_F(ResponseWindowTest, OpensOnACompleteCurveAndItsGateAndExportWorkOnItsRecording) {
  const auto charts = m_folder / "charts";
  std::filesystem::create_directories(charts);
  std::ofstream(charts / "Mic 7.txt") << "10 0.0\n100 -2.0\n1000 6.0\n10000 3.0\n30000 0.0\n";
  Store(kPrefCalibFiles, QString::fromStdString(charts.string()));
  OpenWindow();
  EXPECT_FALSE(ResponseEntry(false));  // no curve yet
  Click(Dialog().StartButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  CResponseWindow* window = Dialog().ResponseWindow();
  ASSERT_TRUE(window != nullptr && QTest::qWaitForWindowExposed(window));
  for (const QWidget* control : std::initializer_list<const QWidget*>{
           window->GateBox(), window->FrdButton(), window->ImpulseButton(),
           window->DistortionButton(), window->Plot(ResponsePlot::kImpulse),
           window->Plot(ResponsePlot::kLevelPhase), window->Plot(ResponsePlot::kDistortion)}) {
    EXPECT_FALSE(control->toolTip().isEmpty()) << control->metaObject()->className();
    EXPECT_TRUE(window->screen()->availableGeometry().contains(
        QRect(control->mapToGlobal(QPoint(0, 0)), control->size())));
  }

  // A typed gate re-draws the level; one beyond the ungated window is refused.
  const QImage ungated = window->Plot(ResponsePlot::kLevelPhase)->grab().toImage();
  QLineEdit* gate = window->GateBox()->lineEdit();
  gate->setText("2,5");
  QTest::keyClick(gate, Qt::Key_Return);
  EXPECT_EQ(window->Session().GateMs(), 2.5);
  EXPECT_EQ(gate->text(), "2.5 ms");
  EXPECT_NE(window->Plot(ResponsePlot::kLevelPhase)->grab().toImage(), ungated);
  gate->setText("5000");
  QTest::keyClick(gate, Qt::Key_Return);
  EXPECT_EQ(m_messages.All().rfind("The gate must be Off, or a time in milliseconds", 0), 0u);
  EXPECT_EQ(gate->text(), "2.5 ms");

  std::string comments;
  const auto rows = ExportFrd((m_folder / "speaker.frd").string(), &comments);
  EXPECT_GE(rows.size(), 480u) << comments;

  // The capture saved with the chart named and replayed: its levels take that chart.
  ASSERT_EQ(m_core->MicroList().ScanCharts(), 1);
  Shared().m_nSelectedChart.store(0);
  Shared().m_bCalibrationApplied.store(1);
  const std::string capture = (m_folder / "with mic.wav").string();
  m_messages.Clear();
  m_messages.ChooseNext(capture);
  Click(Dialog().SaveButton());
  m_messages.ChooseNext(capture);
  Click(Dialog().LoadButton());
  EXPECT_FALSE(ResponseEntry(false));  // not while the file replays
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  EXPECT_EQ(Shared().m_bCalibrationApplied.load(), 0);  // off again at the replay's end
  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  comments.clear();
  const auto corrected = ExportFrd((m_folder / "with mic.frd").string(), &comments);
  EXPECT_NE(comments.find("Mic 7"), std::string::npos) << comments;
  EXPECT_EQ(m_messages.Choosers().back(), m_folder.string() + "|frd");  // beside the last one
  ASSERT_EQ(corrected.size(), rows.size());
  // the chart reads 6 dB at 1 kHz, subtracted from the level the recording gives there
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_TRUE(std::abs(rows[i][0] / 1000.0 - 1.0) >= 0.01 ||
                std::abs(corrected[i][1] - (rows[i][1] - 6.0)) < 0.3)
        << rows[i][0];
  }
}

// The summary gives the time a user reads: the delay and the clocks' drift from the timing
// reference (the loudspeaker's 3.5 ms, as the FRD's comment gives it), or without one where the
// peak lies, which includes the devices' latency.
TEST_F(ResponseWindowTest, ItsSummaryGivesTheDelayFromTheTimingReferenceOrSaysThereIsNone) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  const std::string played = Dialog().ResponseWindow()->DescriptionLabel()->text().toStdString();
  std::smatch after;
  ASSERT_TRUE(std::regex_search(
      played, after,
      std::regex(R"(\nNo timing reference: the impulse response peaks ([0-9.]+) ms \(([0-9.]+) )"
                 R"(samples\) after the played sweep, a time that includes the devices' latency)")))
      << played;
  EXPECT_NEAR(std::stod(after[2]), CLoudspeakerModel::kDelaySamples, 1.0) << played;
  std::string comments;
  ExportFrd((m_folder / "played.frd").string(), &comments);
  EXPECT_NE(comments.find("* Time reference: the impulse response's peak, " + after[1].str() +
                          " ms after the played signal (the devices' latency included)\n"),
            std::string::npos)
      << comments;

  m_messages.ChooseNext((m_folder / "untimed.wav").string());
  Click(Dialog().SaveButton());
  m_messages.ChooseNext((m_folder / "untimed.wav").string());
  Click(Dialog().LoadButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  const std::string untimed = Dialog().ResponseWindow()->DescriptionLabel()->text().toStdString();
  EXPECT_NE(untimed.find(" ms into the recording, a time that includes the devices' latency"),
            std::string::npos)
      << untimed;
  comments.clear();
  ExportFrd((m_folder / "untimed.frd").string(), &comments);
  EXPECT_NE(comments.find(" ms into the recording (a time that includes the devices' latency)\n"),
            std::string::npos)
      << comments;

  QTest::keyClick(Dialog().ChannelList(), Qt::Key_Down);  // left, the right its reference
  Click(Dialog().TimingReferenceBox());
  Click(Dialog().StartButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  const std::string timed = Dialog().ResponseWindow()->DescriptionLabel()->text().toStdString();
  std::smatch found;
  ASSERT_TRUE(std::regex_search(
      timed, found,
      std::regex(R"(\nDelay ([0-9.]+) ms \(([0-9.]+) samples, [0-9.]+ m at 343 m/s\) from the )"
                 R"(timing reference; clock drift (-?[0-9.]+) ppm \(input against output\))")))
      << timed;
  EXPECT_NEAR(std::stod(found[2]), CLoudspeakerModel::kDelaySamples, 1.0) << timed;
  EXPECT_LT(std::abs(std::stod(found[3])), 5.0) << timed;
  comments.clear();
  ExportFrd((m_folder / "timed.frd").string(), &comments);
  EXPECT_NE(comments.find("* time reference: loopback, delay " + found[1].str() + " ms"),
            std::string::npos)
      << comments;
}

// An invalid gate's message and the export choosers, the desktop's own, open over the window.
TEST_F(ResponseWindowTest, ItsMessagesAndChoosersOpenOverItNotOverTheMainWindow) {
  OpenWindow();
  Dialog().SetWindowMessages(BoxesOver);
  Click(Dialog().StartButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  CResponseWindow* window = Dialog().ResponseWindow();
  std::vector<QWidget*> owners;  // of each modal box as it shows, then closed
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr) {
      owners.push_back(modal->parentWidget());
      QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
    }
  });
  poll.start(10);
  window->GateBox()->lineEdit()->setText("5000");  // beyond the ungated window
  QTest::keyClick(window->GateBox()->lineEdit(), Qt::Key_Return);
  Click(window->FrdButton());
  Click(window->ImpulseButton());
  EXPECT_EQ(owners, (std::vector<QWidget*>{window, window, window}));
}

TEST_F(ResponseWindowTest, EachViewOfTheResponseDrawsItsOwnPictureAndExports) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  CResponseWindow* window = Dialog().ResponseWindow();
  ASSERT_TRUE(window != nullptr && QTest::qWaitForWindowExposed(window));
  using View = CResponseWindow::View;
  std::vector<QImage> pictures;
  for (const View view :
       {View::kResponse, View::kGroupDelay, View::kStep, View::kDecay, View::kSpectrogram}) {
    window->Views()->setCurrentWidget(window->ViewPage(view));
    const QImage picture = window->ViewPage(view)->grab().toImage();
    // against the view's empty frame of the same size, a drawing holds its curves
    if (view != View::kResponse) {
      QImage empty(picture.size(), picture.format());
      empty.setDevicePixelRatio(picture.devicePixelRatio());
      QPainter painter(&empty);
      const QRect rect = window->ViewPage(view)->rect();
      if (view == View::kGroupDelay) PaintGroupDelayPlot(painter, rect, {});
      if (view == View::kStep) PaintStepPlot(painter, rect, {});
      if (view == View::kDecay) PaintDecayPlot(painter, rect, DecaySpectrum());
      if (view == View::kSpectrogram) PaintSpectrogramPlot(painter, rect, Spectrogram());
      painter.end();
      int differing = 0;
      for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
          differing += picture.pixel(x, y) != empty.pixel(x, y) ? 1 : 0;
        }
      }
      EXPECT_GT(differing, picture.width() * picture.height() / 100) << static_cast<int>(view);
    }
    for (const QImage& other : pictures) EXPECT_NE(picture, other) << static_cast<int>(view);
    pictures.push_back(picture);
  }
  // each view's CSV is the quorvel-cli's
  window->Views()->setCurrentWidget(window->ViewPage(View::kGroupDelay));
  const std::string csv = (m_folder / "delay.csv").string();
  m_messages.ChooseNext(csv);
  Click(window->ViewCsvButton());
  std::ifstream file(csv);
  std::string header;
  ASSERT_TRUE(std::getline(file, header)) << m_messages.All();
  EXPECT_EQ(header, "frequency_hz,group_delay_ms,excess_group_delay_ms");
  window->Views()->setCurrentWidget(window->ViewPage(View::kSpectrogram));
  EXPECT_FALSE(window->ViewCsvButton()->isEnabled());
  const std::string png = (m_folder / "map.png").string();
  m_messages.ChooseNext(png);
  Click(window->ViewPngButton());
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(),
            QSize(kViewPictureWidth, kViewPictureHeight));
}

// The window is a view of a chosen measurement: after a second run (over another range), the
// Measurements window's view of the first gives the first capture's response exactly as
// quorvel-cli response gives it, and the main window's view the second's.
TEST_F(ResponseWindowTest, TheMeasurementsWindowShowsTheChosenMeasurementAsQuorvelCliDoes) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  Dialog().Control().Range().SetFminField(true, 100.0);
  Click(Dialog().StartButton());
  ASSERT_NO_FATAL_FAILURE(RunToEnd());
  const std::vector<SessionEntry>& entries = m_core->Workbench().List().Document().entries;
  ASSERT_EQ(entries.size(), 2u) << m_messages.All();
  const auto cli = [&](const SessionEntry& entry) {
    return quorvel::Run("env -u QT_SCALE_FACTOR '" QUORVEL_CLI_PATH "' response '" +
                        entry.capturePath + "' --frd /dev/stdout 2> /dev/null");
  };
  const std::string frd = (m_folder / "view.frd").string();
  const auto exported = [&](CResponseWindow* window) {
    m_messages.ChooseNext(frd);
    Click(window->FrdButton());
    return quorvel::Run("cat '" + frd + "'");
  };
  const std::string first = cli(entries[0]);
  const std::string second = cli(entries[1]);
  ASSERT_NE(first, second);

  Click(Dialog().WorkbenchButton());
  CWorkbenchWindow* workbench = Dialog().WorkbenchWindow();
  ASSERT_TRUE(workbench != nullptr);
  workbench->SelectRows({0});
  workbench->OpenResponse();
  CResponseWindow* chosen = workbench->ResponseWindow();
  ASSERT_TRUE(chosen != nullptr && chosen->isVisible()) << m_messages.All();
  EXPECT_EQ(first, exported(chosen)) << m_messages.All();

  ASSERT_TRUE(ResponseEntry(true)) << m_messages.All();
  const std::regex time(R"(\* Time reference: [^\n]*\n)");  // a live run's, not its file's
  EXPECT_EQ(std::regex_replace(second, time, ""),
            std::regex_replace(exported(Dialog().ResponseWindow()), time, ""));
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
}

}  // namespace

}  // namespace quorvel
