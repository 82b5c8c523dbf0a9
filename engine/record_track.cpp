#include "engine/record_track.h"

#include "engine/audio_engine.h"

void RotateRecordTrack(CAudio& audio) {
  const int count = audio.m_capturedCount.load(std::memory_order_acquire);
  const int start = audio.m_recordStart.load(std::memory_order_acquire);
  // The write position is reset at every start and one capture (about 21 s) ends long before
  // the end of the track, so copying upward never reads an entry it has already overwritten.
  for (int i = 0; i < count && i < CAudio::kRecordSize; ++i) {
    audio.m_record[i] = audio.m_record[(start + i) & CAudio::kRecordMask];
  }
}
