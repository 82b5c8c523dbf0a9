#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// The condition behind a result code in plain words, for the messages a user reads: the
// program's own message and its code stay first, and the sentence follows on a line of its
// own. Empty when a code has nothing to add.

// For a capture result (opening the input, or the capture stream failing).
[[nodiscard]] std::string CaptureFailureWords(int32_t code);
// For an output result (opening the output, or a buffer the output refused).
[[nodiscard]] std::string OutputFailureWords(int32_t code);
// `message` followed by `words` on a line of its own; `message` alone when `words` is empty.
[[nodiscard]] std::string WithWords(const std::string& message, const std::string& words);

}  // namespace quorvel
