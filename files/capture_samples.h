#pragma once

#include <cstdint>
#include <cstdio>

namespace quorvel {

// Reads the samples of a 16-bit PCM WAV file from an open stream and closes the stream in
// every case.
//
// The header must be "RIFF"-size-"WAVE" followed at once by a "fmt " chunk of format tag 1
// (PCM). Every "data" chunk that follows is appended, in file order, to one sample buffer; other
// chunks are passed over. The walk ends at the RIFF size, at the end of the file, or at a chunk
// that claims more bytes than the file still holds.
//
// On success: *sampleCount = gathered bytes / (2 x channels), *channels and *rate from the
// format chunk, *samples = a buffer from std::malloc (interleaved signed 16-bit values in host
// order) that the caller frees with std::free. On failure the four results are 0 or null.
[[nodiscard]] bool ReadCaptureSamples(std::FILE* file, uint32_t* sampleCount, int32_t* channels,
                                      int16_t** samples, int32_t* rate);

}  // namespace quorvel
