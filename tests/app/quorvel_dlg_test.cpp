// The main window driven as a user drives it: its size and controls, the devices it picks from
// the stored names, the frequency range arrows with the reset question, smoothing, the about
// box and help.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <fstream>

#include "app/about_dlg.h"
#include "app/colour_button.h"
#include "app/graph_area.h"
#include "app/help_window.h"
#include "app/qt_user_messages.h"
#include "app/up_down.h"
#include "base/shared_state.h"
#include "calibration/chart_folder_browser.h"
#include "control/window/slider_positions.h"
#include "control/window/window_placement.h"
#include "graph/graphical.h"
#include "tests/app/gui_test_support.h"
#include "tests/engine/scripted_services.h"

namespace quorvel {

namespace {

// Services listing the given devices (nothing is measured through them); the engine adds the
// default output after the outputs.
std::unique_ptr<IAudioServices> Listing(std::vector<std::string> inputs,
                                        std::vector<std::string> outputs) {
  auto services = std::make_unique<CScriptedServices>();
  services->captureNames = std::move(inputs);
  services->productNames = outputs;
  services->descriptions = std::move(outputs);
  return services;
}

QStringList Entries(const QComboBox* list) {
  QStringList entries;
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  return entries;
}

using WindowTest = GuiTest;

TEST_F(WindowTest, FirstRunShowsTheWindowAndStoresTheDefaults) {
  OpenWindow();
  EXPECT_EQ(Dialog().windowTitle(), "Quorvel");
  EXPECT_EQ(Dialog().size(), QSize(1095, 679));  // 730 x 418 dialog units
  EXPECT_EQ(Dialog().GraphArea()->size(), QSize(1065, 455));
  EXPECT_EQ(Entries(Dialog().InputList()), QStringList{"Simulated measurement microphone"});
  ASSERT_EQ(Dialog().OutputList()->count(), 2);
  EXPECT_TRUE(Dialog().OutputList()->itemText(0).startsWith("Simulated loudspeaker"));
  EXPECT_EQ(Dialog().OutputList()->itemText(1), "Default Audio Output");
  // "Microphone" found in the input's name; the default output is the last entry
  EXPECT_EQ(Dialog().InputList()->currentIndex(), 0);
  EXPECT_STREQ(Audio().ChosenInputName(), "Simulated measurement microphone");
  EXPECT_EQ(Dialog().OutputList()->currentIndex(), 1);
  EXPECT_EQ(Dialog().GainSlider()->value(), 12);
  EXPECT_EQ(Audio().InputGain(), 1.0);
  EXPECT_EQ(Dialog().FminField()->text(), "20 Hz");
  EXPECT_EQ(Dialog().FmaxField()->text(), "20 kHz");
  EXPECT_EQ(Dialog().StartButton()->text(), "+ S T A R T +\nC A P T U R E");
  EXPECT_EQ(Dialog().StartButton()->Face(), QColor(180, 255, 180));
  EXPECT_FALSE(Dialog().StartButton()->IsChecked());
  EXPECT_EQ(Dialog().InputButton()->text(), "Open Input Peripheral");
  EXPECT_EQ(Dialog().CalibrationButton()->text(), "Select Microphone\nCalibration");
  EXPECT_EQ(Dialog().SmoothButton()->text(), "Smooth curve");

  // every default of the window's set-up is in the file, as the file holds it
  EXPECT_EQ(Stored(kPrefAudioInPeripheral).toString(), "Microphone");
  EXPECT_EQ(Stored(kPrefAudioInGain).toInt(), 12);
  EXPECT_EQ(Stored(kPrefAudioOutPeripheral).toString(), "Default Audio Output");
  EXPECT_EQ(Stored(kPrefVolume).toInt(), 16);
  EXPECT_EQ(Stored(kPrefFmin).toString(), "20.000000");
  EXPECT_EQ(Stored(kPrefFmax).toString(), "20000.000000");
}

TEST_F(WindowTest, StoredDeviceNamesChooseTheListEntries) {
  const std::vector<std::string> inputs = {"Built-in Microphone", "USB MIC", "USB MIC 2"};
  const std::vector<std::string> outputs = {"USB Speakers", "HDMI", "usb speakers"};
  const struct {
    const char* input;
    const char* output;
    int inputIndex;
    int outputIndex;
    const char* inputName;
  } cases[] = {
      {"usb mic", "hdmi", 1, 1, "usb mic"},          // equal names in another letter case
      {"MIC 2", "USB Speakers", 2, 2, "USB MIC 2"},  // a part of a name; the later equal output
      {"Headset", "Headphones", 0, 0, "Built-in Microphone"},  // nothing matches: the first
  };
  for (const auto& c : cases) {
    Store(kPrefAudioInPeripheral, c.input);
    Store(kPrefAudioOutPeripheral, c.output);
    OpenWindow(Listing(inputs, outputs));
    EXPECT_EQ(Dialog().InputList()->currentIndex(), c.inputIndex) << c.input;
    EXPECT_EQ(Dialog().OutputList()->currentIndex(), c.outputIndex) << c.output;
    EXPECT_STREQ(Audio().ChosenInputName(), c.inputName) << c.input;
    m_dialog.reset();
    m_core.reset();
  }
}

TEST_F(WindowTest, StoredSliderPositionsAreKeptOnTheirSliders) {
  Store(kPrefAudioInGain, 1000);  // would be a gain of 10^49.4 unchecked
  Store(kPrefVolume, 40);
  OpenWindow(Listing({"Mic"}, {"Speakers"}));
  EXPECT_EQ(Dialog().GainSlider()->value(), 24);
  EXPECT_NEAR(Audio().InputGain(), std::pow(10.0, 12.0 / 20.0), 1e-9);
  // The volume slider shows the stored position, limited to 24, until the device's own volume
  // (the scripted 0.5) takes its place at the first timer ticks.
  EXPECT_EQ(Dialog().VolumeSlider()->value(), 24);
  EXPECT_TRUE(ProcessUntil([&] { return Dialog().VolumeSlider()->value() == 12; }));
}

TEST_F(WindowTest, TheArrowsStepTheRange) {
  Store(kPrefFmin, "2000.000000");
  Store(kPrefFmax, "20000.000000");
  OpenWindow();
  // exactly one decade: f. min cannot rise and f. max cannot fall
  Click(Dialog().FminArrows()->UpButton());
  Click(Dialog().FmaxArrows()->DownButton());
  EXPECT_EQ(Dialog().FminField()->text(), "2 kHz");
  EXPECT_EQ(Dialog().FmaxField()->text(), "20 kHz");
  Click(Dialog().FminArrows()->DownButton());
  EXPECT_EQ(Dialog().FminField()->text(), "1.4 kHz");
  Click(Dialog().FmaxArrows()->DownButton());
  EXPECT_EQ(Dialog().FmaxField()->text(), "14 kHz");
  // the Up and Down keys in a field step it too
  QTest::keyClick(Dialog().FmaxField(), Qt::Key_Up);
  EXPECT_EQ(Dialog().FmaxField()->text(), "20 kHz");
  EXPECT_EQ(Stored(kPrefFmin).toString(), "1400.000000");
  EXPECT_EQ(Stored(kPrefFmax).toString(), "20000.000000");
  // the graph draws its axis over the fields' range
  EXPECT_EQ(Shared().m_fmin, 1400.0);
  for (int i = 0; i < 30; ++i) Click(Dialog().FminArrows()->DownButton());
  EXPECT_EQ(Dialog().FminField()->text(), "2 Hz");  // the first step: no lower
}

// A curve measured over 100 Hz .. 10 kHz on screen, as a finished measurement leaves it.
void ShowCurve(CGraphical& graph, CSharedState& shared) {
  graph.ClearCurve();
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(-30.0 + 10.0 * (k % 7 == 0));
  shared.m_curveFmin = 100.0;
  shared.m_curveFmax = 10000.0;
}

TEST_F(WindowTest, WideningBeyondTheCurveAsksWhetherToResetIt) {
  Store(kPrefFmin, "100.000000");
  Store(kPrefFmax, "10000.000000");
  OpenWindow();
  ShowCurve(Graph(), Shared());

  m_messages.AnswerNext(false);  // No: back to the curve's own lower limit
  Click(Dialog().FminArrows()->DownButton());
  ASSERT_EQ(m_messages.Questions().size(), 1u);
  EXPECT_EQ(m_messages.Questions()[0],
            "The frequency range of this curve goes from 100Hz to 10000Hz\nDo you want to reset "
            "the capture ?");
  EXPECT_EQ(Dialog().FminField()->text(), "100 Hz");
  EXPECT_EQ(Graph().UpdateHasCurve(), 1);

  Click(Dialog().FminArrows()->UpButton());  // narrowing asks nothing
  EXPECT_EQ(Dialog().FminField()->text(), "140 Hz");
  EXPECT_EQ(m_messages.Questions().size(), 1u);
  Click(Dialog().FminArrows()->DownButton());

  m_messages.AnswerNext(true);  // Yes: the curve goes, the new limit stays
  Click(Dialog().FmaxArrows()->UpButton());
  EXPECT_EQ(m_messages.Questions().size(), 2u);
  EXPECT_EQ(Dialog().FmaxField()->text(), "14 kHz");
  EXPECT_EQ(Graph().UpdateHasCurve(), 0);
  EXPECT_EQ(Shared().m_curveFmin, 0.0);
}

TEST_F(WindowTest, SmoothingNeedsACurveAndTogglesWithOne) {
  OpenWindow();
  Click(Dialog().SmoothButton());  // no curve: stays off
  EXPECT_FALSE(Dialog().SmoothButton()->IsChecked());
  EXPECT_EQ(Shared().m_bSmoothing.load(), 0);

  ShowCurve(Graph(), Shared());
  Click(Dialog().SmoothButton());
  EXPECT_TRUE(Dialog().SmoothButton()->IsChecked());
  EXPECT_EQ(Dialog().SmoothButton()->Face(), QColor(100, 150, 250));
  EXPECT_EQ(Shared().m_bSmoothing.load(), 1);
  // the smoothed copy evens out the every-seventh-point peaks of the curve
  EXPECT_LT(Graph().m_smoothed[700], -20.0 - 1.0);
  EXPECT_GT(Graph().m_smoothed[701], -30.0 + 1.0);

  Click(Dialog().SmoothButton());  // and back to the measured points
  EXPECT_FALSE(Dialog().SmoothButton()->IsChecked());
  EXPECT_EQ(Dialog().SmoothButton()->Face(), Dialog().palette().color(QPalette::Button));
  EXPECT_EQ(Shared().m_bSmoothing.load(), 0);
}

TEST_F(WindowTest, TheCalibrationButtonShowsItsStates) {
  OpenWindow();
  // The selection dialog cancelled: not applied.
  QTimer::singleShot(10, [] {
    if (QWidget* modal = QApplication::activeModalWidget())
      QMetaObject::invokeMethod(modal, "reject");
  });
  Click(Dialog().CalibrationButton());
  EXPECT_FALSE(Dialog().CalibrationButton()->IsChecked());
  EXPECT_EQ(Dialog().CalibrationButton()->text(), "Select Microphone\nCalibration");
  Dialog().Control().SetCalibrationButton(true);
  EXPECT_TRUE(Dialog().CalibrationButton()->IsChecked());
  EXPECT_EQ(Dialog().CalibrationButton()->Face(), QColor(255, 180, 180));
  EXPECT_EQ(Dialog().CalibrationButton()->text(), "Microphone\nCalibration applied");
  Click(Dialog().CalibrationButton());  // applied: a press takes it off
  EXPECT_FALSE(Dialog().CalibrationButton()->IsChecked());
  EXPECT_EQ(Shared().m_bCalibrationApplied.load(), 0);
}

// The choosers offer their kinds of file and all files; a bare name takes the kind chosen.
TEST_F(WindowTest, TheFileChoosersOfferTheirKindsAndAllFiles) {
  const struct {
    const char *extension, *filters;
    int down;
    const char* path;
  } cases[] = {
      {"png", "PNG image (*.png);;BMP image (*.bmp);;All files (*)", 1, "curve.bmp"},
      {"wav", "WAV audio (*.wav);;All files (*)", 0, "curve.wav"},
  };
  for (const auto& c : cases) {
    QString filters;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      filters = dialog->nameFilters().join(";;");
      for (int i = 0; i < c.down; ++i) {
        QTest::keyClick(dialog->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
      }
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("curve");
      static_cast<QDialog*>(dialog)->accept();
    });
    std::string path;
    ASSERT_TRUE(CQtUserMessages().ChooseSaveFile(m_folder.string(), c.extension, &path));
    EXPECT_EQ(filters, c.filters);
    EXPECT_EQ(path, (m_folder / c.path).string());
  }
}

// The window's folder chooser is the chart folder browser: a link leaves the folder chosen.
TEST_F(WindowTest, TheFolderChooserIsTheChartFolderBrowser) {
  const std::filesystem::path start = m_folder / "charts";
  std::filesystem::create_directories(start / "elsewhere");
  std::filesystem::create_directory_symlink(start / "elsewhere", start / "link");
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialog->selectFile(QString::fromStdString((start / "link").string()));
    static_cast<QDialog*>(dialog)->accept();
  });
  std::string chosen;
  ASSERT_TRUE(CQtUserMessages().ChooseFolder(start.string(), kChartFolderCaption, &chosen));
  EXPECT_EQ(chosen, start.string());
}

