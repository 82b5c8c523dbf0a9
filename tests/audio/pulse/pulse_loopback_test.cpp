// A tone played into the private server's null sink and recorded from its monitor, through the
// libpulse services, with a capture thread and a play thread working as the engine's do; and
// what those threads see when the server or a device goes away under them.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_services.h"
#include "tests/audio/pulse/pulse_test_server.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 48000;               // [Hz]
constexpr double kToneHz = 1000.0;         // [Hz]
constexpr double kToneAmplitude = 16384;   // [16-bit steps]: -6.02 dBFS
constexpr double kFullScale = 2147483648;  // 2^31: full scale of a captured sample

// The loss of the server or of a device must reach the capture thread well within this. The
// loss is seen at once; the bound only tells a hang from a slow machine. [ms]
constexpr int kLossBoundMs = 2000;

// Index of the null sink's monitor among the capture endpoints (the microphone comes first).
constexpr int kNullMonitorIndex = 1;

// Polls the capture services every 1 ms as the engine's capture thread does and keeps every
// frame; stops at the first failure and notes when it came.
class CCaptureThread {
 public:
  explicit CCaptureThread(IAudioServices* services) : m_services(services) {
    m_frames.reserve(static_cast<size_t>(kRate) * 2 * 30);
  }
  ~CCaptureThread() { Stop(); }

