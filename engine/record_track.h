#pragma once

namespace quorvel {

class CAudio;

// Moves the finished recording to the start of the record track: entry i takes entry
// (m_recordStart + i) modulo the track size, for i = 0 .. m_capturedCount - 1, also when the
// recording runs over the end of the track. Called on the user-interface thread once the analysing
// thread has stopped (end of a capture or of a replay's curve); the saved capture file is written
// from index 0.
void RotateRecordTrack(CAudio& audio);

}  // namespace quorvel
