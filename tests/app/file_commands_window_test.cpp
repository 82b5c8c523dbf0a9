// The window's file commands and printing on the simulated loudspeaker (fast clock), with
// scripted file choosers: Save and Load Audio File, the microphone selection behind the
// calibration button, Save Curve and Print to a PDF file.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

#include "app/colour_button.h"
#include "app/micro_select.h"
#include "base/preferences.h"
#include "base/shared_state.h"
#include "calibration/radio_list_box.h"
#include "graph/graphical.h"
#include "measurement/measurement.h"
#include "print/print_curve.h"
#include "tests/app/gui_test_support.h"
#include "tests/print/print_test_support.h"

namespace quorvel {

namespace {

class FileCommandsTest : public GuiTest {
 protected:
  bool Capturing() { return Shared().m_bCapturing.load() != 0; }
  bool Replaying() { return Dialog().Control().Replaying(); }
  std::vector<double> Curve() {
    std::vector<double> points;
    for (int k = 0; k < Graph().m_count.load(); ++k) points.push_back(Graph().m_points[k].load());
    return points;
  }
  // A whole measurement from the start button.
  void Measure() {
    Click(Dialog().StartButton());
    ASSERT_TRUE(ProcessUntil([&] { return !Capturing(); })) << m_messages.All();
    ASSERT_EQ(Graph().m_count.load(), 1001) << m_messages.All();
  }
  // Load Audio File with the chooser answering path; waits for the replay to end.
  void Load(const std::string& path) {
    m_messages.ChooseNext(path);
    Click(Dialog().LoadButton());
    ASSERT_TRUE(ProcessUntil([&] { return !Replaying(); })) << m_messages.All();
  }
  // The window closed and started again over the same preferences, as after Quit.
  void Restart() {
    m_dialog.reset();
    m_core.reset();
    OpenWindow();
  }
  std::string File(const std::string& name) { return (m_folder / name).string(); }
};

// Answers the next modal dialog (the microphone selection) once it shows.
void WhenModalShows(const std::function<void(QWidget*)>& answer) {
  QTimer::singleShot(10, [answer] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      WhenModalShows(answer);
      return;
    }
    answer(modal);
  });
}

