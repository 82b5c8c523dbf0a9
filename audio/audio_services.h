#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The platform audio services: everything the engine needs of the operating system's audio
// stack, and no more. CAudio reaches the platform only through this interface; the libpulse
// implementation lives in audio/pulse/, the built-in simulated loudspeaker in audio/sim/.
//
// Result codes: capture operations return 32-bit platform results (0 success, negative
// failure, the audio-client codes below); output operations return the output device's codes
// (0 success, the codes below).

namespace quorvel {

// ---- the engine's own results ----
constexpr int32_t kResultOk = 0;
// The engine's own refusal of a capture operation (wrong state, an index out of range).
constexpr int32_t kE_UNEXPECTED = static_cast<int32_t>(0x8000FFFFu);

// ---- capture result codes ----
constexpr int32_t kAudclntEDeviceInvalidated = static_cast<int32_t>(0x88890004u);
constexpr int32_t kAudclntEUnsupportedFormat = static_cast<int32_t>(0x88890008u);
constexpr int32_t kAudclntEDeviceInUse = static_cast<int32_t>(0x8889000Au);
constexpr int32_t kAudclntEServiceNotRunning = static_cast<int32_t>(0x88890010u);
constexpr int32_t kAudclntENotInitialized = static_cast<int32_t>(0x88890001u);
constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057u);
constexpr int32_t kEPointer = static_cast<int32_t>(0x80004003u);

// ---- output result codes ----
constexpr int32_t kMmNoError = 0;
constexpr int32_t kMmErrBadDeviceId = 2;
constexpr int32_t kMmErrAllocated = 4;
constexpr int32_t kMmErrInvalHandle = 5;
constexpr int32_t kMmErrNoDriver = 6;
constexpr int32_t kMmErrNoMem = 7;
constexpr int32_t kWaveErrBadFormat = 32;
constexpr int32_t kWaveErrStillPlaying = 33;
constexpr int32_t kWaveErrUnprepared = 34;
constexpr int32_t kWaveErrSync = 35;

// Format tags of a capture format.
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatIeeeFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

// A capture stream format: the endpoint's mix format, or the format asked for.
struct CaptureFormat {
  uint16_t formatTag = 0;  // kFormatPcm, kFormatIeeeFloat or kFormatExtensible
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  // Extensible formats only:
  uint16_t validBitsPerSample = 0;
  uint32_t channelMask = 0;
  uint16_t subFormat = 0;  // kFormatPcm, kFormatIeeeFloat or another value
};

// Output format record (PCM, channels, rate, bytes per second, block align, bits, extra size).
struct PlayFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;
};

// One output buffer header: the buffer's address and length and the device's flags.
// The flags are written by the play thread and by the output's notification thread (through
// the helpers of audio/output_buffer_flags.h on the services' side).
struct PlayHeader {
  char* data = nullptr;
  uint32_t length = 0;
  std::atomic<uint32_t> flags{0};
};

// Output buffer header flags.
constexpr uint32_t kHeaderDone = 0x01;      // played (or returned by a reset)
constexpr uint32_t kHeaderPrepared = 0x02;  // prepared, until unprepared
constexpr uint32_t kHeaderBeginLoop = 0x04;
constexpr uint32_t kHeaderEndLoop = 0x08;
constexpr uint32_t kHeaderInQueue = 0x10;  // held by the device: queued and not yet done

// Notices of the output stream to its notification routine. kStarted: the device has begun to
// play what is queued (after the open, after RestartOutput, after running dry); kUnderflow: a
// playing device ran out of queued samples and played a gap.
enum class OutputNotice { kOpened, kClosed, kBufferDone, kStarted, kUnderflow };

// Called on the output's own notification thread (never the play thread or the user-interface
// thread); must never block.
using OutputNotifyRoutine = void (*)(void* context, OutputNotice notice);

class IAudioServices {
 public:
  virtual ~IAudioServices() = default;

  // ---- capture endpoints (user-interface thread) ----
  // Lists the friendly names of the active capture endpoints, in an order that stays stable
  // until the next listing, so index i names the same device when it is opened.
  [[nodiscard]] virtual int32_t ListCaptureEndpoints(std::vector<std::string>* names) = 0;
  // Takes endpoint `index` of the last listing and reads its friendly name again.
  [[nodiscard]] virtual int32_t OpenCaptureEndpoint(int index, std::string* name) = 0;
  // The sample rate endpoint `index` of the last listing runs at [Hz]; 0 when unknown. The
  // capture stream is converted to 48000 Hz when it differs.
  [[nodiscard]] virtual uint32_t CaptureEndpointRate(int index) = 0;
  // Stops and releases the capture stream and the endpoint, whichever exist.
  virtual void ReleaseCaptureEndpoint() = 0;

  // ---- capture stream (user-interface thread) ----
  [[nodiscard]] virtual int32_t GetMixFormat(CaptureFormat* format) = 0;
  [[nodiscard]] virtual int32_t GetDevicePeriod(int64_t* period100ns) = 0;
  // Opens the stream in shared mode with `format` (48000 Hz, 2 channels, signed 32-bit),
  // converting from the device's own format, with a buffer of `bufferDuration100ns`.
  [[nodiscard]] virtual int32_t InitializeCapture(const CaptureFormat& format,
                                                  int64_t bufferDuration100ns) = 0;
  [[nodiscard]] virtual int32_t GetCaptureBufferSize(uint32_t* frames) = 0;
  [[nodiscard]] virtual int32_t StartCaptureStream() = 0;
  [[nodiscard]] virtual int32_t StopCaptureStream() = 0;

