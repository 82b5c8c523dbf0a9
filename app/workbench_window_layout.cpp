// The "Measurements" window's controls and where it opens; its commands are in
// workbench_window.cpp.
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/plot_widget.h"
#include "app/screen_fit.h"
#include "app/workbench_window.h"
#include "base/number_text.h"
#include "control/response/response_session.h"
#include "control/workbench/workbench_placement.h"
#include "control/workbench/workbench_session.h"
#include "measurement/recent_sessions.h"
#include "measurement/trace_smoothing.h"

namespace quorvel {

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
  m_list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    auto* menu = new QMenu(m_list);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(kResponseEntry, this, [this] { OpenResponse(); });
    menu->popup(m_list->viewport()->mapToGlobal(at));
  });

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
  // A push button with a menu leaves room for the menu's arrow beside its label; a tool
  // button's instant popup draws the arrow over it.
  m_recent = new QPushButton("Recent", this);
  m_recent->setToolTip("The sessions opened last");
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
    if (ShowsLiveCurves()) {
      ExportFrd(folder);  // refused before a folder is asked for
    } else if (Messages().ChooseFolder(StartFolder(), "Export FRD", &folder)) {
      ExportFrd(folder);
    }
  });
  auto* exportCsv = button("Export CSV...",
                           "Writes the shown traces, as drawn, into one CSV file every 1/48 "
                           "octave (the live curves at their own points)",
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

  m_polarSeries =
      button("Polar Series...",
             "Measures a speaker angle by angle and adds the captures to this list", [this] {
               if (m_openPolarSeries) m_openPolarSeries();
             });
  m_polarSeries->setEnabled(false);
  auto* equaliser = button("Equaliser...", "An equaliser fitted to the first selected trace",
                           [this] { OpenEqualiser(m_eqMeasure); });
  auto* response = button(kResponseEntry,
                          "The impulse response, distortion and the views of one response of "
                          "the first selected measurement",
                          [this] { OpenResponse(); });
  auto* design = new QHBoxLayout;
  design->addWidget(m_polarSeries);
  design->addWidget(equaliser);
  design->addWidget(response);

  auto* side = new QWidget(this);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  sideLayout->addLayout(sessions);
  sideLayout->addWidget(m_folder);
  sideLayout->addWidget(m_list, 1);
  sideLayout->addLayout(commands);
  sideLayout->addLayout(exports);
  sideLayout->addLayout(design);

  m_plot = new CPlotWidget(this);
  m_plot->setToolTip(
      "Wheel: zoom (Ctrl: frequency only, Shift: level only); drag: zoom to a box; middle or "
      "Ctrl+drag: pan; keys: arrows, + and -, F fit, Home reset, 1-4 the level presets");
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

  auto* splitter = new QSplitter(this);
  splitter->addWidget(side);
  splitter->addWidget(plotSide);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({360, 740});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);
  // never narrower than the view's choices and the list's buttons need: a window squeezed below
  // that would cut them off
  setMinimumSize(layout->minimumSize().expandedTo(QSize(kLeastWidth, kLeastHeight)));
}

QWidget* CWorkbenchWindow::CreateViewControls() {
  // the view's choices above, its zoom commands below
  auto* row = new QWidget(this);
  auto* rows = new QVBoxLayout(row);
  rows->setContentsMargins(0, 0, 0, 0);
  auto* layout = new QHBoxLayout;
  auto* zoom = new QHBoxLayout;
  rows->addLayout(layout);
  rows->addLayout(zoom);
  const auto label = [&](const char* text, QWidget* buddy) {
    auto* l = new QLabel(text, row);
    l->setBuddy(buddy);
    layout->addWidget(l);
    layout->addWidget(buddy);
  };
  m_curve = new QComboBox(row);
  m_curve->addItem("Level", static_cast<int>(ViewCurve::kLevel));
  m_curve->addItem("Phase", static_cast<int>(ViewCurve::kPhase));
  m_curve->addItem("Live curve", static_cast<int>(ViewCurve::kLive));
  m_curve->setToolTip(
      "Draws the traces' levels or their phases (from the impulse response), or each "
      "measurement's live curve, its 1001 points as measured");
  connect(m_curve, &QComboBox::activated, this, [this](int index) {
    SetCurve(static_cast<ViewCurve>(m_curve->itemData(index).toInt()));
  });
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
    if (const Result<void> set = ListModel().SetView(view); !set) Report(set.Message());
    ShowTraces();
  });
  label("Reference:", m_reference);
  layout->addStretch(1);
  zoom->addWidget(new QLabel("Level span:", row));
  for (double span : CPlotView::kLevelPresetsDb) {
    auto* preset = new QPushButton(QString::fromStdString(FormatFixed(span, 0) + " dB"), row);
    preset->setToolTip("Shows this many dB of level around the traces");
    preset->setAutoDefault(false);
    connect(preset, &QPushButton::clicked, this, [this, span] { m_plot->Preset(span); });
    zoom->addWidget(preset);
  }
  auto* fit = new QPushButton("Fit", row);
  fit->setToolTip("Fits both axes to the shown traces");
  connect(fit, &QPushButton::clicked, this, [this] { m_plot->Fit(); });
  auto* reset = new QPushButton("Reset", row);
  reset->setToolTip("Back to the traces' frequencies over 90 dB");
  connect(reset, &QPushButton::clicked, this, [this] { m_plot->Reset(); });
  zoom->addWidget(fit);
  zoom->addWidget(reset);
  zoom->addStretch(1);
  return row;
}

std::string CWorkbenchWindow::StartFolder() const {
  return m_session.List().SessionFolder();
}

void CWorkbenchWindow::ShowBeside(const QRect& coverable) {
  if (!m_placed) {
    m_placed = true;
    const QWidget* owner = parentWidget();
    const QScreen* on = owner != nullptr ? owner->screen() : screen();
    const QSize least = minimumSize();
    const QSize size = FittedSize(on, QSize(kWidth, kHeight), least);
    if (owner != nullptr && on != nullptr) {
      const WindowRect frame =
          PlaceBeside(ToWindowRect(owner->frameGeometry()),
                      WindowSize{size.width() + kFrameAllowance.left + kFrameAllowance.right,
                                 size.height() + kFrameAllowance.top + kFrameAllowance.bottom},
                      WindowSize{least.width() + kFrameAllowance.left + kFrameAllowance.right,
                                 least.height() + kFrameAllowance.top + kFrameAllowance.bottom},
                      ToWindowRect(on->availableGeometry()), ToWindowRect(coverable));
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

}  // namespace quorvel
