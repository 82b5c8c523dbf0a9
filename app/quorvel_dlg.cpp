// The main window: its controls laid out from the template's dialog units, and the view side of
// ICaptureWindow. Every command goes to CCaptureControl.
#include "app/quorvel_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <ctime>
#include <filesystem>
#include <memory>
#include <utility>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "app/colour_button.h"
#include "app/dialog_units.h"
#include "app/eq_window.h"
#include "app/graph_area.h"
#include "app/help_window.h"
#include "app/level_meter_widget.h"
#include "app/micro_select.h"
#include "app/polar_series_dialog.h"
#include "app/qt_preferences.h"
#include "app/screen_fit.h"
#include "app/spl_calibrate_dialog.h"
#include "app/up_down.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "base/shared_state.h"
#include "control/quorvel_core.h"
#include "control/settings/data_folders.h"
#include "control/settings/settings_file.h"
#include "control/settings/spl_calibration.h"
#include "control/window/slider_positions.h"
#include "control/window/window_placement.h"
#include "control/workbench/workbench_session.h"
#include "graph/curve_image_export.h"
#include "graph/dialog_font.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "print/print_curve.h"

namespace quorvel {

namespace {

// The faces of the colour buttons.
const QColor kStartIdleFace(180, 255, 180);
const QColor kStartCapturingFace(255, 180, 180);
const QColor kCalibrationAppliedFace(255, 180, 180);
const QColor kSmoothOnFace(100, 150, 250);

constexpr char kInputClosedCaption[] = "Open Input Peripheral";
constexpr char kInputOpenCaption[] = "Close Input Peripheral";
constexpr char kCalibrationOffCaption[] = "Select Microphone\nCalibration";
constexpr char kCalibrationOnCaption[] = "Microphone\nCalibration applied";

// The height of a closed drop-down list [dialog units]; the template's 75 is the height of the
// opened list.
constexpr int kComboHeight = 14;

QStringList ToStringList(const std::vector<std::string>& names) {
  QStringList list;
  for (const std::string& name : names) list << QString::fromStdString(name);
  return list;
}

QSlider* Slider(QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(0, kSliderMax);
  slider->setTickPosition(QSlider::TicksAbove);
  slider->setTickInterval(1);
  slider->setPageStep(4);
  return slider;
}

}  // namespace

CQuorvelDlg::CQuorvelDlg(CQuorvelCore& core, QWidget* parent)
    : QDialog(parent), m_core(core), m_control(core, *this), m_marker(core.Graph()) {
  m_clock.start();
  setWindowTitle("Quorvel");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  // The template's 8-point dialog font: about 13 pixels a line at 6 pixels a character.
  setFont(DialogFont());
  setMinimumSize(LeastSize());
  resize(OwnSize());
  m_faceColor = palette().color(QPalette::Button);

  CreateControls();
  SetToolTips();
  ConnectControls();
  PlaceOnScreen();
  m_control.SetMicrophoneSelection([this] { return SelectMicrophone(); });
  m_control.SetCurvePictureWriter([this](const std::string& path) -> Result<void> {
    ImageSave save = m_core.Graph().SaveCurveImage(path);
    if (save.copyFailed) m_core.Messages().ShowMessage(kMsgCannotCopyImage, kCaptionError);
    if (!save.written) return Failure{std::move(save.failureWords)};
    return {};
  });
  StartWorkbench();
  m_control.Initialise();
  ShowInputChannelChoice();

  m_pollTimer.setInterval(kPollTimerMs);
  m_meterTimer.setInterval(kMeterTimerMs);
  connect(&m_pollTimer, &QTimer::timeout, this, &CQuorvelDlg::OnPollTimer);
  connect(&m_meterTimer, &QTimer::timeout, this, &CQuorvelDlg::OnMeterTimer);
  m_pollTimer.start();
  m_meterTimer.start();
}

void CQuorvelDlg::StartWorkbench() {
  // The session starts with the window, in the data folders' base (never a build tree).
  const CSharedState& shared = m_core.Shared();
  const std::string userDataDir = ApplicationFolder(
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString());
  m_core.StartWorkbench(DataFolderBase(shared.m_szInstallDataDir, shared.m_szExeDir,
                                       IsPortableCopy(shared.m_szExeDir), userDataDir),
                        static_cast<int64_t>(std::time(nullptr)));
  m_control.SetOnMeasurementKept([this] {
    if (m_workbenchWindow) m_workbenchWindow->Refresh();
  });
}

CQuorvelDlg::~CQuorvelDlg() {
  if (!m_quitting) {
    m_quitting = true;
    m_pollTimer.stop();
    m_meterTimer.stop();
    m_control.Quit();
  }
  delete m_helpWindow;
  delete m_responseWindow;
  delete m_workbenchWindow;
}

void CQuorvelDlg::Place(QWidget* widget, const QRect& where, Anchor anchor) {
  widget->setGeometry(where);
  m_placed.push_back(Placed{widget, where, anchor});
}

void CQuorvelDlg::PlaceLabel(const char* text, const QRect& where, Anchor anchor) {
  auto* label = new QLabel(text, this);
  label->setFont(FittingFont(font(), label->text(), where.width()));
  Place(label, where, anchor);
}

void CQuorvelDlg::CreateControls() {
  // "Freqency" as the window has always spelled it: the tool's own text, kept on purpose.
  m_frame = new QGroupBox("Freqency Response", this);
  Place(m_frame, DialogRect(5, 61, 719, 311), Anchor::kGrow);
  m_graphArea = new CGraphArea(m_core.Graph(), this);
  Place(m_graphArea, DialogRect(9, 71, 710, 280), Anchor::kGrow);

  PlaceLabel("Audio Input (Microphone)", DialogRect(15, 2, 127, 8));
  m_inputList = new QComboBox(this);
  Place(m_inputList, DialogRect(15, 12, 193, kComboHeight));
  m_btnInput = new CColourButton(kInputClosedCaption, this);
  Place(m_btnInput, DialogRect(227, 11, 74, 24));
  m_btnCalibration = new CColourButton(kCalibrationOffCaption, this);
  Place(m_btnCalibration, DialogRect(318, 11, 74, 24));
  m_meter = new CLevelMeterWidget(m_control.Meter(), this);
  m_meter->Place(DialogRect(225, 42, 170, 13));

  PlaceLabel("-12dB", DialogRect(9, 28, 22, 8));
  PlaceLabel("0", DialogRect(107, 28, 8, 8));
  PlaceLabel("+12dB", DialogRect(193, 28, 24, 8));
  m_gainSlider = Slider(this);
  Place(m_gainSlider, DialogRect(9, 36, 203, 21));

  PlaceLabel("Audio Output (Sweep Generator)", DialogRect(414, 3, 130, 8));
  m_outputList = new QComboBox(this);
  m_outputList->setEditable(true);
  m_outputList->setInsertPolicy(QComboBox::NoInsert);
  Place(m_outputList, DialogRect(414, 12, 193, kComboHeight));
  PlaceLabel("Volume", DialogRect(488, 28, 30, 8));
  PlaceLabel("0", DialogRect(414, 28, 8, 8));
  PlaceLabel("Max", DialogRect(595, 28, 16, 8));
  m_volumeSlider = Slider(this);
  Place(m_volumeSlider, DialogRect(408, 36, 203, 21));

  m_btnCapture = new CColourButton(kStartCaptionIdle, this);
  Place(m_btnCapture, DialogRect(629, 11, 88, 41), Anchor::kRight);
  m_btnCapture->setFont(GraphResources(m_core.Graph()).m_fontLarge);
  m_btnCapture->SetFace(kStartIdleFace);

  PlaceLabel("f. min", DialogRect(11, 356, 22, 8), Anchor::kBottom);
  m_fminField = new QLineEdit(this);
  m_fminField->setReadOnly(true);
  m_fminField->setAlignment(Qt::AlignRight);
  Place(m_fminField, DialogRect(33, 354, 45, 12), Anchor::kBottom);
  m_fminSpin = new CUpDown(this);
  Place(m_fminSpin, DialogRect(79, 354, 11, 12), Anchor::kBottom);
  m_fminSpin->SetBuddy(m_fminField);
  PlaceLabel("f. max", DialogRect(638, 357, 22, 8), Anchor::kBottomRight);
  m_fmaxField = new QLineEdit(this);
  m_fmaxField->setReadOnly(true);
  m_fmaxField->setAlignment(Qt::AlignRight);
  Place(m_fmaxField, DialogRect(662, 354, 45, 12), Anchor::kBottomRight);
  m_fmaxSpin = new CUpDown(this);
  Place(m_fmaxSpin, DialogRect(708, 354, 11, 12), Anchor::kBottomRight);
  m_fmaxSpin->SetBuddy(m_fmaxField);

  const auto bottomButton = [this](const char* text, int x) {
    auto* button = new QPushButton(text, this);
    button->setAutoDefault(false);
    Place(button, DialogRect(x, 377, 88, 16), Anchor::kBottom);
    return button;
  };
  m_btnLoad = bottomButton("Load Audio File", 13);
  m_btnSave = bottomButton("Save Audio File", 115);
  m_btnSaveCurve = bottomButton("Save Curve", 217);
  m_btnPrint = bottomButton("Print", 319);
  m_btnSmooth = new CColourButton("Smooth curve", this);
  Place(m_btnSmooth, DialogRect(421, 377, 88, 16), Anchor::kBottom);
  m_btnHelp = bottomButton("Help", 523);
  m_btnQuit = bottomButton("Quit", 625);
  m_btnQuit->setDefault(true);
  // The workbench's row, below the others.
  m_btnWorkbench = new QPushButton("Measurements", this);
  m_btnWorkbench->setAutoDefault(false);
  Place(m_btnWorkbench, DialogRect(13, 397, 88, 16), Anchor::kBottom);

  CreateChannelControls();
  m_frame->lower();  // the frame stays behind the graph
  for (CColourButton* button : {m_btnInput, m_btnCalibration, m_btnSmooth}) {
    button->SetFace(m_faceColor);
    button->setAutoDefault(false);
  }
  m_btnCapture->setAutoDefault(false);
}

// Tooltips, short, in the help page's words.
void CQuorvelDlg::SetToolTips() {
  const struct {
    QWidget* widget;
    const char* tip;
  } tips[] = {
      {m_inputList, "The microphone: the inputs of the sound server"},
      {m_btnInput,
       "Opens the chosen input without playing anything, so that you can watch the "
       "level meter and set the gain; pressed again, it closes the input"},
      {m_btnCalibration,
       "Opens the \"Microphone selection\" dialog; pressed while the "
       "calibration is applied, it switches the calibration off"},
      {m_meter, "The level of the microphone signal (after the gain); red means the input clips"},
      {m_gainSlider, "The gain applied to the microphone signal, from -12 dB to +12 dB"},
      {m_outputList,
       "The loudspeaker's output: the outputs of the sound server, and last "
       "\"Default Audio Output\""},
      {m_volumeSlider, "The volume of the output device, from 0 to Max"},
      {m_btnCapture, "Starts a measurement; pressed while measuring, it stops"},
      {m_graphArea,
       "Press the left mouse button on the graph and drag to read the frequency "
       "and level of any point"},
      {m_fminField, "The lower limit of the sweep and of the graph's frequency axis"},
      {m_fminSpin, "Steps the lower frequency limit up or down"},
      {m_fmaxField, "The upper limit of the sweep and of the graph's frequency axis"},
      {m_fmaxSpin, "Steps the upper frequency limit up or down"},
      {m_btnLoad, "Load a capture file and measure it again"},
      {m_btnSave, "Save the recording of the last measurement"},
      {m_btnSaveCurve, "Saves the graph as a PNG or BMP picture"},
      {m_btnPrint, "Prints the graph, or writes it to a PDF file"},
      {m_btnSmooth,
       "Shows a smoothed copy of the curve; press it again to see the measured "
       "points"},
      {m_btnHelp, "Opens the help page in a window of its own"},
      {m_btnQuit, "Ends Quorvel"},
      {m_btnWorkbench,
       "Opens the list of this session's measurements, drawn together, with averages, "
       "differences and exports"},
  };
  for (const auto& entry : tips) entry.widget->setToolTip(QString::fromUtf8(entry.tip));
}

// The graph and its frame take what the window gains or loses over its own size; the start
// button and the upper frequency field keep to the right edge, the range fields and the
// command buttons to the bottom edge; the rest keeps its place.
void CQuorvelDlg::LayOutControls() {
  const int dx = width() - OwnSize().width();
  const int dy = height() - OwnSize().height();
  for (const Placed& placed : m_placed) {
    QRect r = placed.rect;
    switch (placed.anchor) {
      case Anchor::kStay:
        break;
      case Anchor::kRight:
        r.translate(dx, 0);
        break;
      case Anchor::kBottom:
        r.translate(0, dy);
        break;
      case Anchor::kBottomRight:
        r.translate(dx, dy);
        break;
      case Anchor::kGrow:
        r.adjust(0, 0, dx, dy);
        break;
    }
    placed.widget->setGeometry(r);
  }
}

void CQuorvelDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOutControls();
}

