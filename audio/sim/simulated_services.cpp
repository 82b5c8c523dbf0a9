#include "audio/sim/simulated_services.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>

#include "audio/output_buffer_flags.h"

namespace quorvel {

namespace {

constexpr int32_t kAudclntEAlreadyInitialized = static_cast<int32_t>(0x88890002u);
constexpr uint32_t kTickTimeSlots = 4096;
// The device thread runs late ticks at once up to this far behind; beyond, the lost time is
// skipped [ms of real time].
constexpr int kMaxLateMs = 5;
// The device thread runs this many ticks per wake-up: 512 frames, about 10.7 ms of the devices'
// clock, one device period.
constexpr int kTicksPerWake = 4;
// Longest sleep of the device thread while no stream is open; opening one wakes it at once [s].
constexpr int kIdleWaitSeconds = 60;
// The capture thread's wake-ups come this often [frames]: 10 ms.
constexpr uint64_t kWakeFrames = 480;
// The simulated microphone's sensitivity: dB SPL - dBFS RMS of what the capture stream delivers
// (its samples x 1.33) at gain 0 dB; 94 dB SPL reads -30 dBFS RMS.
constexpr double kCalibratorOffsetDb = 124.0;
constexpr double kCaptureScale = 1.33;
constexpr double kCalibratorStep = 2.0 * 3.141592653589793 * 1000.0 / 48000.0;  // [radians]

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The microphone's 32-bit sample of the model's output (full scale 1.0).
int32_t MicrophoneSample(double y) {
  return static_cast<int32_t>(
      std::clamp(std::round(y * 2147483647.0), -2147483648.0, 2147483647.0));
}

bool IsPcm32Stereo48k(const CaptureFormat& format) {
  const bool pcm = format.formatTag == kFormatPcm ||
                   (format.formatTag == kFormatExtensible && format.subFormat == kFormatPcm);
  return pcm && format.channels == 2 && format.bitsPerSample == 32 &&
         format.samplesPerSec == 48000 && format.blockAlign == 8;
}

}  // namespace

CSimulatedAudioServices::CSimulatedAudioServices(const SimulatedAudioOptions& options)
    : m_options(options),
      m_model(options.noise, options.noiseSeed, options.angleDeg),
      m_captureRing(kCaptureRingFrames),
      m_tickTimes(new std::atomic<int64_t>[kTickTimeSlots]) {
  if (!(m_options.clockFactor >= 0.01)) m_options.clockFactor = 1.0;
  if (std::isfinite(m_options.calibratorDb)) {
    m_calibratorAmplitude = std::sqrt(2.0) *
                            std::pow(10.0, (m_options.calibratorDb - kCalibratorOffsetDb) / 20.0) /
                            kCaptureScale;
  }
  for (uint32_t i = 0; i < kTickTimeSlots; ++i) m_tickTimes[i].store(0);
  for (int i = 0; i < m_options.inputCount; ++i) {
    m_inputNames.push_back(i == 0 ? std::string(kInputName)
                                  : std::string(kInputName) + " " + std::to_string(i + 1));
  }
  m_deviceThread = std::thread(&CSimulatedAudioServices::DeviceThreadProc, this);
}

CSimulatedAudioServices::~CSimulatedAudioServices() {
  m_quit.store(1);
  m_deviceWake.Signal();
  m_deviceThread.join();
}

// ---- the device thread: a few ticks of 128 frames per wake-up on the simulated clock ----

// Device thread: no stream is open, so nothing needs the devices' clock.
bool CSimulatedAudioServices::DevicesIdle() const {
  return m_outputState.load(std::memory_order_acquire) == kOutputClosed &&
         m_captureRunning.load(std::memory_order_acquire) == 0;
}

void CSimulatedAudioServices::DeviceThreadProc() {
  using Clock = std::chrono::steady_clock;
  const double wakeNs =
      kTickFrames * kTicksPerWake * 1e9 / CLoudspeakerModel::kRate / m_options.clockFactor;
  auto start = Clock::now();
  uint64_t wakes = 0;
  while (m_quit.load(std::memory_order_acquire) == 0) {
    if (DevicesIdle()) {
      // Sleeps until a stream opens (or the services go): the devices' clock stands still
      // meanwhile, as a device's does while nothing uses it.
      static_cast<void>(m_deviceWake.Wait(std::chrono::seconds(kIdleWaitSeconds)));
      start = Clock::now();
      wakes = 0;
      continue;
    }
    const auto due =
        start + std::chrono::nanoseconds(static_cast<int64_t>(wakeNs * static_cast<double>(wakes)));
    const auto now = Clock::now();
    if (due > now) {
      std::this_thread::sleep_until(due);
    } else if (now - due > std::chrono::milliseconds(kMaxLateMs)) {
      // Behind (the machine was busy): the devices' clock stood still meanwhile, as a device's
      // does when it is not serviced, rather than racing through the lost time, which would
      // drain the output queue faster than any play thread refills it.
      start =
          now - std::chrono::nanoseconds(static_cast<int64_t>(wakeNs * static_cast<double>(wakes)));
    }
    for (int tick = 0; tick < kTicksPerWake; ++tick) Tick();
    ++wakes;
  }
}

void CSimulatedAudioServices::FinishBuffer(PlayHeader* header, OutputNotifyRoutine routine,
                                           void* context) {
  MarkBufferDone(*header);
  m_outstanding.fetch_sub(1, std::memory_order_acq_rel);
  if (routine != nullptr) routine(context, OutputNotice::kBufferDone);
}

double CSimulatedAudioServices::PlayFrame(OutputNotifyRoutine routine, void* context,
                                          float volume) {
  if (m_startWait > 0) {
    --m_startWait;
    return 0.0;
  }
  const bool gap = m_gapLeft > 0;
  if (gap) {
    --m_gapLeft;
  } else if (m_current == nullptr) {
    m_current = m_queue.Pop();
    m_currentPos = 0;
  }
  if (gap || m_current == nullptr) {
    // A gap, or nothing queued: a playing output has run dry.
    if (m_running) {
      m_running = false;
      m_underflows.fetch_add(1);
      if (routine != nullptr) routine(context, OutputNotice::kUnderflow);
    }
    return 0.0;
  }
  if (!m_running) {
    m_running = true;
    if (routine != nullptr) routine(context, OutputNotice::kStarted);
  }
  double x = 0.0;
  if (m_currentPos + 4 <= m_current->length && m_current->data != nullptr) {
    int16_t left = 0;
    int16_t right = 0;
    std::memcpy(&left, m_current->data + m_currentPos, 2);
    std::memcpy(&right, m_current->data + m_currentPos + 2, 2);
    x = (static_cast<double>(left) + static_cast<double>(right)) / 65536.0 * volume;
  }
  m_currentPos += 4;
  m_playedFrames.fetch_add(1, std::memory_order_acq_rel);
  if (m_currentPos >= m_current->length) {
    PlayHeader* done = m_current;
    m_current = nullptr;
    m_buffersPlayed.fetch_add(1);
    FinishBuffer(done, routine, context);
  }
  return x;
}

void CSimulatedAudioServices::Tick() {
  OutputNotifyRoutine routine = nullptr;
  void* context = nullptr;
  bool notifyOpened = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    routine = m_routine;
    context = m_context;
    notifyOpened = m_openedNoticePending;
    m_openedNoticePending = false;
    if (m_firPending) {
      m_model.SetDirectivity(m_pendingFir);
      m_firPending = false;
    }
  }
  if (notifyOpened && routine != nullptr) routine(context, OutputNotice::kOpened);
  GiveBackOnReset(routine, context);
  // Opened or restarted: the output waits before it plays, as a device that wakes up first.
  if (m_restarted.exchange(0, std::memory_order_acq_rel) != 0) {
    m_startWait = m_outputStartDelayFrames.load(std::memory_order_relaxed);
    m_running = false;
  }
  m_gapLeft += m_gapFrames.exchange(0, std::memory_order_acq_rel);
  m_loseLeft += m_loseFrames.exchange(0, std::memory_order_acq_rel);
  m_zeroLeft += m_zeroFrames.exchange(0, std::memory_order_acq_rel);
  RunFrames(routine, context);
  m_deviceFrames.fetch_add(kTickFrames, std::memory_order_acq_rel);
  if (m_outputState.load(std::memory_order_acquire) == kOutputClosing) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_routine = nullptr;
      m_context = nullptr;
      m_outputState.store(kOutputClosed, std::memory_order_release);
    }
    if (routine != nullptr) routine(context, OutputNotice::kClosed);
  }
}

