// The workbench's exports written into a real folder and read back.
#include "control/workbench/workbench_exports.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "base/point_frequency.h"

#include "tests/files/wave_builder.h"
#include "tests/measurement/take_support.h"

namespace quorvel {
namespace {

using takes::Curve;

std::string Read(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(WorkbenchExports, AnFrdFileForEachTraceNamedAfterItAndOneCsv) {
  wavetest::ScratchFolder dir;
  const std::vector<Trace> traces = {Curve("left/right", 100, 1000, [](double) { return -3.0; }),
                                     Curve("left-right", 200, 2000, [](double) { return -6.0; }),
                                     Curve("", 100, 1000, [](double) { return 0.0; })};
  EXPECT_EQ(FrdFileNames(traces),
            (std::vector<std::string>{"left-right.frd", "left-right (2).frd", "trace.frd"}));
  std::vector<std::string> written, failures;
  ASSERT_TRUE(ExportTracesFrd(traces, dir.Path().string(), &written, &failures));
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[1], dir.File("left-right (2).frd"));
  EXPECT_NE(Read(written[1]).find("\n200.000"), std::string::npos) << Read(written[1]);

  ASSERT_TRUE(ExportTracesFrd(traces, dir.File("no such folder"), &written, &failures) == false);
  EXPECT_EQ(failures.size(), 3u);

  const Result<void> all = ExportOverlayCsv(traces, dir.File("all.csv"));
  ASSERT_TRUE(all) << all.Message();
  const std::string csv = Read(dir.File("all.csv"));
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "frequency_hz,left/right,left-right,trace");
  const Result<void> none = ExportOverlayCsv(
      {traces[1], Curve("low", 20, 100, [](double) { return 0.0; })}, dir.File("none.csv"));
  EXPECT_FALSE(none);
  EXPECT_NE(none.Message().find("no frequency range in common"), std::string::npos)
      << none.Message();
}

// A live curve of `points` points over fmin..fmax whose level at f is 20 log10(f / 1 kHz).
NamedLiveCurve Live(const std::string& name, double fmin, double fmax, int points) {
  NamedLiveCurve curve{name, {}, {}};
  for (int k = 0; k < points; ++k) {
    const double f = PointFrequency(k, fmin, fmax);
    curve.frequenciesHz.push_back(f);
    curve.levelsDb.push_back(20.0 * std::log10(f / 1000.0));
  }
  return curve;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  return fields;
}

TEST(WorkbenchExports, TheLiveCurvesAsShownEachOnItsOwnPoints) {
  wavetest::ScratchFolder dir;
  // a whole curve, and one of another range stopped after 600 points with a gap at point 10
  std::vector<NamedLiveCurve> curves = {Live("take", 20, 20000, 1001),
                                        Live("take", 100, 10000, 600)};
  curves[1].levelsDb[10] = std::numeric_limits<double>::quiet_NaN();
  const Result<void> saved = ExportLiveCurvesCsv(curves, dir.File("live.csv"));
  ASSERT_TRUE(saved) << saved.Message();
  std::istringstream csv(Read(dir.File("live.csv")));
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "take frequency_hz,take level_db,take (2) frequency_hz,take (2) level_db");
  int k = 0;
  for (; std::getline(csv, line); ++k) {
    const std::vector<std::string> fields = Fields(line);
    ASSERT_EQ(fields.size(), 4u) << line;
    for (size_t c = 0; c < 2; ++c) {
      const NamedLiveCurve& curve = curves[c];
      const bool point = k < static_cast<int>(curve.levelsDb.size()) && !(c == 1 && k == 10);
      if (!point) {
        EXPECT_TRUE(fields[2 * c].empty() && fields[2 * c + 1].empty()) << k << ": " << line;
        continue;
      }
      const double f = curve.frequenciesHz[static_cast<size_t>(k)];
      EXPECT_NEAR(std::stod(fields[2 * c]), f, 5e-5) << k;
      EXPECT_NEAR(std::stod(fields[2 * c + 1]), 20.0 * std::log10(f / 1000.0), 5e-4) << k;
    }
  }
  EXPECT_EQ(k, 1001);
  EXPECT_FALSE(ExportLiveCurvesCsv(curves, dir.File("no such folder/live.csv")));
}

}  // namespace
}  // namespace quorvel
