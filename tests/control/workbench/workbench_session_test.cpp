#include "control/workbench/workbench_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "base/preferences.h"
#include "control/capture_files.h"
#include "tests/control/control_test_support.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// The session's rules on one real measurement: each keep writes a capture that loads again
// with the recording's samples and leaves the last capture file alone; a session whose folder
// was damaged afterwards opens what it can and names what it could not; Save As moves it.
TEST(WorkbenchSession, KeepsMeasurementsOpensWhatItCanAndSavesAs) {
  SimulatedCore sim;
  MeasurementRequest request;
  request.timeoutMs = 60000;
  ASSERT_EQ(MeasureAllowingDropouts(sim.Sequence(), sim.messages, request,
                                    [&] { sim.Graph().ClearCurve(); }),
            SequenceStatus::kComplete)
      << sim.messages.All();
  const Measurement made = *sim.Sequence().LastMeasurement();
  const fs::path root = fs::path(testing::TempDir()) / "workbench session";
  std::string id, words;
  fs::remove_all(root);
  fs::create_directories(root);
  std::ofstream(root / "a file");
  CWorkbenchSession refused((root / "a file").string(), 0);
  EXPECT_FALSE(refused.KeepMeasurement(sim.core->FileContext(), made, &id, &words));
  EXPECT_NE(words.find(root.string() + "/a file"), std::string::npos) << words;

  struct Case {
    const char* what;
    std::function<void(const fs::path& folder, const std::string& capture)> damage;
    bool opens;
    bool named;  // what could not be opened is named
  };
  const std::vector<Case> cases = {
      {"whole", [](const fs::path&, const std::string&) {}, true, false},
      {"a capture gone", [](const fs::path&, const std::string& c) { fs::remove(c); }, true, true},
      {"not JSON", [](const fs::path& f, const std::string&) { std::ofstream(f) << "{\"ent"; },
       false, true},
      {"no session.json", [](const fs::path& f, const std::string&) { fs::remove(f); }, false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root / "data");
    CWorkbenchSession session((root / "data").string(), 1765380612);
    sim.preferences.WriteString(kPrefWav, "/music/last.wav");
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(session.KeepMeasurement(sim.core->FileContext(), made, &id, &words)) << words;
    }
    EXPECT_EQ(sim.preferences.ReadString(kPrefWav, ""), "/music/last.wav");
    const auto& entries = session.List().Document().entries;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].look.name.rfind(made.Caption() + " ", 0), 0u) << entries[0].look.name;
    ASSERT_NE(session.LiveCurveOf(id), nullptr);
    EXPECT_TRUE(std::equal(made.Levels().begin(), made.Levels().end(),
                           session.LiveCurveOf(id)->levels.begin()));
    ASSERT_TRUE(LoadCaptureFile(sim.core->FileContext(), entries[1].capturePath, nullptr));
    EXPECT_TRUE(std::ranges::equal(sim.Audio().Loaded(), made.GetRecording().samples));
    const fs::path folder = session.List().SessionFolder();
    EXPECT_EQ(folder.parent_path(), root / "data" / "Sessions");

    c.damage(folder / "session.json", entries[0].capturePath);
    CWorkbenchSession reopened((root / "other").string(), 0);
    std::vector<std::string> problems;
    EXPECT_EQ(reopened.Open(folder.string(), &problems), c.opens);
    EXPECT_EQ(!problems.empty(), c.named);
    EXPECT_EQ(reopened.List().Document().entries.size(), c.opens ? 2u : 0u);

    const bool gone = !fs::exists(entries[0].capturePath);
    const fs::path second = fs::path(entries[1].capturePath).filename();
    std::vector<std::string> notCopied;
    ASSERT_TRUE(session.SaveAs((root / "saved").string(), &notCopied, &words)) << words;
    EXPECT_EQ(notCopied.size(), gone ? 1u : 0u);
    EXPECT_EQ(session.List().Document().entries[1].capturePath, (root / "saved" / second).string());
    EXPECT_TRUE(fs::exists(root / "saved" / second));
    fs::remove_all(root / "saved");
  }
}

}  // namespace
}  // namespace quorvel
