#pragma once

namespace quorvel {

// Real-time scheduling for the capture and play threads, and for the thread of the audio
// services that moves their samples to and from the server, where the system grants it.
enum class AudioThreadRole { kCapture, kPlay, kServices };

// Raises the calling thread to real-time (round-robin) priority for its role: the capture
// thread above the play thread. Where the system refuses (no privilege, a limit of zero), the
// thread silently keeps its normal priority. Returns whether the raise was granted.
// Called once at the start of the thread; never blocks.
bool RaiseCurrentThreadPriority(AudioThreadRole role);

// Names the calling thread (at most 15 characters are kept), so that a profiler or `top -H`
// tells the threads apart. Never blocks.
void NameCurrentThread(const char* name);

}  // namespace quorvel
