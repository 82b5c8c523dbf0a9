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

#include "app/colour_button.h"
#include "app/plot_widget.h"
#include "app/workbench_window.h"
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
    // the missing one named (after the load's own message), the others added
    ASSERT_FALSE(m_messages.Messages().empty());
    EXPECT_EQ(m_messages.Messages().back(), "These captures could not be added:\n" +
                                                (m_folder / "missing.wav").string() +
                                                ": the file could not be loaded");
    EXPECT_EQ(Names(window), (std::vector<std::string>{"near", "far"}));
    window.SelectRows({0, 1});
    window.AverageSelected(DerivedKind::kAveragePower);
    window.SelectRows({0, 1});
    window.DifferenceOfSelected();
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
      return AnchorLevelDb(window.Traces()[row].raw, LevelAnchor{500.0, 2000.0}).Value();
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
}

}  // namespace

}  // namespace quorvel
