#include "app/workbench_window.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "app/plot_widget.h"
#include "app/screen_fit.h"
#include "base/number_text.h"
#include "control/quorvel_core.h"
#include "control/response_session.h"
#include "control/workbench/workbench_exports.h"
#include "control/workbench/workbench_placement.h"
#include "control/workbench/workbench_session.h"
#include "measurement/recent_sessions.h"
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

int64_t FileTimeUtc(const std::string& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(path, error);
  if (error) return 0;
  const auto system = std::chrono::file_clock::to_sys(time);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

}  // namespace

CWorkbenchWindow::CWorkbenchWindow(CWorkbenchSession& session, CQuorvelCore& core, QWidget* parent,
                                   const WindowMessagesMaker& makeMessages)
    : QWidget(parent),
      m_session(session),
      m_core(core),
      m_messages(makeMessages ? makeMessages(this) : nullptr),
      m_chooseCaptures(ChooseCaptureFiles) {
  setWindowFlag(Qt::Window);
  setWindowTitle(kTitle);
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

void CWorkbenchWindow::CreateControls() {
  m_list = new QTableWidget(0, kColumnCount, this);
  m_list->setHorizontalHeaderLabels({"Shown", "Name", "Offset", "Note"});
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  m_list->verticalHeader()->hide();
  m_list->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
  m_list->horizontalHeader()->setSectionResizeMode(kShownColumn, QHeaderView::ResizeToContents);
  m_list->horizontalHeader()->setSectionResizeMode(kOffsetColumn, QHeaderView::ResizeToContents);
  m_list->setToolTip(
      "Every measurement of the session and the traces made from them: the box shows or hides "
      "a trace; a double click edits its name or note");
  connect(m_list, &QTableWidget::itemChanged, this, &CWorkbenchWindow::OnItemChanged);

  const auto button = [this](const char* text, const char* tip, auto handler) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, handler);
    return b;
  };
  auto* add = button("Add Captures...", "Adds capture files to the list, analysed at once",
                     [this] { OnAddCaptures(); });
  auto* remove = button("Remove", "Removes the selected traces and the traces made from them",
                        [this] { RemoveSelected(); });
  auto* rename = button("Rename", "Edits the selected trace's name", [this] {
    const int row = m_list->currentRow();
    if (row >= 0) m_list->editItem(m_list->item(row, kNameColumn));
  });
  auto* recolour =
      button("Recolour...", "Chooses the selected traces' colour", [this] { OnRecolour(); });
  auto* up = button("Up", "Moves the selected trace up the list", [this] { MoveSelected(-1); });
  auto* down =
      button("Down", "Moves the selected trace down the list", [this] { MoveSelected(+1); });
  auto* average = new QPushButton("Average", this);
  average->setToolTip(
      "A new trace, the average of the selected ones: dB mean (a target), power mean (positions "
      "around a listening area) or vector mean (repeated takes at one position, aligned in "
      "time)");
  auto* ways = new QMenu(average);
  ways->addAction("dB Mean", this, [this] { AverageSelected(DerivedKind::kAverageDb); });
  ways->addAction("Power Mean", this, [this] { AverageSelected(DerivedKind::kAveragePower); });
  ways->addAction("Vector Mean", this, [this] { AverageSelected(DerivedKind::kAverageVector); });
  average->setMenu(ways);
  auto* difference =
      button("Difference A - B", "A new trace, the first selected trace minus the second",
             [this] { DifferenceOfSelected(); });
  auto* align = button("Align Levels...",
                       "Offsets the selected traces so that they meet the first one's level at "
                       "a frequency or over a band",
                       [this] { OnAlign(); });

  auto* commands = new QGridLayout;
  QWidget* grid[] = {add, remove, rename, recolour, up, down, average, difference, align};
  for (int i = 0; i < 9; ++i) commands->addWidget(grid[i], i / 3, i % 3);

  auto* open = button("Open Session...", "Opens a session folder in place of this one", [this] {
    std::string folder;
    if (Messages().ChooseFolder(StartFolder(), "Open Session", &folder)) OpenSession(folder);
  });
  auto* saveAs = button("Save Session As...",
                        "Copies the session into a new folder, which becomes the session", [this] {
                          std::string folder;
                          if (Messages().ChooseFolder(StartFolder(), "Save Session As", &folder)) {
                            SaveSessionAs(folder);
                          }
                        });
  m_recent = new QToolButton(this);
  m_recent->setText("Recent");
  m_recent->setToolTip("The sessions opened last");
  m_recent->setPopupMode(QToolButton::InstantPopup);
  auto* recentMenu = new QMenu(m_recent);
  m_recent->setMenu(recentMenu);
  connect(recentMenu, &QMenu::aboutToShow, this, [this, recentMenu] {
    recentMenu->clear();
    m_session.SetRecentSessions(ExistingRecentSessions(m_session.RecentSessions()));
    for (const std::string& folder : m_session.RecentSessions()) {
      recentMenu->addAction(QString::fromStdString(folder), this,
                            [this, folder] { OpenSession(folder); });
    }
    if (recentMenu->isEmpty()) recentMenu->addAction("(none)")->setEnabled(false);
  });
  auto* sessions = new QHBoxLayout;
  sessions->addWidget(open);
  sessions->addWidget(saveAs);
  sessions->addWidget(m_recent);
  m_folder = new QLabel(this);
  m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_folder->setWordWrap(true);

  auto* exportFrd = button("Export FRD...", "Writes each selected trace as an FRD file", [this] {
    std::string folder;
    if (Messages().ChooseFolder(StartFolder(), "Export FRD", &folder)) ExportFrd(folder);
  });
  auto* exportCsv = button("Export CSV...",
                           "Writes the shown traces, as drawn, into one CSV file every 1/48 "
                           "octave",
                           [this] {
                             std::string path;
                             if (Messages().ChooseSaveFile(StartFolder(), "csv", &path)) {
                               ExportCsv(path);
                             }
                           });
  auto* png = button("Save PNG...", "Saves the plot as a PNG picture", [this] {
    std::string path;
    if (Messages().ChooseSaveFile(StartFolder(), "png", &path)) SavePicture(path);
  });
  auto* exports = new QHBoxLayout;
  exports->addWidget(exportFrd);
  exports->addWidget(exportCsv);
  exports->addWidget(png);

  auto* side = new QWidget(this);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  sideLayout->addLayout(sessions);
  sideLayout->addWidget(m_folder);
  sideLayout->addWidget(m_list, 1);
  sideLayout->addLayout(commands);
  sideLayout->addLayout(exports);

  m_plot = new CPlotWidget(this);
  m_plot->setToolTip(
      "Wheel: zoom (Ctrl: frequency only, Shift: level only); drag: zoom to a box; middle or "
      "Ctrl+drag: pan; keys: arrows, + and -, F fit, Home reset, 1-4 the level presets");
  m_readout = new QLabel(this);
  m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_readout->setMinimumWidth(1);
  connect(m_plot, &CPlotWidget::CursorRead, m_readout, &QLabel::setText);
  m_viewSave = new QTimer(this);
  m_viewSave->setSingleShot(true);
  m_viewSave->setInterval(500);
  connect(m_viewSave, &QTimer::timeout, this, &CWorkbenchWindow::KeepView);
  connect(m_plot, &CPlotWidget::ViewChanged, m_viewSave, qOverload<>(&QTimer::start));

  auto* plotSide = new QWidget(this);
  auto* plotLayout = new QVBoxLayout(plotSide);
  plotLayout->setContentsMargins(0, 0, 0, 0);
  plotLayout->addWidget(CreateViewControls());
  plotLayout->addWidget(m_plot, 1);
  plotLayout->addWidget(m_readout);

  auto* splitter = new QSplitter(this);
  splitter->addWidget(side);
  splitter->addWidget(plotSide);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({360, 740});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);
  setMinimumSize(kLeastWidth, kLeastHeight);
}

