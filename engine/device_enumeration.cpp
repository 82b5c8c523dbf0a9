// CAudio's device lists: the capture endpoints' friendly names and the output devices' names,
// widened by their full descriptions, with the default output last.
#include "engine/device_enumeration.h"

#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_services.h"
#include "engine/audio_engine.h"

namespace quorvel {

namespace {

// The short product name an output device has in the list before its description widens it.
constexpr size_t kProductNameBytes = 31;

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

size_t CopyDeviceName(char* dst, const char* text, size_t maxBytes) {
  size_t length = std::strlen(text);
  if (length > maxBytes) {
    length = maxBytes;
    // Back off over continuation bytes (10xxxxxx) to the start of the character that was cut.
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t start = length;
    while (start > 0 && (bytes[start] & 0xC0u) == 0x80u) --start;
    length = start;
  }
  std::memcpy(dst, text, length);
  dst[length] = '\0';
  return length;
}

bool DeviceNamesEqual(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (UpperAscii(*a) != UpperAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

bool DeviceNameStartsWith(const char* text, const char* prefix, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\0' || UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
  }
  return true;
}

// User-interface thread, before any capture or playback starts.
int32_t CAudio::EnumerateInputDevices(int* count) {
  if (m_services == nullptr) return kE_UNEXPECTED;
  std::vector<std::string> names;
  const int32_t listed = m_services->ListCaptureEndpoints(&names);
  if (listed != 0) return listed;
  m_captureEndpointCount = static_cast<int32_t>(names.size());
  std::memset(m_inputNames, 0, sizeof(m_inputNames));

  int found = 0;
  for (size_t i = 0; i < names.size() && i < static_cast<size_t>(kMaxDevices); ++i) {
    // An empty name ends the list.
    if (names[i].empty()) break;
    CopyDeviceName(m_inputNames[i], names[i].c_str(), kMaxDeviceNameLength);
    ++found;
  }
  if (found == 0) return kE_UNEXPECTED;
  m_inputCount = found;
  if (count != nullptr) *count = found;
  return kResultOk;
}

// User-interface thread, before any playback starts.
int CAudio::EnumerateOutputDevices() {
  int n = (m_services != nullptr) ? m_services->OutputDeviceCount() : 0;
  if (n < 0) n = 0;
  if (n > kMaxDevices - 1) n = kMaxDevices - 1;

  std::memset(m_outputNames, 0, sizeof(m_outputNames));
  for (int i = 0; i < n; ++i) {
    CopyDeviceName(m_outputNames[i], m_services->OutputProductName(i).c_str(), kProductNameBytes);
  }

  // The short product names are widened by the first full description that starts with them,
  // letters compared upper-cased (an empty name takes the first description).
  std::vector<std::string> descriptions;
  if (n > 0 && m_services->ListOutputDescriptions(&descriptions)) {
    char description[kDeviceNameBytes];
    for (int i = 0; i < n; ++i) {
      const size_t length = std::strlen(m_outputNames[i]);
      for (const std::string& text : descriptions) {
        CopyDeviceName(description, text.c_str(), kMaxDeviceNameLength);
        if (std::strlen(description) < length) continue;
        if (DeviceNameStartsWith(description, m_outputNames[i], length)) {
          CopyDeviceName(m_outputNames[i], description, kMaxDeviceNameLength);
          break;
        }
      }
    }
  }

  CopyDeviceName(m_outputNames[n], kOutputMapperName, kMaxDeviceNameLength);
  m_outputCount = n + 1;
  return m_outputCount;
}

}  // namespace quorvel