TEST_F(WindowTest, TheWindowMenuOpensTheAboutBox) {
  OpenWindow();
  std::unique_ptr<QMenu> menu(Dialog().CreateWindowMenu());
  // the impulse response window's entry first, About last
  ASSERT_GE(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions().front()->text(), CQuorvelDlg::kResponseEntry);
  QAction* about = menu->actions().back();
  EXPECT_EQ(about->text(), "&About Quorvel...");

  QString caption, version, date;
  bool icon = false;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    caption = box->windowTitle();
    version = box->findChild<QLabel*>("version")->text();
    date = box->findChild<QLabel*>("date")->text();
    icon = !box->findChild<QLabel*>("icon")->pixmap().isNull();
    Click(box->findChild<QPushButton*>("ok"));
  });
  about->trigger();  // returns once OK has closed the box
  EXPECT_EQ(caption, "About Quorvel");
  EXPECT_EQ(version, "Quorvel, Version 2.0");
  EXPECT_EQ(date, "November 2020");
  EXPECT_TRUE(icon);
}

TEST_F(WindowTest, HelpShowsThePageWhenThereIsOne) {
  OpenWindow();
  Click(Dialog().HelpButton());  // no page found: nothing happens
  EXPECT_EQ(Dialog().HelpWindow(), nullptr);

  const std::string page = (m_folder / "Quorvel.html").string();
  std::ofstream(page) << "<html><body><h1>Quorvel Help</h1><p>Measuring</p></body></html>";
  std::snprintf(Shared().m_szHelpFile, sizeof Shared().m_szHelpFile, "%s", page.c_str());
  Click(Dialog().HelpButton());
  ASSERT_NE(Dialog().HelpWindow(), nullptr);
  EXPECT_TRUE(Dialog().HelpWindow()->isVisible());
  EXPECT_EQ(Dialog().HelpWindow()->size(), QSize(900, 780));
  EXPECT_TRUE(Dialog().HelpWindow()->toPlainText().contains("Measuring"));
  // pressed again: one help window, showing the page again
  QPointer<CHelpWindow> first = Dialog().HelpWindow();
  Click(Dialog().HelpButton());
  EXPECT_TRUE(first.isNull());
  EXPECT_TRUE(Dialog().HelpWindow()->isVisible());
}

