// CAudio's record track once a capture has ended: the recording moved to the track's start.
#include <algorithm>

#include "engine/audio_engine.h"

namespace quorvel {

void CAudio::RotateRecordTrack() {
  const int count = m_capturedCount.load(std::memory_order_acquire);
  const int start = m_recordStart.load(std::memory_order_acquire) & kRecordMask;
  if (count <= 0 || start == 0) return;
  if (start + count <= kRecordSize) {
    // The recording lies in one stretch: copying upward never reads an entry it has already
    // overwritten.
    for (int i = 0; i < count; ++i) m_record[i] = m_record[start + i];
    for (int i = 0; i < count; ++i) m_referenceTrack[i] = m_referenceTrack[start + i];
    return;
  }
  // The recording runs over the end of the track (the burst was found late, after a missed
  // sweep had been played again): its end lies at the start of the track, which an upward copy
  // would overwrite before reading. Rotating the whole track keeps every entry.
  std::rotate(m_record, m_record + start, m_record + kRecordSize);
  std::rotate(m_referenceTrack.get(), m_referenceTrack.get() + start,
              m_referenceTrack.get() + kRecordSize);
}

int CAudio::CopyLatestRecording(int16_t* out, int count) const {
  const int n =
      std::clamp(std::min(count, m_recordCount.load(std::memory_order_acquire)), 0, kRecordSize);
  for (int i = 0; i < n; ++i) out[i] = m_record[(m_recordWrite - n + i) & kRecordMask];
  return n;
}

}  // namespace quorvel
