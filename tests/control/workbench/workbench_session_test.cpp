#include "control/workbench/workbench_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/preferences.h"
#include "control/captures/capture_files.h"
#include "tests/control/control_test_support.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// A real measurement kept twice, each capture loadable with its samples, the last capture file
// left alone; damaged, the session opens what it can and says what not; Save As copies it.
TEST(WorkbenchSession, KeepsMeasurementsOpensWhatItCanAndSavesAs) {
  SimulatedCore sim;
  MeasurementRequest request;
  request.timeoutMs = 60000;
  ASSERT_EQ(MeasureAllowingDropouts(sim.Sequence(), sim.messages, request, {}),
            SequenceStatus::kComplete);
  const Measurement made = *sim.Sequence().LastMeasurement();
  const fs::path root = fs::path(testing::TempDir()) / "workbench session";
  for (const bool captureGone : {true, false}) {  // else session.json damaged
    fs::remove_all(root);
    fs::create_directories(root);
    std::ofstream(root / "file");
    const Result<AddedTrace> refused = CWorkbenchSession((root / "file").string(), 0)
                                           .KeepMeasurement(sim.core->FileContext(), made);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.Message().rfind((root / "file").string(), 0), 0u) << refused.Message();
    CWorkbenchSession session((root / "data").string(), 1765380612);
    sim.preferences.WriteString(kPrefWav, "/music/last.wav");
    for (int i = 0; i < 2; ++i) {
      const Result<void> kept =
          AddedAndWritten(session.KeepMeasurement(sim.core->FileContext(), made));
      ASSERT_TRUE(kept) << kept.Message();
    }
    EXPECT_EQ(sim.preferences.ReadString(kPrefWav, ""), "/music/last.wav");
    const std::vector<SessionEntry> entries = session.List().Document().entries;
    ASSERT_TRUE(LoadCaptureFile(sim.core->FileContext(), entries.at(1).capturePath, nullptr));
    EXPECT_TRUE(std::ranges::equal(sim.Audio().Loaded(), made.GetRecording().samples));
    const fs::path folder = session.List().SessionFolder();
    captureGone ? static_cast<void>(fs::remove(entries[0].capturePath))
                : static_cast<void>(std::ofstream(folder / "session.json") << "{\"e");
    CWorkbenchSession reopened("", 0);
    std::vector<std::string> problems;
    EXPECT_EQ(reopened.Open(folder.string(), &problems), captureGone);
    EXPECT_FALSE(problems.empty());
    EXPECT_EQ(reopened.List().Document().entries.size(), captureGone ? 2u : 0u);
    const Result<std::vector<std::string>> notCopied = session.SaveAs((root / "saved").string());
    ASSERT_TRUE(notCopied) << notCopied.Message();
    EXPECT_EQ(notCopied->size(), captureGone ? 1u : 0u);
    EXPECT_TRUE(fs::exists(root / "saved" / fs::path(entries[1].capturePath).filename()));
  }
}

}  // namespace
}  // namespace quorvel
