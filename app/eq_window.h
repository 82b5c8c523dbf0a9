#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "control/eq/eq_design.h"
#include "control/eq/eq_workbench.h"
#include "graph/eq_plot.h"
#include "measurement/trace.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace quorvel {

class CQuorvelCore;
class CWorkbenchSession;
class IUserMessages;

// The equaliser's plot (graph/eq_plot.h) over the whole widget: the measured level, the
// target and the prediction above the residual.
class CEqPlotView : public QWidget {
  Q_OBJECT

 public:
  explicit CEqPlotView(QWidget* parent);
  void SetCurves(EqPlotCurves curves);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  EqPlotCurves m_curves;
};

// Plays a measurement through the filters, named as given ("NAME + EQ"): true when it started.
using MeasureThroughEq = std::function<bool(const EqFilterSet& set, const std::string& name)>;

// The "Equaliser" window: a trace in; the target (flat, a house curve or a target file), the
// number of filters, the largest boost, the match range and the smoothing; Fit; the plot of
// trace, target, prediction and residual with its RMS and largest deviation; the filters as
// Equalizer APO writes them; Export in the four formats, Install for PipeWire, and Measure
// through the equaliser on the main window's devices. Its rules live in control/eq_design.h
// and control/eq_install.h; questions, messages and file choosers go through `messages`.
class CEqWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr char kTitle[] = "Equaliser";
  static constexpr int kWidth = 1100;
  static constexpr int kHeight = 760;

  CEqWindow(Trace trace, IUserMessages& messages, QWidget* parent);

  // The window over a capture file, analysed as Add Captures analyses one; null after the
  // message that says why not. No measurement running.
  static CEqWindow* FromCapture(CQuorvelCore& core, const std::string& path, QWidget* parent);

  // What "Measure through the equaliser" does; without it the button is greyed.
  void SetMeasureThrough(MeasureThroughEq measure);
  // The workbench the prediction joins, where the window's trace stands in it, and what to
  // call when its list changed; without it "Add to Measurements" is greyed.
  void SetWorkbench(CWorkbenchSession* session, EqWorkbenchSource source,
                    std::function<void()> changed);

  // The controls' settings, then the fit shown. True when there is an equaliser.
  bool Fit();
  // Export: the chooser, then the file of `format`, whole or not at all. True when written.
  bool Export(EqExportFormat format);
  // Install for PipeWire into `folder` (the user's PipeWire configuration by default), after
  // the question. True when installed.
  bool Install(const std::string& folder);
  // The prediction of the equaliser shown joins the workbench (once for each equaliser). True
  // when it is in the list.
  bool AddPrediction();

  const EqDesign& Design() const { return m_design; }
  EqDesignSettings Settings() const;

  // The controls, for the tests.
  QComboBox* TargetBox() const { return m_target; }
  QSpinBox* FiltersBox() const { return m_filters; }
  QDoubleSpinBox* MaxBoostBox() const { return m_maxBoost; }
  QLineEdit* TargetFileEdit() const { return m_targetFile; }
  QPushButton* FitButton() const { return m_fit; }
  QPushButton* InstallButton() const { return m_install; }
  QPushButton* MeasureButton() const { return m_measure; }
  QPushButton* AddPredictionButton() const { return m_addPrediction; }
  QLabel* Summary() const { return m_summary; }
  QPlainTextEdit* FilterText() const { return m_filterText; }

 private:
  void CreateControls();
  void SyncControls();
  void MeasureThrough();

  Trace m_trace;
  IUserMessages& m_messages;
  MeasureThroughEq m_measureThrough;
  CWorkbenchSession* m_workbench = nullptr;
  EqWorkbenchSource m_source;
  std::function<void()> m_workbenchChanged;
  std::string m_predictionAdded;  // the equaliser whose prediction joined last, as APO's text
  std::string m_predictionId;     // its id in the list
  EqDesign m_design;
  CEqPlotView* m_plot = nullptr;
  QComboBox* m_target = nullptr;
  QDoubleSpinBox* m_bassRise = nullptr;
  QDoubleSpinBox* m_bassCorner = nullptr;
  QDoubleSpinBox* m_tilt = nullptr;
  QLineEdit* m_targetFile = nullptr;
  QPushButton* m_browse = nullptr;
  QSpinBox* m_filters = nullptr;
  QDoubleSpinBox* m_maxBoost = nullptr;
  QDoubleSpinBox* m_matchLow = nullptr;
  QDoubleSpinBox* m_matchHigh = nullptr;
  QComboBox* m_smoothing = nullptr;
  QPushButton* m_fit = nullptr;
  QLabel* m_summary = nullptr;
  QPlainTextEdit* m_filterText = nullptr;
  QComboBox* m_format = nullptr;
  QPushButton* m_export = nullptr;
  QPushButton* m_install = nullptr;
  QPushButton* m_measure = nullptr;
  QPushButton* m_addPrediction = nullptr;
};

// The main window's "Equaliser...": unless a run is `busy`, a capture file chosen, analysed and
// opened in an equaliser window that measures through its filters by `measure` (the main
// window's devices); its prediction joins the core's workbench, after which `changed` is called.
void OpenEqualiserWindow(CQuorvelCore& core, bool busy, QWidget* parent, MeasureThroughEq measure,
                         std::function<void()> changed);

}  // namespace quorvel
