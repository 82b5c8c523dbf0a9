#include "app/response_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/screen_fit.h"
#include "control/captures/response_view_files.h"
#include "control/quorvel_core.h"
#include "graph/response_view_plots.h"

namespace quorvel {

CResponsePlotView::CResponsePlotView(const CResponseSession& session, ResponsePlot plot,
                                     QWidget* parent)
    : QWidget(parent), m_session(session), m_plot(plot) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 120);
}

void CResponsePlotView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintResponsePlot(painter, rect(), m_plot, m_session.Analysis());
}

CResponseViewPanel::CResponseViewPanel(std::function<void(QPainter&, const QRect&)> paint,
                                       QWidget* parent)
    : QWidget(parent), m_paint(std::move(paint)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 120);
}

void CResponseViewPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  m_paint(painter, rect());
}

CResponseWindow::CResponseWindow(CQuorvelCore& core, QWidget* parent,
                                 const WindowMessagesMaker& makeMessages)
    : QWidget(parent),
      m_messages(makeMessages ? makeMessages(this) : nullptr),
      m_session(core, m_messages ? *m_messages : core.Messages()) {
  setWindowFlag(Qt::Window);
  setWindowTitle(kTitle);
  CreateControls();
}

void CResponseWindow::CreateControls() {
  m_description = new QLabel(this);
  m_description->setToolTip(
      "The measurement analysed: its caption, the sweep's range, the microphone chart applied "
      "to its levels and what its timing reference told");

  auto* gateLabel = new QLabel("Gate:", this);
  m_gate = new QComboBox(this);
  m_gate->setEditable(true);
  m_gate->setInsertPolicy(QComboBox::NoInsert);
  for (const GateChoice& choice : kGateChoices) m_gate->addItem(choice.label);
  m_gate->setMinimumContentsLength(8);
  m_gate->setToolTip(
      "How long after the impulse response's peak the level and phase are taken: Off keeps the "
      "whole linear response (the room included); 2.5, 5 or 10 ms, or a time typed and Enter, "
      "keeps the direct sound before the first reflection");
  gateLabel->setBuddy(m_gate);
  connect(m_gate, &QComboBox::textActivated, this, &CResponseWindow::ApplyGate);
  connect(m_gate->lineEdit(), &QLineEdit::returnPressed, this,
          [this] { ApplyGate(m_gate->currentText()); });

  m_frd = new QPushButton("Export FRD...", this);
  m_frd->setToolTip(
      "Saves the level and phase, gated as shown, as an FRD file for crossover "
      "design tools (every 1/48 octave)");
  m_impulse = new QPushButton("Export Impulse Response...", this);
  m_impulse->setToolTip(
      "Saves the linear impulse response as a 32-bit float WAV file at "
      "48000 Hz, 500 ms long, its peak 10 ms from the start");
  m_distortion = new QPushButton("Export Distortion CSV...", this);
  m_distortion->setToolTip(
      "Saves the fundamental, the harmonics 2 to 5 and the THD every 1/12 "
      "octave as a CSV file");
  connect(m_frd, &QPushButton::clicked, this, [this] { m_session.ExportFrd(); });
  connect(m_impulse, &QPushButton::clicked, this, [this] { m_session.ExportImpulseResponse(); });
  connect(m_distortion, &QPushButton::clicked, this, [this] { m_session.ExportDistortionCsv(); });

  const char* plotTips[] = {
      "The linear impulse response over time, its peak at 0 ms; the gate is marked",
      "Level (dB, left scale) and phase (degrees, right scale, its time reference at the "
      "impulse response's peak) over frequency, gated as chosen",
      "The second and third harmonics relative to the fundamental (dB) and the total harmonic "
      "distortion (%) over the frequency the sweep passed"};
  const ResponsePlot plots[] = {ResponsePlot::kImpulse, ResponsePlot::kLevelPhase,
                                ResponsePlot::kDistortion};
  for (int i = 0; i < 3; ++i) {
    m_plots[i] = new CResponsePlotView(m_session, plots[i], this);
    m_plots[i]->setToolTip(plotTips[i]);
  }

  auto* controls = new QHBoxLayout;
  controls->addWidget(gateLabel);
  controls->addWidget(m_gate);
  controls->addStretch(1);
  controls->addWidget(m_frd);
  controls->addWidget(m_impulse);
  controls->addWidget(m_distortion);
  // the level and phase across the top, the impulse response and the distortion below
  auto* grid = new QGridLayout;
  grid->addWidget(m_plots[1], 0, 0, 1, 2);
  grid->addWidget(m_plots[0], 1, 0);
  grid->addWidget(m_plots[2], 1, 1);
  grid->setRowStretch(0, 3);
  grid->setRowStretch(1, 2);
  auto* response = new QWidget(this);
  response->setLayout(grid);
  grid->setContentsMargins(0, 0, 0, 0);
  m_views = new QTabWidget(this);
  m_views->addTab(response, "Response");
  CreateViews();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_description);
  layout->addLayout(controls);
  layout->addWidget(m_views, 1);
  setMinimumSize(kLeastWidth, kLeastHeight);
}

