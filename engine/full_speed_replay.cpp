#include "engine/full_speed_replay.h"

#include "engine/audio_engine.h"

namespace quorvel {

void ReplayAtFullSpeed(CAudio& audio, const int16_t* samples, int count, double fmin) {
  audio.SetPointTiming(fmin);
  audio.ResetAnalysis();
  audio.m_filePlayPos.store(0, std::memory_order_relaxed);
  audio.m_filePlaying.store(1, std::memory_order_release);
  for (int i = 0; i < count; ++i) {
    const int32_t value = samples[i] * 65535;
    audio.PushFrame(value, value);
    audio.m_filePlayPos.store(i + 1, std::memory_order_relaxed);
  }
  audio.m_filePlaying.store(0, std::memory_order_release);
}

}  // namespace quorvel
