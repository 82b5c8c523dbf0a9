// "Add Captures..." on capture files of the generated sweep itself: the traces follow the level
// the captures were made at, and files that cannot be analysed are named while the rest go on.
#include "control/workbench/workbench_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "tests/control/control_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {
namespace {

// The 50..16000 Hz signal divided by `divisor` (0: all zero) as a capture file.
std::string Capture(const wavetest::ScratchFolder& dir, const char* name, int divisor) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(50.0, 16000.0);
  const std::string path = dir.File(name);
  CWave wave;
  EXPECT_TRUE(wave.CreateCaptureFile(path.c_str()));
  for (int i = 0; i < length; ++i) {
    static_cast<void>(
        wave.WriteSample(static_cast<int16_t>(divisor == 0 ? 0 : audio->Sweep()[i] / divisor)));
  }
  std::strcpy(wave.m_szTitle, "50.00-16000.00 Hz");
  std::strcpy(wave.m_szArtist, "Quorvel");
  EXPECT_TRUE(wave.CloseCaptureFile(true));
  return path;
}

double LevelNear1k(const Trace& trace) {
  size_t best = 0;
  for (size_t i = 0; i < trace.frequenciesHz.size(); ++i) {
    if (std::abs(trace.frequenciesHz[i] - 1000) < std::abs(trace.frequenciesHz[best] - 1000)) {
      best = i;
    }
  }
  return trace.levelsDb[best];
}

TEST(WorkbenchImport, AnalysesEachFileAndNamesTheOnesItCannot) {
  wavetest::ScratchFolder dir;
  const std::vector<std::string> paths = {Capture(dir, "one.wav", 1), Capture(dir, "silent.wav", 0),
                                          dir.File("missing.wav"), Capture(dir, "two.wav", 2)};
  SimulatedCore core;
  std::vector<size_t> reported;
  const std::vector<ImportedCapture> imported =
      AnalyseCaptures(*core.core, paths, 0.0, [&](size_t done, size_t) {
        reported.push_back(done);
        return done < 4;
      });
  EXPECT_EQ(reported, (std::vector<size_t>{0, 1, 2, 3, 4}));
  ASSERT_EQ(imported.size(), paths.size());
  EXPECT_TRUE(imported[0].ok) << imported[0].failure;
  EXPECT_TRUE(imported[3].ok) << imported[3].failure;
  for (size_t bad : {1u, 2u}) {
    EXPECT_FALSE(imported[bad].ok);
    EXPECT_EQ(imported[bad].failure.rfind(paths[bad] + ": ", 0), 0u) << imported[bad].failure;
  }
  // the load's own words, in the failure only: nothing was shown
  EXPECT_NE(imported[2].failure.find("Could not open File"), std::string::npos)
      << imported[2].failure;
  EXPECT_EQ(core.messages.Messages(), std::vector<std::string>{});
  EXPECT_EQ(imported[0].trace.name, "one");
  // Half the samples: 20 log10(2) dB less.
  EXPECT_NEAR(LevelNear1k(imported[0].trace) - LevelNear1k(imported[3].trace), 6.0206, 0.05);
  // and so in each point of the live curves the replay gives, over the title's range
  const LiveCurve& one = imported[0].live;
  const LiveCurve& two = imported[3].live;
  ASSERT_EQ(one.levels.size(), 1001u);
  ASSERT_EQ(two.levels.size(), 1001u);
  EXPECT_EQ(one.fmin, 50.0);
  EXPECT_EQ(one.fmax, 16000.0);
  for (size_t k = 10; k < 990; k += 49) {
    EXPECT_NEAR(one.levels[k] - two.levels[k], 6.0206, 0.1) << k;
  }
}

TEST(WorkbenchImport, StopsBeforeTheNextFileWhenTheProgressSaysSo) {
  wavetest::ScratchFolder dir;
  const std::vector<std::string> paths = {Capture(dir, "a.wav", 1), Capture(dir, "b.wav", 2),
                                          Capture(dir, "c.wav", 3), Capture(dir, "d.wav", 4)};
  SimulatedCore core;
  const std::vector<ImportedCapture> imported =
      AnalyseCaptures(*core.core, paths, 0.0, [](size_t done, size_t) { return done < 2; });
  ASSERT_EQ(imported.size(), 2u);
  EXPECT_EQ(imported[1].trace.name, "b");
}

}  // namespace
}  // namespace quorvel
