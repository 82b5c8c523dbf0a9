#pragma once

#include <cstdint>

#include "audio/audio_services.h"

// The flag changes of an output buffer header on the services' side, the same for every
// implementation of the output stream. Each is one atomic step on the header's flags, so the
// play thread and the device's own thread never see a buffer half queued or half done.
// Any thread; none of them blocks, locks or allocates.

namespace quorvel {

// PrepareHeader: the buffer is prepared.
void MarkBufferPrepared(PlayHeader& header);

// QueueBuffer's check and mark: kWaveErrUnprepared for a buffer that is not prepared,
// kWaveErrStillPlaying for one already in the queue (a buffer is queued at most once);
// otherwise the buffer is marked in the queue and not done, and kMmNoError returned.
[[nodiscard]] int32_t MarkBufferQueued(PlayHeader& header);

// Takes the queue mark back from a buffer that could not be queued after all.
void UnmarkBufferQueued(PlayHeader& header);

// The device has played the buffer, or a reset or a lost output gives it back: done and out
// of the queue.
void MarkBufferDone(PlayHeader& header);

// UnprepareHeader's check and mark: kWaveErrStillPlaying while the buffer is in the queue of
// an output that still plays (outputLive); otherwise the buffer is no longer prepared nor
// queued, and kMmNoError is returned.
[[nodiscard]] int32_t MarkBufferUnprepared(PlayHeader& header, bool outputLive);

}  // namespace quorvel
