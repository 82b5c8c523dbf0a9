#include "app/eq_window.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <utility>

#include "base/user_messages.h"
#include "control/eq/eq_install.h"
#include "control/eq/through_eq.h"
#include "control/quorvel_core.h"
#include "control/workbench/workbench_import.h"
#include "control/workbench/workbench_session.h"
#include "eq/eq_writers.h"

namespace quorvel {

namespace {

// The target box's entries, in the order of EqTargetKind.
constexpr const char* kTargetNames[] = {"Flat", "House curve", "Target file"};
// The smoothing box's bands per octave.
constexpr int kSmoothingBands[] = {1, 2, 3, 6, 12, 24, 48};

QDoubleSpinBox* NumberBox(double low, double high, double value, int decimals, const char* unit) {
  auto* box = new QDoubleSpinBox;
  box->setRange(low, high);
  box->setDecimals(decimals);
  box->setValue(value);
  box->setSuffix(QString(" ") + unit);
  return box;
}

EqPlotCurves PlotCurves(const EqDesign& d) {
  EqPlotCurves c;
  c.frequenciesHz = d.frequenciesHz;
  c.measuredDb = d.measuredDb;
  c.targetDb = d.targetDb;
  c.predictedDb = d.predictedDb;
  c.residualHz = d.residualHz;
  c.residualDb = d.residualDb;
  c.matchLowHz = d.options.matchLowHz;
  c.matchHighHz = d.options.matchHighHz;
  c.title = "Equaliser for " + d.name;
  return c;
}

}  // namespace

CEqPlotView::CEqPlotView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(kEqPictureWidth / 2, kEqPlotHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CEqPlotView::SetCurves(EqPlotCurves curves) {
  m_curves = std::move(curves);
  update();
}

void CEqPlotView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.scale(width() / static_cast<double>(kEqPictureWidth),
                height() / static_cast<double>(2 * kEqPlotHeight));
  PaintEqPicture(painter, m_curves);
}

CEqWindow::CEqWindow(Trace trace, IUserMessages& messages, QWidget* parent)
    : QWidget(parent, Qt::Window), m_trace(std::move(trace)), m_messages(messages) {
  setWindowTitle(QString(kTitle) + " - " + QString::fromStdString(m_trace.name));
  resize(kWidth, kHeight);
  CreateControls();
  static_cast<void>(Fit());
}

CEqWindow* CEqWindow::FromCapture(CQuorvelCore& core, const std::string& path, QWidget* parent) {
  std::vector<ImportedCapture> imported = AnalyseCaptures(core, {path}, 0.0, {});
  if (imported.empty() || !imported[0].ok) {
    core.Messages().ShowMessage(imported.empty() ? path : imported[0].failure);
    return nullptr;
  }
  return new CEqWindow(std::move(imported[0].trace), core.Messages(), parent);
}

void CEqWindow::SetMeasureThrough(MeasureThroughEq measure) {
  m_measureThrough = std::move(measure);
  SyncControls();
}

void CEqWindow::SetWorkbench(CWorkbenchSession* session, EqWorkbenchSource source,
                             std::function<void()> changed) {
  m_workbench = session;
  m_source = std::move(source);
  m_workbenchChanged = std::move(changed);
  SyncControls();
}

void CEqWindow::CreateControls() {
  const EqFitOptions defaults;
  m_target = new QComboBox;
  for (const char* name : kTargetNames) m_target->addItem(name);
  m_bassRise = NumberBox(0.0, 20.0, 6.0, 1, "dB");
  m_bassCorner = NumberBox(10.0, 1000.0, 120.0, 0, "Hz");
  m_tilt = NumberBox(-6.0, 6.0, -1.0, 2, "dB/decade");
  m_targetFile = new QLineEdit;
  m_targetFile->setPlaceholderText("frequency level lines, as a microphone chart");
  m_browse = new QPushButton("Browse...");
  m_filters = new QSpinBox;
  m_filters->setRange(1, 20);
  m_filters->setValue(defaults.peakingFilters);
  m_maxBoost = NumberBox(0.0, 6.0, defaults.maxBoostDb, 1, "dB");
  m_matchLow = NumberBox(10.0, 20000.0, defaults.matchLowHz, 0, "Hz");
  m_matchHigh = NumberBox(20.0, 24000.0, defaults.matchHighHz, 0, "Hz");
  m_smoothing = new QComboBox;
  for (const int bands : kSmoothingBands) {
    m_smoothing->addItem(QString("1/%1 octave").arg(bands), bands);
  }
  m_smoothing->setCurrentIndex(3);  // 1/6 octave
  m_fit = new QPushButton("Fit");
  m_fit->setDefault(true);

  auto* target = new QFormLayout;
  target->addRow("Target", m_target);
  target->addRow("Bass rise", m_bassRise);
  target->addRow("Bass corner", m_bassCorner);
  target->addRow("Tilt", m_tilt);
  auto* file = new QHBoxLayout;
  file->addWidget(m_targetFile, 1);
  file->addWidget(m_browse);
  target->addRow("Target file", file);
  auto* fit = new QFormLayout;
  fit->addRow("Filters", m_filters);
  fit->addRow("Max boost", m_maxBoost);
  auto* match = new QHBoxLayout;
  match->addWidget(m_matchLow);
  match->addWidget(new QLabel("to"));
  match->addWidget(m_matchHigh);
  fit->addRow("Match range", match);
  fit->addRow("Smoothing", m_smoothing);
  fit->addRow("", m_fit);

  m_filterText = new QPlainTextEdit;
  m_filterText->setReadOnly(true);
  m_filterText->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_filterText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // the widest filter line, unwrapped
  m_filterText->setMinimumWidth(m_filterText->fontMetrics().horizontalAdvance(
                                    "Filter 12: ON PK Fc 10000.0 Hz Gain -20.0 dB Q 10.000") +
                                32);

  auto* settings = new QHBoxLayout;
  settings->addLayout(target, 1);
  settings->addLayout(fit, 1);
  settings->addWidget(m_filterText, 1);

  m_plot = new CEqPlotView(this);
  m_summary = new QLabel;
  m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_format = new QComboBox;
  for (const EqExportKind& kind : EqExportKinds()) {
    m_format->addItem(QString("%1 (*%2)").arg(kind.label, kind.extension));
  }
  m_export = new QPushButton("Export...");
  m_install = new QPushButton("Install for PipeWire...");
  m_measure = new QPushButton("Measure through the equaliser");
  m_addPrediction = new QPushButton("Add to Measurements");
  m_addPrediction->setToolTip("The prediction joins the Measurements window's list");
  auto* close = new QPushButton("Close");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_format);
  buttons->addWidget(m_export);
  buttons->addWidget(m_install);
  buttons->addWidget(m_addPrediction);
  buttons->addWidget(m_measure);
  buttons->addStretch(1);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(settings);
  layout->addWidget(m_plot, 1);
  layout->addWidget(m_summary);
  layout->addLayout(buttons);

