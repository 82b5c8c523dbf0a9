// A measurement timed from a loopback reference: the simulated input carries the played signal
// on its right channel, both channels behind a device latency drawn anew at every capture.
#include "control/response/capture_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/audio_engine.h"
#include "response/reference_timing.h"
#include "tests/control/control_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {
namespace {

TEST(CaptureResponse, ALoopbackReferenceTimesEveryMeasurementAlikeWhateverTheLatency) {
  SimulatedCore rig;
  rig.sim->SetLoopbackChannel(2);
  MeasurementRequest request;
  request.outputIndex = 0;
  request.timeoutMs = 60000;
  request.reference = ReferenceChannel::kRight;
  request.channel = InputChannel::kLeft;
  const double probes[] = {100.0, 1000.0, 5000.0, 10000.0};
  std::vector<double> delays, peaks, latencies;
  std::vector<std::vector<double>> phases;
  for (int run = 0; run < 10; ++run) {
    ASSERT_EQ(MeasureAllowingDropouts(rig.Sequence(), rig.messages, request,
                                      [&] { rig.Graph().ClearCurve(); }),
              SequenceStatus::kComplete);
    const Recording& recording = rig.Sequence().LastMeasurement()->GetRecording();
    ASSERT_EQ(recording.channels, 2);
    const std::vector<int16_t> heard = recording.Channel(0);
    const std::vector<int16_t> looped = recording.Channel(1);
    CImpulseAnalysis measured, reference;
    ASSERT_EQ(measured.Analyze(heard.data(), heard.size(), 20.0, 20000.0), ResponseStatus::kOk);
    ASSERT_EQ(reference.Analyze(looped.data(), looped.size(), 20.0, 20000.0), ResponseStatus::kOk);
    const ResponseTiming timing = TimeFromReference(measured, reference);
    ASSERT_TRUE(timing.loopback);
    EXPECT_LT(std::abs(timing.driftPpm), 1.0);  // one clock for both
    peaks.push_back(measured.PeakPosition());
    delays.push_back(timing.delaySamples);
    latencies.push_back(rig.sim->LoopbackLatencyFrames());
    measured.SetTimeReference(timing);
    std::vector<double> at;
    for (const double f : probes) at.push_back(measured.ResponseAt(f).phaseDeg);
    phases.push_back(at);
  }
  // the acoustic delay is the model's own, within 0.02 ms (0.96 samples) and far closer
  const auto [least, most] = std::minmax_element(delays.begin(), delays.end());
  EXPECT_LT(*most - *least, 0.02 * 48.0);
  EXPECT_GT(*least, 0.0);
  for (const std::vector<double>& at : phases) {
    for (std::size_t i = 0; i < at.size(); ++i) {
      EXPECT_LT(std::abs(std::remainder(at[i] - phases[0][i], 360.0)), 2.0) << probes[i] << " Hz";
    }
  }
  // timed from its own sync burst, each recording's peak moves with the latency drawn
  const auto [firstPeak, lastPeak] = std::minmax_element(peaks.begin(), peaks.end());
  const auto [lowLatency, highLatency] = std::minmax_element(latencies.begin(), latencies.end());
  EXPECT_GT(*highLatency - *lowLatency, 48.0);
  EXPECT_GT(*lastPeak - *firstPeak, 48.0);
}

// Python's wave module writes the two channels (the measurement, then the reference), and the
// tags are appended as a LIST INFO chunk, as another program would make such a capture.
constexpr char kWriteStereoCapture[] = R"(
import struct, sys, wave
raw, path = sys.argv[1], sys.argv[2]
with wave.open(path, 'wb') as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(48000)
    w.writeframes(open(raw, 'rb').read())
def sub(tag, text):
    b = text.encode() + b'\0'
    b += b'\0' * (len(b) % 2)
    return tag + struct.pack('<I', len(b)) + b
info = b'INFO' + sub(b'INAM', '20.00-20000.00 Hz') + sub(b'IART', 'Quorvel')
data = open(path, 'rb').read() + b'LIST' + struct.pack('<I', len(info)) + info
open(path, 'wb').write(data[:4] + struct.pack('<I', len(data) - 8) + data[8:])
)";

