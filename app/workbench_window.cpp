#include "app/workbench_window.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "app/eq_window.h"
#include "app/plot_widget.h"
#include "base/messages.h"
#include "control/quorvel_core.h"
#include "control/response/response_session.h"
#include "control/workbench/workbench_exports.h"
#include "control/workbench/workbench_recent.h"
#include "control/workbench/workbench_session.h"
#include "measurement/session_paths.h"
#include "measurement/trace_average.h"
#include "measurement/trace_offset.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

namespace {

constexpr char kCaption[] = "Measurements";

// Captures analysed in less than this show no progress bar.
constexpr int kProgressAfterMs = 500;

std::vector<std::string> ChooseCaptureFiles(QWidget* window) {
  std::vector<std::string> paths;
  const QStringList chosen = QFileDialog::getOpenFileNames(
      window, "Add Captures", QString(), "Capture files (*.wav *.WAV);;All files (*)");
  for (const QString& path : chosen) paths.push_back(path.toStdString());
  return paths;
}

QColor ToQColor(TraceColour c) {
  return QColor(c.red, c.green, c.blue);
}

QPixmap Swatch(TraceColour colour) {
  QPixmap pixmap(14, 14);
  pixmap.fill(ToQColor(colour));
  // a grey rim, so that the darkest colours show on a dark list too
  QPainter painter(&pixmap);
  painter.setPen(QColor(128, 128, 128));
  painter.drawRect(0, 0, 13, 13);
  return pixmap;
}

// An analysis with a progress bar that shows only when it takes longer than half a second.
class CProgress {
 public:
  explicit CProgress(QWidget* window)
      : m_dialog("Analysing the captures...", "Stop", 0, 1, window) {
    m_dialog.setWindowTitle(kCaption);
    m_dialog.setWindowModality(Qt::WindowModal);
    m_dialog.setMinimumDuration(kProgressAfterMs);
    m_dialog.setValue(0);
  }
  ImportProgress Callback() {
    return [this](size_t done, size_t total) {
      m_dialog.setMaximum(static_cast<int>(total));
      m_dialog.setValue(static_cast<int>(done));
      return !m_dialog.wasCanceled();
    };
  }

 private:
  QProgressDialog m_dialog;
};

}  // namespace

CWorkbenchWindow::CWorkbenchWindow(CWorkbenchSession& session, CQuorvelCore& core, QWidget* parent,
                                   const WindowMessagesMaker& makeMessages)
    : QWidget(parent),
      m_session(session),
      m_core(core),
      m_messages(makeMessages ? makeMessages(this) : nullptr),
      m_makeMessages(makeMessages),
      m_chooseCaptures(ChooseCaptureFiles) {
  setWindowFlag(Qt::Window);
  setWindowTitle(kTitle);
  if (m_session.RecentSessions().empty()) {
    m_session.SetRecentSessions(ReadRecentSessions(m_core.Preferences()));
  }
  m_storedRecent = m_session.RecentSessions();
  CreateControls();
  Refresh();
}

CWorkbenchWindow::~CWorkbenchWindow() = default;

IUserMessages& CWorkbenchWindow::Messages() {
  return m_messages ? *m_messages : m_core.Messages();
}

CWorkbenchList& CWorkbenchWindow::ListModel() {
  return m_session.List();
}

// ---- the list ----

void CWorkbenchWindow::Refresh() {
  const SessionDocument& document = ListModel().Document();
  std::vector<std::string> failures;
  // The analysis takes the engine: while a measurement runs, what is new waits for the next
  // refresh (the one after the measurement).
  if (m_core.Shared().m_bCapturing.load(std::memory_order_acquire) == 0) {
    m_traces.UseCacheIn(ListModel().SessionFolder());
    CProgress progress(this);
    failures = m_traces.Analyse(m_core, document, document.view.gateMs, progress.Callback());
    // the main graph draws the opened and added captures by their analysed live curves
    m_session.KeepAnalysedCurves(m_traces.LiveCurves());
  }
  Fill();
  if (!failures.empty()) Report("These captures could not be analysed:", failures);
}

