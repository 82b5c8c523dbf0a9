#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_services.h"
#include "audio/auto_reset_event.h"
#include "audio/sim/loudspeaker_model.h"
#include "audio/spsc_ring.h"

namespace quorvel {

// What the simulated devices look like.
struct SimulatedAudioOptions {
  // How fast the simulated devices' clock runs: 1 = real time, 20 = twenty times faster.
  double clockFactor = 1.0;
  // Capture endpoints offered (0: none). The first is "Simulated measurement microphone", the
  // others the same name with " 2", " 3", ...
  int inputCount = 1;
  // The microphone's own format (the capture stream converts from it): 48000 Hz float stereo.
  CaptureFormat mixFormat{kFormatIeeeFloat, 2, 48000, 384000, 8, 32, 0, 0, 0};
  bool noise = true;
  // The microphone's own gain before its converter: above about 3.2 the sweep the loudspeaker
  // gives back reaches the converter's full scale and clips there.
  double microphoneGain = 1.0;
  uint32_t noiseSeed = 0x2545F491u;
  // The direction the microphone hears the loudspeaker from [degrees off axis]: a rigid piston
  // in an infinite baffle (CLoudspeakerModel).
  double angleDeg = 0.0;
  // A sound level calibrator held to the microphone instead of the loudspeaker [dB SPL]: a
  // 1 kHz tone over the microphone's own noise; NaN: none. The microphone's sensitivity: 94 dB
  // SPL reads -30 dBFS RMS once the capture stream's x1.33 has scaled it, at gain 0 dB.
  double calibratorDb = std::numeric_limits<double>::quiet_NaN();
};

// The built-in simulated loudspeaker: an audio services implementation with one input, the
// "Simulated measurement microphone", and one output, the "Simulated loudspeaker" (the engine
// adds the default output after it; both open the same simulated device). What the output plays
// reaches the input through CLoudspeakerModel. The devices run on a clock of their own, at real
// time or faster, on one device thread that plays the queued buffers, sends the notices and
// records the microphone, a device period of ticks per wake-up; it sleeps while no stream is
// open, and the devices' clock stands still meanwhile.
//
// The engine's capture and play threads never wait on a lock here: the capture packets come
// from a single-producer single-consumer ring, and queued output buffers go through another.
// Control operations (open, close, start, stop) take a mutex that the device thread holds only
// briefly; ResetOutput waits for the device thread to give the buffers back (one wake-up at most).
//
// Fault switches for tests: a stalled output (stops consuming buffers), an output that refuses
// buffers, an input whose name changed since the listing, an input that is lost mid-stream, an
// output or an input that starts late, a gap in the output, frames lost on the input.
//
// Destroy the engine that uses these services first.
class CSimulatedAudioServices final : public IAudioServices {
 public:
  static constexpr char kInputName[] = "Simulated measurement microphone";
  static constexpr char kOutputName[] = "Simulated loudspeaker";
  static constexpr uint32_t kCaptureBufferFrames = 4800;  // 100 ms
  static constexpr int kTickFrames = 128;                 // frames per device clock tick

  explicit CSimulatedAudioServices(const SimulatedAudioOptions& options = {});
  ~CSimulatedAudioServices() override;
  CSimulatedAudioServices(const CSimulatedAudioServices&) = delete;
  CSimulatedAudioServices& operator=(const CSimulatedAudioServices&) = delete;

  // ---- IAudioServices ----
  int32_t ListCaptureEndpoints(std::vector<std::string>* names) override;
  int32_t OpenCaptureEndpoint(int index, std::string* name) override;
  uint32_t CaptureEndpointRate(int index) override;
  void ReleaseCaptureEndpoint() override;
  int32_t GetMixFormat(CaptureFormat* format) override;
  int32_t GetDevicePeriod(int64_t* period100ns) override;
  int32_t InitializeCapture(const CaptureFormat& format, int64_t bufferDuration100ns) override;
  int32_t GetCaptureBufferSize(uint32_t* frames) override;
  int32_t StartCaptureStream() override;
  int32_t StopCaptureStream() override;
  int32_t GetNextPacketSize(uint32_t* frames) override;
  int32_t GetPacket(const int32_t** frames, uint32_t* frameCount, bool* silent) override;
  int32_t ReleasePacket(uint32_t frameCount) override;
  bool WaitCapturePacket(int timeoutMs) override;
  uint64_t CaptureFramesLost() override;
  int OutputDeviceCount() override;
  std::string OutputProductName(int id) override;
  bool ListOutputDescriptions(std::vector<std::string>* descriptions) override;
  uint32_t OutputDeviceRate(int id) override;
  int32_t OpenOutput(int deviceId, const PlayFormat& format, OutputNotifyRoutine routine,
                     void* context) override;
  int32_t PrepareHeader(PlayHeader* header) override;
  int32_t QueueBuffer(PlayHeader* header) override;
  int32_t ResetOutput() override;
  int32_t UnprepareHeader(PlayHeader* header) override;
  int32_t CloseOutput() override;
  int32_t PauseOutput() override;
  int32_t RestartOutput() override;
  bool GetOutputPosition(uint64_t* frames) override;
  bool SetOutputVolume(int deviceId, float level) override;
  bool GetOutputVolume(int deviceId, float* level) override;
  // The simulated devices' clock [ms]: it advances with the frames the devices have run.
  uint32_t MilliSeconds() override;

