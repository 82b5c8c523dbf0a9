// The response files saved whole or not at all: each written where it can be, none where it
// cannot (with Save Curve's first line, then the path and the reason), none without a result.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "control/response_files.h"
#include "engine/audio_engine.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

TEST(ResponseFiles, EachIsSavedWholeOrNotAtAll) {
  auto audio = std::make_unique<CAudio>();
  static_cast<void>(audio->GenerateSweep(100.0, 10000.0));
  CImpulseAnalysis analysis;
  ASSERT_EQ(analysis.Analyze(audio->Sweep().data(), audio->Sweep().size(), 100.0, 10000.0),
            ResponseStatus::kOk);
  const CImpulseAnalysis none;
  wavetest::ScratchFolder dir;
  const std::string missing = dir.File("gone/file");
  for (const auto save : {SaveFrd, SaveImpulseWav, SaveDistortionCsv}) {
    std::string words;
    EXPECT_TRUE(save(dir.File("file"), analysis, &words)) << words;
    EXPECT_GT(std::filesystem::file_size(dir.File("file")), 1000u);
    EXPECT_FALSE(save(missing, analysis, &words));
    EXPECT_EQ(words, "Cannot save the file to disk...\n" + missing + ": No such file or directory");
    EXPECT_FALSE(save(dir.File("empty"), none, &words));
    EXPECT_FALSE(std::filesystem::exists(dir.File("empty")));
  }
}

}  // namespace

}  // namespace quorvel