// Where the window was when it last closed, when that still lies on a screen; otherwise its own
// size, or less on a small screen.
void CQuorvelDlg::PlaceOnScreen() {
  const WindowPlacement kept = ReadWindowPlacement(m_core.Preferences());
  const QSize least = LeastSize();
  if (PlacementFits(kept, WindowSize{least.width(), least.height()}, AvailableAreas())) {
    setGeometry(ToQRect(kept.rect));
    if (kept.maximized) setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  resize(FittedSize(screen(), OwnSize(), least));
}

void CQuorvelDlg::KeepPlacement() {
  WindowPlacement placement;
  placement.rect = ToWindowRect(normalGeometry());
  placement.maximized = isMaximized();
  WriteWindowPlacement(m_core.Preferences(), placement);
}

void CQuorvelDlg::ConnectControls() {
  auto onClick = [this](QAbstractButton* button, auto handler) {
    connect(button, &QAbstractButton::clicked, this, Command(handler));
  };
  onClick(m_btnCapture, [this] { m_control.OnCaptureButton(); });
  connect(m_inputList, &QComboBox::currentIndexChanged, this, [this] { ShowInputChannelChoice(); });
  connect(m_channelList, &QComboBox::activated, this, [this] { OnInputChannelChanged(); });
  connect(m_timingReference, &QCheckBox::toggled, this, [this] { OnInputChannelChanged(); });
  onClick(m_btnInput, [this] { m_control.OnInputButton(); });
  onClick(m_btnCalibration, [this] { m_control.OnCalibrationButton(); });
  onClick(m_btnSmooth, [this] { m_control.OnSmoothButton(); });
  onClick(m_btnLoad, [this] { m_control.OnLoadAudioFile(); });
  onClick(m_btnSave, [this] { m_control.OnSaveAudioFile(); });
  onClick(m_btnSaveCurve, [this] { m_control.OnSaveCurve(); });
  onClick(m_btnPrint, [this] { OnPrintButton(); });
  onClick(m_btnHelp, [this] { OnHelpButton(); });
  onClick(m_btnWorkbench, [this] { ShowWorkbenchWindow(); });
  connect(m_btnQuit, &QPushButton::clicked, this, &CQuorvelDlg::reject);
  // The sliders' timer picks up a moved slider.
  for (QSlider* slider : {m_gainSlider, m_volumeSlider}) {
    connect(slider, &QSlider::valueChanged, this, &CQuorvelDlg::WakeTimers);
    connect(slider, &QSlider::sliderPressed, this, &CQuorvelDlg::WakeTimers);
  }
  connect(m_gainSlider, &QSlider::sliderReleased, this,
          Command([this] { m_control.OnGainReleased(); }));
  connect(m_volumeSlider, &QSlider::sliderReleased, this,
          Command([this] { m_control.OnVolumeReleased(); }));
  connect(m_fminSpin, &CUpDown::Stepped, this, [this](bool up) {
    m_control.OnFminSpin(up);
    WakeTimers();
  });
  connect(m_fmaxSpin, &CUpDown::Stepped, this, [this](bool up) {
    m_control.OnFmaxSpin(up);
    WakeTimers();
  });
  m_graphArea->SetMouseHandler([this](CGraphArea::MouseAction action, QPoint position) {
    OnGraphMouse(static_cast<int>(action), position);
  });
}

void CQuorvelDlg::WakeTimers() {
  if (m_quitting) return;
  m_lastCommandMs = NowMs();
  if (m_pollTimer.interval() != kPollTimerMs) m_pollTimer.setInterval(kPollTimerMs);
  if (!m_pollTimer.isActive()) m_pollTimer.start();
  if (!m_meterTimer.isActive()) m_meterTimer.start();
}

bool CQuorvelDlg::StartThroughEq(const EqFilterSet& set, const std::string& name) {
  WakeTimers();
  const bool started = m_control.StartThroughEq(set, name);
  WakeTimers();
  return started;
}

void CQuorvelDlg::OnPollTimer() {
  m_control.OnPollTimer();
  // Idle, and no slider held: only a volume changed elsewhere can move a slider now.
  if (!m_meterTimer.isActive() && NowMs() - m_lastCommandMs > kCommandSettleMs &&
      !m_gainSlider->isSliderDown() && !m_volumeSlider->isSliderDown() &&
      m_pollTimer.interval() != kIdlePollTimerMs) {
    m_pollTimer.setInterval(kIdlePollTimerMs);
  }
}

void CQuorvelDlg::OnMeterTimer() {
  m_control.OnMeterTimer();
  if (m_control.TimersIdle()) m_meterTimer.stop();
}

QSize CQuorvelDlg::OwnSize() {
  return QSize(DialogUnitsX(730), DialogUnitsY(418));
}

// The controls' row fits in 1071 pixels (the start button then 3 pixels right of the volume
// slider); the graph keeps at least 240 of its 455 pixels' height.
QSize CQuorvelDlg::LeastSize() {
  return QSize(DialogUnitsX(714), OwnSize().height() - (DialogUnitsY(280) - kLeastGraphHeight));
}

// ---- commands the window handles itself ----

void CQuorvelDlg::reject() {
  if (m_quitting) return;
  m_quitting = true;
  m_pollTimer.stop();
  m_meterTimer.stop();
  m_control.Quit();
  KeepPlacement();
  if (m_helpWindow) m_helpWindow->close();
  if (m_responseWindow) m_responseWindow->close();
  QDialog::reject();
}

// The microphone selection dialog, modal: true when it ended with OK and a chart selected.
bool CQuorvelDlg::SelectMicrophone() {
  return RunMicrophoneSelection(
      m_core.MicroList(), m_core.Messages(), m_core.Graph(), this,
      FittedSize(screen(), CMicroSelect::NaturalSize(), CMicroSelect::LeastSize()));
}

void CQuorvelDlg::OnPrintButton() {
  CPrintDialogChooser printDialog(this);
  IPrinterChooser& chooser = m_printerChooser != nullptr ? *m_printerChooser : printDialog;
  static_cast<void>(
      PrintShownGraph(m_core.Graph(), m_core.Messages(), chooser, m_control.CurrentMeasurement()));
}

void CQuorvelDlg::OnHelpButton() {
  const char* helpFile = m_core.Shared().m_szHelpFile;
  if (helpFile[0] == '\0') return;  // no help page: the button does nothing
  delete m_helpWindow;              // one help window at a time
  m_helpWindow = new CHelpWindow(this);
  m_helpWindow->setAttribute(Qt::WA_DeleteOnClose);
  m_helpWindow->ShowPage(QString::fromUtf8(helpFile));
}

void CQuorvelDlg::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CQuorvelDlg::ShowResponseWindow() {
  if (!m_responseWindow) {
    m_responseWindow = new CResponseWindow(m_core, this, m_windowMessages);
    m_responseWindow->setAttribute(Qt::WA_DeleteOnClose);
  }
  static_cast<void>(m_responseWindow->ShowAnalysis());
}

void CQuorvelDlg::ShowPolarSeries() {
  auto* polar = new CPolarSeriesDialog(
      m_core, [this](MeasurementRequest* request) { return m_control.CurrentRequest(request); },
      CaptureFileStartFolder(m_core.Shared()), this, m_windowMessages);
  polar->setAttribute(Qt::WA_DeleteOnClose);
  polar->setWindowModality(Qt::WindowModal);
  // The series' captures join the session's list once the series stops: the list's analysis
  // takes the engine the series measures with.
  auto saved = std::make_shared<std::vector<std::string>>();
  polar->SetCaptureSavedHook([saved](const std::string& path) { saved->push_back(path); });
  polar->SetRunningHook([this, saved](bool running) {
    m_control.SetRunElsewhere(running);
    if (!running) AddToWorkbench(std::exchange(*saved, {}));
  });
  polar->show();
}

void CQuorvelDlg::AddToWorkbench(const std::vector<std::string>& captures) {
  if (captures.empty()) return;
  CWorkbenchSession& session = m_core.Workbench();
  std::vector<std::string> failures;
  if (const Result<void> made = session.EnsureFolder(); !made) failures.push_back(made.Message());
  for (size_t i = 0; failures.empty() && i < captures.size(); ++i) {
    const std::string name = std::filesystem::path(captures[i]).stem().string();
    const AddedTrace added =
        session.List().Add(captures[i], name, static_cast<int64_t>(std::time(nullptr)));
    if (!added.written) failures.push_back(added.written.Message());
  }
  for (const std::string& failure : failures) m_core.Messages().ShowMessage(failure);
  if (m_workbenchWindow) m_workbenchWindow->Refresh();
}

void CQuorvelDlg::ShowSplCalibration() {
  const SplInput input{m_core.Audio().ChosenInputName(), InputChannelName(m_channelChoice.channel),
                       GainDbOfPosition(GainSliderPosition())};
  const auto* preferences = dynamic_cast<const CPreferences*>(&m_core.Preferences());
  CSplCalibrateDialog dialog(m_core, m_core.Audio().ChosenInput(), input, this,
                             preferences != nullptr ? preferences->NotWritable() : "");
  m_meterTimer.start();  // the meter follows the calibrator while it records
  dialog.exec();
  m_splLookedUp.clear();  // a new calibration shows on the meter
}

void CQuorvelDlg::ShowWorkbenchWindow() {
  if (!m_workbenchWindow) {
    m_workbenchWindow = new CWorkbenchWindow(m_core.Workbench(), m_core, this, m_windowMessages);
    m_workbenchWindow->SetOnShownChanged([this] { m_control.ShowWorkbenchTraces(); });
    m_workbenchWindow->SetLevelScaleSource([this] { return WorkbenchLevelScale(); });
    m_workbenchWindow->SetPolarSeriesOpener([this] { ShowPolarSeries(); });
    m_workbenchWindow->SetEqualiserMeasure([this](const EqFilterSet& set, const std::string& name) {
      return StartThroughEq(set, name);
    });
  }
  m_workbenchWindow->ShowBeside(QRect(m_graphArea->mapToGlobal(QPoint(0, 0)), m_graphArea->size()));
}

QMenu* CQuorvelDlg::CreateWindowMenu() {
  auto* menu = new QMenu(this);
  QAction* response = menu->addAction(kResponseEntry, this, [this] { ShowResponseWindow(); });
  response->setEnabled(CResponseSession::Available(m_core));
  menu->addAction(kWorkbenchEntry, this, [this] { ShowWorkbenchWindow(); });
  menu->addAction(kPolarEntry, this, [this] { ShowPolarSeries(); })
      ->setEnabled(!m_control.Capturing());
  menu->addAction(kSplEntry, this, [this] { ShowSplCalibration(); })
      ->setEnabled(m_core.Shared().m_bCapturing.load() == 0 && !m_core.Audio().IsFilePlaying());
  menu->addAction("Equaliser...", this, [this] {
    OpenEqualiserWindow(
        m_core, m_control.Capturing() || m_control.Replaying(), this,
        [this](const EqFilterSet& set, const std::string& name) {
          return StartThroughEq(set, name);
        },
        [this] {
          if (m_workbenchWindow) m_workbenchWindow->Refresh();
        });
  });
  menu->addAction(kAboutEntry, this, [this] { ShowAbout(); });
  return menu;
}

void CQuorvelDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateWindowMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

// ---- the marker ----

void CQuorvelDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    // a press outside the graph area hides the marker
    OnGraphMouse(static_cast<int>(CGraphArea::MouseAction::kPress),
                 m_graphArea->ToGraph(m_graphArea->mapFrom(this, event->position())));
  }
  QDialog::mousePressEvent(event);
}

