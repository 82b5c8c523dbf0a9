#pragma once

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

// The text of a capture result code ("UNKNOWN ERROR" for a code not in the table).
[[nodiscard]] const char* CaptureResultText(int32_t code);

}  // namespace quorvel