TEST_F(FileCommandsTest, AMeasurementSavedLoadsBackAfterARestartWithItsRangeAndCurve) {
  Store(kPrefFmin, "100.000000");
  Store(kPrefFmax, "10000.000000");
  OpenWindow();
  Click(Dialog().SaveButton());  // nothing captured yet: no chooser
  EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"No new capture performed"});
  EXPECT_TRUE(m_messages.Choosers().empty());
  m_messages.Clear();

  ASSERT_NO_FATAL_FAILURE(Measure());
  const std::vector<double> live = Curve();
  const std::string capture = File("kitchen speaker.wav");
  m_messages.ChooseNext(capture);
  Click(Dialog().SaveButton());
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  EXPECT_EQ(Stored(kPrefWav).toString().toStdString(), capture);

  Restart();
  Dialog().Control().Range().SetFminField(true, 20.0);
  Dialog().Control().Range().SetFmaxField(20000.0, true);
  m_messages.ChooseNext(capture);
  Click(Dialog().LoadButton());
  EXPECT_EQ(m_messages.Choosers().back(), m_folder.string() + "|wav");
  EXPECT_FALSE(Dialog().StartButton()->isEnabled());  // greyed while the file replays
  ASSERT_TRUE(ProcessUntil([&] { return !Replaying(); })) << m_messages.All();
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  EXPECT_TRUE(Dialog().StartButton()->isEnabled());
  EXPECT_EQ(Dialog().FminField()->text(), "100 Hz");
  EXPECT_EQ(Dialog().FmaxField()->text(), "10 kHz");
  EXPECT_STREQ(Shared().m_szGraphCaption, "Playing File \"kitchen speaker\"");
  const std::vector<double> replayed = Curve();
  ASSERT_EQ(replayed.size(), 1001u);
  for (int k = 150; k <= 950; ++k) ASSERT_NEAR(replayed[k], live[k], 0.05) << "point " << k;

  // Save Curve: PNG and BMP by extension in any letter case, then a refused extension. The
  // picture is quorvel-cli's for the same capture at scale 1, whatever the window's scale.
  for (const char* name : {"curve.png", "curve.BMP", "curve.jpg"}) {
    m_messages.ChooseNext(File(name));
    Click(Dialog().SaveCurveButton());
  }
  EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"Cannot save the file to disk..."});
  EXPECT_EQ(Stored(kPrefCurves).toString().toStdString(), File("curve.jpg"));
  EXPECT_EQ(m_messages.Choosers().back(), m_folder.string() + "|png");
  const QImage png(QString::fromStdString(File("curve.png")));
  const QImage bmp(QString::fromStdString(File("curve.BMP")));
  EXPECT_FALSE(std::filesystem::exists(File("curve.jpg")));
  ASSERT_EQ(png.size(), QSize(kAreaWidth, kAreaHeight));
  EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), png.convertToFormat(QImage::Format_RGB32));
  const std::string cliPng = File("cli.png");
  ASSERT_EQ(std::system(("env -u QT_SCALE_FACTOR '" QUORVEL_CLI_PATH "' analyze '" + capture +
                         "' --png '" + cliPng + "' > /dev/null 2>&1")
                            .c_str()),
            0);
  EXPECT_EQ(QImage(QString::fromStdString(cliPng)).convertToFormat(QImage::Format_RGB32),
            png.convertToFormat(QImage::Format_RGB32));

  // Print to a PDF file: one landscape page with the caption below the graph and the curve
  // across most of the page's width (the page's geometry is the printing code's own test).
  m_messages.Clear();
  const std::string pdf = File("curve.pdf");
  CPdfFileChooser toPdf(pdf);
  Dialog().SetPrinterChooser(&toPdf);
  Click(Dialog().PrintButton());
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
  const std::string text = quorvel::Run("pdftotext '" + pdf + "' - 2>/dev/null");
  EXPECT_NE(text.find("Response curve created with Quorvel"), std::string::npos) << text;
  const QImage page = RenderPdf(pdf, 100);
  ASSERT_FALSE(page.isNull());
  EXPECT_GT(page.width(), page.height());
  EXPECT_GT(BoundingBox(page, IsRed).width(), page.width() * 3 / 4);
}

TEST_F(FileCommandsTest, NothingIsSavedWhereNoFileCanBeCreated) {
  OpenWindow();
  Click(Dialog().SaveCurveButton());  // no curve: no chooser
  EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"No Response Curve on screen"});
  EXPECT_TRUE(m_messages.Choosers().empty());
  m_messages.Clear();
  ASSERT_NO_FATAL_FAILURE(Measure());
  // A read-only folder; a superuser writes there anyway, so it gets a folder that is a file.
  const auto readOnly = m_folder / "read-only";
  std::filesystem::create_directories(readOnly);
  ::chmod(readOnly.c_str(), 0555);
  if (::geteuid() == 0) {
    std::filesystem::remove(readOnly);
    std::ofstream(readOnly) << "a file";
  }
  m_messages.ChooseNext((readOnly / "c.wav").string());
  Click(Dialog().SaveButton());
  ASSERT_EQ(m_messages.Messages().size(), 1u);  // the path and the reason on its second line
  EXPECT_EQ(m_messages.Messages()[0].rfind("Could not create File!\n" + readOnly.string(), 0), 0u);
  ::chmod(readOnly.c_str(), 0755);
}

