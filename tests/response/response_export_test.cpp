// The FRD, impulse-response WAV and distortion CSV of a perfect loopback (the recording equals the
// played signal), as crossover tools, audio editors and spreadsheets read them.
#include "response/response_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "base/number_text.h"
#include "engine/audio_engine.h"
#include "files/wave_bytes.h"

namespace quorvel {

namespace {

TEST(ResponseExport, FilesOfALoopbackReadZeroDecibelsAndAPeakAtTenMilliseconds) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  const std::vector<int16_t> recording(audio->Sweep().data(),
                                       audio->Sweep().data() + length - 7000);
  CImpulseAnalysis analysis;
  analysis.SetCorrection([](double f) { return f > 1000.0 ? 3.0 : 0.0; }, "Mic\nOne");
  ASSERT_EQ(analysis.Analyze(recording.data(), recording.size(), 20.0, 20000.0),
            ResponseStatus::kOk);

  const std::string frdText = FormatFrd(analysis);
  EXPECT_NE(frdText.find("\n* Microphone correction subtracted: Mic One\n"), std::string::npos);
  std::istringstream frd(frdText);
  std::string line;
  int comments = 0, points = 0;
  double first = 0.0, f = 0.0, level = 0.0, phase = 0.0;
  while (std::getline(frd, line)) {
    if (line.starts_with("*")) {
      EXPECT_EQ(points, 0) << "a comment after the data: " << line;
      ++comments;
      continue;
    }
    std::istringstream fields(line);
    ASSERT_TRUE(fields >> f >> level >> phase) << line;
    if (points++ == 0) first = f;
    if (f >= 50.0 && f <= 15000.0) {  // 2.5 fmin .. 0.75 fmax
      EXPECT_NEAR(level, f > 1000.0 ? -3.0 : 0.0, 0.01) << line;
      EXPECT_NEAR(phase, 0.0, 0.5) << line;
    }
  }
  EXPECT_EQ(comments, 7);  // what, range, gate, time reference, scale, microphone, columns
  EXPECT_EQ(points, 480);
  EXPECT_EQ(first, 20.0);
  EXPECT_EQ(f, 20000.0);
  // a gate beyond the linear response's reach is named as it is applied
  analysis.SetGate(5.0);  // the lines below the gate's limit stay, and the limit is named
  EXPECT_NE(FormatFrd(analysis).find("\n* Gated response valid above 200 Hz"), std::string::npos);
  analysis.SetGate(1e300);
  EXPECT_NE(FormatFrd(analysis).find("* Gate: " + FormatFixed(analysis.UngatedWindowMs(), 2)),
            std::string::npos);

  const std::vector<uint8_t> wav = ImpulseWavBytes(analysis);
  ASSERT_EQ(wav.size(), 58u + 24000u * 4u);
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(wavebytes::GetLe32(wav.data() + 4), wav.size() - 8);
  EXPECT_EQ(wavebytes::GetLe16(wav.data() + 20), 3);  // IEEE float
  EXPECT_EQ(wavebytes::GetLe16(wav.data() + 22), 1);
  EXPECT_EQ(wavebytes::GetLe32(wav.data() + 24), 48000u);
  EXPECT_EQ(wavebytes::GetLe16(wav.data() + 34), 32);
  EXPECT_EQ(std::memcmp(wav.data() + 50, "data", 4), 0);
  std::vector<float> samples(24000);
  std::memcpy(samples.data(), wav.data() + 58, samples.size() * 4);
  // A loopback's response is one sample band-limited to the sweep's range: its peak, then
  // ringing near 20 kHz that has died down a millisecond away.
  EXPECT_GT(samples[480], 0.8f);
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_LT(std::abs(samples[i]), i == 480 ? 1.0f : (i + 48 < 480 || i > 480 + 48 ? 0.01f : 0.2f))
        << i;
  }

  std::istringstream csv(FormatDistortionCsv(analysis.DistortionRows()));
  std::getline(csv, line);
  EXPECT_EQ(line, "frequency_hz,fundamental_db,h2_db,h3_db,h4_db,h5_db,thd_percent");
  int rows = 0;
  while (std::getline(csv, line)) {
    const double rowF = 20.0 * std::exp2(rows++ / 12.0);
    // h5 is empty from 4 kHz on, h2..h5 and THD from 10 kHz on
    EXPECT_EQ(line.find(",,") != std::string::npos, rowF * 5 > 20000.0 * (1 + 1e-9)) << line;
    EXPECT_EQ(line.ends_with(",,,,,"), rowF * 2 > 20000.0 * (1 + 1e-9)) << line;
  }
  EXPECT_EQ(rows, 120);
}

}  // namespace

}  // namespace quorvel
