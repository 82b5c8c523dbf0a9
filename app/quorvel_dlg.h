#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/help_window.h"
#include "app/response_window.h"
#include "app/workbench_window.h"
#include "control/run/capture_control.h"
#include "control/window/curve_marker.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;

namespace quorvel {

class CColourButton;
class CGraphArea;
class IPrinterChooser;
class CLevelMeterWidget;
class CQuorvelCore;
class CUpDown;

// CQuorvelDlg: the main window, "Quorvel". It shows the response graph in its frame, the two
// device lists, the gain and volume sliders, the level meter, the start/stop, input,
// calibration and smoothing buttons, the frequency range fields with their arrows and the
// command buttons, laid out from the dialog units of its template. It is a thin view: every
// command and timer goes to CCaptureControl (control/), which tells it what to show through
// ICaptureWindow.
//
// The about box is reached from the window's context menu ("&About Quorvel...": right-click
// anywhere on the window, or the Menu key), as Linux desktops have no system menu for a
// program to add to; so is the "Impulse Response and Distortion" window, enabled while a
// complete curve and its recording are there. Closing the window in any way (Quit, Escape, the
// window manager) runs the Quit sequence first.
class CQuorvelDlg : public QDialog, public ICaptureWindow {
  Q_OBJECT

 public:
  // The window timers: sliders and device volume; level meter and the measurement's steps.
  static constexpr int kPollTimerMs = 27;   // the sliders' timer
  static constexpr int kMeterTimerMs = 30;  // the level meter's timer
  // While nothing moves the meter's timer sleeps, and the sliders' timer only follows the
  // device's volume, this often, from this long after the user's last command [ms].
  static constexpr int kIdlePollTimerMs = 500;
  static constexpr int kCommandSettleMs = 2000;
  static constexpr char kAboutEntry[] = "&About Quorvel...";
  static constexpr char kResponseEntry[] = "&Impulse Response and Distortion...";
  static constexpr char kPolarEntry[] = "&Polar Series...";
  static constexpr char kSplEntry[] = "Calibrate &SPL...";
  static constexpr char kWorkbenchEntry[] = "&Measurements...";
  // The graph area's least height on a small screen [pixels].
  static constexpr int kLeastGraphHeight = 240;

  // The window's own size, 730 x 418 dialog units (the graph area then 1065 x 455 pixels), and
  // the least it can be made. It opens at its own size, or smaller on a small screen, or where
  // it was when it last closed; it can be resized and maximised, the graph taking the room.
  [[nodiscard]] static QSize OwnSize();
  [[nodiscard]] static QSize LeastSize();

  explicit CQuorvelDlg(CQuorvelCore& core, QWidget* parent = nullptr);
  ~CQuorvelDlg() override;

  CCaptureControl& Control() { return m_control; }
  // A measurement as the start button makes it, its sweep played through `set`.
  bool StartThroughEq(const EqFilterSet& set, const std::string& name);
  // The controls, for the tests.
  CColourButton* StartButton() const { return m_btnCapture; }
  CColourButton* InputButton() const { return m_btnInput; }
  CColourButton* CalibrationButton() const { return m_btnCalibration; }
  CColourButton* SmoothButton() const { return m_btnSmooth; }
  QPushButton* LoadButton() const { return m_btnLoad; }
  QPushButton* SaveButton() const { return m_btnSave; }
  QPushButton* SaveCurveButton() const { return m_btnSaveCurve; }
  QPushButton* PrintButton() const { return m_btnPrint; }
  QPushButton* HelpButton() const { return m_btnHelp; }
  QPushButton* QuitButton() const { return m_btnQuit; }
  QComboBox* InputList() const { return m_inputList; }
  QComboBox* OutputList() const { return m_outputList; }
  QComboBox* ChannelList() const { return m_channelList; }
  QCheckBox* TimingReferenceBox() const { return m_timingReference; }
  QSlider* GainSlider() const { return m_gainSlider; }
  QSlider* VolumeSlider() const { return m_volumeSlider; }
  QLineEdit* FminField() const { return m_fminField; }
  QLineEdit* FmaxField() const { return m_fmaxField; }
  CUpDown* FminArrows() const { return m_fminSpin; }
  CUpDown* FmaxArrows() const { return m_fmaxSpin; }
  CGraphArea* GraphArea() const { return m_graphArea; }
  CLevelMeterWidget* LevelMeter() const { return m_meter; }
  CHelpWindow* HelpWindow() const { return m_helpWindow; }
  CResponseWindow* ResponseWindow() const { return m_responseWindow; }
  CWorkbenchWindow* WorkbenchWindow() const { return m_workbenchWindow; }
  QPushButton* WorkbenchButton() const { return m_btnWorkbench; }
  // How the windows opened from this one make their own messages and choosers (the desktop's
  // boxes over them); unset, they speak through the core's.
  void SetWindowMessages(WindowMessagesMaker make) { m_windowMessages = std::move(make); }
  // Where Print sends the page: the print dialog (QPrintDialog) unless a chooser is set here
  // (tests print to a PDF file without asking). Not owned; null for the dialog again.
  void SetPrinterChooser(IPrinterChooser* chooser) { m_printerChooser = chooser; }
  // The about box, shown modally.
  void ShowAbout();
  // The impulse response window over the current recording, analysed afresh.
  void ShowResponseWindow();
  // "Polar Series", window-modal over this window, which leaves the measurements to it.
  void ShowPolarSeries();
  // Captures measured elsewhere (a polar series) added to the session's list.
  void AddToWorkbench(const std::vector<std::string>& captures);
  // "Calibrate SPL...": the input in use at the gain set (not while a run or replay plays).
  void ShowSplCalibration();
  // The "Measurements" window, beside this one.
  void ShowWorkbenchWindow();
  // The context menu holding the impulse response entry (enabled while the command can run)
  // and the about entry.
  QMenu* CreateWindowMenu();