TEST_F(FileCommandsTest, AChartChosenInTheDialogIsAppliedAndAMissingOneIsReportedOnLoad) {
  const auto charts = m_folder / "charts";
  std::filesystem::create_directories(charts);
  std::ofstream(charts / "Mic 7.txt") << "10 0.0\n100 -2.0\n1000 0.0\n10000 3.0\n30000 0.0\n";
  OpenWindow();
  // The calibration button opens the selection: the chart folder chosen with "Select ", the
  // chart picked and its curve previewed, then OK.
  bool listed = false;
  bool previewed = false;
  WhenModalShows([&](QWidget* modal) {
    auto* select = dynamic_cast<CMicroSelect*>(modal);
    if (select == nullptr) {
      modal->close();
      return;
    }
    m_messages.ChooseNext(charts.string());
    Click(select->SelectButton());
    listed = select->ChartList()->count() == 1;
    select->ChartList()->setCurrentRow(0);
    previewed = std::count_if(select->Preview().rows.begin(), select->Preview().rows.end(),
                              [](int row) { return row > 0; }) >= 10;
    Click(select->OkButton());
  });
  Click(Dialog().CalibrationButton());
  EXPECT_TRUE(listed);
  EXPECT_TRUE(previewed);
  EXPECT_EQ(Stored(kPrefCalibFiles).toString().toStdString(), charts.string());
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  EXPECT_TRUE(Dialog().CalibrationButton()->IsChecked());
  EXPECT_EQ(Stored(kPrefMicroSelected).toString(), "Mic 7");
  ASSERT_NO_FATAL_FAILURE(Measure());
  EXPECT_STREQ(Shared().m_szGraphCaption, "Quorvel Capture with microphone \"Mic 7\"");
  const std::string capture = File("with mic.wav");
  m_messages.ChooseNext(capture);
  Click(Dialog().SaveButton());
  ASSERT_TRUE(m_messages.Messages().empty()) << m_messages.All();

  // The chart has gone: the load says so and replays the file without calibration.
  std::filesystem::remove(charts / "Mic 7.txt");
  Restart();
  ASSERT_NO_FATAL_FAILURE(Load(capture));
  EXPECT_EQ(m_messages.Messages(),
            std::vector<std::string>{"Sorry, could not find microphone \"Mic 7\" for calibration"});
  EXPECT_FALSE(Dialog().CalibrationButton()->IsChecked());
  EXPECT_STREQ(Shared().m_szGraphCaption, "Playing File \"with mic\"");
  EXPECT_EQ(Graph().m_count.load(), 1001);
  EXPECT_EQ(Stored(kPrefMicroSelected).toString(), "Mic 7");  // the earlier choice kept
}

// A replay, like a measurement, keeps the chart it began with: the calibration button is greyed
// out until its curve is whole, and a press that still arrives changes nothing. The measured
// run and the replay of its capture stay two measurements, each with its own recording.
TEST_F(FileCommandsTest, TheCalibrationButtonIsGreyedOutWhileACaptureReplays) {
  const auto charts = m_folder / "charts";
  std::filesystem::create_directories(charts);
  std::ofstream(charts / "Tilt.txt") << "20 -6\n20000 12\n";
  Store(kPrefCalibFiles, QString::fromStdString(charts.string()));
  Store(kPrefMicroSelected, "Tilt");
  OpenWindow();
  m_messages.AnswerNext(true);  // apply the remembered microphone
  ASSERT_NO_FATAL_FAILURE(Measure());
  const Measurement measured = *Dialog().Control().CurrentMeasurement();
  EXPECT_EQ(measured.ChartName(), "Tilt");
  const std::vector<double> live = Curve();
  const std::string capture = File("tilted.wav");
  m_messages.ChooseNext(capture);
  Click(Dialog().SaveButton());
  m_messages.ChooseNext(capture);
  Click(Dialog().LoadButton());
  ASSERT_TRUE(Replaying());
  EXPECT_FALSE(Dialog().CalibrationButton()->isEnabled());
  ASSERT_TRUE(ProcessUntil([&] { return Graph().m_count.load() >= 100; })) << m_messages.All();
  Dialog().Control().OnCalibrationButton();
  EXPECT_EQ(Shared().m_bCalibrationApplied.load(), 1);
  ASSERT_TRUE(ProcessUntil([&] { return !Replaying(); })) << m_messages.All();
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  EXPECT_TRUE(Dialog().CalibrationButton()->isEnabled());
  // corrected by the same chart at every point (compared from about 160 Hz to 14 kHz)
  const std::vector<double> replayed = Curve();
  ASSERT_EQ(replayed.size(), 1001u);
  for (int k = 300; k <= 950; ++k) ASSERT_NEAR(replayed[k], live[k], 0.1) << "point " << k;
  const Measurement* replay = Dialog().Control().CurrentMeasurement();
  ASSERT_NE(replay, nullptr);
  EXPECT_EQ(replay->ChartName(), "Tilt");
  EXPECT_NE(&replay->GetRecording(), &measured.GetRecording());
  EXPECT_EQ(replay->GetRecording().samples, measured.GetRecording().samples);
}

}  // namespace

}  // namespace quorvel
