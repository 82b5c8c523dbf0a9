#pragma once

#include <cstdint>
#include <cstdio>

#include "files/wave_format.h"

namespace quorvel {

// Reads the samples of a PCM WAV file from an open stream and closes the stream in every case.
//
// The header must be "RIFF"-size-"WAVE". Its chunks are walked in file order: the first "fmt "
// chunk must come before any "data" chunk and describe integer PCM (format tag 1, or
// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format); chunks before it (JUNK, LIST, bext, ...) are
// passed over. Every "data" chunk after it is appended, in file order, to one sample buffer;
// other chunks are passed over. Chunk sizes are followed exactly (no pad byte after an odd
// size). The walk ends at the RIFF size, at the end of the file, or at a chunk that claims more
// bytes than the file still holds.
//
// On success: *sampleCount = gathered bytes / (2 x channels), *channels and *rate from the
// format chunk, *samples = a buffer from std::malloc (interleaved signed 16-bit values in host
// order) that the caller frees with std::free, and *format (may be null) the whole format, for
// CaptureLayoutOf to judge. On failure the results are 0, null or empty.
[[nodiscard]] bool ReadCaptureSamples(std::FILE* file, uint32_t* sampleCount, int32_t* channels,
                                      int16_t** samples, int32_t* rate,
                                      WaveFormat* format = nullptr);

}  // namespace quorvel
