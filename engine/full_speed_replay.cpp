#include "engine/full_speed_replay.h"

#include "engine/audio_engine.h"

namespace quorvel {

void ReplayAtFullSpeed(CAudio& audio, const int16_t* samples, int count, double fmin) {
  audio.SetPointTiming(fmin);
  audio.ResetAnalysis();
  audio.SetFilePlaying(true);
  for (int i = 0; i < count; ++i) {
    const int32_t value = samples[i] * 65535;
    audio.PushFrame(value, value);
  }
  audio.SetFilePlaying(false);
}

}  // namespace quorvel
