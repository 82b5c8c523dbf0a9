#include "app/polar_series_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/polar_series_views.h"
#include "app/screen_fit.h"
#include "control/polar/polar_angles.h"
#include "control/polar/polar_series_analysis.h"
#include "control/quorvel_core.h"
#include "graph/dialog_font.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

constexpr int kTickMs = 30;  // the measurement's steps, as the main window's timer
constexpr int kWidth = 1000;
constexpr int kHeight = 760;
constexpr size_t kMostCaptures = 1000;

}  // namespace

CPolarSeriesDialog::CPolarSeriesDialog(CQuorvelCore& core, PolarRequestSource request,
                                       const std::string& folder, QWidget* parent,
                                       const WindowMessagesMaker& makeMessages)
    : QDialog(parent),
      m_core(core),
      m_request(std::move(request)),
      m_ownMessages(makeMessages ? makeMessages(this) : nullptr),
      m_messages(m_ownMessages ? *m_ownMessages : core.Messages()),
      m_run(std::make_unique<CPolarSeriesRun>(core)) {
  setWindowTitle(kTitle);
  setFont(DialogFont());
  CreateControls();
  m_folder->setText(QString::fromStdString(folder));
  m_tick.setInterval(kTickMs);
  connect(&m_tick, &QTimer::timeout, this, &CPolarSeriesDialog::OnTick);
  m_pauseTimer.setInterval(1000);
  connect(&m_pauseTimer, &QTimer::timeout, this, &CPolarSeriesDialog::OnCountdown);
  resize(FittedSize(parent != nullptr ? parent->screen() : screen(), QSize(kWidth, kHeight),
                    QSize(640, 480)));
  SyncButtons();
}

CPolarSeriesDialog::~CPolarSeriesDialog() {
  m_tick.stop();
  m_pauseTimer.stop();
  // a measurement still running ends here; the opener, going away itself, is not told
  m_run.reset();
}

