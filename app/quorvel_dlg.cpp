// The main window: its controls laid out from the template's dialog units, and the view side of
// ICaptureWindow. Every command goes to CCaptureControl.
#include "app/quorvel_dlg.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "app/colour_button.h"
#include "app/dialog_units.h"
#include "app/graph_area.h"
#include "app/help_window.h"
#include "app/level_meter_widget.h"
#include "app/up_down.h"
#include "base/shared_state.h"
#include "calibration/micro_select.h"
#include "control/quorvel_core.h"
#include "control/slider_positions.h"
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

QLabel* Label(const char* text, const QRect& where, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(where);
  return label;
}

QStringList ToStringList(const std::vector<std::string>& names) {
  QStringList list;
  for (const std::string& name : names) list << QString::fromStdString(name);
  return list;
}

QSlider* Slider(const QRect& where, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(0, kSliderMax);
  slider->setTickPosition(QSlider::TicksAbove);
  slider->setTickInterval(1);
  slider->setPageStep(4);
  slider->setGeometry(where);
  return slider;
}

}  // namespace

CQuorvelDlg::CQuorvelDlg(CQuorvelCore& core, QWidget* parent)
    : QDialog(parent), m_core(core), m_control(core, *this), m_marker(core.Graph()) {
  m_clock.start();
  setWindowTitle("Quorvel");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  // The template's 8-point dialog font: about 13 pixels a line at 6 pixels a character.
  QFont dialogFont = font();
  dialogFont.setPixelSize(11);
  setFont(dialogFont);
  setFixedSize(DialogUnitsX(730), DialogUnitsY(398));
  m_faceColor = palette().color(QPalette::Button);

  CreateControls();
  ConnectControls();
  m_control.SetMicrophoneSelection([this] { return SelectMicrophone(); });
  m_control.SetCurvePictureWriter([this](const std::string& path, std::string* failureWords) {
    return m_core.Graph().SaveCurveImage(path, &m_core.Messages(), failureWords);
  });
  m_control.Initialise();

  m_pollTimer.setInterval(kPollTimerMs);
  m_meterTimer.setInterval(kMeterTimerMs);
  connect(&m_pollTimer, &QTimer::timeout, this, [this] { m_control.OnPollTimer(); });
  connect(&m_meterTimer, &QTimer::timeout, this, [this] { m_control.OnMeterTimer(); });
  m_pollTimer.start();
  m_meterTimer.start();
}

CQuorvelDlg::~CQuorvelDlg() {
  if (!m_quitting) {
    m_quitting = true;
    m_pollTimer.stop();
    m_meterTimer.stop();
    m_control.Quit();
  }
  delete m_helpWindow;
}

void CQuorvelDlg::CreateControls() {
  // "Freqency" as the window has always spelled it: the tool's own text, kept on purpose.
  m_frame = new QGroupBox("Freqency Response", this);
  m_frame->setGeometry(DialogRect(5, 61, 719, 311));
  m_graphArea = new CGraphArea(m_core.Graph(), this);
  m_graphArea->setGeometry(DialogRect(9, 71, 710, 280));

  Label("Audio Input (Microphone)", DialogRect(15, 2, 127, 8), this);
  m_inputList = new QComboBox(this);
  m_inputList->setGeometry(DialogRect(15, 12, 193, kComboHeight));
  m_btnInput = new CColourButton(kInputClosedCaption, this);
  m_btnInput->setGeometry(DialogRect(227, 11, 74, 24));
  m_btnCalibration = new CColourButton(kCalibrationOffCaption, this);
  m_btnCalibration->setGeometry(DialogRect(318, 11, 74, 24));
  m_meter = new CLevelMeterWidget(m_control.Meter(), this);
  m_meter->Place(DialogRect(225, 42, 170, 13));

  Label("-12dB", DialogRect(9, 28, 22, 8), this);
  Label("0", DialogRect(107, 28, 8, 8), this);
  Label("+12dB", DialogRect(193, 28, 24, 8), this);
  m_gainSlider = Slider(DialogRect(9, 36, 203, 21), this);

  Label("Audio Output (Sweep Generator)", DialogRect(414, 3, 130, 8), this);
  m_outputList = new QComboBox(this);
  m_outputList->setEditable(true);
  m_outputList->setInsertPolicy(QComboBox::NoInsert);
  m_outputList->setGeometry(DialogRect(414, 12, 193, kComboHeight));
  Label("Volume", DialogRect(488, 28, 30, 8), this);
  Label("0", DialogRect(414, 28, 8, 8), this);
  Label("Max", DialogRect(595, 28, 16, 8), this);
  m_volumeSlider = Slider(DialogRect(408, 36, 203, 21), this);

  m_btnCapture = new CColourButton(kStartCaptionIdle, this);
  m_btnCapture->setGeometry(DialogRect(629, 11, 88, 41));
  m_btnCapture->setFont(GraphResources(m_core.Graph()).m_fontLarge);
  m_btnCapture->SetFace(kStartIdleFace);

  Label("f. min", DialogRect(11, 356, 22, 8), this);
  m_fminField = new QLineEdit(this);
  m_fminField->setReadOnly(true);
  m_fminField->setAlignment(Qt::AlignRight);
  m_fminField->setGeometry(DialogRect(33, 354, 45, 12));
  m_fminSpin = new CUpDown(this);
  m_fminSpin->setGeometry(DialogRect(79, 354, 11, 12));
  m_fminSpin->SetBuddy(m_fminField);
  Label("f. max", DialogRect(638, 357, 22, 8), this);
  m_fmaxField = new QLineEdit(this);
  m_fmaxField->setReadOnly(true);
  m_fmaxField->setAlignment(Qt::AlignRight);
  m_fmaxField->setGeometry(DialogRect(662, 354, 45, 12));
  m_fmaxSpin = new CUpDown(this);
  m_fmaxSpin->setGeometry(DialogRect(708, 354, 11, 12));
  m_fmaxSpin->SetBuddy(m_fmaxField);

  const auto bottomButton = [this](const char* text, int x) {
    auto* button = new QPushButton(text, this);
    button->setAutoDefault(false);
    button->setGeometry(DialogRect(x, 377, 88, 16));
    return button;
  };
  m_btnLoad = bottomButton("Load Audio File", 13);
  m_btnSave = bottomButton("Save Audio File", 115);
  m_btnSaveCurve = bottomButton("Save Curve", 217);
  m_btnPrint = bottomButton("Print", 319);
  m_btnSmooth = new CColourButton("Smooth curve", this);
  m_btnSmooth->setGeometry(DialogRect(421, 377, 88, 16));
  m_btnHelp = bottomButton("Help", 523);
  m_btnQuit = bottomButton("Quit", 625);
  m_btnQuit->setDefault(true);

  m_frame->lower();  // the frame stays behind the graph
  for (CColourButton* button : {m_btnInput, m_btnCalibration, m_btnSmooth}) {
    button->SetFace(m_faceColor);
    button->setAutoDefault(false);
  }
  m_btnCapture->setAutoDefault(false);
}