// Device thread: every held buffer goes back when a reset was asked for.
void CSimulatedAudioServices::GiveBackOnReset(OutputNotifyRoutine routine, void* context) {
  const uint32_t requests = m_resetRequests.load(std::memory_order_acquire);
  if (requests == m_resetsDone.load(std::memory_order_relaxed)) return;
  if (m_current != nullptr) {
    FinishBuffer(m_current, routine, context);
    m_current = nullptr;
  }
  while (PlayHeader* header = m_queue.Pop()) FinishBuffer(header, routine, context);
  m_resets.fetch_add(1);
  m_resetsDone.store(requests, std::memory_order_release);
}

// Device thread: one tick's frames through the output, the loudspeaker and the microphone.
void CSimulatedAudioServices::RunFrames(OutputNotifyRoutine routine, void* context) {
  const bool playing = m_outputState.load(std::memory_order_acquire) == kOutputOpen &&
                       m_stalled.load(std::memory_order_acquire) == 0 &&
                       m_paused.load(std::memory_order_acquire) == 0;
  const bool recording = m_captureRunning.load(std::memory_order_acquire) != 0;
  const float volume = m_volume.load(std::memory_order_relaxed);
  int32_t recorded[kTickFrames * 2];
  uint32_t count = 0;
  uint32_t inputWaitAtStart = recording ? m_inputWait.load(std::memory_order_acquire) : 0;
  uint32_t inputWait = inputWaitAtStart;
  const int loopback = m_loopbackChannel.load(std::memory_order_relaxed);
  const uint32_t latency = m_latencyFrames.load(std::memory_order_relaxed);
  if (m_delayLineReset.exchange(0, std::memory_order_acq_rel) != 0) {
    std::memset(m_delayLine, 0, sizeof m_delayLine);
    m_delayWrite = 0;
  }
  for (int frame = 0; frame < kTickFrames; ++frame) {
    const double x = playing ? PlayFrame(routine, context, volume) : 0.0;
    double y = 0.0;
    if (m_calibratorAmplitude > 0.0) [[unlikely]] {
      // The microphone hears the calibrator and its own noise, not the loudspeaker.
      y = m_model.Process(0.0) + m_calibratorAmplitude * std::sin(m_calibratorPhase);
      m_calibratorPhase = std::fmod(m_calibratorPhase + kCalibratorStep, 2.0 * 3.141592653589793);
    } else {
      y = m_model.Process(x);
    }
    if (!recording) continue;
    int32_t microphone = MicrophoneSample(y * m_options.microphoneGain);
    int32_t reference = microphone;
    if (loopback != 0) {
      // both channels through the devices' latency
      int32_t* in = m_delayLine[m_delayWrite];
      in[0] = microphone;
      in[1] = MicrophoneSample(0.5 * x);
      const int32_t* out =
          m_delayLine[(m_delayWrite + kDelayLineFrames - latency) % kDelayLineFrames];
      microphone = out[0];
      reference = out[1];
      m_delayWrite = (m_delayWrite + 1) % kDelayLineFrames;
    }
    if (inputWait > 0) {
      --inputWait;  // the input does not deliver yet
      continue;
    }
    if (m_loseLeft > 0) {
      --m_loseLeft;
      m_lostFrames.fetch_add(1, std::memory_order_acq_rel);
      continue;
    }
    if (m_zeroLeft > 0) microphone = reference = 0;
    m_zeroLeft -= m_zeroLeft > 0 ? 1 : 0;
    recorded[2 * count] = loopback == 1 ? reference : microphone;
    recorded[2 * count + 1] = loopback == 1 ? microphone : reference;
    ++count;
  }
  // A start of the stream meanwhile (a new wait) wins over this tick's count.
  if (inputWait != inputWaitAtStart) {
    m_inputWait.compare_exchange_strong(inputWaitAtStart, inputWait, std::memory_order_acq_rel);
  }
  if (recording) Record(recorded, count);
}