void CResponseWindow::CreateViews() {
  const auto add = [this](std::function<void(QPainter&, const QRect&)> paint, const char* name,
                          const char* tip) {
    auto* panel = new CResponseViewPanel(std::move(paint), m_views);
    panel->setToolTip(tip);
    m_views->addTab(panel, name);
  };
  add([this](QPainter& p, const QRect& r) { PaintGroupDelayPlot(p, r, GroupDelay()); },
      "Group Delay",
      "Group delay from the phase (ms after the impulse response's peak, gated as chosen), the "
      "minimum-phase group delay of the same level and the excess between them");
  add([this](QPainter& p, const QRect& r) { PaintStepPlot(p, r, Step()); }, "Step Response",
      "The running sum of the impulse response, from 1 ms before its peak to 20 ms after it");
  add([this](QPainter& p, const QRect& r) { PaintDecayPlot(p, r, Decay()); }, "Waterfall (CSD)",
      "The cumulative spectral decay: slices starting 0 to 10 ms after the peak, all ending "
      "together, in dB re the first slice's largest level");
  add([this](QPainter& p, const QRect& r) { PaintSpectrogramPlot(p, r, SpectrogramMap()); },
      "Spectrogram", "The impulse response's level over time and frequency");
  m_viewPng = new QPushButton("Export View PNG...", this);
  m_viewPng->setToolTip("Saves the view shown as a PNG picture");
  m_viewCsv = new QPushButton("Export View CSV...", this);
  m_viewCsv->setToolTip("Saves the group delay, the step response or the decay's slices as CSV");
  connect(m_viewPng, &QPushButton::clicked, this, [this] { ExportView(false); });
  connect(m_viewCsv, &QPushButton::clicked, this, [this] { ExportView(true); });
  connect(m_views, &QTabWidget::currentChanged, this, [this] { SyncViewButtons(); });
  auto* corner = new QWidget(this);
  auto* buttons = new QHBoxLayout(corner);
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addWidget(m_viewPng);
  buttons->addWidget(m_viewCsv);
  m_views->setCornerWidget(corner);
  SyncViewButtons();
}

QWidget* CResponseWindow::ViewPage(View view) const {
  return m_views->widget(static_cast<int>(view));
}

void CResponseWindow::SyncViewButtons() {
  const auto view = static_cast<View>(m_views->currentIndex());
  m_viewCsv->setEnabled(view == View::kGroupDelay || view == View::kStep || view == View::kDecay);
}

void CResponseWindow::ExportView(bool csv) {
  CResponseSession::Writer write = nullptr;
  switch (static_cast<View>(m_views->currentIndex())) {
    case View::kResponse:
      write = csv ? nullptr : &SaveResponsePicture;
      break;
    case View::kGroupDelay:
      write = csv ? &SaveGroupDelayCsv : &SaveGroupDelayPicture;
      break;
    case View::kStep:
      write = csv ? &SaveStepCsv : &SaveStepPicture;
      break;
    case View::kDecay:
      write = csv ? &SaveDecayCsv : &SaveDecayPicture;
      break;
    case View::kSpectrogram:
      write = csv ? nullptr : &SaveSpectrogramPicture;
      break;
  }
  if (write != nullptr) static_cast<void>(m_session.Export(csv ? "csv" : "png", write));
}

const std::vector<GroupDelayRow>& CResponseWindow::GroupDelay() {
  if (!m_groupDelay)
    m_groupDelay =
        m_session.HasResult() ? GroupDelayRows(m_session.Analysis()) : std::vector<GroupDelayRow>();
  return *m_groupDelay;
}

const std::vector<StepRow>& CResponseWindow::Step() {
  if (!m_step)
    m_step = m_session.HasResult() ? StepResponse(m_session.Analysis()) : std::vector<StepRow>();
  return *m_step;
}

const DecaySpectrum& CResponseWindow::Decay() {
  if (!m_decay)
    m_decay = m_session.HasResult() ? CumulativeDecay(m_session.Analysis()) : DecaySpectrum();
  return *m_decay;
}

const Spectrogram& CResponseWindow::SpectrogramMap() {
  if (!m_spectrogram) {
    m_spectrogram =
        m_session.HasResult() ? ImpulseSpectrogram(m_session.Analysis()) : Spectrogram();
  }
  return *m_spectrogram;
}

bool CResponseWindow::ShowAnalysis() {
  return ShowResult(m_session.Analyse());
}

bool CResponseWindow::ShowCapture(const std::string& capturePath) {
  return ShowResult(m_session.AnalyseCapture(capturePath));
}

bool CResponseWindow::ShowResult(bool analysed) {
  if (!analysed) {
    hide();
    return false;
  }
  m_description->setText(QString::fromStdString(m_session.Description()));
  m_gate->setEditText(QString::fromStdString(FormatGate(m_session.GateMs())));
  if (!m_sized) {
    m_sized = true;
    const QWidget* owner = parentWidget();
    resize(FittedSize(owner != nullptr ? owner->screen() : screen(), QSize(kWidth, kHeight),
                      QSize(kLeastWidth, kLeastHeight)));
  }
  Redraw();
  show();
  raise();
  activateWindow();
  return true;
}

CResponsePlotView* CResponseWindow::Plot(ResponsePlot plot) const {
  switch (plot) {
    case ResponsePlot::kImpulse:
      return m_plots[0];
    case ResponsePlot::kLevelPhase:
      return m_plots[1];
    case ResponsePlot::kDistortion:
      return m_plots[2];
  }
  return nullptr;
}

// A gate chosen or typed: taken and drawn, or refused (the session said why) and the gate in
// force shown again.
void CResponseWindow::ApplyGate(const QString& text) {
  if (m_session.SetGate(text.toStdString())) Redraw();
  m_gate->setEditText(QString::fromStdString(FormatGate(m_session.GateMs())));
}

void CResponseWindow::Redraw() {
  m_groupDelay.reset();
  m_step.reset();
  m_decay.reset();
  m_spectrogram.reset();
  for (CResponsePlotView* plot : m_plots) plot->update();
  m_views->currentWidget()->update();
}

}  // namespace quorvel
