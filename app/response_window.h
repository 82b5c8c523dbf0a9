#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/user_messages.h"
#include "control/response/response_session.h"
#include "graph/response_plot.h"
#include "response/decay_spectrum.h"
#include "response/group_delay.h"
#include "response/spectrogram.h"
#include "response/step_response.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace quorvel {

class CQuorvelCore;

// Makes the messages and choosers of a window: boxes that open over it. None: the core's own.
using WindowMessagesMaker = std::function<std::unique_ptr<IUserMessages>(QWidget* window)>;

// One plot of an analysed recording, drawn by the product's response plot painter over the
// whole widget at the screen's device pixel ratio.
class CResponsePlotView : public QWidget {
  Q_OBJECT

 public:
  CResponsePlotView(const CResponseSession& session, ResponsePlot plot, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const CResponseSession& m_session;
  ResponsePlot m_plot;
};

// One view of the response drawn by `paint` over the whole widget.
class CResponseViewPanel : public QWidget {
  Q_OBJECT

 public:
  CResponseViewPanel(std::function<void(QPainter&, const QRect&)> paint, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<void(QPainter&, const QRect&)> m_paint;
};

// The "Impulse Response and Distortion" window: a separate, resizable, non-modal view of one
// measurement, the main window's last one or one chosen in the Measurements window. It shows the
// impulse response over time, the level and phase over frequency and the distortion (H2, H3, THD)
// of the analysis, a gate selector that draws them again, and the three exports; beside them, as
// tabs, the views a designer reads: group delay (with the minimum-phase and the excess), the step
// response, the cumulative spectral decay and the spectrogram, each exported as PNG (and the first
// three as CSV). Every command goes to CResponseSession; its messages and the export choosers open
// over this window (makeMessages), not over the main window.
class CResponseWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr char kTitle[] = "Impulse Response and Distortion";
  // Its own size, and the least it can be made [pixels].
  static constexpr int kWidth = 1000;
  static constexpr int kHeight = 720;
  static constexpr int kLeastWidth = 640;
  static constexpr int kLeastHeight = 480;

  CResponseWindow(CQuorvelCore& core, QWidget* parent,
                  const WindowMessagesMaker& makeMessages = nullptr);

  // Analyses the main window's measurement and shows the window (sized for its screen the
  // first time). False after the session's message: the window is then hidden.
  bool ShowAnalysis();
  // The same for a measurement of the workbench's list, read from its capture file.
  bool ShowCapture(const std::string& capturePath);

  // The controls, for the tests.
  CResponseSession& Session() { return m_session; }
  QLabel* DescriptionLabel() const { return m_description; }
  QComboBox* GateBox() const { return m_gate; }
  QPushButton* FrdButton() const { return m_frd; }
  QPushButton* ImpulseButton() const { return m_impulse; }
  QPushButton* DistortionButton() const { return m_distortion; }
  CResponsePlotView* Plot(ResponsePlot plot) const;
  // The tabs: the response's plots, then the views.
  enum class View { kResponse, kGroupDelay, kStep, kDecay, kSpectrogram };
  QTabWidget* Views() const { return m_views; }
  QWidget* ViewPage(View view) const;
  QPushButton* ViewPngButton() const { return m_viewPng; }
  QPushButton* ViewCsvButton() const { return m_viewCsv; }

 private:
  bool ShowResult(bool analysed);
  void CreateControls();
  void CreateViews();
  void ApplyGate(const QString& text);
  void Redraw();
  void ExportView(bool csv);
  void SyncViewButtons();
  // The views of the result, made when first drawn after each change of it.
  const std::vector<GroupDelayRow>& GroupDelay();
  const std::vector<StepRow>& Step();
  const DecaySpectrum& Decay();
  const Spectrogram& SpectrogramMap();

  std::unique_ptr<IUserMessages> m_messages;  // before the session that speaks through them
  CResponseSession m_session;
  bool m_sized = false;
  QLabel* m_description = nullptr;
  QComboBox* m_gate = nullptr;
  QPushButton* m_frd = nullptr;
  QPushButton* m_impulse = nullptr;
  QPushButton* m_distortion = nullptr;
  CResponsePlotView* m_plots[3] = {};
  QTabWidget* m_views = nullptr;
  QPushButton* m_viewPng = nullptr;
  QPushButton* m_viewCsv = nullptr;
  std::optional<std::vector<GroupDelayRow>> m_groupDelay;
  std::optional<std::vector<StepRow>> m_step;
  std::optional<DecaySpectrum> m_decay;
  std::optional<Spectrogram> m_spectrogram;
};

}  // namespace quorvel