void CQuorvelDlg::ConnectControls() {
  connect(m_btnCapture, &QPushButton::clicked, this, [this] { m_control.OnCaptureButton(); });
  connect(m_btnInput, &QPushButton::clicked, this, [this] { m_control.OnInputButton(); });
  connect(m_btnCalibration, &QPushButton::clicked, this,
          [this] { m_control.OnCalibrationButton(); });
  connect(m_btnSmooth, &QPushButton::clicked, this, [this] { m_control.OnSmoothButton(); });
  connect(m_btnLoad, &QPushButton::clicked, this, [this] { m_control.OnLoadAudioFile(); });
  connect(m_btnSave, &QPushButton::clicked, this, [this] { m_control.OnSaveAudioFile(); });
  connect(m_btnSaveCurve, &QPushButton::clicked, this, [this] { m_control.OnSaveCurve(); });
  connect(m_btnPrint, &QPushButton::clicked, this, [this] { OnPrintButton(); });
  connect(m_btnHelp, &QPushButton::clicked, this, [this] { OnHelpButton(); });
  connect(m_btnQuit, &QPushButton::clicked, this, &CQuorvelDlg::reject);
  connect(m_gainSlider, &QSlider::sliderReleased, this, [this] { m_control.OnGainReleased(); });
  connect(m_volumeSlider, &QSlider::sliderReleased, this, [this] { m_control.OnVolumeReleased(); });
  connect(m_fminSpin, &CUpDown::Stepped, this, [this](bool up) { m_control.OnFminSpin(up); });
  connect(m_fmaxSpin, &CUpDown::Stepped, this, [this](bool up) { m_control.OnFmaxSpin(up); });
  m_graphArea->SetMouseHandler([this](CGraphArea::MouseAction action, QPoint position) {
    OnGraphMouse(static_cast<int>(action), position);
  });
}

// ---- commands the window handles itself ----

void CQuorvelDlg::reject() {
  if (m_quitting) return;
  m_quitting = true;
  m_pollTimer.stop();
  m_meterTimer.stop();
  m_control.Quit();
  if (m_helpWindow) m_helpWindow->close();
  QDialog::reject();
}

// The microphone selection dialog, modal: true when it ended with OK and a chart selected.
bool CQuorvelDlg::SelectMicrophone() {
  return RunMicrophoneSelection(m_core.MicroList(), m_core.Messages(), m_core.Graph(), this);
}

void CQuorvelDlg::OnPrintButton() {
  CPrintDialogChooser printDialog(this);
  IPrinterChooser& chooser = m_printerChooser != nullptr ? *m_printerChooser : printDialog;
  static_cast<void>(PrintShownGraph(m_core.Graph(), m_core.Messages(), chooser));
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

QMenu* CQuorvelDlg::CreateWindowMenu() {
  auto* menu = new QMenu(this);
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
                 m_graphArea->mapFrom(this, event->position().toPoint()));
  }
  QDialog::mousePressEvent(event);
}

void CQuorvelDlg::OnGraphMouse(int action, QPoint position) {
  const int width = m_graphArea->width();
  const int height = m_graphArea->height();
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
