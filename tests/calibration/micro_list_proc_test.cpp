// Tests of CMicroListProc on a real chart folder: the scan with its usable and unusable files,
// the remembered microphone, FindChart and ValidateChart, the capture-start step with its
// question and answers, and the correction the curve store applies with the loaded chart.
#include "calibration/micro_list_proc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/memory_preferences.h"
#include "base/preferences.h"
#include "base/shared_state.h"
#include "files/chart_file.h"
#include "graph/graphical.h"
#include "tests/base/scripted_messages.h"

namespace fs = std::filesystem;

namespace quorvel {

namespace {

// A chart folder: two charts named "MicA" (one in a subfolder), "micb", a template without
// data, and files that are never listed.
class ChartFolderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    m_root = fs::temp_directory_path() /
             ("quorvel_charts_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(m_root / "sub");
    Write("MicA.txt", "20 1\n20000 1\n");
    Write("sub/MicA.TXT", "20 2\n20000 2\n");
    Write("micb.frd", "20 -3\n1000 0\n20000 6\n");
    Write("Template.txt", "* Freq dB\n");
    Write("empty.txt", "");
    Write("big.txt", std::string(128001, '#'));
    Write("notes.doc", "20 1\n");
    state.m_bCalibrationApplied.store(0);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }
  std::string Write(const std::string& relative, const std::string& text) {
    const fs::path path = m_root / relative;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  std::string Folder() const { return m_root.string(); }
  int IndexOfPath(const std::string& relative) const {
    const std::string wanted = (m_root / relative).string();
    const auto it = std::find(state.m_chartPaths.begin(), state.m_chartPaths.end(), wanted);
    return it == state.m_chartPaths.end() ? -1 : static_cast<int>(it - state.m_chartPaths.begin());
  }

  fs::path m_root;
  CSharedState state;
  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CGraphical graph{state};
  CMicroListProc proc{state, preferences, messages, graph};
};

TEST_F(ChartFolderFixture, ScanChartsListsUsableChartsAndTheRememberedOne) {
  // no chart folder at all: -1, the lists stay as they were
  state.m_chartNames = {"earlier"};
  EXPECT_EQ(proc.ScanCharts(), -1);
  EXPECT_EQ(state.m_chartNames.size(), 1u);

  preferences.WriteString("CalibFiles", Folder() + "/missing");
  EXPECT_EQ(proc.ScanCharts(), 0);
  EXPECT_TRUE(state.m_chartNames.empty());

  preferences.WriteString("CalibFiles", Folder());
  preferences.WriteString("MicroSelected", "mica");
  ASSERT_EQ(proc.ScanCharts(), 4);
  EXPECT_STREQ(state.m_szChartFolder, Folder().c_str());
  std::vector<std::string> names = state.m_chartNames;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"MicA", "MicA", "Template", "micb"}));
  // the later of the two "MicA" charts, whichever the listing gave last
  const int first = std::min(IndexOfPath("MicA.txt"), IndexOfPath("sub/MicA.TXT"));
  const int last = std::max(IndexOfPath("MicA.txt"), IndexOfPath("sub/MicA.TXT"));
  EXPECT_EQ(proc.SelectedChart(), last);

  // FindChart: the first chart of the name, when it loads
  EXPECT_EQ(proc.FindChart("MICA"), first);
  EXPECT_EQ(proc.FindChart("micB"), IndexOfPath("micb.frd"));
  EXPECT_EQ(proc.FindChart("Template"), -1);  // listed, but no point in it
  EXPECT_EQ(proc.FindChart("nobody"), -1);
  EXPECT_FALSE(proc.ValidateChart(-1));
  EXPECT_FALSE(proc.ValidateChart(4));
  EXPECT_TRUE(proc.ValidateChart(IndexOfPath("micb.frd")));
}

TEST_F(ChartFolderFixture, CaptureStartAsksAndApplies) {
  preferences.WriteString("CalibFiles", Folder());
  const double fmin = 40.0;
  const double fmax = 16000.0;

  // nothing remembered: reset, no question
  proc.PrepareCalibration(fmin, fmax);
  EXPECT_TRUE(messages.Questions().empty());
  EXPECT_EQ(proc.SelectedChart(), -1);
  EXPECT_EQ(state.m_bCalibrationApplied.load(), 0);

  // remembered in other capitals, answered Yes
  preferences.WriteString("MicroSelected", "MICB");
  messages.AnswerNext(true);
  proc.PrepareCalibration(fmin, fmax);
  ASSERT_EQ(messages.Questions().size(), 1u);
  EXPECT_EQ(messages.Questions()[0],
            "Do you want to apply the calibation with microphone \"micb\" ?");
  const int micb = IndexOfPath("micb.frd");
  EXPECT_EQ(proc.SelectedChart(), micb);
  EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), "micb");
  EXPECT_EQ(state.m_bCalibrationApplied.load(), 1);

  // already applied: a new range keeps it without asking
  proc.PrepareCalibration(20.0, 20000.0);
  EXPECT_EQ(messages.Questions().size(), 1u);
  EXPECT_EQ(state.m_bCalibrationApplied.load(), 1);

  // the selected chart is gone: not applied, no selection, "MicroSelected" kept
  fs::remove(m_root / "micb.frd");
  proc.PrepareCalibration(fmin, fmax);
  EXPECT_EQ(proc.SelectedChart(), -1);
  EXPECT_EQ(state.m_bCalibrationApplied.load(), 0);
  EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), "micb");
  // at the next start it is not found any more: forgotten
  proc.PrepareCalibration(fmin, fmax);
  EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), "");

  // answered No: forgotten as well
  preferences.WriteString("MicroSelected", "mica");
  proc.PrepareCalibration(fmin, fmax);
  EXPECT_EQ(messages.Questions().size(), 2u);
  EXPECT_EQ(proc.SelectedChart(), -1);
  EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), "");
  EXPECT_EQ(state.m_bCalibrationApplied.load(), 0);

  // a remembered chart that no longer loads is forgotten without a question
  preferences.WriteString("MicroSelected", "Template");
  proc.PrepareCalibration(fmin, fmax);
  EXPECT_EQ(messages.Questions().size(), 2u);
  EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), "");
}

// A chart is usable for a range, or not (the measurement that starts resolves it once).
TEST_F(ChartFolderFixture, LoadCalibrationTellsWhetherAChartIsUsableForTheRange) {
  EXPECT_TRUE(proc.LoadCalibration(Write("slope.txt", "20 -6\n20000 12\n"), 20.0, 20000.0));
  EXPECT_FALSE(proc.LoadCalibration(Write("loud.txt", "20 94\n20000 94\n"), 20.0, 20000.0));
}

}  // namespace

}  // namespace quorvel
