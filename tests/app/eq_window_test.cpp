// The "Equaliser" window over a room: its fit, Export, Install for PipeWire (asked first) and a
// measurement through the equaliser on the main window's simulated loudspeaker.
#include "app/eq_window.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <fstream>

#include "app/colour_button.h"
#include "app/workbench_window.h"
#include "control/eq/eq_install.h"
#include "control/eq/through_eq.h"
#include "eq/eq_writers.h"
#include "graph/plot_trace.h"
#include "response/response_export.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {
namespace {

class EqWindowTest : public GuiTest {
 protected:
  Trace Room() {
    Trace room;
    room.name = "Den";
    room.frequenciesHz = FrdFrequencies(20.0, 20000.0);
    const std::vector<EqFilter> peaks = {{EqFilterType::kPeaking, 150.0, 9.0, 3.0},
                                         {EqFilterType::kPeaking, 1200.0, 5.0, 2.0}};
    for (const double f : room.frequenciesHz)
      room.levelsDb.push_back(75.0 + CascadeGainDb(peaks, f));
    return room;
  }
};

TEST_F(EqWindowTest, FitsExportsAndInstallsAskingFirst) {
  OpenWindow();
  CEqWindow window(Room(), m_messages, nullptr);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_TRUE(window.Summary()->text().startsWith("Residual "));
  EXPECT_FALSE(window.MeasureButton()->isEnabled());  // no devices given yet
  window.FiltersBox()->setValue(2);
  Click(window.FitButton());
  EXPECT_EQ(window.FilterText()->toPlainText().toStdString(),
            ApoText(window.Design().fit.filterSet));

  const std::string apo = (m_folder / "den.txt").string();
  m_messages.ChooseNext(apo);
  ASSERT_TRUE(window.Export(EqExportFormat::kApo));
  std::ifstream file(apo);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
            window.FilterText()->toPlainText().toStdString());

  const std::string folder = (m_folder / "config/pipewire/pipewire.conf.d").string();
  EXPECT_FALSE(window.Install(folder));  // answered No: nothing written
  EXPECT_FALSE(std::filesystem::exists(folder));
  m_messages.AnswerNext(true);
  ASSERT_TRUE(window.Install(folder));
  EXPECT_EQ(CheckDropInPlace(folder + "/quorvel-eq-den.conf"), DropInPlace::kOurs);
  EXPECT_NE(m_messages.All().find(kPipeWireRestartCommand), std::string::npos);
}

TEST_F(EqWindowTest, ItsPredictionAndItsMeasurementThroughTheEqualiserJoinTheWorkbench) {
  OpenWindow();
  Click(Dialog().StartButton());
  ASSERT_TRUE(ProcessUntil([&] { return !Dialog().Control().Capturing(); })) << m_messages.All();
  Click(Dialog().WorkbenchButton());
  CWorkbenchWindow* workbench = Dialog().WorkbenchWindow();
  ASSERT_TRUE(workbench != nullptr);
  const std::string name = workbench->Traces()[0].look.name;
  workbench->SelectRows({0});
  for (QPushButton* button : workbench->findChildren<QPushButton*>()) {
    if (button->text() == "Equaliser...") Click(button);
  }
  auto* window = workbench->findChild<CEqWindow*>();
  ASSERT_TRUE(window != nullptr) << m_messages.All();
  Click(window->MeasureButton());
  ASSERT_TRUE(ProcessUntil([&] { return !Dialog().Control().Capturing(); })) << m_messages.All();
  ASSERT_TRUE(ProcessUntil([&] { return workbench->List()->rowCount() == 3; })) << m_messages.All();

  // the measurement through the equaliser, then the prediction (derived traces come last)
  const std::vector<WorkbenchTrace>& traces = workbench->Traces();
  EXPECT_EQ(traces[1].look.name, ThroughEqName(name));
  EXPECT_EQ(traces[2].look.name, EqPredictionName(name));
  ASSERT_TRUE(traces[1].ok && traces[2].ok) << traces[1].failure << traces[2].failure;
  for (double hz = 100.0; hz <= 10000.0; hz *= 1.25) {
    EXPECT_NEAR(ValueAtFrequency(traces[1].raw.frequenciesHz, traces[1].raw.levelsDb, hz),
                ValueAtFrequency(traces[2].raw.frequenciesHz, traces[2].raw.levelsDb, hz), 1.0)
        << hz << " Hz";
  }
  // kept in the session: the capture in its folder, the recipe with its filters as written
  const SessionDocument& document = m_core->Workbench().List().Document();
  ASSERT_TRUE(document.entries.size() == 2u && document.derived.size() == 1u);
  const std::filesystem::path capture = document.entries[1].capturePath;
  EXPECT_TRUE(std::filesystem::exists(capture) &&
              capture.parent_path() == m_core->Workbench().List().SessionFolder());
  EXPECT_EQ(document.derived[0].equaliser, window->FilterText()->toPlainText().toStdString());
}

}  // namespace
}  // namespace quorvel