void CWorkbenchWindow::Fill() {
  // a zoom not yet kept is kept first: the view below is taken from the session
  if (m_viewSave->isActive()) {
    m_viewSave->stop();
    KeepView();
  }
  const SessionDocument& document = ListModel().Document();
  m_traces.SetLevelScale(m_levelScale ? m_levelScale() : SplScale());
  m_built = m_traces.Build(document);
  const std::vector<int> selected = SelectedRows();
  m_filling = true;
  m_list->setRowCount(static_cast<int>(m_built.size()));
  for (int row = 0; row < static_cast<int>(m_built.size()); ++row) {
    const WorkbenchTrace& trace = m_built[row];
    auto* shown = new QTableWidgetItem;
    shown->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    shown->setCheckState(trace.look.shown ? Qt::Checked : Qt::Unchecked);
    shown->setData(Qt::DecorationRole, Swatch(trace.look.colour));
    auto* name = new QTableWidgetItem(QString::fromStdString(trace.look.name));
    auto* offset = new QTableWidgetItem(QString::fromStdString(OffsetText(trace.look.offsetDb)));
    offset->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    auto* note = new QTableWidgetItem(QString::fromStdString(trace.look.note));
    const QString tip = trace.ok ? QString::fromStdString(trace.raw.origin.sources.empty()
                                                              ? trace.look.name
                                                              : trace.look.name + " (made)")
                                 : QString::fromStdString("No trace: " + trace.failure);
    for (QTableWidgetItem* item : {shown, name, offset, note}) {
      item->setToolTip(tip);
      if (!trace.ok) item->setForeground(QColor(160, 0, 0));
    }
    m_list->setItem(row, kShownColumn, shown);
    m_list->setItem(row, kNameColumn, name);
    m_list->setItem(row, kOffsetColumn, offset);
    m_list->setItem(row, kNoteColumn, note);
  }
  m_filling = false;
  SelectRows(selected);
  m_folder->setText(document.entries.empty() && document.derived.empty() &&
                            ListModel().SessionFolder().empty()
                        ? QString("Session: not started")
                        : QString::fromStdString("Session: " + ListModel().SessionFolder()));
  SyncViewControls();
  ShowTraces();
  if (m_session.RecentSessions() != m_storedRecent) {
    m_storedRecent = m_session.RecentSessions();
    WriteRecentSessions(m_core.Preferences(), m_storedRecent);
  }
}

void CWorkbenchWindow::SyncViewControls() {
  const SessionView& view = ListModel().Document().view;
  m_curve->setCurrentIndex(std::max(0, m_curve->findData(static_cast<int>(view.curve))));
  // the live curves are drawn as measured: neither smoothed nor gated
  m_smoothing->setEnabled(view.curve != ViewCurve::kLive);
  m_gate->setEnabled(view.curve != ViewCurve::kLive);
  m_smoothing->setCurrentIndex(std::max(0, m_smoothing->findData(view.smoothingPerOctave)));
  int gate = m_gate->findData(view.gateMs);
  if (gate < 0) {
    m_gate->addItem(QString::fromStdString(FormatGate(view.gateMs)), view.gateMs);
    gate = m_gate->count() - 1;
  }
  m_gate->setCurrentIndex(gate);
  m_reference->clear();
  m_reference->addItem("None", QString());
  for (const WorkbenchTrace& trace : m_built) {
    m_reference->addItem(QString::fromStdString(trace.look.name), QString::fromStdString(trace.id));
  }
  m_reference->setCurrentIndex(
      std::max(0, m_reference->findData(QString::fromStdString(view.referenceId))));
  m_plot->View().SetFrequency(view.frequencyMinHz, view.frequencyMaxHz);
  m_plot->View().SetLevel(view.levelMinDb, view.levelMaxDb);
}

void CWorkbenchWindow::ShowLiveCurves() {
  const SessionView& view = ListModel().Document().view;
  m_liveShown = ShownLiveViewCurves(m_session);
  std::vector<PlotTrace> traces;
  int reference = -1;
  for (const LiveViewCurve& curve : m_liveShown) {
    const auto built = std::find_if(m_built.begin(), m_built.end(),
                                    [&](const WorkbenchTrace& t) { return t.id == curve.id; });
    if (built == m_built.end()) continue;
    if (curve.id == view.referenceId) reference = static_cast<int>(traces.size());
    PlotTrace plot;
    plot.name = built->look.name;
    plot.colour =
        TraceRgb{built->look.colour.red, built->look.colour.green, built->look.colour.blue};
    plot.style = TraceLookAt(static_cast<int>(traces.size())).style;
    plot.frequenciesHz = curve.frequenciesHz;
    plot.levelsDb = curve.levelsDb;
    traces.push_back(std::move(plot));
  }
  m_plot->SetLevelUnit("dBFS");  // the main graph's block peaks, never calibrated
  m_plot->SetTraces(std::move(traces), "", false, "Live curves, as measured");
  m_plot->SetReference(reference);
  if (m_onShownChanged) m_onShownChanged();
}

