#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/response_window.h"
#include "control/polar/polar_series_run.h"
#include "control/run/measurement_request.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace quorvel {

class CPolarSeriesViews;
class CQuorvelCore;

// The measurement each angle makes (the devices, gain and range of the window); false after
// its message.
using PolarRequestSource = std::function<bool(MeasurementRequest* request)>;

// "Polar Series": an off-axis series measured angle by angle (CPolarSeriesRun) -- its name,
// plane, angles, how it moves on (a prompt before each angle, or a pause for a turntable) and
// folder; Start, Stop and Resume; the progress of each angle -- and, after it, the series' views
// (CPolarSeriesViews) read from its captures. While it measures, the opener is told (so its own
// timers leave the sequence alone); each capture saved is handed to the opener (to add it to a
// session). Its messages, prompts and choosers open over it.
class CPolarSeriesDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr char kTitle[] = "Polar Series";

  CPolarSeriesDialog(CQuorvelCore& core, PolarRequestSource request, const std::string& folder,
                     QWidget* parent, const WindowMessagesMaker& makeMessages = nullptr);
  ~CPolarSeriesDialog() override;

  void SetRunningHook(std::function<void(bool running)> hook) { m_runningHook = std::move(hook); }
  void SetCaptureSavedHook(std::function<void(const std::string& path)> hook) {
    m_savedHook = std::move(hook);
  }

  // Starts (every angle measured) or resumes (the angles without a whole capture) the series
  // the fields describe. False after the message of a field that cannot serve.
  bool StartSeries(bool resume);
  void StopSeries();
  // Reads the series' captures in the folder and shows its views. False after a message.
  bool ShowViews();

  const CPolarSeriesRun& Run() const { return *m_run; }
  // The controls, for the tests.
  QLineEdit* NameEdit() const { return m_name; }
  QComboBox* PlaneBox() const { return m_plane; }
  QLineEdit* AnglesEdit() const { return m_angles; }
  QComboBox* AdvanceBox() const { return m_advance; }
  QComboBox* ReferenceBox() const { return m_reference; }
  QSpinBox* PauseBox() const { return m_pause; }
  QLineEdit* FolderEdit() const { return m_folder; }
  QPushButton* StartButton() const { return m_start; }
  QPushButton* StopButton() const { return m_stop; }
  QPushButton* ResumeButton() const { return m_resume; }
  QListWidget* AngleList() const { return m_angleList; }
  QLabel* StatusLabel() const { return m_status; }
  CPolarSeriesViews* Views() const { return m_views; }

 protected:
  // Closed (or Escape): a running series stops first, its saved angles kept.
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void CreateControls();
  bool ReadPlan(PolarSeriesPlan* plan);
  // The run's next step: the turn (its prompt or pause) and the measurement, or the end.
  void NextStep();
  void OnTick();
  void OnCountdown();
  void Measure();
  void Finished();
  void ShowAngles();
  void SyncButtons();

  CQuorvelCore& m_core;
  PolarRequestSource m_request;
  std::unique_ptr<IUserMessages> m_ownMessages;
  IUserMessages& m_messages;
  std::unique_ptr<CPolarSeriesRun> m_run;
  std::function<void(bool)> m_runningHook;
  std::function<void(const std::string&)> m_savedHook;
  bool m_running = false;
  bool m_prompting = false;
  int m_countdown = 0;
  size_t m_savedShown = 0;
  QTimer m_tick;
  QTimer m_pauseTimer;

  QLineEdit* m_name = nullptr;
  QComboBox* m_plane = nullptr;
  QLineEdit* m_angles = nullptr;
  QComboBox* m_advance = nullptr;
  QComboBox* m_reference = nullptr;  // the input channel that carries the loopback, if any
  QSpinBox* m_pause = nullptr;
  QLineEdit* m_folder = nullptr;
  QPushButton* m_browse = nullptr;
  QDoubleSpinBox* m_gate = nullptr;
  QPushButton* m_start = nullptr;
  QPushButton* m_stop = nullptr;
  QPushButton* m_resume = nullptr;
  QPushButton* m_showViews = nullptr;
  QLabel* m_status = nullptr;
  QProgressBar* m_progress = nullptr;
  QListWidget* m_angleList = nullptr;
  CPolarSeriesViews* m_views = nullptr;
};

}  // namespace quorvel