// position: in the graph's own pixels, whatever the graph area's size on screen
void CQuorvelDlg::OnGraphMouse(int action, QPoint position) {
  const int width = kGraphAreaWidth;
  const int height = kGraphAreaHeight;
  CCurveMarker::Response response;
  switch (static_cast<CGraphArea::MouseAction>(action)) {
    case CGraphArea::MouseAction::kPress:
      response = m_marker.Press(position.x(), position.y(), width, height);
      break;
    case CGraphArea::MouseAction::kMove:
      response = m_marker.Move(position.x(), position.y(), width, height);
      break;
    case CGraphArea::MouseAction::kRelease:
      response = m_marker.Release();
      break;
  }
  ShowMarkerCursor(response.cursor);
  if (response.repaint) RequestGraphRepaint();
}

void CQuorvelDlg::ShowMarkerCursor(MarkerCursor cursor) {
  if (cursor == m_cursor) return;  // set only when it changes
  m_cursor = cursor;
  if (cursor == MarkerCursor::kDualArrow) {
    m_graphArea->setCursor(Qt::SizeHorCursor);  // the double horizontal arrow
  } else {
    m_graphArea->setCursor(Qt::ArrowCursor);
  }
}

// ---- ICaptureWindow ----

void CQuorvelDlg::EnableStartButton(bool enabled) {
  m_btnCapture->setEnabled(enabled);
}

