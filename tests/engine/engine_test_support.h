#pragma once

// Helpers shared by the engine tests: a listener that keeps the curve points, and feeding a
// generated 16-bit signal back into the analysis as captured frames.
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/audio_engine.h"
#include "engine/curve_listener.h"

namespace quorvel {

namespace engine_test {

// Keeps every point it is given, the way the curve store keeps the first 1001 of them.
class CollectingListener : public ICurveListener {
 public:
  static constexpr int kCurvePoints = 1001;

  CollectingListener() { m_points.reserve(4096); }
  bool AddPoint(double levelDb) override {
    m_points.push_back(levelDb);
    return false;
  }

  const std::vector<double>& Points() const { return m_points; }
  // The curve as the response graph stores it: the first 1001 points.
  std::vector<double> Curve() const {
    const size_t n = m_points.size() < kCurvePoints ? m_points.size() : kCurvePoints;
    return std::vector<double>(m_points.begin(), m_points.begin() + static_cast<long>(n));
  }

 private:
  std::vector<double> m_points;
};

// A 16-bit sample as the capture side delivers it in 32 bits: s * 65536, scaled by gain and
// rounded to the nearest integer.
inline int32_t To32(int16_t s, double gain = 1.0) {
  return static_cast<int32_t>(std::lround(static_cast<double>(s) * 65536.0 * gain));
}

// Pushes samples [from, to) of a 16-bit signal as frames with the same value on both channels.
inline void PushSignal(CAudio& audio, const int16_t* signal, int from, int to, double gain = 1.0) {
  for (int i = from; i < to; ++i) {
    const int32_t v = To32(signal[i], gain);
    audio.PushFrame(v, v);
  }
}

inline void PushSilence(CAudio& audio, int frames) {
  for (int i = 0; i < frames; ++i) audio.PushFrame(0, 0);
}

// Pushes a 16-bit signal from its start, frame by frame, until the detector fires, at most
// `limit` frames; returns the number of frames pushed.
inline int PushSignalUntilSynced(CAudio& audio, const int16_t* signal, int limit) {
  int pushed = 0;
  while (!audio.Counters().synced && pushed < limit) {
    PushSignal(audio, signal, pushed, pushed + 1);
    ++pushed;
  }
  return pushed;
}

// Pushes the sync burst (scaled) frame by frame until the detector fires, at most the whole
// burst; returns the number of burst frames pushed.
inline int PushBurstUntilSynced(CAudio& audio, double gain = 1.0) {
  int pushed = 0;
  while (pushed < CAudio::kBurstLength && !audio.Counters().synced) {
    const int32_t v = To32(audio.SyncBurst()[pushed], gain);
    audio.PushFrame(v, v);
    ++pushed;
  }
  return pushed;
}

// Level in dB of a 32-bit magnitude, relative to 32-bit full scale.
inline double LevelDb(double magnitude) {
  return 20.0 * std::log10(magnitude * std::ldexp(1.0, -31));
}

}  // namespace engine_test

}  // namespace quorvel