void CWorkbenchWindow::ShowTraces() {
  const SessionView& view = ListModel().Document().view;
  if (view.curve == ViewCurve::kLive) {
    ShowLiveCurves();
    return;
  }
  const bool phase = view.curve == ViewCurve::kPhase;
  std::vector<PlotTrace> traces;
  int reference = -1;
  // dB SPL when every trace shown is (as its export says), else the transfer's dB
  bool spl = true;
  for (const WorkbenchTrace& trace : m_built) {
    if (!trace.ok || !trace.look.shown) continue;
    spl = spl && !trace.shown.levelScale.empty() && trace.shown.origin.way != TraceWay::kDifference;
    if (trace.id == view.referenceId) reference = static_cast<int>(traces.size());
    PlotTrace plot;
    plot.name = trace.look.name;
    plot.colour = TraceRgb{trace.look.colour.red, trace.look.colour.green, trace.look.colour.blue};
    plot.frequenciesHz = trace.shown.frequenciesHz;
    plot.levelsDb = trace.shown.levelsDb;
    if (phase) plot.phasesDeg = TimedPhasesDeg(trace.shown);
    if (trace.shown.gateMs > 0) plot.validAboveHz = 1000.0 / trace.shown.gateMs;
    traces.push_back(std::move(plot));
  }
  // Beyond the palette's colours the line style tells traces apart.
  for (size_t i = 0; i < traces.size(); ++i) {
    traces[i].style = TraceLookAt(static_cast<int>(i)).style;
  }
  const std::string smoothing =
      view.smoothingPerOctave == 0 ? std::string() : SmoothingName(view.smoothingPerOctave);
  m_plot->SetLevelUnit(spl && !traces.empty() ? "dB SPL" : "dB");
  m_plot->SetTraces(std::move(traces), smoothing, phase);
  m_plot->SetReference(reference);
  if (m_onShownChanged) m_onShownChanged();
}