void CQuorvelDlg::SetStartButton(bool capturing) {
  m_btnCapture->SetFace(capturing ? kStartCapturingFace : kStartIdleFace);
  m_btnCapture->SetChecked(capturing);
  m_btnCapture->setText(capturing ? kStartCaptionCapturing : kStartCaptionIdle);
  m_btnCapture->repaint();
}

void CQuorvelDlg::SetInputButton(bool open) {
  m_btnInput->SetChecked(open);
  m_btnInput->setText(open ? kInputOpenCaption : kInputClosedCaption);
}

void CQuorvelDlg::EnableInputButton(bool enabled) {
  m_btnInput->setEnabled(enabled);
}

void CQuorvelDlg::EnableCalibrationButton(bool enabled) {
  m_btnCalibration->setEnabled(enabled);
  // nor does the channel change under a running measurement
  m_channelList->setEnabled(enabled);
  m_timingReference->setEnabled(enabled && m_channelChoice.channel != InputChannel::kLouder);
}

void CQuorvelDlg::SetCalibrationButton(bool applied) {
  m_btnCalibration->SetChecked(applied);
  m_btnCalibration->SetFace(applied ? kCalibrationAppliedFace : m_faceColor);
  m_btnCalibration->setText(applied ? kCalibrationOnCaption : kCalibrationOffCaption);
}