// Device thread: the microphone's frames into the capture ring; what does not fit is lost.
void CSimulatedAudioServices::Record(const int32_t* frames, uint32_t count) {
  const uint32_t written = m_captureRing.Written();
  m_tickTimes[(written / kTickFrames) % kTickTimeSlots].store(NowNs(), std::memory_order_relaxed);
  const uint32_t stored = m_captureRing.Write(frames, count);
  if (stored < count) {
    m_overruns.fetch_add(count - stored);
    m_lostFrames.fetch_add(count - stored, std::memory_order_acq_rel);
  }
  // The capture thread is woken about every 10 ms of recording, as a device period would.
  if ((written + stored) / kWakeFrames != written / kWakeFrames) m_captureEvent.Signal();
}

// ---- capture endpoints and stream ----

int32_t CSimulatedAudioServices::ListCaptureEndpoints(std::vector<std::string>* names) {
  std::lock_guard<std::mutex> lock(m_mutex);
  names->clear();
  for (int i = 0; i < m_options.inputCount; ++i) {
    names->push_back(i == 0 ? std::string(kInputName)
                            : std::string(kInputName) + " " + std::to_string(i + 1));
  }
  // A listing restores the names: the endpoints are what they are now.
  m_inputNames = *names;
  return 0;
}

void CSimulatedAudioServices::SetInputName(int index, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index >= 0 && static_cast<size_t>(index) < m_inputNames.size()) m_inputNames[index] = name;
}

