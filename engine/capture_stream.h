#pragma once

#include <climits>
#include <cstdint>

namespace quorvel {

// Requested capture buffer: 100 ms in units of 100 ns.
constexpr int64_t kCaptureBufferDuration100ns = 1'000'000;

// A captured sample as it reaches the analysis: raw x 1.33 x gain, computed in floating point,
// clamped to -2147483647..2147483647 and truncated toward zero (a gain that is not a number
// gives 0). Called on the capture thread for every sample; never blocks.
[[nodiscard]] inline int32_t ConvertCaptureSample(int32_t raw, double gain) {
  double value = static_cast<double>(raw) * 1.33 * gain;
  if (!(value == value)) return 0;
  if (value > 2147483647.0) value = 2147483647.0;
  if (value < -2147483647.0) value = -2147483647.0;
  return static_cast<int32_t>(value);
}

// A converted sample that the clamp has met: the input reached the analysis' full scale, and
// the block holding it reads flat. (The raw sample cannot tell: a digital loopback of the
// sweep, which is played at full scale, touches the 16-bit device's negative full scale without
// any clipping.) Capture thread, for every sample; never blocks.
[[nodiscard]] inline bool AtFullScale(int32_t converted) {
  return converted >= 2147483647 || converted <= -2147483647;
}

// A raw sample as the device delivered it, before any gain, at the device's own full scale: the
// top of a 16-bit device (32767, widened to 32 bits) or above, or the bottom of the 32-bit range
// (-32768 widened, and a float or 32-bit device clamped there). The input clipped before the
// capture gain, so lowering the gain cannot mend it. The sweep on a digital loopback peaks at
// 32766 and -32767 and never meets it. Capture thread, for every sample; never blocks.
[[nodiscard]] inline bool AtDeviceFullScale(int32_t raw) {
  return raw >= 0x7FFF0000 || raw == INT32_MIN;
}

// The text of a capture result code ("UNKNOWN ERROR" for a code not in the table; the engine's
// own refusal 0x8000FFFF reads "E_UNEXPECTED").
[[nodiscard]] const char* CaptureResultText(int32_t code);

}  // namespace quorvel