TEST_F(WindowTest, TheWindowOpensWhereItWasWhenItClosed) {
  OpenWindow();
  Dialog().setGeometry(40, 80, 1200, 700);
  EXPECT_EQ(Dialog().GraphArea()->size(), QSize(1065 + 105, 455 + 21));  // the graph takes the room
  Click(Dialog().QuitButton());
  m_dialog.reset();
  m_core.reset();
  OpenWindow();
  EXPECT_EQ(Dialog().geometry(), QRect(40, 80, 1200, 700));
}

TEST_F(WindowTest, EveryControlHasATooltip) {
  OpenWindow();
  int controls = 0;
  for (QWidget* widget : Dialog().findChildren<QWidget*>()) {
    if (qobject_cast<QLabel*>(widget) || qobject_cast<QGroupBox*>(widget) ||
        widget->parentWidget() != &Dialog()) {
      continue;  // a label, the frame, a control's own parts
    }
    ++controls;
    EXPECT_FALSE(widget->toolTip().isEmpty()) << widget->metaObject()->className();
  }
  EXPECT_EQ(controls, 23);  // the Measurements button and the channel choice among them
}

TEST_F(WindowTest, QuitClosesTheWindow) {
  OpenWindow();
  Click(Dialog().QuitButton());
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_EQ(Dialog().result(), QDialog::Rejected);
}

}  // namespace

}  // namespace quorvel
