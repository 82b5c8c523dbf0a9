#include "engine/record_track.h"

#include <algorithm>

#include "engine/audio_engine.h"

namespace quorvel {

void RotateRecordTrack(CAudio& audio) {
  const int count = audio.m_capturedCount.load(std::memory_order_acquire);
  const int start = audio.m_recordStart.load(std::memory_order_acquire) & CAudio::kRecordMask;
  if (count <= 0 || start == 0) return;
  if (start + count <= CAudio::kRecordSize) {
    // The recording lies in one stretch: copying upward never reads an entry it has already
    // overwritten.
    for (int i = 0; i < count; ++i) audio.m_record[i] = audio.m_record[start + i];
    return;
  }
  // The recording runs over the end of the track (the burst was found late, after a missed
  // sweep had been played again): its end lies at the start of the track, which an upward copy
  // would overwrite before reading. Rotating the whole track keeps every entry.
  std::rotate(audio.m_record, audio.m_record + start, audio.m_record + CAudio::kRecordSize);
}

}  // namespace quorvel