QWidget* CWorkbenchWindow::CreateViewControls() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  const auto label = [&](const char* text, QWidget* buddy) {
    auto* l = new QLabel(text, row);
    l->setBuddy(buddy);
    layout->addWidget(l);
    layout->addWidget(buddy);
  };
  m_curve = new QComboBox(row);
  m_curve->addItems({"Level", "Phase"});
  m_curve->setToolTip("Draws the traces' levels or their phases");
  connect(m_curve, &QComboBox::activated, this, [this] { ShowTraces(); });
  label("Show:", m_curve);
  m_smoothing = new QComboBox(row);
  for (int bands : kViewSmoothings) {
    m_smoothing->addItem(QString::fromStdString(SmoothingText(bands)), bands);
  }
  m_smoothing->setToolTip("Fractional-octave smoothing of every trace drawn and exported");
  connect(m_smoothing, &QComboBox::activated, this,
          [this](int index) { SetSmoothing(m_smoothing->itemData(index).toInt()); });
  label("Smoothing:", m_smoothing);
  m_gate = new QComboBox(row);
  for (const GateChoice& choice : kGateChoices) m_gate->addItem(choice.label, choice.gateMs);
  m_gate->setToolTip(
      "How long after the impulse response's peak each capture's level is taken: Off keeps "
      "the room");
  connect(m_gate, &QComboBox::activated, this,
          [this](int index) { SetGate(m_gate->itemData(index).toDouble()); });
  label("Gate:", m_gate);
  m_reference = new QComboBox(row);
  m_reference->setToolTip("The trace the cursor's differences are read against");
  m_reference->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  m_reference->setMinimumContentsLength(8);
  connect(m_reference, &QComboBox::activated, this, [this](int index) {
    const QString id = m_reference->itemData(index).toString();
    SessionView view = ListModel().Document().view;
    view.referenceId = id.toStdString();
    std::string why;
    if (!ListModel().SetView(view, &why)) Report(why);
    ShowTraces();
  });
  label("Reference:", m_reference);
  layout->addStretch(1);
  for (double span : CPlotView::kLevelPresetsDb) {
    auto* preset = new QPushButton(QString::fromStdString(FormatFixed(span, 0) + " dB"), row);
    preset->setToolTip("Shows this many dB of level around the traces");
    preset->setAutoDefault(false);
    connect(preset, &QPushButton::clicked, this, [this, span] { m_plot->Preset(span); });
    layout->addWidget(preset);
  }
  auto* fit = new QPushButton("Fit", row);
  fit->setToolTip("Fits both axes to the shown traces");
  connect(fit, &QPushButton::clicked, this, [this] { m_plot->Fit(); });
  auto* reset = new QPushButton("Reset", row);
  reset->setToolTip("Back to the traces' frequencies over 90 dB");
  connect(reset, &QPushButton::clicked, this, [this] { m_plot->Reset(); });
  layout->addWidget(fit);
  layout->addWidget(reset);
  return row;
}