  // ---- fault switches (any thread) ----
  void SetOutputStalled(bool stalled) { m_stalled.store(stalled ? 1 : 0); }
  void SetRefuseBuffers(bool refuse) { m_refuse.store(refuse ? 1 : 0); }
  void SetInputLost(bool lost) { m_inputLost.store(lost ? 1 : 0); }
  // The output takes its first buffer only this long after it was opened or restarted, as a
  // suspended device that has to wake up first [ms of the devices' clock].
  void SetOutputStartDelay(uint32_t ms) { m_outputStartDelayFrames.store(ms * 48u); }
  // The input delivers nothing for this long after its stream is started [ms of the devices'
  // clock].
  void SetInputStartDelay(uint32_t ms) { m_inputStartDelayFrames.store(ms * 48u); }
  // The playing output runs dry for `frames` frames from now on: it plays silence without
  // taking buffers (underflow, then started again).
  void InsertOutputGap(uint32_t frames) { m_gapFrames.store(frames); }
  // The next `frames` recorded frames never reach the capture ring (counted as lost).
  void LoseInputFrames(uint32_t frames) { m_loseFrames.store(frames); }
  // The next `frames` recorded frames reach the capture ring as exact zeros, as a server that
  // drops samples without saying so leaves them.
  void ZeroInputFrames(uint32_t frames) { m_zeroFrames.store(frames); }
  // The name endpoint `index` has when it is opened (as if another device took its place).
  void SetInputName(int index, const std::string& name);

  // ---- the loudspeaker (any thread) ----
  // The direction the microphone hears the loudspeaker from [degrees off axis] from the device
  // thread's next tick on. The filter is designed here, on the caller's thread, and handed over
  // under the control mutex; the device thread only copies it.
  void SetLoudspeakerAngle(double angleDeg);

  // ---- the loopback timing reference (any thread) ----
  // channel 1 (left) or 2 (right) carries the played signal electrically, at half its level,
  // and the other the microphone; 0: the microphone on both, with its fixed timing. With a
  // loopback, each capture stream start draws a device latency of 5 to 40 ms that delays both
  // channels alike, as a real input and output add their buffers.
  void SetLoopbackChannel(int channel) { m_loopbackChannel.store(channel); }
  // The latency the last capture start drew [frames] (0 without a loopback).
  uint32_t LoopbackLatencyFrames() const { return m_latencyFrames.load(); }

  // ---- observation (any thread) ----
  bool IsOutputOpen() const { return m_outputState.load() != kOutputClosed; }
  bool IsCaptureOpen() const { return m_captureOpen.load() != 0; }
  bool IsCaptureRunning() const { return m_captureRunning.load() != 0; }
  int QueuedBuffers() const { return m_outstanding.load(); }
  int64_t OutputResets() const { return m_resets.load(); }
  int64_t BuffersPlayed() const { return m_buffersPlayed.load(); }
  int64_t QueueRefusals() const { return m_refusals.load(); }
  int64_t CaptureOverruns() const { return m_overruns.load(); }
  uint64_t DeviceFrames() const { return m_deviceFrames.load(); }
  // Largest delay between a frame's recording and the capture side taking it [ns] (bench).
  int64_t MaxCaptureLatencyNs() const { return m_maxCaptureLatencyNs.load(); }
  void ResetCaptureLatency() { m_maxCaptureLatencyNs.store(0); }

 private:
  enum { kOutputClosed = 0, kOutputOpen = 1, kOutputClosing = 2 };
  static constexpr uint32_t kCaptureRingFrames = 1u << 18;  // 5.4 s of microphone frames
  static constexpr uint32_t kMaxPacketFrames = 480;         // 10 ms