void CPolarSeriesDialog::CreateControls() {
  m_name = new QLineEdit(this);
  m_name->setPlaceholderText("woofer");
  m_name->setToolTip(
      "The series' name: its captures are saved as \"NAME hor 30.wav\", as "
      "crossover tools read them");
  m_plane = new QComboBox(this);
  m_plane->addItem("Horizontal (hor)");
  m_plane->addItem("Vertical (ver)");
  m_angles = new QLineEdit("0 to 90 by 15", this);
  m_angles->setToolTip(
      "Whole degrees from -180 to 180: a list (0, 30, 60) or a range "
      "(0 to 180 by 10, -90 to 90 by 15)");
  m_advance = new QComboBox(this);
  m_advance->addItem("Prompt before each angle");
  m_advance->addItem("Pause before each angle (turntable)");
  m_pause = new QSpinBox(this);
  m_pause->setRange(0, 600);
  m_pause->setValue(5);
  m_pause->setSuffix(" s");
  m_pause->setToolTip("The pause before each angle while a turntable turns");
  m_folder = new QLineEdit(this);
  m_folder->setToolTip("The folder the captures are saved in (it must exist)");
  m_browse = new QPushButton("Browse...", this);
  connect(m_browse, &QPushButton::clicked, this, [this] {
    std::string chosen;
    if (m_messages.ChooseFolder(m_folder->text().toStdString(), "Folder of the series", &chosen)) {
      m_folder->setText(QString::fromStdString(chosen));
    }
  });
  m_reference = new QComboBox(this);
  m_reference->addItem("None");
  m_reference->addItem("Left input channel");
  m_reference->addItem("Right input channel");
  m_reference->setToolTip(
      "The input channel that records the output looped back, if the devices have one: each "
      "capture keeps it beside the microphone, and the series' phases are timed from it "
      "(as quorvel-cli measure --reference)");
  m_gate = new QDoubleSpinBox(this);
  m_gate->setRange(0.5, 500.0);
  m_gate->setDecimals(1);
  m_gate->setValue(5.0);
  m_gate->setSuffix(" ms");
  m_gate->setToolTip(
      "The views' gate, from the 0 degree capture's direct sound: valid above "
      "1 / gate");

  m_start = new QPushButton("Start", this);
  m_start->setToolTip("Measures every angle (captures of the series already there are replaced)");
  m_stop = new QPushButton("Stop", this);
  m_stop->setToolTip("Stops the series; the angles saved so far stay");
  m_resume = new QPushButton("Resume", this);
  m_resume->setToolTip("Measures the angles that have no whole capture in the folder yet");
  m_showViews = new QPushButton("Show Views", this);
  m_showViews->setToolTip("Reads the series' captures in the folder and draws its views");
  connect(m_start, &QPushButton::clicked, this, [this] { StartSeries(false); });
  connect(m_stop, &QPushButton::clicked, this, &CPolarSeriesDialog::StopSeries);
  connect(m_resume, &QPushButton::clicked, this, [this] { StartSeries(true); });
  connect(m_showViews, &QPushButton::clicked, this, &CPolarSeriesDialog::ShowViews);

  m_status = new QLabel(this);
  m_progress = new QProgressBar(this);
  m_progress->setFormat("%v of %m angles");
  m_status->setWordWrap(true);
  m_angleList = new QListWidget(this);
  m_angleList->setMaximumHeight(160);
  m_angleList->setToolTip("Each angle of the series and where it stands");
  m_views = new CPolarSeriesViews(m_messages, this);

  auto* pause = new QHBoxLayout;
  pause->addWidget(m_advance, 1);
  pause->addWidget(m_pause);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(m_folder, 1);
  folderRow->addWidget(m_browse);
  auto* form = new QFormLayout;
  form->addRow("Name:", m_name);
  form->addRow("Plane:", m_plane);
  form->addRow("Angles:", m_angles);
  form->addRow("Move on:", pause);
  form->addRow("Folder:", folderRow);
  form->addRow("Timing reference:", m_reference);
  form->addRow("Views' gate:", m_gate);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_start);
  buttons->addWidget(m_stop);
  buttons->addWidget(m_resume);
  buttons->addStretch(1);
  buttons->addWidget(m_showViews);
  // the fields and buttons beside the angles' progress, the views under them
  auto* left = new QVBoxLayout;
  left->addLayout(form);
  left->addLayout(buttons);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(m_status);
  right->addWidget(m_progress);
  right->addWidget(m_angleList, 1);
  auto* top = new QHBoxLayout;
  top->addLayout(left, 3);
  top->addLayout(right, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_views, 1);
}

bool CPolarSeriesDialog::ReadPlan(PolarSeriesPlan* plan) {
  plan->name = m_name->text().toStdString();
  plan->plane = m_plane->currentIndex() == 0 ? PolarPlane::kHorizontal : PolarPlane::kVertical;
  plan->advance = m_advance->currentIndex() == 0 ? PolarAdvance::kPrompt : PolarAdvance::kPause;
  plan->pauseSeconds = m_pause->value();
  plan->folder = m_folder->text().toStdString();
  Result<std::vector<int>> angles = ParsePolarAngles(m_angles->text().toStdString());
  if (!angles) {
    m_messages.ShowMessage(angles.Message(), kTitle);
    return false;
  }
  plan->anglesDeg = std::move(*angles);
  if (const Result<void> checked = CheckPolarPlan(*plan); !checked) {
    m_messages.ShowMessage(checked.Message(), kTitle);
    return false;
  }
  return true;
}

