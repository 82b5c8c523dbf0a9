// quorvel-cli sweep, run as a program: the playback signal as a mono 16-bit 48 kHz WAV file, and
// a file that cannot be written whole reported as a failure.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "tests/cli/cli_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

CliOutcome Sweep(const std::string& arguments, const std::string& prefix = "") {
  return RunCli("sweep " + arguments, prefix);
}

class CmdSweep : public testing::Test {
 protected:
  wavetest::ScratchFolder m_dir;
};

TEST_F(CmdSweep, WritesTheGeneratedSignalAsAMonoCaptureFile) {
  const std::string path = m_dir.File("sweep.wav");
  const CliOutcome run = Sweep("--fmin 40 --fmax 16000 --out " + ShellQuote(path));
  ASSERT_EQ(run.status, 0) << run.output;
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(40.0, 16000.0);
  ASSERT_GT(length, 0);
  EXPECT_EQ(std::filesystem::file_size(path), 44u + 2u * static_cast<unsigned>(length));
  CWave wave;
  ASSERT_EQ(wave.ReadWave(path.c_str()), CWave::kReadDone);
  EXPECT_EQ(wave.m_channels, 1);
  EXPECT_EQ(wave.m_sampleRate, 48000u);
  EXPECT_EQ(wave.m_bitsPerSample, 16);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::vector<int16_t> samples(static_cast<size_t>(length));
  ASSERT_EQ(std::fseek(file, 44, SEEK_SET), 0);
  ASSERT_EQ(std::fread(samples.data(), 2, samples.size(), file), samples.size());
  std::fclose(file);
  EXPECT_EQ(std::memcmp(samples.data(), audio->Sweep().data(), samples.size() * 2), 0);
}

TEST_F(CmdSweep, AFileCutShortAtItsLastBytesIsAFailure) {
  // 20..20000 Hz gives 44 + 2 x 1,044,002 bytes = 2,088,048; a size limit of 4078 blocks of
  // 512 bytes (the shell's unit: 2,087,936 bytes) lets every full 4096-byte buffer through and
  // stops only the last one, which is written when the file is closed.
  const std::string path = m_dir.File("short.wav");
  const CliOutcome run =
      Sweep("--fmin 20 --fmax 20000 --out " + ShellQuote(path), "trap '' XFSZ; ulimit -f 4078;");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Could not write to File..."), std::string::npos) << run.output;
}

TEST_F(CmdSweep, ARangeBeyondAMeasurementsLimitsIsABadArgument) {
  EXPECT_EQ(Sweep("--fmin 1e-300 --fmax 1e300 --out " + ShellQuote(m_dir.File("x.wav"))).status, 2);
  EXPECT_FALSE(std::filesystem::exists(m_dir.File("x.wav")));
}

}  // namespace

}  // namespace quorvel
