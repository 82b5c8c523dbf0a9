// The traces the workbench draws from its list, on level curves whose every value is known:
// offsets add, the recipes are computed again from their sources, and what has no trace says why.
#include "control/workbench/workbench_traces.h"

#include <gtest/gtest.h>

#include "graph/plot_trace.h"
#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

using takes::Curve;

SessionEntry Entry(const std::string& id, const std::string& path, double offsetDb) {
  SessionEntry entry;
  entry.id = id;
  entry.capturePath = path;
  entry.look.name = id;
  entry.look.offsetDb = offsetDb;
  return entry;
}

DerivedTrace Recipe(const std::string& id, DerivedKind kind, std::vector<std::string> sources) {
  DerivedTrace recipe;
  recipe.id = id;
  recipe.kind = kind;
  recipe.sources = std::move(sources);
  recipe.look.name = id;
  return recipe;
}

TEST(WorkbenchTraces, OffsetsRecipesAndMissingTraces) {
  SessionDocument document;
  document.entries = {Entry("m1", "/a.wav", 0.0), Entry("m2", "/b.wav", 2.0),
                      Entry("m3", "/never analysed.wav", 0.0)};
  document.derived = {Recipe("d1", DerivedKind::kDifference, {"m1", "m2"}),
                      Recipe("d2", DerivedKind::kAverageDb, {"m1", "m2"}),
                      Recipe("d3", DerivedKind::kAverageDb, {"d1", "d2"}),
                      Recipe("d4", DerivedKind::kAverageDb, {"m1", "m3"})};
  document.view.smoothingPerOctave = 6;
  CWorkbenchTraces traces;
  traces.Keep("/a.wav", 0.0, Curve("a", 100, 10000, [](double) { return -10.0; }));
  traces.Keep("/b.wav", 0.0, Curve("b", 50, 20000, [](double) { return -16.0; }));
  traces.Keep("/c.wav", 5.0, Curve("c", 50, 20000, [](double) { return 0.0; }));  // other gate
  EXPECT_FALSE(traces.Holds("/c.wav"));

  const std::vector<WorkbenchTrace> built = traces.Build(document);
  const struct {
    const char* id;
    bool ok;
    double levelDb;  // flat, from 100 Hz to 10 kHz
  } expected[] = {{"m1", true, -10}, {"m2", true, -14}, {"m3", false, 0}, {"d1", true, 4},
                  {"d2", true, -12}, {"d3", true, -4},  {"d4", false, 0}};
  ASSERT_EQ(built.size(), std::size(expected));
  for (size_t i = 0; i < built.size(); ++i) {
    SCOPED_TRACE(expected[i].id);
    EXPECT_EQ(built[i].id, expected[i].id);
    ASSERT_EQ(built[i].ok, expected[i].ok) << built[i].failure;
    if (!expected[i].ok) {
      EXPECT_FALSE(built[i].failure.empty());
      continue;
    }
    EXPECT_EQ(built[i].shown.name, expected[i].id);
    EXPECT_EQ(built[i].shown.smoothingBands, 6);
    for (double hz : {100.0, 1000.0, 9000.0}) {
      EXPECT_NEAR(ValueAtFrequency(built[i].shown.frequenciesHz, built[i].shown.levelsDb, hz),
                  expected[i].levelDb, 1e-6);
    }
  }
  // The common range of a and b.
  EXPECT_DOUBLE_EQ(built[3].raw.range.fminHz, 100.0);
  EXPECT_DOUBLE_EQ(built[3].raw.range.fmaxHz, 10000.0);

  // In dB SPL by a calibration of 124 dB: a transfer of -10 dB reads 124 - 10 - 3.01 (the
  // sweep's sine at its RMS); a difference stays 4 dB.
  traces.SetLevelScale(SplScale{true, 124.0, "dB SPL of a sine"});
  const std::vector<WorkbenchTrace> spl = traces.Build(document);
  EXPECT_NEAR(ValueAtFrequency(spl[0].raw.frequenciesHz, spl[0].raw.levelsDb, 1e3), 110.99, 1e-3);
  EXPECT_EQ(spl[0].raw.levelScale, "dB SPL of a sine");
  EXPECT_NEAR(ValueAtFrequency(spl[3].raw.frequenciesHz, spl[3].raw.levelsDb, 1e3), 4.0, 1e-6);
}

}  // namespace
}  // namespace quorvel