void CSimulatedAudioServices::SetLoudspeakerAngle(double angleDeg) {
  const PistonFir fir = DesignPistonFir(angleDeg, CLoudspeakerModel::kRate);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pendingFir = fir;
  m_firPending = true;
}

int32_t CSimulatedAudioServices::OpenCaptureEndpoint(int index, std::string* name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index < 0 || static_cast<size_t>(index) >= m_inputNames.size()) return kEInvalidArg;
  *name = m_inputNames[static_cast<size_t>(index)];
  m_captureOpen.store(1);
  m_captureInitialised = false;
  return 0;
}

uint32_t CSimulatedAudioServices::CaptureEndpointRate(int index) {
  return index >= 0 && index < m_options.inputCount ? m_options.mixFormat.samplesPerSec : 0;
}

void CSimulatedAudioServices::ReleaseCaptureEndpoint() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_captureRunning.store(0);
  m_captureOpen.store(0);
  m_captureInitialised = false;
}

int32_t CSimulatedAudioServices::GetMixFormat(CaptureFormat* format) {
  if (m_captureOpen.load() == 0) return kAudclntENotInitialized;
  *format = m_options.mixFormat;
  return 0;
}

int32_t CSimulatedAudioServices::GetDevicePeriod(int64_t* period100ns) {
  if (m_captureOpen.load() == 0) return kAudclntENotInitialized;
  *period100ns = 100000;  // 10 ms
  return 0;
}

int32_t CSimulatedAudioServices::InitializeCapture(const CaptureFormat& format,
                                                   int64_t bufferDuration100ns) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_captureOpen.load() == 0) return kAudclntENotInitialized;
  if (m_captureInitialised) return kAudclntEAlreadyInitialized;
  if (!IsPcm32Stereo48k(format) || bufferDuration100ns <= 0) return kAudclntEUnsupportedFormat;
  m_captureInitialised = true;
  return 0;
}

int32_t CSimulatedAudioServices::GetCaptureBufferSize(uint32_t* frames) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_captureInitialised) return kAudclntENotInitialized;
  *frames = kCaptureBufferFrames;
  return 0;
}

int32_t CSimulatedAudioServices::StartCaptureStream() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_captureInitialised) return kAudclntENotInitialized;
  if (m_captureRunning.load() == 0) {
    // The capture thread does not read yet: the ring starts empty.
    m_captureRing.Consume(m_captureRing.ReadableFrames());
    m_packetFrames = 0;
    m_inputWait.store(m_inputStartDelayFrames.load(), std::memory_order_release);
    uint32_t latency = 0;
    if (m_loopbackChannel.load() != 0) {
      std::random_device entropy;
      latency = std::uniform_int_distribution<uint32_t>(5 * 48, 40 * 48)(entropy);
    }
    m_latencyFrames.store(latency);
    m_delayLineReset.store(1, std::memory_order_release);
    m_captureRunning.store(1, std::memory_order_release);
    m_deviceWake.Signal();
  }
  return 0;
}