  // ---- ICaptureWindow ----
  void EnableStartButton(bool enabled) override;
  void SetStartButton(bool capturing) override;
  void SetInputButton(bool open) override;
  void EnableInputButton(bool enabled) override;
  void SetCalibrationButton(bool applied) override;
  void EnableCalibrationButton(bool enabled) override;
  void SetRangeFieldTexts(const std::string& fminText, const std::string& fmaxText) override;
  void RequestGraphRepaint() override;
  void SetInputList(const std::vector<std::string>& names, int selection) override;
  void SetOutputList(const std::vector<std::string>& names, int selection) override;
  int InputSelection() const override;
  int OutputSelection() const override;
  int GainSliderPosition() const override;
  void SetGainSliderPosition(int position) override;
  int VolumeSliderPosition() const override;
  void SetVolumeSliderPosition(int position) override;
  void SetSmoothButton(bool on) override;
  void LevelMeterChanged() override;
  void RepaintNow() override;
  uint32_t NowMs() const override;

 public slots:
  // Closing in any way: the Quit sequence, then the dialog ends.
  void reject() override;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The input channel choice: beside the workbench's button, read for the input listed, and
  // remembered for it when changed.
  void CreateChannelControls();
  void ShowInputChannelChoice();
  void OnInputChannelChanged();
  // The SPL calibration of the input, channel and gain in use, for the workbench's levels.
  SplScale WorkbenchLevelScale();
  // How a control follows the window's size: it stays, keeps to the right edge, the bottom
  // edge or both, or grows with the window.
  enum class Anchor { kStay, kRight, kBottom, kBottomRight, kGrow };
  struct Placed {
    QWidget* widget;
    QRect rect;  // at the window's own size
    Anchor anchor;
  };

  // A control at its place at the window's own size, following the window's size so.
  void Place(QWidget* widget, const QRect& where, Anchor anchor = Anchor::kStay);
  void PlaceLabel(const char* text, const QRect& where, Anchor anchor = Anchor::kStay);
  void CreateControls();
  void StartWorkbench();
  void SetToolTips();
  void LayOutControls();
  void PlaceOnScreen();
  void KeepPlacement();
  void ConnectControls();
  // A command of the user: both timers run at their pace until nothing moves again.
  void WakeTimers();
  void OnPollTimer();
  void OnMeterTimer();
  // `handler` as a command of the user: the timers run while it runs (it may show a message
  // box) and after it.
  template <typename Handler>
  auto Command(Handler handler) {
    return [this, handler] {
      WakeTimers();
      handler();
      WakeTimers();
    };
  }
  void OnHelpButton();
  void OnPrintButton();
  bool SelectMicrophone();
  void OnGraphMouse(int action, QPoint position);
  void ShowMarkerCursor(MarkerCursor cursor);

  CQuorvelCore& m_core;
  CCaptureControl m_control;
  CCurveMarker m_marker;
  QColor m_faceColor;
  QElapsedTimer m_clock;
  QTimer m_pollTimer;
  QTimer m_meterTimer;
  uint32_t m_lastCommandMs = 0;  // NowMs() of the user's last command
  bool m_quitting = false;
  IPrinterChooser* m_printerChooser = nullptr;
  MarkerCursor m_cursor = MarkerCursor::kArrow;

  QGroupBox* m_frame = nullptr;
  CGraphArea* m_graphArea = nullptr;
  QComboBox* m_inputList = nullptr;
  QComboBox* m_outputList = nullptr;
  CColourButton* m_btnInput = nullptr;
  CColourButton* m_btnCalibration = nullptr;
  CColourButton* m_btnCapture = nullptr;
  CColourButton* m_btnSmooth = nullptr;
  CLevelMeterWidget* m_meter = nullptr;
  // The SPL calibration of the input and gain in use, looked up again when either changes.
  std::string m_splLookedUp;
  bool m_splCalibrated = false;
  double m_splOffsetDb = 0.0;
  QSlider* m_gainSlider = nullptr;
  QSlider* m_volumeSlider = nullptr;
  QLineEdit* m_fminField = nullptr;
  QLineEdit* m_fmaxField = nullptr;
  CUpDown* m_fminSpin = nullptr;
  CUpDown* m_fmaxSpin = nullptr;
  QPushButton* m_btnLoad = nullptr;
  QPushButton* m_btnSave = nullptr;
  QPushButton* m_btnSaveCurve = nullptr;
  QPushButton* m_btnPrint = nullptr;
  QPushButton* m_btnHelp = nullptr;
  QPushButton* m_btnQuit = nullptr;
  QPointer<CHelpWindow> m_helpWindow;
  QPointer<CResponseWindow> m_responseWindow;
  QPushButton* m_btnWorkbench = nullptr;
  QPointer<CWorkbenchWindow> m_workbenchWindow;
  WindowMessagesMaker m_windowMessages;
  std::vector<Placed> m_placed;
  QComboBox* m_channelList = nullptr;
  QCheckBox* m_timingReference = nullptr;
  InputChannelChoice m_channelChoice;
};

}  // namespace quorvel