  bool DevicesIdle() const;
  void DeviceThreadProc();
  void Tick();
  void GiveBackOnReset(OutputNotifyRoutine routine, void* context);
  void RunFrames(OutputNotifyRoutine routine, void* context);
  void Record(const int32_t* frames, uint32_t count);
  void FinishBuffer(PlayHeader* header, OutputNotifyRoutine routine, void* context);
  // One frame of the output: the next sample of the queued buffers, or silence (device thread).
  double PlayFrame(OutputNotifyRoutine routine, void* context, float volume);

  SimulatedAudioOptions m_options;
  CLoudspeakerModel m_model;

  std::mutex m_mutex;  // control state below; never taken on the engine's audio threads
  std::vector<std::string> m_inputNames;
  OutputNotifyRoutine m_routine = nullptr;
  void* m_context = nullptr;
  bool m_openedNoticePending = false;
  bool m_captureInitialised = false;
  PistonFir m_pendingFir;  // a new direction for the device thread to take
  bool m_firPending = false;

  std::atomic<int32_t> m_outputState{kOutputClosed};
  std::atomic<int32_t> m_captureOpen{0};
  std::atomic<int32_t> m_captureRunning{0};
  std::atomic<int32_t> m_stalled{0};
  std::atomic<int32_t> m_refuse{0};
  std::atomic<int32_t> m_inputLost{0};
  std::atomic<int32_t> m_paused{0};
  std::atomic<uint32_t> m_outputStartDelayFrames{0};
  std::atomic<uint32_t> m_inputStartDelayFrames{0};
  std::atomic<uint32_t> m_gapFrames{0};
  std::atomic<uint32_t> m_loseFrames{0};
  std::atomic<uint32_t> m_zeroFrames{0};
  std::atomic<float> m_volume{1.0f};

  // Output queue: producer QueueBuffer (play thread), consumer the device thread.
  CHeaderQueue m_queue;
  std::atomic<int32_t> m_outstanding{0};  // queued buffers not yet given back
  PlayHeader* m_current = nullptr;        // device thread only
  uint32_t m_currentPos = 0;              // [bytes], device thread only
  // Device thread: frames still to wait before the output plays, and whether it plays now
  // (between its started and underflow notices).
  uint32_t m_startWait = 0;
  uint32_t m_gapLeft = 0;              // frames of a gap still to play
  uint32_t m_loseLeft = 0;             // recorded frames still to lose
  uint32_t m_zeroLeft = 0;             // recorded frames still to zero
  double m_calibratorAmplitude = 0.0;  // the calibrator's peak (full scale 1.0); 0: none
  double m_calibratorPhase = 0.0;      // [radians], device thread only
  bool m_running = false;
  std::atomic<int32_t> m_restarted{0};      // open or restart: the start wait begins again
  std::atomic<uint64_t> m_playedFrames{0};  // frames taken from buffers since the open
  std::atomic<int64_t> m_underflows{0};
  std::atomic<uint32_t> m_resetRequests{0};
  std::atomic<uint32_t> m_resetsDone{0};

  // Microphone ring: producer the device thread, consumer the capture thread.
  CFrameRing m_captureRing;
  std::unique_ptr<std::atomic<int64_t>[]> m_tickTimes;  // recording time of each tick [ns]
  uint32_t m_packetFrames = 0;                          // capture thread only
  std::atomic<uint32_t> m_inputWait{0};                 // frames before the input delivers
  std::atomic<uint64_t> m_lostFrames{0};
  // Signalled by the device thread every 10 ms of recording; the capture thread's wait.
  CAutoResetEvent m_captureEvent;

  std::atomic<int64_t> m_resets{0};
  std::atomic<int64_t> m_buffersPlayed{0};
  std::atomic<int64_t> m_refusals{0};
  std::atomic<int64_t> m_overruns{0};
  std::atomic<int64_t> m_maxCaptureLatencyNs{0};
  std::atomic<uint64_t> m_deviceFrames{0};

  // The loopback: its channel, the drawn latency and the delay line both channels pass through
  // (device thread), cleared at each capture start.
  static constexpr uint32_t kDelayLineFrames = 2048;  // above 40 ms
  std::atomic<int32_t> m_loopbackChannel{0};
  std::atomic<uint32_t> m_latencyFrames{0};
  std::atomic<int32_t> m_delayLineReset{0};
  int32_t m_delayLine[kDelayLineFrames][2] = {};
  uint32_t m_delayWrite = 0;

  std::atomic<int32_t> m_quit{0};
  CAutoResetEvent m_deviceWake;  // a stream opened, or the services go: the device thread runs
  std::thread m_deviceThread;
};

}  // namespace quorvel