bool CPolarSeriesDialog::StartSeries(bool resume) {
  if (m_running) return false;
  PolarSeriesPlan plan;
  MeasurementRequest request;
  if (!ReadPlan(&plan) || !m_request || !m_request(&request)) return false;
  if (m_reference->currentIndex() > 0) {
    const std::string channel = m_reference->currentIndex() == 1 ? "left" : "right";
    if (const Result<void> read = ReadInputChannels(nullptr, &channel, &request); !read) {
      m_messages.ShowMessage(read.Message(), kTitle);
      return false;
    }
  }
  plan.remeasure = !resume;
  if (!resume) {
    int there = 0;
    for (const int angle : plan.anglesDeg) {
      there += std::filesystem::exists(PolarCapturePath(plan.folder, plan.name, plan.plane, angle))
                   ? 1
                   : 0;
    }
    if (there > 0 &&
        !m_messages.AskYesNo(std::to_string(there) +
                                 " captures of this series are already in the folder: measure "
                                 "them again? (Resume keeps them)",
                             kTitle)) {
      return false;
    }
  }
  if (const Result<void> begun = m_run->Begin(plan, request); !begun) {
    m_messages.ShowMessage(begun.Message(), kTitle);
    return false;
  }
  m_running = true;
  m_savedShown = 0;
  if (m_runningHook) m_runningHook(true);
  SyncButtons();
  NextStep();
  return true;
}

void CPolarSeriesDialog::StopSeries() {
  m_pauseTimer.stop();
  m_run->Stop();
  if (m_running) Finished();
}

void CPolarSeriesDialog::NextStep() {
  ShowAngles();
  if (m_run->State() != PolarRunState::kTurn) {
    if (m_run->State() != PolarRunState::kMeasuring) Finished();
    return;
  }
  const int angle = m_run->CurrentAngle();
  if (m_run->Retrying()) {
    m_status->setText(QString("Measuring %1 degrees again").arg(angle));
    Measure();
    return;
  }
  if (m_run->Plan().advance == PolarAdvance::kPause) {
    m_countdown = m_run->Plan().pauseSeconds;
    OnCountdown();
    if (m_countdown >= 0) m_pauseTimer.start();
    return;
  }
  m_prompting = true;
  m_messages.ShowMessage(TurnPrompt(angle), kTitle);
  m_prompting = false;
  if (m_run->State() == PolarRunState::kTurn) Measure();
}

void CPolarSeriesDialog::OnCountdown() {
  if (m_run->State() != PolarRunState::kTurn) {
    m_pauseTimer.stop();
    return;
  }
  if (m_countdown <= 0) {
    m_pauseTimer.stop();
    m_countdown = -1;
    Measure();
    return;
  }
  m_status->setText(
      QString("Next: %1 degrees in %2 s").arg(m_run->CurrentAngle()).arg(m_countdown));
  --m_countdown;
}

void CPolarSeriesDialog::Measure() {
  m_status->setText(QString("Measuring %1 degrees").arg(m_run->CurrentAngle()));
  if (m_run->Measure() == PolarRunState::kMeasuring) {
    m_tick.start();
  } else {
    NextStep();  // a start that failed: measured again, or the series ends
  }
}

void CPolarSeriesDialog::OnTick() {
  if (m_run->State() != PolarRunState::kMeasuring) {
    m_tick.stop();
    return;
  }
  if (m_run->Tick() == PolarRunState::kMeasuring) {
    const std::string waiting = m_core.Sequence().WaitingText();
    m_status->setText(waiting.empty() ? QString("Measuring %1 degrees: %2 of 1001 points")
                                            .arg(m_run->CurrentAngle())
                                            .arg(m_core.Graph().m_count.load())
                                      : QString::fromStdString(waiting));
    return;
  }
  m_tick.stop();
  const std::vector<std::string>& saved = m_run->SavedPaths();
  for (; m_savedShown < saved.size(); ++m_savedShown) {
    if (m_savedHook) m_savedHook(saved[m_savedShown]);
  }
  NextStep();
}