std::string CWorkbenchWindow::StartFolder() const {
  return m_session.List().SessionFolder();
}

void CWorkbenchWindow::ShowBeside() {
  if (!m_placed) {
    m_placed = true;
    const QWidget* owner = parentWidget();
    const QScreen* on = owner != nullptr ? owner->screen() : screen();
    const QSize size = FittedSize(on, QSize(kWidth, kHeight), QSize(kLeastWidth, kLeastHeight));
    if (owner != nullptr && on != nullptr) {
      const WindowRect frame =
          PlaceBeside(ToWindowRect(owner->frameGeometry()),
                      WindowSize{size.width() + kFrameAllowance.left + kFrameAllowance.right,
                                 size.height() + kFrameAllowance.top + kFrameAllowance.bottom},
                      WindowSize{kLeastWidth + kFrameAllowance.left + kFrameAllowance.right,
                                 kLeastHeight + kFrameAllowance.top + kFrameAllowance.bottom},
                      ToWindowRect(on->availableGeometry()));
      resize(frame.width - kFrameAllowance.left - kFrameAllowance.right,
             frame.height - kFrameAllowance.top - kFrameAllowance.bottom);
      move(frame.left, frame.top);
    } else {
      resize(size);
    }
  }
  show();
  raise();
  activateWindow();
}