TEST(CaptureResponse, AStereoCaptureOfAnotherProgramIsTimedFromItsReferenceChannel) {
  if (std::system("python3 -c 'import wave' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CQuorvelCore core(AudioChoice::kNone, preferences, messages);
  ASSERT_GT(core.Audio().GenerateSweep(20.0, 20000.0), 0);
  const std::span<const int16_t> sweep = core.Audio().Sweep();
  // the reference 0.1 s in, the measurement 168 samples (3.5 ms, 1.20 m) after it, at -6 dB
  constexpr std::size_t kLead = 4800;
  constexpr std::size_t kDelay = 168;
  const std::size_t frames = sweep.size() + 24000;
  std::vector<int16_t> interleaved(2 * frames, 0);
  for (std::size_t i = 0; i < sweep.size(); ++i) {
    interleaved[2 * (i + kLead + kDelay)] = static_cast<int16_t>(sweep[i] / 2);
    interleaved[2 * (i + kLead) + 1] = static_cast<int16_t>(sweep[i] / 2);
  }
  wavetest::ScratchFolder folder;
  const std::string raw = folder.File("frames.raw");
  const std::string script = folder.File("write.py");
  const std::string path = folder.File("two channels.wav");
  std::ofstream(raw, std::ios::binary)
      .write(reinterpret_cast<const char*>(interleaved.data()),
             static_cast<std::streamsize>(interleaved.size() * 2));
  std::ofstream(script) << kWriteStereoCapture;
  ASSERT_EQ(std::system(("python3 '" + script + "' '" + raw + "' '" + path + "'").c_str()), 0);

  CaptureResponseRequest request;
  request.path = path;
  Result<LoadedResponseCapture> read = LoadCaptureForResponse(core, request);
  ASSERT_TRUE(read) << (messages.Messages().empty() ? read.Message() : messages.Messages().back());
  LoadedResponseCapture loaded = std::move(*read);
  CImpulseAnalysis analysis;
  std::vector<std::string> warnings;
  ASSERT_EQ(AnalyzeCaptureResponse(core, loaded, 0.0, &analysis, &warnings),
            CaptureResponseResult::kOk);
  EXPECT_TRUE(warnings.empty());
  // the replayed curve is channel 1's: whole
  const std::optional<Measurement> measurement = MeasureLoadedCapture(messages, loaded);
  ASSERT_TRUE(measurement.has_value());
  EXPECT_EQ(measurement->PointCount(), 1001);
  EXPECT_EQ(measurement->GetRecording().channels, 2);
  const ResponseTiming& timing = analysis.GetTimeReference();
  ASSERT_TRUE(timing.loopback);
  EXPECT_NEAR(timing.delaySamples, static_cast<double>(kDelay), 0.05);
  EXPECT_NEAR(timing.driftPpm, 0.0, 0.5);
  // a pure delay: -6 dB, and the phase that 3.5 ms makes at 1 kHz (-1260 degrees, -180)
  const LevelPhase at1k = analysis.ResponseAt(1000.0);
  EXPECT_NEAR(at1k.levelDb, -6.02, 0.1);
  EXPECT_NEAR(std::abs(at1k.phaseDeg), 180.0, 2.0);

  // the channels the other way round, as some programs write them, and said so
  for (std::size_t i = 0; i < interleaved.size(); i += 2)
    std::swap(interleaved[i], interleaved[i + 1]);
  std::ofstream(raw, std::ios::binary)
      .write(reinterpret_cast<const char*>(interleaved.data()),
             static_cast<std::streamsize>(interleaved.size() * 2));
  ASSERT_EQ(std::system(("python3 '" + script + "' '" + raw + "' '" + path + "'").c_str()), 0);
  request.measuredOnChannel2 = true;
  read = LoadCaptureForResponse(core, request);
  ASSERT_TRUE(read);
  loaded = std::move(*read);
  ASSERT_EQ(AnalyzeCaptureResponse(core, loaded, 0.0, &analysis, &warnings),
            CaptureResponseResult::kOk);
  EXPECT_NEAR(analysis.GetTimeReference().delaySamples, static_cast<double>(kDelay), 0.05);
}

// Two clocks: the input records the played sweep stretched by its clock's drift against the
// output's (the reference directly, the measurement 168 samples later). The drift is read from
// the reference within 0.5 ppm and 1.5 %, and above 50 ppm it is the warning that names it.
TEST(CaptureResponse, TheDriftBetweenTheInputsAndTheOutputsClocksIsMeasuredAndWarnedOfAbove50Ppm) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  const std::span<const int16_t> sweep = audio->Sweep();
  for (const double ppm : {0.0, 20.0, -40.0, 100.0, -200.0}) {
    // recorded sample n holds the played signal at n / (1 + ppm), linearly interpolated
    const auto recorded = [&](double delay) {
      std::vector<int16_t> out(static_cast<std::size_t>(length) + 14400, 0);
      for (std::size_t n = 0; n < out.size(); ++n) {
        const double t = (static_cast<double>(n) - 4800.0 - delay) / (1.0 + ppm * 1e-6);
        const auto i = static_cast<long>(std::floor(t));
        if (i < 0 || i + 1 >= length) continue;
        const double a = t - static_cast<double>(i);
        out[n] = static_cast<int16_t>(std::lround((1.0 - a) * sweep[i] + a * sweep[i + 1]) / 2);
      }
      return out;
    };
    const std::vector<int16_t> heard = recorded(168.0), looped = recorded(0.0);
    CImpulseAnalysis measured, reference;
    ASSERT_EQ(measured.Analyze(heard.data(), heard.size(), 20.0, 20000.0), ResponseStatus::kOk);
    ASSERT_EQ(reference.Analyze(looped.data(), looped.size(), 20.0, 20000.0), ResponseStatus::kOk);
    const ResponseTiming timing = TimeFromReference(measured, reference);
    EXPECT_NEAR(timing.driftPpm, ppm, 0.5 + 0.015 * std::abs(ppm));
    EXPECT_NEAR(timing.delaySamples, 168.0, 0.5) << ppm << " ppm";
    EXPECT_EQ(
        ClockDriftWarning(timing).rfind("the input and the output run on different clocks", 0),
        std::abs(ppm) > 50.0 ? 0 : std::string::npos);
  }
}

}  // namespace
}  // namespace quorvel