void CPolarSeriesDialog::Finished() {
  m_tick.stop();
  m_pauseTimer.stop();
  const bool wasRunning = m_running;
  m_running = false;
  if (wasRunning && m_runningHook) m_runningHook(false);
  ShowAngles();
  SyncButtons();
  switch (m_run->State()) {
    case PolarRunState::kDone:
      m_status->setText("The series is complete");
      ShowViews();
      break;
    case PolarRunState::kStopped:
      m_status->setText(QString("Stopped: %1 of %2 angles saved; Resume goes on")
                            .arg(m_run->AnglesDone())
                            .arg(m_run->AnglesTotal()));
      break;
    case PolarRunState::kFailed:
      m_status->setText(QString::fromStdString(m_run->Failure()));
      m_messages.ShowMessage(m_run->Failure(), kTitle);
      break;
    default:
      break;
  }
}

void CPolarSeriesDialog::ShowAngles() {
  const PolarSeriesPlan& plan = m_run->Plan();
  const std::vector<int>& todo = m_run->AnglesToMeasure();
  m_angleList->clear();
  for (const int angle : plan.anglesDeg) {
    const auto at = std::find(todo.begin(), todo.end(), angle);
    const size_t index = static_cast<size_t>(at - todo.begin());
    QString state = "kept (its capture was whole)";
    if (at != todo.end()) {
      if (index < m_run->AnglesMeasured()) {
        state = "saved";
      } else if (index > m_run->AnglesMeasured()) {
        state = "to measure";
      } else if (m_run->State() == PolarRunState::kMeasuring) {
        state = m_run->Retrying() ? "measuring again" : "measuring";
      } else if (m_run->State() == PolarRunState::kFailed) {
        state = "failed";
      } else {
        state = m_run->Retrying() ? "failed, to measure again" : "next";
      }
    }
    m_angleList->addItem(
        QString("%1 %2: %3").arg(QString::fromUtf8(PlaneWord(plan.plane))).arg(angle).arg(state));
  }
  m_progress->setRange(0, static_cast<int>(std::max<size_t>(plan.anglesDeg.size(), 1)));
  m_progress->setValue(static_cast<int>(m_run->AnglesDone()));
}

bool CPolarSeriesDialog::ShowViews() {
  const std::string name = m_name->text().toStdString();
  std::vector<SeriesCapture> captures;
  Result<std::vector<SeriesCapture>> found =
      SeriesCapturesInFolder(m_folder->text().toStdString(), kMostCaptures);
  if (!found) {
    m_messages.ShowMessage(found.Message(), kTitle);
    return false;
  }
  for (SeriesCapture& capture : *found) {
    if (capture.name.series == name) captures.push_back(std::move(capture));
  }
  if (captures.empty()) {
    m_messages.ShowMessage("The folder holds no capture of the series \"" + name + "\"", kTitle);
    return false;
  }
  Result<AnalysedPolarSeries> analysed = AnalysePolarCaptures(m_core, captures, m_gate->value(), 0);
  if (!analysed) {
    m_messages.ShowMessage(analysed.Message(), kTitle);
    return false;
  }
  PolarSeries& series = analysed->series;
  const std::vector<std::string>& warnings = analysed->warnings;
  m_status->setText(
      QString("Views of %1 captures of \"%2\", gated at %3 ms%4")
          .arg(series.responses.size())
          .arg(QString::fromStdString(name))
          .arg(m_gate->value())
          .arg(warnings.empty() ? QString() : QString("; %1 warnings").arg(warnings.size())));
  m_status->setToolTip(QString::fromStdString([&] {
    std::string all;
    for (const std::string& warning : warnings) all += warning + "\n";
    return all;
  }()));
  m_views->SetSeries(std::move(series));
  return true;
}

void CPolarSeriesDialog::SyncButtons() {
  for (QWidget* field :
       std::initializer_list<QWidget*>{m_name, m_plane, m_angles, m_advance, m_pause, m_folder,
                                       m_browse, m_reference, m_start, m_resume, m_showViews}) {
    field->setEnabled(!m_running);
  }
  m_stop->setEnabled(m_running);
}

void CPolarSeriesDialog::closeEvent(QCloseEvent* event) {
  StopSeries();
  QDialog::closeEvent(event);
}

void CPolarSeriesDialog::reject() {
  StopSeries();
  QDialog::reject();
}

}  // namespace quorvel
