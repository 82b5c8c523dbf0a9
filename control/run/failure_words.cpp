#include "control/run/failure_words.h"

#include "audio/audio_services.h"

namespace quorvel {

namespace {

constexpr char kServerLost[] = "The audio server connection was lost.";
constexpr char kDeviceRemoved[] = "The device was removed.";

}  // namespace

std::string CaptureFailureWords(int32_t code) {
  switch (code) {
    case kAudclntEServiceNotRunning:
      return kServerLost;
    case kAudclntEDeviceInvalidated:
      return kDeviceRemoved;
    case kAudclntEDeviceInUse:
      return "The device is in use by another program.";
    case kAudclntEUnsupportedFormat:
      return "The audio server refused to record the device as 48000 Hz, 2 channels, 32-bit.";
    case kAudclntENotInitialized:
      return "The device is not open.";
    case kE_UNEXPECTED:
      return "The device list has changed since it was read: choose the device again.";
    default:
      return std::string();
  }
}

std::string OutputFailureWords(int32_t code) {
  switch (code) {
    case kMmErrNoDriver:
      return kServerLost;
    case kMmErrBadDeviceId:
      return kDeviceRemoved;
    case kMmErrAllocated:
      return "The device is still held by this program.";
    case kWaveErrBadFormat:
      return "The device refused 48000 Hz, 2 channels, 16-bit.";
    default:
      return std::string();
  }
}

std::string WithWords(const std::string& message, const std::string& words) {
  if (words.empty()) return message;
  if (!message.empty() && message.back() == '\n') return message + words;
  return message + "\n" + words;
}

}  // namespace quorvel