  connect(m_target, &QComboBox::currentIndexChanged, this, [this] { SyncControls(); });
  connect(m_browse, &QPushButton::clicked, this, [this] {
    std::string path;
    if (m_messages.ChooseOpenFile("", "txt", &path)) {
      m_targetFile->setText(QString::fromStdString(path));
    }
  });
  connect(m_fit, &QPushButton::clicked, this, [this] { static_cast<void>(Fit()); });
  connect(m_export, &QPushButton::clicked, this, [this] {
    static_cast<void>(
        Export(EqExportKinds()[static_cast<size_t>(m_format->currentIndex())].format));
  });
  connect(m_install, &QPushButton::clicked, this,
          [this] { static_cast<void>(Install(PipeWireDropInFolder())); });
  connect(m_measure, &QPushButton::clicked, this, [this] { MeasureThrough(); });
  connect(m_addPrediction, &QPushButton::clicked, this,
          [this] { static_cast<void>(AddPrediction()); });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  SyncControls();
}

void CEqWindow::SyncControls() {
  const auto kind = static_cast<EqTargetKind>(m_target->currentIndex());
  for (QWidget* house : {static_cast<QWidget*>(m_bassRise), static_cast<QWidget*>(m_bassCorner),
                         static_cast<QWidget*>(m_tilt)}) {
    house->setEnabled(kind == EqTargetKind::kHouseCurve);
  }
  m_targetFile->setEnabled(kind == EqTargetKind::kPoints);
  m_browse->setEnabled(kind == EqTargetKind::kPoints);
  const bool made = m_design.error.empty() && !m_design.frequenciesHz.empty();
  m_export->setEnabled(made);
  m_install->setEnabled(made);
  m_measure->setEnabled(made && m_measureThrough != nullptr);
  m_addPrediction->setEnabled(made && m_workbench != nullptr);
}