void CQuorvelDlg::SetSmoothButton(bool on) {
  m_btnSmooth->SetChecked(on);
  m_btnSmooth->SetFace(on ? kSmoothOnFace : m_faceColor);
}

void CQuorvelDlg::SetRangeFieldTexts(const std::string& fminText, const std::string& fmaxText) {
  m_fminField->setText(QString::fromStdString(fminText));
  m_fmaxField->setText(QString::fromStdString(fmaxText));
}

void CQuorvelDlg::RequestGraphRepaint() {
  m_graphArea->update();
}

void CQuorvelDlg::SetInputList(const std::vector<std::string>& names, int selection) {
  m_inputList->clear();
  m_inputList->addItems(ToStringList(names));
  m_inputList->setCurrentIndex(selection);
}

void CQuorvelDlg::SetOutputList(const std::vector<std::string>& names, int selection) {
  m_outputList->clear();
  m_outputList->addItems(ToStringList(names));
  m_outputList->setCurrentIndex(selection);
}

int CQuorvelDlg::InputSelection() const {
  return m_inputList->currentIndex();
}

int CQuorvelDlg::OutputSelection() const {
  const int index = m_outputList->currentIndex();
  // a typed text that names no entry is no choice
  if (index < 0 || m_outputList->currentText() != m_outputList->itemText(index)) return -1;
  return index;
}

