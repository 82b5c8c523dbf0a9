#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_services.h"
#include "audio/auto_reset_event.h"
#include "audio/pulse/delivery_clock.h"
#include "audio/pulse/mainloop_lock.h"
#include "audio/pulse/output_watch.h"
#include "audio/spsc_ring.h"
#include "base/result.h"

namespace quorvel {

// Result codes this implementation needs beyond the shared ones.
constexpr int32_t kAudclntSBufferEmpty = static_cast<int32_t>(0x08890001u);
constexpr int32_t kAudclntEAlreadyInitialized = static_cast<int32_t>(0x88890002u);
constexpr int32_t kAudclntEInvalidSize = static_cast<int32_t>(0x88890009u);
constexpr int32_t kMmErrInvalParam = 11;

// The audio services on a PulseAudio server through libpulse. One threaded mainloop runs every
// pulse callback; those callbacks only copy between pulse and the two single-producer
// single-consumer rings (captured frames, queued output buffers), so the engine's capture and
// play threads reach this object without any lock. The capture thread sleeps on an event
// that the mainloop signals when frames arrive; the play thread wakes the mainloop through an
// event file descriptor when it queues into an output that has run out. Calls from the
// user-interface thread take the mainloop lock and wait at most a couple of seconds for the
// server. The mainloop thread runs at the audio threads' real-time priority where granted.
//
// Sources are the capture endpoints, by description, real sources first and monitors after
// them; sinks are the output devices, in the server's order; -1 is the default sink.
class CPulseAudioServices final : public IAudioServices {
 public:
  // Connects within `timeoutMs`; the reason when no server answers.
  [[nodiscard]] static Result<std::unique_ptr<CPulseAudioServices>> Connect(int timeoutMs);

  ~CPulseAudioServices() override;
  CPulseAudioServices(const CPulseAudioServices&) = delete;
  CPulseAudioServices& operator=(const CPulseAudioServices&) = delete;

  // ---- capture endpoints and stream (pulse_capture.cpp) ----
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

  // ---- output devices, stream and volume (pulse_playback.cpp) ----
  int OutputDeviceCount() override;
  std::string OutputProductName(int id) override;
  bool ListOutputDescriptions(std::vector<std::string>* descriptions) override;
  uint32_t OutputDeviceRate(int id) override;
  uint32_t GraphRate() override;
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

  // ---- other programs on the output (output_watch.cpp) ----
  void WatchOutputForOthers() override;
  std::vector<std::string> OthersOnOutput() override;

  uint32_t MilliSeconds() override;

  // Frames the capture ring had to drop because the capture thread fell behind.
  uint64_t DroppedCaptureFrames() const { return m_nDroppedFrames.load(); }

 private:
  struct DeviceEntry {
    std::string name;         // the server's name of the source or sink
    std::string description;  // what the user sees
  };

  CPulseAudioServices();
  Result<void> Start(int timeoutMs);
  Result<void> ConnectContext(int timeoutMs);
  void DropContext();
  void ReconnectIfLost();

  // ---- waiting on the mainloop (pulse_audio_services.cpp); lock held, never on the
  // mainloop thread ----
  bool ContextReady() const;
  // Waits until `done` holds, `timeoutMs` passes or (when `whileConnected`) the connection
  // fails; returns done().
  bool WaitLocked(const std::function<bool()>& done, int timeoutMs, bool whileConnected = true);
  // Waits for `op` to finish (and unrefs it); false when it did not complete.
  bool WaitOperation(pa_operation* op);
  bool QuerySinks(std::vector<DeviceEntry>* sinks);
  bool DefaultSinkName(std::string* name);
  bool SinkNameFor(int deviceId, std::string* name);

  static void OnContextState(pa_context* context, void* self);
  static void OnOperationState(pa_operation* op, void* self);
  static void OnTimeout(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv,
                        void* flag);
  static void OnMainloopStarted(pa_mainloop_api* api, void* self);

  // ---- capture (pulse_capture.cpp) ----
  int32_t CaptureLossCode() const;
  void DestroyCaptureStream();
  int32_t CorkCapture(int cork);
  void StoreCaptured(const unsigned char* bytes, size_t count);
  static void OnCaptureState(pa_stream* stream, void* self);
  static void OnCaptureRead(pa_stream* stream, size_t bytes, void* self);

