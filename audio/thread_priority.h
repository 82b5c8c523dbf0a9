#pragma once

namespace quorvel {

// Real-time scheduling for the capture and play threads, where the system grants it.
enum class AudioThreadRole { kCapture, kPlay };

// Raises the calling thread to real-time (round-robin) priority for its role: the capture
// thread above the play thread. Where the system refuses (no privilege, a limit of zero), the
// thread silently keeps its normal priority. Returns whether the raise was granted.
// Called once at the start of the thread; never blocks.
bool RaiseCurrentThreadPriority(AudioThreadRole role);

}  // namespace quorvel