int32_t CSimulatedAudioServices::StopCaptureStream() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_captureInitialised) return kAudclntENotInitialized;
  m_captureRunning.store(0, std::memory_order_release);
  return 0;
}

// Capture thread; never blocks.
int32_t CSimulatedAudioServices::GetNextPacketSize(uint32_t* frames) {
  if (m_inputLost.load(std::memory_order_acquire) != 0) return kAudclntEDeviceInvalidated;
  const uint32_t contiguous = m_captureRing.ReadableContiguous();
  *frames = contiguous < kMaxPacketFrames ? contiguous : kMaxPacketFrames;
  return 0;
}

// Capture thread; never blocks.
int32_t CSimulatedAudioServices::GetPacket(const int32_t** frames, uint32_t* frameCount,
                                           bool* silent) {
  if (m_inputLost.load(std::memory_order_acquire) != 0) return kAudclntEDeviceInvalidated;
  uint32_t packet = 0;
  GetNextPacketSize(&packet);
  const uint32_t read = m_captureRing.Consumed();
  *frames = m_captureRing.ReadPointer();
  *frameCount = packet;
  *silent = false;
  m_packetFrames = packet;
  if (packet != 0) {
    const int64_t recorded =
        m_tickTimes[(read / kTickFrames) % kTickTimeSlots].load(std::memory_order_relaxed);
    const int64_t latency = NowNs() - recorded;
    int64_t worst = m_maxCaptureLatencyNs.load(std::memory_order_relaxed);
    while (latency > worst && !m_maxCaptureLatencyNs.compare_exchange_weak(
                                  worst, latency, std::memory_order_relaxed)) {
    }
  }
  return 0;
}

// Capture thread; never blocks.
int32_t CSimulatedAudioServices::ReleasePacket(uint32_t frameCount) {
  if (frameCount > m_packetFrames) return kEInvalidArg;
  m_captureRing.Consume(frameCount);
  m_packetFrames = 0;
  return 0;
}

// Capture thread: sleeps on the event the device thread signals; no lock.
bool CSimulatedAudioServices::WaitCapturePacket(int timeoutMs) {
  if (m_inputLost.load(std::memory_order_acquire) != 0 || m_captureRing.ReadableFrames() != 0) {
    return true;
  }
  return m_captureEvent.Wait(std::chrono::milliseconds(timeoutMs));
}

uint64_t CSimulatedAudioServices::CaptureFramesLost() {
  return m_lostFrames.load(std::memory_order_acquire);
}

// ---- output devices and stream ----

int CSimulatedAudioServices::OutputDeviceCount() {
  return 1;
}

std::string CSimulatedAudioServices::OutputProductName(int id) {
  return id == 0 ? std::string(kOutputName) : std::string();
}

bool CSimulatedAudioServices::ListOutputDescriptions(std::vector<std::string>* descriptions) {
  descriptions->assign(1, std::string(kOutputName) + " (built-in loudspeaker model)");
  return true;
}

uint32_t CSimulatedAudioServices::OutputDeviceRate(int id) {
  return id == 0 || id == -1 ? static_cast<uint32_t>(CLoudspeakerModel::kRate) : 0;
}

int32_t CSimulatedAudioServices::OpenOutput(int deviceId, const PlayFormat& format,
                                            OutputNotifyRoutine routine, void* context) {
  if (deviceId != 0 && deviceId != -1) return kMmErrBadDeviceId;
  if (format.channels != 2 || format.bitsPerSample != 16 || format.samplesPerSec != 48000 ||
      format.blockAlign != 4) {
    return kWaveErrBadFormat;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_outputState.load() != kOutputClosed) return kMmErrAllocated;
  m_routine = routine;
  m_context = context;
  m_openedNoticePending = true;
  m_paused.store(0, std::memory_order_release);
  m_playedFrames.store(0, std::memory_order_release);
  m_restarted.store(1, std::memory_order_release);
  m_outputState.store(kOutputOpen, std::memory_order_release);
  m_deviceWake.Signal();
  return kMmNoError;
}