  void Start() {
    m_thread = std::thread([this] { Run(); });
  }
  void Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
  }
  // Frames kept so far (left, right interleaved); read after Stop, or as a count meanwhile.
  const std::vector<int32_t>& Frames() const { return m_frames; }
  size_t FrameCount() const { return m_count.load(); }
  int32_t Failure() const { return m_failure.load(); }
  Clock::time_point FailureTime() const { return m_failureTime; }
  bool Ended() const { return m_ended.load(); }

 private:
  void Run() {
    while (!m_stop.load()) {
      uint32_t next = 0;
      int32_t result = m_services->GetNextPacketSize(&next);
      while (result == 0 && next != 0) {
        const int32_t* data = nullptr;
        uint32_t count = 0;
        bool silent = false;
        result = m_services->GetPacket(&data, &count, &silent);
        if (result != 0) break;
        for (uint32_t i = 0; i < count * 2; ++i) m_frames.push_back(silent ? 0 : data[i]);
        m_count.store(m_frames.size() / 2);
        result = m_services->ReleasePacket(count);
        if (result == 0) result = m_services->GetNextPacketSize(&next);
      }
      if (result != 0) {
        m_failureTime = Clock::now();
        m_failure.store(result);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_ended.store(true);
  }

  IAudioServices* m_services;
  std::vector<int32_t> m_frames;
  std::atomic<size_t> m_count{0};
  std::atomic<int32_t> m_failure{0};
  Clock::time_point m_failureTime;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_ended{false};
  std::thread m_thread;
};

// Keeps a ring of buffers queued as the engine's play thread does: every buffer that comes back
// done is refilled with the next part of a continuous 1 kHz tone and queued again, until
// `totalBuffers` have been queued (0: until stopped) or the output refuses one.
class CPlayThread {
 public:
  CPlayThread(IAudioServices* services, int headerCount, uint32_t framesPerBuffer,
              long totalBuffers)
      : m_services(services),
        m_headers(static_cast<size_t>(headerCount)),
        m_data(static_cast<size_t>(headerCount) * framesPerBuffer * 4),
        m_framesPerBuffer(framesPerBuffer),
        m_totalBuffers(totalBuffers) {
    for (size_t i = 0; i < m_headers.size(); ++i) {
      m_headers[i].data = m_data.data() + i * framesPerBuffer * 4;
      m_headers[i].length = framesPerBuffer * 4;
    }
  }
  ~CPlayThread() { Stop(); }

  static void Notify(void* context, OutputNotice notice) {
    auto* player = static_cast<CPlayThread*>(context);
    if (notice == OutputNotice::kOpened) player->m_opened.fetch_add(1);
    if (notice == OutputNotice::kClosed) player->m_closed.fetch_add(1);
    if (notice == OutputNotice::kBufferDone) player->m_done.fetch_add(1);
  }

  void Start() {
    m_thread = std::thread([this] { Run(); });
  }
  void Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
  }
  // Waits (at most `limitMs`) until every queued buffer has been reported done.
  bool WaitAllDone(int limitMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (Clock::now() < deadline) {
      if (m_finished.load() && m_done.load() == m_queued.load()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  std::vector<PlayHeader>& Headers() { return m_headers; }
  long Queued() const { return m_queued.load(); }
  long Done() const { return m_done.load(); }
  int Opened() const { return m_opened.load(); }
  int Closed() const { return m_closed.load(); }
  int32_t Refusal() const { return m_refusal.load(); }
  bool Finished() const { return m_finished.load(); }

 private:
  void Fill(PlayHeader& header) {
    auto* samples = reinterpret_cast<int16_t*>(header.data);
    for (uint32_t i = 0; i < m_framesPerBuffer; ++i) {
      const double phase = 2.0 * kPi * kToneHz * static_cast<double>(m_position++) / kRate;
      const auto sample = static_cast<int16_t>(std::lround(kToneAmplitude * std::sin(phase)));
      samples[2 * i] = sample;
      samples[2 * i + 1] = sample;
    }
  }

  bool QueueNext(PlayHeader& header) {
    Fill(header);
    const int32_t result = m_services->QueueBuffer(&header);
    if (result != 0) {
      m_refusal.store(result);
      return false;
    }
    m_queued.fetch_add(1);
    return true;
  }

  void Run() {
    bool running = true;
    for (PlayHeader& header : m_headers) {
      if (m_services->PrepareHeader(&header) != 0) running = false;
    }
    for (size_t i = 0; running && i < m_headers.size() && More(); ++i) {
      running = QueueNext(m_headers[i]);
    }
    size_t next = 0;
    while (running && More() && !m_stop.load()) {
      PlayHeader& header = m_headers[next];
      if ((header.flags.load() & kHeaderDone) != 0) {
        running = QueueNext(header);
        next = (next + 1) % m_headers.size();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    m_finished.store(true);
  }

  bool More() const { return m_totalBuffers == 0 || m_queued.load() < m_totalBuffers; }

  IAudioServices* m_services;
  std::vector<PlayHeader> m_headers;
  std::vector<char> m_data;
  uint32_t m_framesPerBuffer;
  long m_totalBuffers;
  long m_position = 0;  // [samples] of the tone
  std::atomic<long> m_queued{0};
  std::atomic<long> m_done{0};
  std::atomic<int> m_opened{0};
  std::atomic<int> m_closed{0};
  std::atomic<int32_t> m_refusal{0};
  std::atomic<bool> m_finished{false};
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

bool WaitFor(const std::function<bool()>& condition, int limitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

struct ToneReading {
  double levelDb = 0.0;      // RMS of the left channel [dB of 32-bit full scale]
  double frequencyHz = 0.0;  // from the rising zero crossings
  int64_t maxChannelDifference = 0;
};

// Reads `length` frames of the recording from `start`.
ToneReading ReadTone(const std::vector<int32_t>& frames, size_t start, size_t length) {
  ToneReading reading;
  double sumSquares = 0.0;
  double firstCrossing = -1.0;
  double lastCrossing = -1.0;
  int crossings = 0;
  for (size_t i = start; i < start + length; ++i) {
    const double left = frames[2 * i];
    sumSquares += left * left;
    reading.maxChannelDifference =
        std::max<int64_t>(reading.maxChannelDifference,
                          std::abs(static_cast<int64_t>(frames[2 * i]) - frames[2 * i + 1]));
    const double previous = frames[2 * (i - 1)];
    if (previous < 0.0 && left >= 0.0) {
      const double at = static_cast<double>(i - 1) + (-previous) / (left - previous);
      if (firstCrossing < 0.0) firstCrossing = at;
      lastCrossing = at;
      ++crossings;
    }
  }
  const double rms = std::sqrt(sumSquares / static_cast<double>(length));
  reading.levelDb = 20.0 * std::log10(rms / kFullScale);
  if (crossings > 1) {
    reading.frequencyHz = (crossings - 1) / ((lastCrossing - firstCrossing) / kRate);
  }
  return reading;
}

// First frame whose left sample exceeds a quarter of the tone's amplitude, or the size.
size_t ToneStart(const std::vector<int32_t>& frames) {
  const double threshold = kToneAmplitude * 65536.0 / 4.0;
  for (size_t i = 0; i < frames.size() / 2; ++i) {
    if (std::abs(static_cast<double>(frames[2 * i])) > threshold) return i;
  }
  return frames.size() / 2;
}

class PulseLoopbackTest : public PulseServerTest {
 protected:
  // Opens the given capture endpoint with the engine's format and starts it.
  void OpenCapture(int index) {
    std::vector<std::string> names;
    ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
    std::string name;
    ASSERT_EQ(m_services->OpenCaptureEndpoint(index, &name), 0);
    ASSERT_EQ(m_services->InitializeCapture(EngineCaptureFormat(), 1000000), 0);
    ASSERT_EQ(m_services->StartCaptureStream(), 0);
  }
};

struct BufferShape {
  int headers;
  uint32_t framesPerBuffer;
};

class PulseToneTest : public PulseLoopbackTest,
                      public ::testing::WithParamInterface<BufferShape> {};

}  // namespace

// The tone comes back from the monitor at the level and frequency it was played with, whatever
// the buffer size, and every queued buffer is reported done.
TEST_P(PulseToneTest, AToneThroughTheNullSinkIsRecordedFromItsMonitor) {
  const BufferShape shape = GetParam();
  ASSERT_NO_FATAL_FAILURE(OpenCapture(kNullMonitorIndex));
  CCaptureThread capture(m_services.get());
  capture.Start();

  // 1.5 s of tone.
  const long totalBuffers = (kRate * 3 / 2 + shape.framesPerBuffer - 1) / shape.framesPerBuffer;
  CPlayThread player(m_services.get(), shape.headers, shape.framesPerBuffer, totalBuffers);
  ASSERT_EQ(m_services->OutputDeviceCount(), 2);
  ASSERT_EQ(m_services->OpenOutput(0, EnginePlayFormat(), &CPlayThread::Notify, &player), 0);
  EXPECT_EQ(player.Opened(), 1);
  player.Start();
  ASSERT_TRUE(player.WaitAllDone(20000))
      << player.Done() << " of " << player.Queued() << " done, refusal " << player.Refusal();
  player.Stop();
  EXPECT_EQ(player.Refusal(), 0);
  EXPECT_EQ(player.Queued(), totalBuffers);
  EXPECT_EQ(player.Done(), totalBuffers);
  for (PlayHeader& header : player.Headers()) {
    EXPECT_NE(header.flags.load() & kHeaderDone, 0u);
    EXPECT_EQ(m_services->UnprepareHeader(&header), kMmNoError);
  }

  // The last buffers reach the monitor once the server has played them.
  const size_t wanted = static_cast<size_t>(kRate) * 3 / 2;
  ASSERT_TRUE(WaitFor(
      [&] { return capture.FrameCount() > wanted + kRate / 2 || capture.Failure() != 0; }, 20000));
  capture.Stop();
  ASSERT_EQ(capture.Failure(), 0);
  ASSERT_EQ(m_services->CloseOutput(), kMmNoError);
  EXPECT_EQ(player.Closed(), 1);
  EXPECT_EQ(m_services->StopCaptureStream(), 0);
  EXPECT_EQ(m_services->DroppedCaptureFrames(), 0u);

  // Half a second from 100 ms after the tone begins, well inside its 1.5 s.
  const std::vector<int32_t>& frames = capture.Frames();
  const size_t start = ToneStart(frames) + kRate / 10;
  const size_t length = kRate / 2;
  ASSERT_LT(start + length, frames.size() / 2);
  const ToneReading reading = ReadTone(frames, start, length);
  // -6.02 dBFS peak is -9.03 dB RMS; the 16-bit samples arrive in the upper 16 bits.
  const double expectedDb = 20.0 * std::log10(kToneAmplitude / 32768.0 / std::sqrt(2.0));
  EXPECT_NEAR(reading.levelDb, expectedDb, 0.05);
  EXPECT_NEAR(reading.frequencyHz, kToneHz, 0.5);
  // Both channels carry the same sample, to within one 16-bit step.
  EXPECT_LE(reading.maxChannelDifference, 65536);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, PulseToneTest,
                         ::testing::Values(BufferShape{128, 128}, BufferShape{160, 113},
                                           BufferShape{8, 4096}),
                         [](const ::testing::TestParamInfo<BufferShape>& shape) {
                           return std::to_string(shape.param.framesPerBuffer) + "Frames";
                         });

TEST_F(PulseLoopbackTest, ResetReturnsEveryQueuedBuffer) {
  CPlayThread notices(m_services.get(), 1, 128, 1);
  ASSERT_EQ(m_services->OpenOutput(0, EnginePlayFormat(), &CPlayThread::Notify, &notices), 0);
  // 128 buffers of 128 frames: 341 ms, far more than the server takes at once.
  std::vector<PlayHeader> headers(128);
  std::vector<char> data(128 * 512, 0);
  for (size_t i = 0; i < headers.size(); ++i) {
    headers[i].data = data.data() + i * 512;
    headers[i].length = 512;
    ASSERT_EQ(m_services->PrepareHeader(&headers[i]), kMmNoError);
    EXPECT_NE(headers[i].flags.load() & kHeaderPrepared, 0u);
    ASSERT_EQ(m_services->QueueBuffer(&headers[i]), kMmNoError);
  }
  // A queued buffer can neither be queued twice nor unprepared.
  EXPECT_EQ(m_services->QueueBuffer(&headers[127]), kWaveErrStillPlaying);
  EXPECT_EQ(m_services->UnprepareHeader(&headers[127]), kWaveErrStillPlaying);

  ASSERT_EQ(m_services->ResetOutput(), kMmNoError);
  // Every buffer is back, marked done, when the reset returns ...
  for (PlayHeader& header : headers) {
    EXPECT_NE(header.flags.load() & kHeaderDone, 0u);
    EXPECT_EQ(m_services->UnprepareHeader(&header), kMmNoError);
    EXPECT_EQ(header.flags.load() & kHeaderPrepared, 0u);
  }
  // ... and each one's notice follows from the output's own thread.
  EXPECT_TRUE(WaitFor([&] { return notices.Done() == 128; }, 5000)) << notices.Done();

  // The output plays on after a reset.
  ASSERT_EQ(m_services->PrepareHeader(&headers[0]), kMmNoError);
  ASSERT_EQ(m_services->QueueBuffer(&headers[0]), kMmNoError);
  EXPECT_TRUE(WaitFor([&] { return (headers[0].flags.load() & kHeaderDone) != 0; }, 5000));
  EXPECT_TRUE(WaitFor([&] { return notices.Done() == 129; }, 5000)) << notices.Done();
  ASSERT_EQ(m_services->CloseOutput(), kMmNoError);
  EXPECT_EQ(notices.Closed(), 1);
  EXPECT_EQ(notices.Done(), 129);
}

TEST_F(PulseLoopbackTest, CloseReturnsQueuedBuffersBeforeItsClosedNotice) {
  CPlayThread notices(m_services.get(), 1, 128, 1);
  ASSERT_EQ(m_services->OpenOutput(1, EnginePlayFormat(), &CPlayThread::Notify, &notices), 0);
  // 341 ms of buffers: more than the server takes at once.
  std::vector<PlayHeader> headers(128);
  std::vector<char> data(128 * 512, 0);
  for (size_t i = 0; i < headers.size(); ++i) {
    headers[i].data = data.data() + i * 512;
    headers[i].length = 512;
    ASSERT_EQ(m_services->PrepareHeader(&headers[i]), kMmNoError);
    ASSERT_EQ(m_services->QueueBuffer(&headers[i]), kMmNoError);
  }
  ASSERT_EQ(m_services->CloseOutput(), kMmNoError);
  EXPECT_EQ(notices.Done(), 128);
  EXPECT_EQ(notices.Closed(), 1);
  for (PlayHeader& header : headers) {
    EXPECT_NE(header.flags.load() & kHeaderDone, 0u);
    EXPECT_EQ(m_services->UnprepareHeader(&header), kMmNoError);
  }
  EXPECT_EQ(m_services->QueueBuffer(&headers[0]), kMmErrInvalHandle);
}

// The server dies while a tone plays and the input records: the capture thread's calls fail at
// once with the audio-client code of a lost service, the play thread's next buffer is refused,
// every queued buffer comes back, and nothing that follows hangs.
TEST_F(PulseLoopbackTest, AServerKilledMidStreamFailsEveryCallWithoutHanging) {
  ASSERT_NO_FATAL_FAILURE(OpenCapture(kNullMonitorIndex));
  CCaptureThread capture(m_services.get());
  capture.Start();
  CPlayThread player(m_services.get(), 128, 128, 0);
  ASSERT_EQ(m_services->OpenOutput(0, EnginePlayFormat(), &CPlayThread::Notify, &player), 0);
  player.Start();
  // Wait for the tone to arrive.
  ASSERT_TRUE(
      WaitFor([&] { return capture.FrameCount() > static_cast<size_t>(kRate) / 2; }, 20000));

  m_server.Kill();
  const Clock::time_point killed = Clock::now();
  ASSERT_TRUE(WaitFor([&] { return capture.Ended(); }, 10000));
  const int32_t failure = capture.Failure();
  EXPECT_TRUE(failure == kAudclntEServiceNotRunning || failure == kAudclntEDeviceInvalidated)
      << std::hex << failure;
  const auto delayMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(capture.FailureTime() - killed).count();
  EXPECT_LT(delayMs, kLossBoundMs);
  RecordProperty("lossSeenAfterMs", static_cast<int>(delayMs));

  ASSERT_TRUE(WaitFor([&] { return player.Finished(); }, 10000));
  EXPECT_EQ(player.Refusal(), kMmErrNoDriver);
  EXPECT_EQ(player.Closed(), 1);
  EXPECT_EQ(player.Done(), player.Queued());
  for (PlayHeader& header : player.Headers()) {
    EXPECT_NE(header.flags.load() & kHeaderDone, 0u);
    EXPECT_EQ(m_services->UnprepareHeader(&header), kMmNoError);
  }
  player.Stop();
  capture.Stop();

  // Every later call answers with a failure, at once.
  uint32_t frames = 0;
  EXPECT_EQ(m_services->GetNextPacketSize(&frames), failure);
  EXPECT_EQ(m_services->StopCaptureStream(), failure);
  EXPECT_EQ(m_services->ResetOutput(), kMmErrNoDriver);
  EXPECT_EQ(m_services->CloseOutput(), kMmErrNoDriver);
  EXPECT_EQ(player.Closed(), 1);
  m_services->ReleaseCaptureEndpoint();
  std::vector<std::string> names;
  EXPECT_EQ(m_services->ListCaptureEndpoints(&names), kAudclntEServiceNotRunning);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(m_services->OutputDeviceCount(), 0);
  std::vector<std::string> descriptions;
  EXPECT_FALSE(m_services->ListOutputDescriptions(&descriptions));
  float level = -1.0f;
  EXPECT_FALSE(m_services->GetOutputVolume(-1, &level));
  EXPECT_FALSE(m_services->SetOutputVolume(-1, 0.5f));
  EXPECT_EQ(m_services->OpenOutput(-1, EnginePlayFormat(), &CPlayThread::Notify, &player),
            kMmErrNoDriver);
}

// PulseAudio (or PipeWire) restarted: once the streams of the lost connection are closed, the
// next device listing connects to the new server, and its devices play and record again.
TEST_F(PulseLoopbackTest, AListingAfterARestartedServerConnectsAgain) {
  ASSERT_NO_FATAL_FAILURE(OpenCapture(kNullMonitorIndex));
  m_server.Kill();
  uint32_t frames = 0;
  ASSERT_TRUE(WaitFor([&] { return m_services->GetNextPacketSize(&frames) != 0; }, 10000));
  m_services->ReleaseCaptureEndpoint();
  std::vector<std::string> names;
  EXPECT_EQ(m_services->ListCaptureEndpoints(&names), kAudclntEServiceNotRunning);

  std::string why;
  bool missing = false;
  ASSERT_TRUE(m_server.Start(&why, &missing)) << why;
  ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(m_services->OutputDeviceCount(), 2);
  ASSERT_NO_FATAL_FAILURE(OpenCapture(kNullMonitorIndex));
  CCaptureThread capture(m_services.get());
  capture.Start();
  CPlayThread player(m_services.get(), 128, 128, 0);
  ASSERT_EQ(m_services->OpenOutput(0, EnginePlayFormat(), &CPlayThread::Notify, &player), 0);
  player.Start();
  // The tone comes back from the new server's monitor.
  ASSERT_TRUE(WaitFor(
      [&] {
        return capture.FrameCount() > static_cast<size_t>(kRate) / 2 &&
               player.Done() > 2 * kRate / 128;
      },
      30000));
  player.Stop();
  capture.Stop();
  EXPECT_EQ(capture.Failure(), 0);
  EXPECT_LT(ToneStart(capture.Frames()), capture.Frames().size() / 2);
  EXPECT_EQ(m_services->CloseOutput(), kMmNoError);
}

TEST_F(PulseLoopbackTest, ARemovedMicrophoneInvalidatesTheCapture) {
  ASSERT_NO_FATAL_FAILURE(OpenCapture(0));
  CCaptureThread capture(m_services.get());
  capture.Start();
  // The null microphone records silence.
  ASSERT_TRUE(
      WaitFor([&] { return capture.FrameCount() > static_cast<size_t>(kRate) / 10; }, 20000));
  int status = -1;
  m_server.Pactl("unload-module module-null-source", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(WaitFor([&] { return capture.Ended(); }, 10000));
  EXPECT_EQ(capture.Failure(), kAudclntEDeviceInvalidated);
  capture.Stop();
  for (size_t i = 0; i < capture.Frames().size(); ++i) ASSERT_EQ(capture.Frames()[i], 0) << i;
  // The server itself is still there: the other inputs are listed and open.
  m_services->ReleaseCaptureEndpoint();
  std::vector<std::string> names;
  ASSERT_EQ(m_services->ListCaptureEndpoints(&names), 0);
  EXPECT_EQ(names.size(), 2u);
  ASSERT_NO_FATAL_FAILURE(OpenCapture(0));
}

TEST_F(PulseLoopbackTest, ARemovedSinkRefusesBuffersAndClosesTheOutput) {
  ASSERT_EQ(m_services->OutputDeviceCount(), 2);
  CPlayThread player(m_services.get(), 128, 128, 0);
  ASSERT_EQ(m_services->OpenOutput(1, EnginePlayFormat(), &CPlayThread::Notify, &player), 0);
  player.Start();
  ASSERT_TRUE(WaitFor([&] { return player.Done() > 200; }, 20000));
  // The module that made the second sink.
  std::stringstream modules(m_server.Pactl("list short modules"));
  std::string line;
  std::string index;
  while (std::getline(modules, line)) {
    if (line.find("sink_name=quorvel_second") != std::string::npos) {
      index = line.substr(0, line.find('\t'));
    }
  }
  ASSERT_FALSE(index.empty());
  int status = -1;
  m_server.Pactl("unload-module " + index, &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(WaitFor([&] { return player.Finished(); }, 10000));
  // The server is still there: the refusals say the device has gone, not the server.
  EXPECT_EQ(player.Refusal(), kMmErrBadDeviceId);
  EXPECT_EQ(player.Closed(), 1);
  EXPECT_EQ(player.Done(), player.Queued());
  player.Stop();
  EXPECT_EQ(m_services->CloseOutput(), kMmErrBadDeviceId);
  EXPECT_EQ(player.Closed(), 1);
  // The other sink still plays.
  CPlayThread second(m_services.get(), 16, 128, 64);
  ASSERT_EQ(m_services->OpenOutput(0, EnginePlayFormat(), &CPlayThread::Notify, &second), 0);
  second.Start();
  EXPECT_TRUE(second.WaitAllDone(20000));
  second.Stop();
  EXPECT_EQ(m_services->CloseOutput(), kMmNoError);
}

}  // namespace quorvel
