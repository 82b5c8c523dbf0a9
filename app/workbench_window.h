#pragma once
// The "Measurements" window: the workbench's list of measurements and derived traces beside a
// zoomable plot of the shown ones. Every change goes to the session's list, which rewrites the
// session folder's session.json at once; the traces drawn come from control/workbench's
// CWorkbenchTraces. Separate, resizable, non-modal; user-interface thread.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/eq_window.h"
#include "app/response_window.h"
#include "control/workbench/main_graph_traces.h"
#include "control/workbench/workbench_traces.h"
#include "measurement/session_document.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QTimer;

namespace quorvel {

class CPlotWidget;
class CQuorvelCore;
class CWorkbenchList;
class CWorkbenchSession;

// Chooses the capture files for Add Captures; empty when the user cancels.
using CapturesChooser = std::function<std::vector<std::string>(QWidget* window)>;

class CWorkbenchWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr char kTitle[] = "Measurements";
  static constexpr int kWidth = 1100;
  static constexpr int kHeight = 700;
  static constexpr int kLeastWidth = 720;
  static constexpr int kLeastHeight = 400;
  // The button and the list's context menu entry of the selected measurement's response window.
  static constexpr char kResponseEntry[] = "Impulse Response...";
  // The list's columns.
  enum Column { kShownColumn, kNameColumn, kOffsetColumn, kNoteColumn, kColumnCount };

  // The session's list is shown; its captures are analysed with the core's engine (no
  // measurement runs while the window's commands do).
  CWorkbenchWindow(CWorkbenchSession& session, CQuorvelCore& core, QWidget* parent,
                   const WindowMessagesMaker& makeMessages = nullptr);
  ~CWorkbenchWindow() override;

  // Shows the window beside the main window the first time (its parent), raised.
  // Opens it beside its main window (the first time), else over coverable only: the main window's
  // graph in global coordinates, which the window may cover where no side has room.
  void ShowBeside(const QRect& coverable = {});

  // The commands, as the buttons give them (the tests call them directly).
  void AddCaptures(const std::vector<std::string>& paths);
  void RemoveSelected();
  void MoveSelected(int step);
  void AverageSelected(DerivedKind kind);
  void DifferenceOfSelected();
  // The selected traces (all shown ones when fewer than two are selected) brought to the first
  // one's level over fromHz..toHz (one frequency when equal), as offsets in the list.
  void AlignSelected(double fromHz, double toHz);
  // "Align Levels...": asks for the frequency, or the band, then aligns as above.
  void OnAlign();
  void SetSmoothing(int perOctave);
  // "Show:": the levels, the phases or the live curves, kept in the session's view.
  void SetCurve(ViewCurve curve);
  void SetGate(double gateMs);
  void OpenSession(const std::string& folder);
  void SaveSessionAs(const std::string& folder);
  void ExportFrd(const std::string& folder);
  void ExportCsv(const std::string& path);
  // In the "Live curve" view: the live curves shown, on their own frequencies.
  void ExportLiveCsv(const std::string& path);
  [[nodiscard]] bool ShowsLiveCurves();
  void SavePicture(const std::string& path);
  void SelectRows(const std::vector<int>& rows);

  void SetCapturesChooser(CapturesChooser choose) { m_chooseCaptures = std::move(choose); }
  // What "Polar Series..." opens (the main window's series dialog); without it the button is
  // greyed.
  void SetPolarSeriesOpener(std::function<void()> open);
  // The equaliser window over the first selected trace, measuring through its filters by
  // `measure` (the main window's devices).
  void OpenEqualiser(const MeasureThroughEq& measure);
  // The "Impulse Response and Distortion" window over the first selected measurement, read
  // from its capture (one window, shown again for each).
  void OpenResponse();
  CResponseWindow* ResponseWindow() const { return m_responseWindow; }
  void SetEqualiserMeasure(MeasureThroughEq measure) { m_eqMeasure = std::move(measure); }
  // Called whenever the shown traces change, for the main graph to draw them too.
  void SetOnShownChanged(std::function<void()> changed) { m_onShownChanged = std::move(changed); }
  // The SPL calibration of the input the captures were recorded on, asked at every redraw.
  void SetLevelScaleSource(std::function<SplScale()> source) { m_levelScale = std::move(source); }

  // For the tests.
  QTableWidget* List() const { return m_list; }
  CPlotWidget* Plot() const { return m_plot; }
  const std::vector<WorkbenchTrace>& Traces() const { return m_built; }

 public slots:
  // Reads the session's list again (a measurement added elsewhere), analysing what is new.
  void Refresh();

 private:
  void CreateControls();
  QWidget* CreateViewControls();
  IUserMessages& Messages();
  CWorkbenchList& ListModel();
  void Fill();
  void ShowTraces();
  void ShowLiveCurves();
  void SyncViewControls();
  void KeepView();
  [[nodiscard]] std::vector<int> SelectedRows() const;
  [[nodiscard]] std::vector<Trace> SelectedTraces(bool shownIfNone) const;
  void OnItemChanged(QTableWidgetItem* item);
  void OnAddCaptures();
  void OnRecolour();
  void Report(const std::string& failure);
  void Report(const std::string& heading, const std::vector<std::string>& lines);
  std::string StartFolder() const;

  CWorkbenchSession& m_session;
  CQuorvelCore& m_core;
  std::unique_ptr<IUserMessages> m_messages;
  WindowMessagesMaker m_makeMessages;  // for the windows it opens
  QPointer<CResponseWindow> m_responseWindow;
  CapturesChooser m_chooseCaptures;
  std::function<void()> m_onShownChanged;
  std::function<SplScale()> m_levelScale;
  std::function<void()> m_openPolarSeries;
  MeasureThroughEq m_eqMeasure;
  QPushButton* m_polarSeries = nullptr;
  CWorkbenchTraces m_traces;
  std::vector<WorkbenchTrace> m_built;
  std::vector<LiveViewCurve> m_liveShown;   // what the live curve view draws
  std::vector<std::string> m_storedRecent;  // the recent sessions as the preferences hold them
  bool m_filling = false;
  bool m_placed = false;

  QTableWidget* m_list = nullptr;
  CPlotWidget* m_plot = nullptr;
  QLabel* m_folder = nullptr;
  QComboBox* m_smoothing = nullptr;
  QComboBox* m_gate = nullptr;
  QComboBox* m_curve = nullptr;
  QComboBox* m_reference = nullptr;
  QPushButton* m_recent = nullptr;
  QTimer* m_viewSave = nullptr;
};

}  // namespace quorvel