  // ---- output (pulse_playback.cpp) ----
  void PumpOutput();
  bool TakeQueuedHeader();
  void FinishHeader(PlayHeader* header);
  void ReturnQueuedBuffers(bool notifyNow);
  void DestroyOutputStream();
  void PostNotices();
  bool WaitNoticesDelivered();
  void HandleOutputLoss();
  int32_t CorkOutput(int cork);
  int32_t OutputLossCode() const;
  void Notify(OutputNotice notice);
  static void OnOutputState(pa_stream* stream, void* self);
  static void OnOutputWrite(pa_stream* stream, size_t bytes, void* self);
  static void OnOutputStarted(pa_stream* stream, void* self);
  static void OnOutputUnderflow(pa_stream* stream, void* self);
  static void OnOutputTick(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv,
                           void* self);
  static void OnTimingInfo(pa_stream* stream, int success, void* self);
  static void OnWake(pa_mainloop_api* api, pa_io_event* event, int fd, pa_io_event_flags_t flags,
                     void* self);
  static void OnNotices(pa_mainloop_api* api, pa_defer_event* event, void* self);

  pa_threaded_mainloop* m_pMainloop = nullptr;
  pa_mainloop_api* m_pApi = nullptr;
  pa_context* m_pContext = nullptr;
  std::atomic<int32_t> m_bServerLost{0};  // the connection to the server has ended

  // ---- capture; the endpoint and stream fields belong to the user-interface thread ----
  std::vector<DeviceEntry> m_sources;  // the last listing, in endpoint order
  bool m_bEndpointOpen = false;
  std::string m_openSourceName;
  pa_sample_spec m_openSourceSpec{};
  pa_stream* m_pCaptureStream = nullptr;
  uint32_t m_nCaptureBufferFrames = 0;
  CFrameRing m_captureRing;
  std::atomic<int32_t> m_bCaptureReady{0};    // initialised: packets may be asked for
  std::atomic<int32_t> m_captureFailure{0};   // the stream's loss code once it is lost
  std::atomic<uint32_t> m_nPacketFrames{0};   // the packet handed out (capture thread)
  std::atomic<uint64_t> m_nDroppedFrames{0};  // [frames]
  std::atomic<uint64_t> m_nHoleFrames{0};     // [frames]
  // Frames the server never delivered: it stood still and went on where it stopped. [frames]
  std::atomic<uint64_t> m_nUndeliveredFrames{0};
  CDeliveryClock m_deliveryClock;  // mainloop lock held
  // Signalled by the mainloop when frames arrive; the capture thread's wait.
  CAutoResetEvent m_captureEvent;
  unsigned char m_partialFrame[CFrameRing::kFrameBytes] = {};  // mainloop thread
  size_t m_nPartialBytes = 0;                                  // mainloop thread

  // ---- output ----
  std::vector<DeviceEntry> m_sinks;  // the last listing, in device order
  pa_stream* m_pOutputStream = nullptr;
  std::atomic<int32_t> m_bOutputOpen{0};
  std::atomic<int32_t> m_bOutputLost{0};
  // kMmErrNoDriver when the server has gone, kMmErrBadDeviceId when only the sink has.
  std::atomic<int32_t> m_nOutputLossCode{kMmErrNoDriver};
  CHeaderQueue m_outputQueue;
  // Mainloop side (or lock held): the buffer being written and how far [bytes].
  PlayHeader* m_pCurrentHeader = nullptr;
  uint32_t m_nCurrentOffset = 0;
  // One write's samples, gathered from the queued buffers (mainloop thread). 340 ms of 16-bit
  // stereo at 48000 Hz: more than the server asks for at once.
  unsigned char m_writeStage[65536] = {};
  size_t m_nFrameBytes = 4;
  uint32_t m_nOutputRate = 48000;  // [Hz]
  // While an output is open: the timing requests and a look at the queue.
  pa_time_event* m_pOutputTick = nullptr;
  bool m_bTimingPending = false;             // mainloop thread
  std::atomic<uint64_t> m_nPlayedFrames{0};  // the play position [frames]
  std::atomic<int32_t> m_bPositionKnown{0};  // a timing reply has come since the open
  // The mainloop found the queue empty while the server wanted samples; the play thread's next
  // queued buffer wakes it through m_wakeFd.
  std::atomic<int32_t> m_bOutputHungry{0};
  int m_wakeFd = -1;
  pa_io_event* m_pWakeEvent = nullptr;
  // Notices waiting for the mainloop thread (lock held to touch them).
  pa_defer_event* m_pNoticeEvent = nullptr;
  OutputNotifyRoutine m_pRoutine = nullptr;
  void* m_pRoutineContext = nullptr;
  uint32_t m_nPendingDone = 0;
  bool m_bPendingClosed = false;
  bool m_bClosedNoticeDue = false;  // the current stream has not yet sent its closed notice
  // Other programs' streams on the output's sink (lock held to touch it).
  COutputWatch m_outputWatch;
};

}  // namespace quorvel
