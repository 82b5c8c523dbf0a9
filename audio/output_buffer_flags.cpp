#include "audio/output_buffer_flags.h"

namespace quorvel {

void MarkBufferPrepared(PlayHeader& header) {
  header.flags.fetch_or(kHeaderPrepared, std::memory_order_acq_rel);
}

int32_t MarkBufferQueued(PlayHeader& header) {
  uint32_t flags = header.flags.load(std::memory_order_acquire);
  for (;;) {
    if ((flags & kHeaderPrepared) == 0) return kWaveErrUnprepared;
    if ((flags & kHeaderInQueue) != 0) return kWaveErrStillPlaying;
    if (header.flags.compare_exchange_weak(flags, (flags & ~kHeaderDone) | kHeaderInQueue,
                                           std::memory_order_acq_rel)) {
      return kMmNoError;
    }
  }
}

void UnmarkBufferQueued(PlayHeader& header) {
  header.flags.fetch_and(~kHeaderInQueue, std::memory_order_acq_rel);
}

void MarkBufferDone(PlayHeader& header) {
  uint32_t flags = header.flags.load(std::memory_order_relaxed);
  while (!header.flags.compare_exchange_weak(flags, (flags & ~kHeaderInQueue) | kHeaderDone,
                                             std::memory_order_acq_rel)) {
  }
}

int32_t MarkBufferUnprepared(PlayHeader& header, bool outputLive) {
  if (outputLive && (header.flags.load(std::memory_order_acquire) & kHeaderInQueue) != 0) {
    return kWaveErrStillPlaying;
  }
  header.flags.fetch_and(~(kHeaderPrepared | kHeaderInQueue), std::memory_order_acq_rel);
  return kMmNoError;
}

}  // namespace quorvel
