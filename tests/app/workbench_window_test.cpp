// The "Measurements" window over two captures of the simulated loudspeaker: listed as added,
// averaged and differenced, and shown again from the session folder they were kept in.
#include <QApplication>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/colour_button.h"
#include "app/plot_widget.h"
#include "app/workbench_window.h"
#include "base/point_frequency.h"
#include "control/workbench/main_graph_traces.h"
#include "control/workbench/workbench_exports.h"
#include "control/workbench/workbench_session.h"
#include "graph/plot_trace.h"
#include "measurement/trace_offset.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

class WorkbenchWindowTest : public GuiTest {
 protected:
  // A whole measurement from the start button, saved with Save Audio File as path.
  void MeasureInto(const std::string& path) {
    Click(Dialog().StartButton());
    ASSERT_TRUE(ProcessUntil([&] { return Shared().m_bCapturing.load() == 0; }))
        << m_messages.All();
    m_messages.ChooseNext(path);
    Click(Dialog().SaveButton());
    ASSERT_TRUE(std::filesystem::exists(path)) << m_messages.All();
  }
};

double LevelAt(const WorkbenchTrace& trace, double hz) {
  return ValueAtFrequency(trace.shown.frequenciesHz, trace.shown.levelsDb, hz);
}

std::vector<std::string> Names(const CWorkbenchWindow& window) {
  std::vector<std::string> names;
  for (int row = 0; row < window.List()->rowCount(); ++row) {
    names.push_back(window.List()->item(row, CWorkbenchWindow::kNameColumn)->text().toStdString());
  }
  return names;
}

