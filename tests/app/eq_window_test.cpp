// The "Equaliser" window over a room: its fit, Export, Install for PipeWire (asked first) and a
// measurement through the equaliser on the main window's simulated loudspeaker.
#include "app/eq_window.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <fstream>

#include "control/eq_install.h"
#include "eq/eq_writers.h"
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

TEST_F(EqWindowTest, FitsExportsInstallsAndMeasuresThrough) {
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

  window.SetMeasureThrough(
      [&](const EqFilterSet& set, const std::string&) { return Dialog().StartThroughEq(set); });
  Click(window.MeasureButton());
  ASSERT_TRUE(ProcessUntil([&] { return !Dialog().Control().Capturing(); })) << m_messages.All();
  EXPECT_TRUE(m_core->Sequence().LastMeasurement().has_value()) << m_messages.All();

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

}  // namespace
}  // namespace quorvel
