// The equaliser window's rules: a room's peaks cut, a target file read, a failed export named,
// and the PipeWire install never over a file Quorvel did not write.
#include "control/eq/eq_design.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "control/eq/eq_install.h"
#include "response/response_export.h"

namespace quorvel {
namespace {

using T = EqFilterType;

class EqDesignTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(m_dir);
    m_room.name = "Living room";
    m_room.frequenciesHz = FrdFrequencies(20.0, 20000.0);
    const std::vector<EqFilter> peaks = {{T::kPeaking, 200.0, 8.0, 2.0},
                                         {T::kPeaking, 2000.0, 6.0, 4.0}};
    for (const double f : m_room.frequenciesHz) {
      m_room.levelsDb.push_back(80.0 + CascadeGainDb(peaks, f));
    }
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  std::filesystem::path m_dir =
      std::filesystem::temp_directory_path() / ("quorvel_eq_design_" + std::to_string(::getpid()));
  Trace m_room;
};

TEST_F(EqDesignTest, TheRoomsPeaksAreCutAndATargetFileIsRead) {
  const EqDesign flat = DesignEqualiser(m_room, {});
  ASSERT_EQ(flat.error, "");
  // cut only: the target sits at the trace's mean, the peaks stand less than 1.5 dB above it
  EXPECT_LT(*std::max_element(flat.residualDb.begin(), flat.residualDb.end()), 1.5);
  const Result<void> written = WriteEqExport("/missing/eq.conf", EqExportFormat::kPipeWire, flat);
  EXPECT_FALSE(written);
  EXPECT_EQ(written.Message().rfind("Cannot save the file to disk...\n/missing/eq.conf: ", 0), 0u)
      << written.Message();

  // a target file with decimal commas: a 6 dB step between 100 Hz and 1 kHz
  std::ofstream(m_dir / "target.txt") << "20,0\t6,0\n100,0\t6,0\n1000,0\t0,0\n20000,0\t0,0\n";
  EqDesignSettings file;
  file.target.kind = EqTargetKind::kPoints;
  file.targetPath = (m_dir / "target.txt").string();
  const EqDesign stepped = DesignEqualiser(m_room, file);
  EXPECT_NEAR(stepped.targetDb.front() - stepped.targetDb.back(), 6.0, 1e-9);
  file.targetPath = (m_dir / "none.txt").string();
  EXPECT_NE(DesignEqualiser(m_room, file).error.find("holds no curve"), std::string::npos);
}

TEST_F(EqDesignTest, TheSummaryCountsTheDipsLeftAlone) {
  // deep narrow nulls that no cut can mend: one, then two
  const std::vector<std::pair<std::vector<EqFilter>, std::string>> rooms = {
      {{{T::kPeaking, 500.0, -20.0, 8.0}}, " dB RMS outside the dip left alone"},
      {{{T::kPeaking, 500.0, -20.0, 8.0}, {T::kPeaking, 4000.0, -20.0, 8.0}},
       " dB RMS outside the 2 dips left alone"}};
  for (const auto& [nulls, ending] : rooms) {
    Trace room = m_room;
    for (size_t j = 0; j < room.frequenciesHz.size(); ++j) {
      room.levelsDb[j] += CascadeGainDb(nulls, room.frequenciesHz[j]);
    }
    const std::string summary = ResidualSummary(DesignEqualiser(room, {}));
    EXPECT_TRUE(summary.ends_with(ending)) << summary;
  }
}

TEST_F(EqDesignTest, InstallWritesItsOwnDropInAndLeavesOthersAlone) {
  const EqDesign design = DesignEqualiser(m_room, {});
  const std::string folder = (m_dir / "pipewire.conf.d").string();
  const std::string path = folder + "/quorvel-eq-living_room.conf";
  for (int time = 0; time < 2; ++time) {  // and once more over its own
    const Result<std::string> installed =
        InstallPipeWireDropIn(folder, design.fit.filterSet, design.name);
    ASSERT_TRUE(installed) << installed.Message();
  }
  for (const char* other : {"# my own equaliser\n", ""}) {  // another's file, an empty one
    std::ofstream(path) << other;
    EXPECT_EQ(CheckDropInPlace(path), DropInPlace::kForeign);
    EXPECT_FALSE(InstallPipeWireDropIn(folder, design.fit.filterSet, design.name));
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), other);
  }
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: HOME's
  ::setenv("HOME", "/home/user", 1);
  EXPECT_EQ(PipeWireDropInFolder(), "/home/user/.config/pipewire/pipewire.conf.d");
}

}  // namespace
}  // namespace quorvel