int32_t CSimulatedAudioServices::PrepareHeader(PlayHeader* header) {
  if (m_outputState.load(std::memory_order_acquire) != kOutputOpen) return kMmErrInvalHandle;
  if (header == nullptr || header->data == nullptr) return kEInvalidArg;
  MarkBufferPrepared(*header);
  return kMmNoError;
}

// Play thread; never blocks or allocates.
int32_t CSimulatedAudioServices::QueueBuffer(PlayHeader* header) {
  if (m_outputState.load(std::memory_order_acquire) != kOutputOpen) return kMmErrInvalHandle;
  if (m_refuse.load(std::memory_order_acquire) != 0) {
    m_refusals.fetch_add(1);
    return kMmErrNoMem;
  }
  const int32_t marked = MarkBufferQueued(*header);
  if (marked != kMmNoError) return marked;
  // Counted before the device thread can see it, and so give it back.
  m_outstanding.fetch_add(1, std::memory_order_acq_rel);
  if (!m_queue.Push(header)) {
    m_outstanding.fetch_sub(1, std::memory_order_acq_rel);
    UnmarkBufferQueued(*header);
    return kMmErrNoMem;
  }
  return kMmNoError;
}

// Any thread. Waits for the device thread to give every held buffer back (one wake-up).
int32_t CSimulatedAudioServices::ResetOutput() {
  if (m_outputState.load(std::memory_order_acquire) == kOutputClosed) return kMmErrInvalHandle;
  if (m_outstanding.load(std::memory_order_acquire) == 0) return kMmNoError;
  const uint32_t request = m_resetRequests.fetch_add(1, std::memory_order_acq_rel) + 1;
  for (int i = 0; i < 20000; ++i) {
    if (static_cast<int32_t>(m_resetsDone.load(std::memory_order_acquire) - request) >= 0) {
      return kMmNoError;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  return kMmErrNoMem;
}

int32_t CSimulatedAudioServices::UnprepareHeader(PlayHeader* header) {
  if (m_outputState.load(std::memory_order_acquire) == kOutputClosed) return kMmErrInvalHandle;
  return MarkBufferUnprepared(*header, true);
}

int32_t CSimulatedAudioServices::CloseOutput() {
  std::lock_guard<std::mutex> lock(m_mutex);
  const int32_t state = m_outputState.load();
  if (state == kOutputClosed) return kMmErrInvalHandle;
  if (state == kOutputClosing) return kMmNoError;
  if (m_outstanding.load(std::memory_order_acquire) != 0) return kWaveErrStillPlaying;
  m_outputState.store(kOutputClosing, std::memory_order_release);
  return kMmNoError;
}

int32_t CSimulatedAudioServices::PauseOutput() {
  if (m_outputState.load(std::memory_order_acquire) != kOutputOpen) return kMmErrInvalHandle;
  m_paused.store(1, std::memory_order_release);
  return kMmNoError;
}

int32_t CSimulatedAudioServices::RestartOutput() {
  if (m_outputState.load(std::memory_order_acquire) != kOutputOpen) return kMmErrInvalHandle;
  if (m_paused.exchange(0, std::memory_order_acq_rel) != 0) {
    m_restarted.store(1, std::memory_order_release);
  }
  return kMmNoError;
}

// Any thread; never blocks.
bool CSimulatedAudioServices::GetOutputPosition(uint64_t* frames) {
  if (m_outputState.load(std::memory_order_acquire) != kOutputOpen) return false;
  *frames = m_playedFrames.load(std::memory_order_acquire);
  return true;
}

bool CSimulatedAudioServices::SetOutputVolume(int deviceId, float level) {
  if (deviceId != 0 && deviceId != -1) return false;
  if (!(level >= 0.0f && level <= 1.0f)) return false;
  m_volume.store(level);
  return true;
}

bool CSimulatedAudioServices::GetOutputVolume(int deviceId, float* level) {
  if (deviceId != 0 && deviceId != -1) return false;
  *level = m_volume.load();
  return true;
}

uint32_t CSimulatedAudioServices::MilliSeconds() {
  return static_cast<uint32_t>(m_deviceFrames.load(std::memory_order_acquire) / 48u);
}

}  // namespace quorvel
