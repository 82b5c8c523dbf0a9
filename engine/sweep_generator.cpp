// The playback signal (engine/sweep_signal.h): half a second of silence, the three-tone sync
// burst, half a second of silence, one period of fmin, the 20-second logarithmic sweep and a
// short steady tail.
#include "engine/sweep_signal.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/point_timing.h"

namespace quorvel {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kTableCycle = 12000;  // [table entries] one cycle of the sine table
constexpr double kFullScale16 = 32767.0;

// The sync burst's tones as oscillator steps [table entries per sample]: 1567.98 Hz,
// 2637.02 Hz and 4186.01 Hz at 48000 Hz, one in the pass band of each band filter.
constexpr double kBurstSteps[3] = {391.995, 659.255, 1046.5025};

// Table oscillator: phase in table entries (0 <= phase < 12000), linear interpolation between
// neighbouring entries; entry 12000 closes the cycle so that no wrap is needed when reading.
class TableOscillator {
 public:
  explicit TableOscillator(const double* table) : m_pTable(table) {}

  void SetPhase(double phase) { m_phase = phase; }

  // Returns the value at the current phase, then advances the phase by step.
  double Next(double step) {
    const int i = static_cast<int>(m_phase);
    const double v = m_pTable[i] + (m_pTable[i + 1] - m_pTable[i]) * (m_phase - i);
    m_phase += step;
    // One subtraction wraps the phase (written without a branch: near the top of the range it
    // wraps every two or three samples, which a branch predictor cannot follow).
    m_phase -= m_phase >= kTableCycle ? static_cast<double>(kTableCycle) : 0.0;
    // A step of a whole cycle or more (above 48000 Hz) would leave the table otherwise.
    if (m_phase >= kTableCycle) [[unlikely]] {
      m_phase = std::fmod(m_phase, static_cast<double>(kTableCycle));
      // A step that overflowed to infinity (f above about 1.5e304 Hz) has no phase: the
      // oscillator stays at phase 0 and gives silence.
      if (!(m_phase >= 0.0)) m_phase = 0.0;
    }
    return v;
  }

 private:
  const double* m_pTable;
  double m_phase = 0.0;
};

// Every conversion to a 16-bit sample truncates toward zero.
int16_t ToSample16(double v) {
  return static_cast<int16_t>(v * kFullScale16);
}

}  // namespace

std::span<const double, kSineTableEntries> SineTable() {
  static const std::array<double, kSineTableEntries> table = [] {
    std::array<double, kSineTableEntries> t{};
    for (int i = 0; i < kSineTableEntries; ++i) t[i] = std::sin(i * kTwoPi / kTableCycle);
    return t;
  }();
  return table;
}

void GenerateSyncBurst(std::span<int16_t, kSyncBurstLength> burst) {
  const double* table = SineTable().data();
  TableOscillator tones[3] = {TableOscillator(table), TableOscillator(table),
                              TableOscillator(table)};
  for (int n = 0; n < kSyncBurstLength; ++n) {
    const double v1 = tones[0].Next(kBurstSteps[0]);
    const double v2 = tones[1].Next(kBurstSteps[1]);
    const double v3 = tones[2].Next(kBurstSteps[2]);
    // The sum of three unit sines divided by 3 never leaves -1..1, so the burst stays
    // within -32767..32767.
    burst[n] = static_cast<int16_t>((v1 + v2 + v3) * kFullScale16 / 3);
  }
}

int GenerateSweep(double fmin, double fmax, std::span<int16_t, kSignalCapacity> signal) {
  std::fill(signal.begin(), signal.end(), int16_t{0});
  // Refused: fmin <= 0, fmin >= fmax, a value that is not a number, or an infinite limit.
  if (!(fmin > 0.0) || !(fmin < fmax) || !std::isfinite(fmax)) return 0;
  const int leadIn = SweepLeadInSamples(fmin);
  constexpr int kRate = 48000;
  int16_t* out = signal.data();

  int p = 0;  // write position [samples]
  const int halfSecond = kRate / 2;

  p += halfSecond;  // silence (the buffer is already zeroed)

  GenerateSyncBurst(std::span<int16_t, kSyncBurstLength>(out + p, kSyncBurstLength));
  p += kSyncBurstLength;

  p += halfSecond;  // silence

  TableOscillator oscillator(SineTable().data());

  // Lead-in: one period of fmin, so that the first analysis blocks of the sweep follow a
  // steady tone. Very low fmin (below about 0.2 Hz) is cut at the end of the buffer.
  if (leadIn >= 1) {
    const double step = fmin * 12000.0 / 48000.0;
    for (int n = 0; n < leadIn; ++n) out[p++] = ToSample16(oscillator.Next(step));
  }

  // The sweep covers its range in exactly 960,000 sample steps whatever fmin and fmax are,
  // so every 960-sample analysis block spans one thousandth of the range. The frequency is
  // computed from the index every time (not by repeated multiplication), so rounding decides
  // the keeping of the last sample the same way for every range.
  oscillator.SetPhase(0.0);
  const double decades = std::log10(fmax / fmin);
  const int sweepSteps = 20 * kRate;
  double step = 0.0;  // [table entries per sample] of the last sweep sample written
  // The frequencies are computed a batch at a time ahead of the oscillator, which then runs
  // without a library call in its loop.
  constexpr int kBatch = 256;
  double frequency[kBatch];  // [Hz]
  bool ended = false;
  for (int i = 0; !ended && i <= sweepSteps; i += kBatch) {
    const int count = sweepSteps - i + 1 < kBatch ? sweepSteps - i + 1 : kBatch;
    for (int k = 0; k < count; ++k) {
      frequency[k] = fmin * std::pow(10.0, static_cast<double>(i + k) /
                                               static_cast<double>(sweepSteps) * decades);
    }
    for (int k = 0; k < count; ++k) {
      // Rounding can push the last value above fmax, which drops the final sample.
      if (!(frequency[k] <= fmax) || p >= kSignalCapacity) {
        ended = true;
        break;
      }
      step = frequency[k] * 12000.0 / 48000.0;
      out[p++] = ToSample16(oscillator.Next(step));
    }
  }

  // Tail: the last sweep frequency held for a fifth of a second, phase continuous.
  const int tail = kRate / 5 + 1;
  for (int n = 0; n < tail && p < kSignalCapacity; ++n) {
    out[p++] = ToSample16(oscillator.Next(step));
  }

  return p;
}

std::vector<int16_t> GenerateSweep(double fmin, double fmax) {
  std::vector<int16_t> signal(kSignalCapacity);
  const int length = GenerateSweep(fmin, fmax, std::span<int16_t, kSignalCapacity>(signal));
  signal.resize(static_cast<std::size_t>(length));
  return signal;
}

}  // namespace quorvel
