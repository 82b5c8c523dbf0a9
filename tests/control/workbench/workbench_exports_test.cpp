// The workbench's exports written into a real folder and read back.
#include "control/workbench/workbench_exports.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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

  std::string why;
  ASSERT_TRUE(ExportOverlayCsv(traces, dir.File("all.csv"), &why)) << why;
  const std::string csv = Read(dir.File("all.csv"));
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "frequency_hz,left/right,left-right,trace");
  EXPECT_FALSE(ExportOverlayCsv({traces[1], Curve("low", 20, 100, [](double) { return 0.0; })},
                                dir.File("none.csv"), &why));
  EXPECT_NE(why.find("no frequency range in common"), std::string::npos) << why;
}

}  // namespace
}  // namespace quorvel