  // ---- capture packets (capture thread; never block but WaitCapturePacket) ----
  // Frames available in the next packet, 0 when none yet.
  [[nodiscard]] virtual int32_t GetNextPacketSize(uint32_t* frames) = 0;
  // The next packet: interleaved signed 32-bit frames, left then right. `silent` set means the
  // packet is to be read as zeros.
  [[nodiscard]] virtual int32_t GetPacket(const int32_t** frames, uint32_t* frameCount,
                                          bool* silent) = 0;
  [[nodiscard]] virtual int32_t ReleasePacket(uint32_t frameCount) = 0;
  // Waits at most timeoutMs for a packet; returns at once when one is ready. The wait takes no
  // lock: the services' own thread posts it when frames arrive. True when a packet may be ready.
  virtual bool WaitCapturePacket(int timeoutMs) = 0;
  // Frames the engine never got since the stream was initialised: dropped because the capture
  // thread fell behind, or holes in the device's stream. Any thread; never blocks.
  [[nodiscard]] virtual uint64_t CaptureFramesLost() = 0;

  // ---- output devices (user-interface thread) ----
  [[nodiscard]] virtual int OutputDeviceCount() = 0;
  // Short product name of device `id` (0 .. count-1), at most 31 characters.
  [[nodiscard]] virtual std::string OutputProductName(int id) = 0;
  // Full device descriptions in device order; false when they cannot be listed.
  [[nodiscard]] virtual bool ListOutputDescriptions(std::vector<std::string>* descriptions) = 0;
  // The sample rate device `id` (-1: the default output) runs at [Hz]; 0 when unknown.
  [[nodiscard]] virtual uint32_t OutputDeviceRate(int id) = 0;
  // The rate the server's own processing graph runs at, apart from its devices (PipeWire's
  // clock) [Hz]; 0 for a server without one, or one that does not tell. User-interface thread.
  [[nodiscard]] virtual uint32_t GraphRate() { return 0; }

  // ---- output stream ----
  // Threads: OpenOutput, PauseOutput and RestartOutput on the user-interface thread;
  // PrepareHeader and QueueBuffer on the play thread; ResetOutput on the play thread (after a
  // stall or a refused buffer) and on whichever thread closes the output; UnprepareHeader and
  // CloseOutput on the thread that closes the output (the user-interface thread, or the
  // one-shot timer's thread for the deferred stop). The notification routine runs on the
  // output's own notification thread.
  //
  // Opens device `deviceId` (-1: the default output) with `format` (48000 Hz, 2 channels,
  // 16-bit); `routine` receives the notices. The output plays as soon as buffers are queued,
  // unless it is paused first.
  [[nodiscard]] virtual int32_t OpenOutput(int deviceId, const PlayFormat& format,
                                           OutputNotifyRoutine routine, void* context) = 0;
  // Marks a buffer prepared. Never blocks.
  [[nodiscard]] virtual int32_t PrepareHeader(PlayHeader* header) = 0;
  // Queues a prepared buffer; when it has played, its kHeaderDone flag is set and the routine
  // gets kBufferDone. Never blocks, locks or allocates.
  [[nodiscard]] virtual int32_t QueueBuffer(PlayHeader* header) = 0;
  // Returns every queued buffer at once, marked done. May wait briefly for the device.
  [[nodiscard]] virtual int32_t ResetOutput() = 0;
  // kWaveErrStillPlaying while the buffer is queued and not yet done. Never blocks.
  [[nodiscard]] virtual int32_t UnprepareHeader(PlayHeader* header) = 0;
  // May wait briefly for the device; the closed notice follows on the notification thread.
  [[nodiscard]] virtual int32_t CloseOutput() = 0;
  // Holds the open output: queued buffers wait and nothing plays until RestartOutput, which
  // lets it play (the started notice follows once the device really plays). User-interface
  // thread; may wait briefly for the device.
  [[nodiscard]] virtual int32_t PauseOutput() = 0;
  [[nodiscard]] virtual int32_t RestartOutput() = 0;
  // Frames the device has played since the output was opened, as far as the device has told:
  // what is heard now. It stops moving when the device stops playing. Any thread; never blocks.
  // False when the output is not open.
  [[nodiscard]] virtual bool GetOutputPosition(uint64_t* frames) = 0;

  // ---- other programs on the output (user-interface thread) ----
  // Starts (or starts again) watching the open output's device for other programs' streams
  // that play to it: those that play now and every one that starts playing from here on. Does
  // nothing when no output is open, or when the devices cannot tell (the default).
  virtual void WatchOutputForOthers() {}
  // The programs seen playing to the output since the watch started, each named once, in the
  // order seen (an empty name for a program the server does not name).
  [[nodiscard]] virtual std::vector<std::string> OthersOnOutput() { return {}; }

  // ---- endpoint volume (user-interface thread) ----
  // Master volume of output device `deviceId` (-1: the default output) as a scalar 0..1.
  [[nodiscard]] virtual bool SetOutputVolume(int deviceId, float level) = 0;
  [[nodiscard]] virtual bool GetOutputVolume(int deviceId, float* level) = 0;

  // ---- scheduling ----
  // Millisecond clock; any thread; never blocks.
  [[nodiscard]] virtual uint32_t MilliSeconds() = 0;
};

}  // namespace quorvel