// ---- the list ----

void CWorkbenchWindow::Refresh() {
  const SessionDocument& document = ListModel().Document();
  CProgress progress(this);
  const std::vector<std::string> failures =
      m_traces.Analyse(m_core, document, document.view.gateMs, progress.Callback());
  Fill();
  if (!failures.empty()) Report("These captures could not be analysed:", failures);
}

void CWorkbenchWindow::Fill() {
  const SessionDocument& document = ListModel().Document();
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
}

void CWorkbenchWindow::SyncViewControls() {
  const SessionView& view = ListModel().Document().view;
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

void CWorkbenchWindow::ShowTraces() {
  const SessionView& view = ListModel().Document().view;
  const bool phase = m_curve->currentIndex() == 1;
  std::vector<PlotTrace> traces;
  int reference = -1;
  for (const WorkbenchTrace& trace : m_built) {
    if (!trace.ok || !trace.look.shown) continue;
    if (trace.id == view.referenceId) reference = static_cast<int>(traces.size());
    PlotTrace plot;
    plot.name = trace.look.name;
    plot.colour = TraceRgb{trace.look.colour.red, trace.look.colour.green, trace.look.colour.blue};
    plot.frequenciesHz = trace.shown.frequenciesHz;
    plot.levelsDb = trace.shown.levelsDb;
    if (phase) plot.phasesDeg = trace.shown.phasesDeg;
    if (trace.shown.gateMs > 0) plot.validAboveHz = 1000.0 / trace.shown.gateMs;
    traces.push_back(std::move(plot));
  }
  // Beyond the palette's colours the line style tells traces apart.
  for (size_t i = 0; i < traces.size(); ++i) {
    traces[i].style = TraceLookAt(static_cast<int>(i)).style;
  }
  const std::string smoothing =
      view.smoothingPerOctave == 0 ? std::string() : SmoothingName(view.smoothingPerOctave);
  m_plot->SetTraces(std::move(traces), smoothing, phase);
  m_plot->SetReference(reference);
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
  std::string why;
  bool ok = true;
  switch (item->column()) {
    case kShownColumn:
      ok = ListModel().SetShown(id, item->checkState() == Qt::Checked, &why);
      break;
    case kNameColumn:
      ok = ListModel().Rename(id, text, &why);
      break;
    case kNoteColumn:
      ok = ListModel().SetNote(id, text, &why);
      break;
    default:
      return;
  }
  if (!ok) Report(why);
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
  std::string why;
  if (!m_session.EnsureFolder(&why)) {
    Report(why);
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
    std::string id;
    if (!ListModel().Add(capture.path, capture.trace.name, FileTimeUtc(capture.path), &id, &why)) {
      failures.push_back(why);
    }
    m_traces.Keep(capture.path, gateMs, std::move(capture.trace));
  }
  Fill();
  if (!failures.empty()) Report("These captures could not be added:", failures);
}

void CWorkbenchWindow::RemoveSelected() {
  std::vector<std::string> ids;
  for (int row : SelectedRows()) ids.push_back(m_built[row].id);
  std::string why;
  for (const std::string& id : ids) {
    // a derived trace may have gone with its source
    if (!HasTraceId(ListModel().Document(), id)) continue;
    if (!ListModel().Remove(id, &why)) Report(why);
  }
  Fill();
}

void CWorkbenchWindow::MoveSelected(int step) {
  const std::vector<int> rows = SelectedRows();
  if (rows.size() != 1) return;
  std::string why;
  if (!ListModel().Move(m_built[rows[0]].id, step, &why)) {
    if (!why.empty()) Report(why);
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
  const OrMessage<Trace> made = ComputeDerived(recipe, sources);
  if (!made.Ok()) {
    Report(made.Message());
    return;
  }
  const AverageWay way = kind == DerivedKind::kAveragePower    ? AverageWay::kPowerMean
                         : kind == DerivedKind::kAverageVector ? AverageWay::kVectorMean
                                                               : AverageWay::kDbMean;
  std::string id, why;
  if (!ListModel().AddDerived(kind, ids, std::string(AverageWayName(way)) + " of " + names, &id,
                              &why)) {
    Report(why);
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
  const OrMessage<Trace> made = ComputeDerived(recipe, sources);
  if (!made.Ok()) {
    Report(made.Message());
    return;
  }
  std::string id, why;
  if (!ListModel().AddDerived(DerivedKind::kDifference, {m_built[rows[0]].id, m_built[rows[1]].id},
                              m_built[rows[0]].look.name + " - " + m_built[rows[1]].look.name, &id,
                              &why)) {
    Report(why);
  }
  Fill();
}

void CWorkbenchWindow::OnAlign() {
  bool ok = false;
  const double hz = QInputDialog::getDouble(
      this, kCaption, "Bring the traces to the first one's level at (Hz):", 1000.0, 1.0, 24000.0, 1,
      &ok);
  if (ok) AlignSelected(hz, hz);
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
  const OrMessage<std::vector<double>> steps = OffsetsToTrace(traces, 0, LevelAnchor{fromHz, toHz});
  if (!steps.Ok()) {
    Report(steps.Message());
    return;
  }
  std::string why;
  for (size_t i = 0; i < used.size(); ++i) {
    const WorkbenchTrace& trace = m_built[used[i]];
    if (!ListModel().SetOffset(trace.id, trace.look.offsetDb + steps.Value()[i], &why)) {
      Report(why);
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
  std::string why;
  for (int row : rows) {
    const TraceColour c{static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
                        static_cast<uint8_t>(colour.blue())};
    if (!ListModel().Recolour(m_built[row].id, c, &why)) Report(why);
  }
  Fill();
}

void CWorkbenchWindow::SetSmoothing(int perOctave) {
  SessionView view = ListModel().Document().view;
  view.smoothingPerOctave = perOctave;
  std::string why;
  if (!ListModel().SetView(view, &why)) Report(why);
  Fill();
}

void CWorkbenchWindow::SetGate(double gateMs) {
  SessionView view = ListModel().Document().view;
  view.gateMs = gateMs;
  std::string why;
  if (!ListModel().SetView(view, &why)) Report(why);
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
  std::string why;
  if (!ListModel().SetView(view, &why)) Report(why);
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
  std::vector<std::string> notCopied;
  std::string why;
  if (!m_session.SaveAs(folder, &notCopied, &why)) {
    Report(why);
    return;
  }
  Refresh();
  if (!notCopied.empty()) Report("These captures were not there to copy:", notCopied);
}

void CWorkbenchWindow::ExportFrd(const std::string& folder) {
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
    Report("Cannot save the file to disk...", failures);
  }
}

void CWorkbenchWindow::ExportCsv(const std::string& path) {
  std::vector<Trace> traces;
  for (const WorkbenchTrace& trace : m_built) {
    if (trace.ok && trace.look.shown) traces.push_back(trace.shown);
  }
  std::string why;
  if (traces.empty()) {
    Report("No trace is shown.");
  } else if (!ExportOverlayCsv(traces, path, &why)) {
    Report(why);
  }
}

void CWorkbenchWindow::SavePicture(const std::string& path) {
  std::string why;
  if (!SavePlotPicture(path, m_plot->View(), m_plot->Scene(), m_plot->size(), 1.0, &why)) {
    Report(why);
  }
}

}  // namespace quorvel