TEST_F(WorkbenchWindowTest, TwoCapturesAveragedDifferencedAndShownAgainFromTheirSession) {
  OpenWindow();
  Click(Dialog().WorkbenchButton());
  ASSERT_TRUE(Dialog().WorkbenchWindow() != nullptr);
  EXPECT_TRUE(Dialog().WorkbenchWindow()->isVisible());
  EXPECT_EQ(Dialog().WorkbenchWindow()->windowTitle(), "Measurements");

  const std::string near = (m_folder / "near.wav").string();
  const std::string far = (m_folder / "far.wav").string();
  ASSERT_NO_FATAL_FAILURE(MeasureInto(near));
  ASSERT_NO_FATAL_FAILURE(MeasureInto(far));
  m_messages.Clear();

  CWorkbenchSession session((m_folder / "data").string(), 1765380000);
  std::string folder;
  {
    CWorkbenchWindow window(session, *m_core, nullptr);
    window.AddCaptures({near, (m_folder / "missing.wav").string(), far});
    // the missing one named with the load's own words in one message, the others added
    const std::string missing = (m_folder / "missing.wav").string();
    ASSERT_EQ(m_messages.Messages().size(), 1u) << m_messages.All();
    EXPECT_EQ(m_messages.Messages()[0].rfind("These captures could not be added:\n" + missing +
                                                 ": Could not open File " + missing,
                                             0),
              0u)
        << m_messages.All();
    EXPECT_EQ(Names(window), (std::vector<std::string>{"near", "far"}));
    // the level axis names the traces' scale: the transfer's dB, or dB SPL by a calibration
    EXPECT_EQ(window.Plot()->Scene().levelUnit, "dB");
    window.SetLevelScaleSource([] { return SplScale{true, 124.0, "dB SPL of a sine"}; });
    window.Refresh();
    EXPECT_EQ(window.Plot()->Scene().levelUnit, "dB SPL");
    EXPECT_GT(window.Plot()->View().Level().high, 100.0);  // the view moved up with the traces
    window.SelectRows({0, 1});
    window.AverageSelected(DerivedKind::kAveragePower);
    window.SelectRows({0, 1});
    window.DifferenceOfSelected();
    EXPECT_EQ(window.Plot()->Scene().levelUnit, "dB");  // A - B beside them is relative
    EXPECT_EQ(Names(window),
              (std::vector<std::string>{"near", "far", "power mean of near, far", "near - far"}));
    const std::vector<WorkbenchTrace>& traces = window.Traces();
    ASSERT_EQ(traces.size(), 4u);
    for (const WorkbenchTrace& trace : traces) ASSERT_TRUE(trace.ok) << trace.failure;
    EXPECT_EQ(window.Plot()->Traces().size(), 4u);
    // Two takes of one loudspeaker: their difference is near 0 dB, and A - B exactly that of
    // their levels; the power mean lies between them.
    for (double hz : {200.0, 1000.0, 5000.0}) {
      const double a = LevelAt(traces[0], hz), b = LevelAt(traces[1], hz);
      EXPECT_NEAR(LevelAt(traces[3], hz), a - b, 0.01) << hz;
      EXPECT_NEAR(a, b, 0.5) << hz;
      EXPECT_GE(LevelAt(traces[2], hz), std::min(a, b) - 0.01) << hz;
      EXPECT_LE(LevelAt(traces[2], hz), std::max(a, b) + 0.01) << hz;
    }
    // Align Levels over a band: both traces meet at their mean level from 500 Hz to 2 kHz
    QTimer::singleShot(0, [] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_TRUE(dialog != nullptr);
      const auto fields = dialog->findChildren<QDoubleSpinBox*>();
      ASSERT_EQ(fields.size(), 2);
      fields[0]->setValue(2000.0);  // high to low is the same band
      fields[1]->setValue(500.0);
      static_cast<QDialog*>(dialog)->accept();
    });
    window.SelectRows({0, 1});
    window.OnAlign();
    const auto band = [&](int row) {
      return *AnchorLevelDb(window.Traces()[row].raw, LevelAnchor{500.0, 2000.0});
    };
    EXPECT_NEAR(band(1), band(0), 1e-9);
    EXPECT_NE(window.Traces()[1].look.offsetDb, 0.0);
    folder = session.List().SessionFolder();
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "session.json"));
  }

  // A new window over a new session: the folder opened shows the same list and curves.
  m_messages.Clear();
  CWorkbenchSession later((m_folder / "data").string(), 1765390000);
  CWorkbenchWindow window(later, *m_core, nullptr);
  window.OpenSession(folder);
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
  EXPECT_EQ(Names(window),
            (std::vector<std::string>{"near", "far", "power mean of near, far", "near - far"}));
  ASSERT_EQ(window.Traces().size(), 4u);
  EXPECT_TRUE(window.Traces()[2].ok) << window.Traces()[2].failure;
  EXPECT_NEAR(LevelAt(window.Traces()[3], 1000.0),
              LevelAt(window.Traces()[0], 1000.0) - LevelAt(window.Traces()[1], 1000.0), 0.01);

  // The live curves: the opened captures' points as their replay gives them, as the main window
  // measured them, in the window's view and behind the main graph's live curve alike.
  std::vector<const LiveCurve*> measured;
  for (const SessionEntry& entry : m_core->Workbench().List().Document().entries) {
    measured.push_back(m_core->Workbench().LiveCurveOf(entry.id));
  }
  ASSERT_EQ(measured.size(), 2u);
  const std::vector<CGraphical::Curve> behind = ShownLiveTraces(later, "");
  ASSERT_EQ(behind.size(), 2u);
  window.SetCurve(ViewCurve::kLive);
  EXPECT_EQ(window.Plot()->Scene().levelUnit, "dBFS");
  const std::vector<PlotTrace>& plotted = window.Plot()->Traces();
  ASSERT_EQ(plotted.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_TRUE(measured[i] != nullptr);
    ASSERT_EQ(behind[i].levels.size(), 1001u);
    ASSERT_EQ(plotted[i].levelsDb.size(), 1001u);
    EXPECT_EQ(plotted[i].name, i == 0 ? "near" : "far");
    const double offset = later.List().Document().entries[i].look.offsetDb;
    for (int k = 50; k < 1000; k += 50) {
      EXPECT_NEAR(behind[i].levels[k] - offset, measured[i]->levels[k], 0.5) << i << " " << k;
      EXPECT_EQ(plotted[i].levelsDb[k], behind[i].levels[k]);
      EXPECT_NEAR(plotted[i].frequenciesHz[k], PointFrequency(k, behind[i].fmin, behind[i].fmax),
                  1e-9);
    }
  }
  // what the view shows is what it exports: the live curves' points; no FRD without a phase
  const std::string live = (m_folder / "live.csv").string();
  window.ExportCsv(live);
  std::ifstream csv(live);
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "near frequency_hz,near level_db,far frequency_hz,far level_db");
  int lines = 0;
  while (std::getline(csv, line)) ++lines;
  EXPECT_EQ(lines, 1001);
  m_messages.Clear();
  window.ExportFrd(m_folder.string());
  EXPECT_EQ(m_messages.Messages(), (std::vector<std::string>{kMsgLiveCurvesNoFrd}));
  EXPECT_FALSE(std::filesystem::exists(m_folder / "near.frd"));
  // the view is kept in the session: a window opened on it shows the live curves again
  CWorkbenchSession again((m_folder / "data").string(), 1765400000);
  CWorkbenchWindow reopened(again, *m_core, nullptr);
  reopened.OpenSession(folder);
  EXPECT_EQ(again.List().Document().view.curve, ViewCurve::kLive);
  EXPECT_EQ(reopened.Plot()->Traces().size(), 2u);
}

}  // namespace

}  // namespace quorvel
