// "Calibrate SPL..." on the simulated microphone holding a 94 dB calibrator: the offset stored
// for the input in use, a wrong frequency refused with what was heard.
#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <cstdlib>

#include "app/spl_calibrate_dialog.h"
#include "audio/backend/audio_backend.h"
#include "base/number_text.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

class SplCalibrateDialogTest : public GuiTest {};

TEST_F(SplCalibrateDialogTest, StoresTheOffsetOfTheInputInUseAndRefusesAWrongTone) {
  ::setenv("QUORVEL_SIM_CALIBRATOR", "94", 1);
  ::setenv("QUORVEL_SIM_CLOCK_FACTOR", FormatFixed(kGuiClockFactor, 1).c_str(), 1);
  std::unique_ptr<IAudioServices> services = CreateAudioServices(true, nullptr);
  ::unsetenv("QUORVEL_SIM_CALIBRATOR");
  ASSERT_NO_FATAL_FAILURE(OpenWindow(std::move(services)));
  std::unique_ptr<QMenu> menu(Dialog().CreateWindowMenu());
  bool listed = false;
  for (QAction* action : menu->actions()) listed |= action->text() == CQuorvelDlg::kSplEntry;
  EXPECT_TRUE(listed);

  const SplInput input{Audio().ChosenInputName(), InputChannelName(InputChannel::kLouder), 0.0};
  CSplCalibrateDialog dialog(*m_core, Audio().ChosenInput(), input, &Dialog());
  dialog.show();
  auto record = [&](double hz) {
    dialog.Frequency()->setValue(hz);
    Click(dialog.RecordButton());
    EXPECT_TRUE(ProcessUntil([&] { return !dialog.Busy(); }));
    return dialog.Result()->text().toStdString();
  };
  const std::string refused = record(500.0);
  EXPECT_NE(refused.find("holds a tone at 1000.0 Hz"), std::string::npos) << refused;
  CWindowSplStore store;
  double offset = 0.0;
  EXPECT_FALSE(FindSplOffset(store, input, &offset));
  const std::string accepted = record(1000.0);
  EXPECT_NE(accepted.find("stored"), std::string::npos) << accepted;
  ASSERT_TRUE(FindSplOffset(store, input, &offset)) << accepted;
  EXPECT_NEAR(offset, 124.0, 0.1);  // 94 dB SPL reads -30 dBFS RMS
}

}  // namespace

}  // namespace quorvel
