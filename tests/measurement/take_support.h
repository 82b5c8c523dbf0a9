#pragma once

// Simulated takes whose transfer is known exactly: the generated signal for fmin..fmax played
// through a transfer given as a function of frequency, heard `delay` samples late (a fraction
// of a sample included: both applied exactly in the frequency domain), quantised to 16 bits and
// cut where a capture's recording starts and ends, then analysed into a trace. Without
// GoogleTest: the benchmarks make their traces with it too.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_engine.h"
#include "measurement/trace.h"
#include "response/impulse_analysis.h"
#include "response/real_fft.h"
#include "response/response_export.h"

namespace quorvel::takes {

using Transfer = std::function<std::complex<double>(double frequencyHz)>;
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kRate = 48000.0;

// The trace of a take analysed over fmin..fmax.
inline Trace Take(const std::string& name, const Transfer& h, double delay, double fmin = 20.0,
                  double fmax = 20000.0) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(fmin, fmax);
  CRealFft fft(CRealFft::SmoothSize(static_cast<std::size_t>(length + 16384)));
  std::fill(fft.Time(), fft.Time() + fft.Size(), 0.0);
  std::copy(audio->Sweep().begin(), audio->Sweep().end(), fft.Time());
  fft.Forward();
  for (int k = 0; k < fft.Bins(); ++k) {
    const double f = k * kRate / fft.Size();
    fft.Spectrum()[k] *= h(f) * std::polar(1.0 / fft.Size(), -2.0 * kPi * f * delay / kRate);
  }
  fft.Spectrum()[fft.Bins() - 1] = fft.Spectrum()[fft.Bins() - 1].real();
  fft.Inverse();
  // a capture starts about 1000 samples before the signal and ends about 2000 into its tail
  std::vector<int16_t> recording(static_cast<std::size_t>(length - 9601 + 3000 + std::ceil(delay)));
  for (std::size_t n = 0; n < recording.size(); ++n) {
    const double y = std::round(fft.Time()[(n + fft.Size() - 1000) % fft.Size()]);
    recording[n] = static_cast<int16_t>(std::clamp(y, -32768.0, 32767.0));
  }
  static CImpulseAnalysis analysis;  // its plans and buffers are reused
  if (analysis.Analyze(recording.data(), recording.size(), fmin, fmax) != ResponseStatus::kOk) {
    std::fprintf(stderr, "the take %s holds no impulse response\n", name.c_str());
    std::abort();  // the fixture is broken: nothing after it means anything
  }
  return *TraceFromAnalysis(analysis, name);
}

// A trace built point by point: levelDb(f) on the grid of fmin..fmax, without a phase.
inline Trace Curve(const std::string& name, double fmin, double fmax,
                   const std::function<double(double)>& levelDb) {
  Trace trace;
  trace.name = name;
  trace.range = {fmin, fmax};
  trace.frequenciesHz = FrdFrequencies(fmin, fmax);
  for (const double f : trace.frequenciesHz) trace.levelsDb.push_back(levelDb(f));
  return trace;
}

// The largest difference [dB] between a trace's levels and exactDb from 200 Hz to 10 kHz
// (infinite when the trace does not hold all of that range).
inline double WorstDb(const Trace& trace, const std::function<double(double)>& exactDb) {
  double worst = trace.range.fminHz > 200.0 || trace.range.fmaxHz < 10000.0 ? HUGE_VAL : 0.0;
  for (std::size_t k = 0; k < trace.frequenciesHz.size(); ++k) {
    const double f = trace.frequenciesHz[k];
    if (f >= 200.0 && f <= 10000.0)
      worst = std::max(worst, std::abs(trace.levelsDb[k] - exactDb(f)));
  }
  return worst;
}

inline double Db(std::complex<double> v) {
  return 20.0 * std::log10(std::abs(v));
}

}  // namespace quorvel::takes