std::vector<int> CWorkbenchWindow::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : m_list->selectionModel()->selectedRows()) {
    if (index.row() < static_cast<int>(m_built.size())) rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void CWorkbenchWindow::SelectRows(const std::vector<int>& rows) {
  m_list->clearSelection();
  for (int row : rows) {
    if (row < m_list->rowCount()) {
      m_list->selectionModel()->select(m_list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
}

std::vector<Trace> CWorkbenchWindow::SelectedTraces(bool shownIfNone) const {
  std::vector<int> rows = SelectedRows();
  if (shownIfNone && rows.size() < 2) {
    rows.clear();
    for (int i = 0; i < static_cast<int>(m_built.size()); ++i) {
      if (m_built[i].look.shown) rows.push_back(i);
    }
  }
  std::vector<Trace> traces;
  for (int row : rows) {
    if (m_built[row].ok) traces.push_back(m_built[row].raw);
  }
  return traces;
}

void CWorkbenchWindow::OnItemChanged(QTableWidgetItem* item) {
  if (m_filling || item->row() >= static_cast<int>(m_built.size())) return;
  const std::string id = m_built[item->row()].id;
  const std::string text = item->text().toStdString();
  Result<void> changed;
  switch (item->column()) {
    case kShownColumn:
      changed = ListModel().SetShown(id, item->checkState() == Qt::Checked);
      break;
    case kNameColumn:
      changed = ListModel().Rename(id, text);
      break;
    case kNoteColumn:
      changed = ListModel().SetNote(id, text);
      break;
    default:
      return;
  }
  if (!changed) Report(changed.Message());
  // a queued fill: the table is not rebuilt under its own editor
  QTimer::singleShot(0, this, [this] { Fill(); });
}

void CWorkbenchWindow::Report(const std::string& failure) {
  Messages().ShowMessage(failure, kCaption);
}

void CWorkbenchWindow::Report(const std::string& heading, const std::vector<std::string>& lines) {
  std::string text = heading;
  for (const std::string& line : lines) text += "\n" + line;
  Report(text);
}

// ---- commands ----

void CWorkbenchWindow::OnAddCaptures() {
  const std::vector<std::string> paths = m_chooseCaptures(this);
  if (!paths.empty()) AddCaptures(paths);
}

void CWorkbenchWindow::AddCaptures(const std::vector<std::string>& paths) {
  if (m_core.Shared().m_bCapturing.load(std::memory_order_acquire) != 0) {
    Report("Captures can be added when no measurement is running.");
    return;
  }
  if (const Result<void> made = m_session.EnsureFolder(); !made) {
    Report(made.Message());
    return;
  }
  const double gateMs = ListModel().Document().view.gateMs;
  std::vector<ImportedCapture> imported;
  {
    CProgress progress(this);
    imported = AnalyseCaptures(m_core, paths, gateMs, progress.Callback());
  }
  std::vector<std::string> failures;
  for (ImportedCapture& capture : imported) {
    if (!capture.ok) {
      failures.push_back(capture.failure);
      continue;
    }
    const AddedTrace added =
        ListModel().Add(capture.path, capture.trace.name, FileTimeUtc(capture.path));
    if (!added.written) failures.push_back(added.written.Message());
    m_traces.Keep(capture.path, gateMs, std::move(capture.trace), std::move(capture.live));
  }
  Refresh();  // nothing is analysed again: it puts the new traces into the session's cache
  if (!failures.empty()) Report("These captures could not be added:", failures);
}

void CWorkbenchWindow::RemoveSelected() {
  std::vector<std::string> ids;
  for (int row : SelectedRows()) ids.push_back(m_built[row].id);
  for (const std::string& id : ids) {
    // a derived trace may have gone with its source
    if (!HasTraceId(ListModel().Document(), id)) continue;
    if (const Result<void> removed = ListModel().Remove(id); !removed) Report(removed.Message());
  }
  Fill();
}

void CWorkbenchWindow::MoveSelected(int step) {
  const std::vector<int> rows = SelectedRows();
  if (rows.size() != 1) return;
  if (const Result<void> moved = ListModel().Move(m_built[rows[0]].id, step); !moved) {
    if (!moved.Message().empty()) Report(moved.Message());
    return;
  }
  Fill();
  SelectRows({rows[0] + step});
}

void CWorkbenchWindow::AverageSelected(DerivedKind kind) {
  const std::vector<int> rows = SelectedRows();
  std::vector<std::string> ids;
  std::vector<Trace> sources;
  std::string names;
  for (int row : rows) {
    if (!m_built[row].ok) continue;
    ids.push_back(m_built[row].id);
    sources.push_back(m_built[row].raw);
    names += (names.empty() ? "" : ", ") + m_built[row].look.name;
  }
  if (sources.size() < 2) {
    Report("Select two or more traces to average.");
    return;
  }
  DerivedTrace recipe;
  recipe.kind = kind;
  recipe.sources = ids;
  const Result<Trace> made = ComputeDerived(recipe, sources);
  if (!made.Ok()) {
    Report(made.Message());
    return;
  }
  const AverageWay way = kind == DerivedKind::kAveragePower    ? AverageWay::kPowerMean
                         : kind == DerivedKind::kAverageVector ? AverageWay::kVectorMean
                                                               : AverageWay::kDbMean;
  if (const Result<void> added = AddedAndWritten(
          ListModel().AddDerived(kind, ids, std::string(AverageWayName(way)) + " of " + names));
      !added) {
    Report(added.Message());
  }
  Fill();
}

void CWorkbenchWindow::DifferenceOfSelected() {
  const std::vector<int> rows = SelectedRows();
  if (rows.size() != 2 || !m_built[rows[0]].ok || !m_built[rows[1]].ok) {
    Report("Select the two traces A and B: the difference is the upper one minus the lower.");
    return;
  }
  DerivedTrace recipe;
  recipe.kind = DerivedKind::kDifference;
  const std::vector<Trace> sources = {m_built[rows[0]].raw, m_built[rows[1]].raw};
  const Result<Trace> made = ComputeDerived(recipe, sources);
  if (!made.Ok()) {
    Report(made.Message());
    return;
  }
  if (const Result<void> added = AddedAndWritten(ListModel().AddDerived(
          DerivedKind::kDifference, {m_built[rows[0]].id, m_built[rows[1]].id},
          m_built[rows[0]].look.name + " - " + m_built[rows[1]].look.name));
      !added) {
    Report(added.Message());
  }
  Fill();
}

void CWorkbenchWindow::OnAlign() {
  QDialog dialog(this);
  dialog.setWindowTitle(kCaption);
  auto* form = new QFormLayout(&dialog);
  form->addRow(
      new QLabel("Bring the traces to the first one's level at a frequency (From and To\n"
                 "alike) or to its mean level over a band:"));
  const auto field = [&](const char* label) {
    auto* hz = new QDoubleSpinBox;
    hz->setLocale(QLocale::c());  // the figures read alike in every language
    hz->setRange(1.0, 24000.0);
    hz->setDecimals(1);
    hz->setSuffix(" Hz");
    hz->setValue(1000.0);
    form->addRow(label, hz);
    return hz;
  };
  QDoubleSpinBox* from = field("From:");
  QDoubleSpinBox* to = field("To:");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return;
  // a band given high to low is the same band
  AlignSelected(std::min(from->value(), to->value()), std::max(from->value(), to->value()));
}

void CWorkbenchWindow::AlignSelected(double fromHz, double toHz) {
  std::vector<int> rows = SelectedRows();
  if (rows.size() < 2) {
    rows.clear();
    for (int i = 0; i < static_cast<int>(m_built.size()); ++i) {
      if (m_built[i].look.shown) rows.push_back(i);
    }
  }
  std::vector<Trace> traces;
  std::vector<int> used;
  for (int row : rows) {
    if (!m_built[row].ok) continue;
    traces.push_back(m_built[row].raw);
    used.push_back(row);
  }
  if (traces.size() < 2) {
    Report("Select two or more traces to align.");
    return;
  }
  const Result<std::vector<double>> steps = OffsetsToTrace(traces, 0, LevelAnchor{fromHz, toHz});
  if (!steps.Ok()) {
    Report(steps.Message());
    return;
  }
  for (size_t i = 0; i < used.size(); ++i) {
    const WorkbenchTrace& trace = m_built[used[i]];
    if (const Result<void> shifted =
            ListModel().SetOffset(trace.id, trace.look.offsetDb + (*steps)[i]);
        !shifted) {
      Report(shifted.Message());
      break;
    }
  }
  Fill();
}

void CWorkbenchWindow::OnRecolour() {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) return;
  const QColor colour =
      QColorDialog::getColor(ToQColor(m_built[rows[0]].look.colour), this, "Trace Colour");
  if (!colour.isValid()) return;
  for (int row : rows) {
    const TraceColour c{static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
                        static_cast<uint8_t>(colour.blue())};
    if (const Result<void> done = ListModel().Recolour(m_built[row].id, c); !done) {
      Report(done.Message());
    }
  }
  Fill();
}

void CWorkbenchWindow::SetSmoothing(int perOctave) {
  SessionView view = ListModel().Document().view;
  view.smoothingPerOctave = perOctave;
  if (const Result<void> set = ListModel().SetView(view); !set) Report(set.Message());
  Fill();
}

void CWorkbenchWindow::SetCurve(ViewCurve curve) {
  SessionView view = ListModel().Document().view;
  view.curve = curve;
  if (const Result<void> set = ListModel().SetView(view); !set) Report(set.Message());
  Fill();
}

void CWorkbenchWindow::SetGate(double gateMs) {
  SessionView view = ListModel().Document().view;
  view.gateMs = gateMs;
  if (const Result<void> set = ListModel().SetView(view); !set) Report(set.Message());
  Refresh();
}

void CWorkbenchWindow::KeepView() {
  SessionView view = ListModel().Document().view;
  const CPlotView& plot = m_plot->View();
  view.frequencyMinHz = plot.Frequency().low;
  view.frequencyMaxHz = plot.Frequency().high;
  view.levelMinDb = plot.Level().low;
  view.levelMaxDb = plot.Level().high;
  if (view == ListModel().Document().view) return;
  if (const Result<void> set = ListModel().SetView(view); !set) Report(set.Message());
}

// ---- sessions and exports ----

void CWorkbenchWindow::OpenSession(const std::string& folder) {
  KeepView();
  std::vector<std::string> problems;
  if (!m_session.Open(folder, &problems)) {
    Report(folder + ": the session could not be opened", problems);
    return;
  }
  Refresh();
  if (!problems.empty()) Report("Some of the session could not be opened:", problems);
}

void CWorkbenchWindow::SaveSessionAs(const std::string& folder) {
  KeepView();
  const Result<std::vector<std::string>> notCopied = m_session.SaveAs(folder);
  if (!notCopied) {
    Report(notCopied.Message());
    return;
  }
  Refresh();
  if (!notCopied->empty()) Report("These captures were not there to copy:", *notCopied);
}

bool CWorkbenchWindow::ShowsLiveCurves() {
  return ListModel().Document().view.curve == ViewCurve::kLive;
}

void CWorkbenchWindow::ExportFrd(const std::string& folder) {
  if (ShowsLiveCurves()) {
    Report(kMsgLiveCurvesNoFrd);
    return;
  }
  std::vector<Trace> traces;
  for (int row : SelectedRows()) {
    if (m_built[row].ok) traces.push_back(m_built[row].shown);
  }
  if (traces.empty()) {
    Report("Select the traces to export.");
    return;
  }
  std::vector<std::string> written, failures;
  if (!ExportTracesFrd(traces, folder, &written, &failures)) {
    Report(kMsgCannotSaveFile, failures);
  }
}

void CWorkbenchWindow::ExportCsv(const std::string& path) {
  if (ShowsLiveCurves()) {
    ExportLiveCsv(path);
    return;
  }
  std::vector<Trace> traces;
  for (const WorkbenchTrace& trace : m_built) {
    if (trace.ok && trace.look.shown) traces.push_back(trace.shown);
  }
  if (traces.empty()) {
    Report("No trace is shown.");
  } else if (const Result<void> exported = ExportOverlayCsv(traces, path); !exported) {
    Report(exported.Message());
  }
}

void CWorkbenchWindow::ExportLiveCsv(const std::string& path) {
  // the curves the view draws, named as the list names them
  std::vector<NamedLiveCurve> curves;
  for (const LiveViewCurve& curve : m_liveShown) {
    const auto built = std::find_if(m_built.begin(), m_built.end(),
                                    [&](const WorkbenchTrace& t) { return t.id == curve.id; });
    if (built == m_built.end()) continue;
    curves.push_back({built->look.name, curve.frequenciesHz, curve.levelsDb});
  }
  if (curves.empty()) {
    Report("No live curve is shown.");
  } else if (const Result<void> saved = ExportLiveCurvesCsv(curves, path); !saved) {
    Report(saved.Message());
  }
}

void CWorkbenchWindow::SavePicture(const std::string& path) {
  const Result<void> saved =
      SavePlotPicture(path, m_plot->View(), m_plot->Scene(), m_plot->size(), 1.0);
  if (!saved) Report(saved.Message());
}

void CWorkbenchWindow::SetPolarSeriesOpener(std::function<void()> open) {
  m_openPolarSeries = std::move(open);
  m_polarSeries->setEnabled(static_cast<bool>(m_openPolarSeries));
}

void CWorkbenchWindow::OpenEqualiser(const MeasureThroughEq& measure) {
  const std::vector<int> rows = SelectedRows();
  const auto first =
      std::find_if(rows.begin(), rows.end(), [this](int row) { return m_built[row].ok; });
  if (first == rows.end()) {
    Report("Select the trace to make an equaliser for.");
    return;
  }
  auto* window = new CEqWindow(m_built[*first].raw, Messages(), this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  if (measure) window->SetMeasureThrough(measure);
  window->SetWorkbench(&m_session, {m_built[*first].id, ""}, [this] { Refresh(); });
  window->show();
}

void CWorkbenchWindow::OpenResponse() {
  const std::vector<int> rows = SelectedRows();
  const SessionEntry* entry = nullptr;
  for (const SessionEntry& candidate : ListModel().Document().entries) {
    if (!rows.empty() && candidate.id == m_built[rows.front()].id) entry = &candidate;
  }
  if (entry == nullptr) {
    Report("Select the measurement to show the impulse response of.");
    return;
  }
  // reading a capture takes the microphone charts the measurement corrects with
  if (m_core.Shared().m_bCapturing.load(std::memory_order_acquire) != 0) {
    Report("The impulse response can be shown when no measurement is running.");
    return;
  }
  if (!m_responseWindow) {
    m_responseWindow = new CResponseWindow(m_core, this, m_makeMessages);
    m_responseWindow->setAttribute(Qt::WA_DeleteOnClose);
  }
  static_cast<void>(m_responseWindow->ShowCapture(entry->capturePath));
}

}  // namespace quorvel