int CQuorvelDlg::GainSliderPosition() const {
  return m_gainSlider->value();
}

void CQuorvelDlg::SetGainSliderPosition(int position) {
  m_gainSlider->setValue(position);
}

int CQuorvelDlg::VolumeSliderPosition() const {
  return m_volumeSlider->value();
}

void CQuorvelDlg::SetVolumeSliderPosition(int position) {
  m_volumeSlider->setValue(position);
}

void CQuorvelDlg::LevelMeterChanged() {
  m_meter->SlotsChanged();
  // With a calibration for the input and gain in use the meter reads dB SPL as well.
  const SplInput input{m_core.Audio().ChosenInputName(), InputChannelName(m_channelChoice.channel),
                       GainDbOfPosition(GainSliderPosition())};
  const std::string key = input.device + "\n" + input.channel + "\n" + FormatFixed(input.gainDb, 1);
  if (key != m_splLookedUp) {
    CWindowSplStore store;
    m_splCalibrated = FindSplOffset(store, input, &m_splOffsetDb);
    m_splLookedUp = key;
  }
  m_meter->SetReading(m_splCalibrated ? QString::fromStdString(
                                            SplMeterText(m_control.Meter().Level(), m_splOffsetDb))
                                      : QString());
}

// The dialog's own repaint does not reach its opaque graph area: both are painted.
void CQuorvelDlg::RepaintNow() {
  repaint();
  m_graphArea->repaint();
}