EqDesignSettings CEqWindow::Settings() const {
  EqDesignSettings s;
  s.target.kind = static_cast<EqTargetKind>(m_target->currentIndex());
  if (s.target.kind == EqTargetKind::kHouseCurve) {
    s.target.bassRiseDb = m_bassRise->value();
    s.target.bassCornerHz = m_bassCorner->value();
    s.target.tiltDbPerDecade = m_tilt->value();
  }
  s.targetPath = m_targetFile->text().toStdString();
  s.fit.peakingFilters = m_filters->value();
  s.fit.maxBoostDb = m_maxBoost->value();
  s.fit.matchLowHz = m_matchLow->value();
  s.fit.matchHighHz = m_matchHigh->value();
  s.fit.smoothingBandsPerOctave = m_smoothing->currentData().toInt();
  return s;
}

bool CEqWindow::Fit() {
  const EqDesignSettings settings = Settings();
  if (settings.target.kind == EqTargetKind::kPoints && settings.targetPath.empty()) {
    m_design = {};
    m_design.error = "choose a target file";
  } else {
    m_design = DesignEqualiser(m_trace, settings);
  }
  m_summary->setText(QString::fromStdString(ResidualSummary(m_design)));
  m_filterText->setPlainText(
      m_design.error.empty() ? QString::fromStdString(EqExportText(EqExportFormat::kApo, m_design))
                             : QString());
  m_plot->SetCurves(m_design.error.empty() ? PlotCurves(m_design) : EqPlotCurves{});
  SyncControls();
  return m_design.error.empty();
}

bool CEqWindow::Export(EqExportFormat format) {
  if (!m_design.error.empty()) return false;
  std::string extension;
  for (const EqExportKind& kind : EqExportKinds()) {
    if (kind.format == format) extension = kind.extension + 1;
  }
  std::string path;
  if (!m_messages.ChooseSaveFile("", extension, &path)) return false;
  if (const Result<void> written = WriteEqExport(path, format, m_design); !written) {
    m_messages.ShowMessage(written.Message());
    return false;
  }
  return true;
}

bool CEqWindow::Install(const std::string& folder) {
  if (!m_design.error.empty()) return false;
  const std::string path = folder + "/" + PipeWireDropInFileName(m_design.name);
  const DropInPlace place = CheckDropInPlace(path);
  if (place == DropInPlace::kForeign) {
    m_messages.ShowMessage(path + " was not written by Quorvel: it is left as it is");
    return false;
  }
  if (!m_messages.AskYesNo(InstallQuestion(path, place), kTitle)) return false;
  const Result<std::string> installed =
      InstallPipeWireDropIn(folder, m_design.fit.filterSet, m_design.name);
  m_messages.ShowMessage(installed ? *installed : installed.Message(), kTitle);
  return installed.Ok();
}

bool CEqWindow::AddPrediction() {
  if (m_workbench == nullptr || !m_design.error.empty()) return false;
  const std::string equaliser = ApoText(m_design.fit.filterSet);
  if (equaliser == m_predictionAdded &&
      HasTraceId(m_workbench->List().Document(), m_predictionId)) {
    return true;
  }
  const Result<AddedTrace> added =
      AddEqPrediction(*m_workbench, &m_source, m_design.fit.filterSet, m_design.name);
  if (added) m_predictionId = added->id;
  if (!m_predictionId.empty()) m_predictionAdded = equaliser;
  if (m_workbenchChanged) m_workbenchChanged();
  const Result<void> joined = AddedAndWritten(added);
  if (!joined) {
    m_messages.ShowMessage("The prediction could not join the Measurements:\n" + joined.Message(),
                           kTitle);
  }
  return joined.Ok();
}

void CEqWindow::MeasureThrough() {
  if (m_measureThrough == nullptr || !m_design.error.empty()) return;
  if (m_workbench != nullptr) static_cast<void>(AddPrediction());
  if (!m_measureThrough(m_design.fit.filterSet, ThroughEqName(m_design.name))) {
    m_messages.ShowMessage("A measurement or a replay runs: wait for its end, or stop it", kTitle);
  }
}

void OpenEqualiserWindow(CQuorvelCore& core, bool busy, QWidget* parent, MeasureThroughEq measure,
                         std::function<void()> changed) {
  if (busy) {
    core.Messages().ShowMessage("A measurement or a replay runs: wait for its end, or stop it",
                                CEqWindow::kTitle);
    return;
  }
  std::string path;
  if (!core.Messages().ChooseOpenFile("", "wav", &path)) return;
  CEqWindow* window = CEqWindow::FromCapture(core, path, parent);
  if (window == nullptr) return;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->SetMeasureThrough(std::move(measure));
  window->SetWorkbench(&core.Workbench(), {"", path}, std::move(changed));
  window->show();
}

}  // namespace quorvel