uint32_t CQuorvelDlg::NowMs() const {
  return static_cast<uint32_t>(m_clock.elapsed());
}

}  // namespace quorvel

namespace quorvel {

// The bottom row has room right of the workbench's button: no control moves for the choice.
void CQuorvelDlg::CreateChannelControls() {
  PlaceLabel("Input channel", DialogRect(113, 401, 48, 8), Anchor::kBottom);
  m_channelList = new QComboBox(this);
  for (const InputChannel channel :
       {InputChannel::kLouder, InputChannel::kLeft, InputChannel::kRight}) {
    m_channelList->addItem(InputChannelName(channel), static_cast<int>(channel));
  }
  Place(m_channelList, DialogRect(163, 398, 52, kComboHeight), Anchor::kBottom);
  m_timingReference = new QCheckBox("Timing reference: the other channel", this);
  Place(m_timingReference, DialogRect(223, 399, 150, 12), Anchor::kBottom);
  m_channelList->setToolTip(
      "The input channel measured: the louder of the two at every moment, the left or the right");
  m_timingReference->setToolTip(
      "The other channel carries the output looped back by a cable: the measurement is timed "
      "from it and its capture keeps both channels");
}

void CQuorvelDlg::ShowInputChannelChoice() {
  m_channelChoice =
      m_inputList->currentIndex() < 0
          ? InputChannelChoice()
          : ReadInputChannelChoice(m_core.Preferences(), m_inputList->currentText().toStdString());
  const QSignalBlocker listBlocked(m_channelList);
  const QSignalBlocker boxBlocked(m_timingReference);
  m_channelList->setCurrentIndex(
      m_channelList->findData(static_cast<int>(m_channelChoice.channel)));
  m_timingReference->setChecked(m_channelChoice.timingReference);
  m_timingReference->setEnabled(m_channelList->isEnabled() &&
                                m_channelChoice.channel != InputChannel::kLouder);
  m_control.SetInputChannelChoice(m_channelChoice);
  m_splLookedUp.clear();  // the meter's calibration is the channel's
}

void CQuorvelDlg::OnInputChannelChanged() {
  InputChannelChoice choice;
  choice.channel = static_cast<InputChannel>(m_channelList->currentData().toInt());
  choice.timingReference =
      choice.channel != InputChannel::kLouder && m_timingReference->isChecked();
  if (m_inputList->currentIndex() >= 0) {
    WriteInputChannelChoice(m_core.Preferences(), m_inputList->currentText().toStdString(), choice);
  }
  ShowInputChannelChoice();
}

SplScale CQuorvelDlg::WorkbenchLevelScale() {
  const SplInput input{m_core.Audio().ChosenInputName(), InputChannelName(m_channelChoice.channel),
                       GainDbOfPosition(GainSliderPosition())};
  CWindowSplStore store;
  double offsetDb = 0.0;
  return FindSplOffset(store, input, &offsetDb) ? SplScaleOf(input, offsetDb) : SplScale();
}

}  // namespace quorvel
