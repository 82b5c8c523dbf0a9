// The deconvolution of a recording by the played signal: regenerating the signal, finding where
// the recording holds it, dividing the spectra and finding the impulse response's peak.
#include "response/impulse_analysis.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/point_timing.h"
#include "engine/sweep_signal.h"
#include "response/real_fft.h"
#include "response/response_window.h"

namespace quorvel {

namespace {

constexpr double kFullScale16 = 32767.0;
constexpr long kSweepSteps = 960000;  // the sweep passes fmin..fmax in exactly 20 s
// No capture is longer than the record track [samples].
constexpr std::size_t kLongestRecording = 4194304;

// Coarse alignment: a stretch of the played sweep around its middle (in log frequency, so inside
// the range the loudspeaker was measured over) is sought in the recording. A capture holds the
// lead-in about 72500 samples after its start (the record track keeps 25440 samples before the
// end of the block in which the burst was found, about 500 samples into the burst; the burst
// and the silence after it take 48000); the search covers two seconds either side of that.
constexpr int kChunk = 65536;
constexpr long kNominalLeadIn = 72500;

// The recording is used from a tenth of a second before the lead-in's response, faded in over
// the tenth of a second before that: the burst ends half a second before the lead-in, so its
// echo has three tenths of a second to die down. After the played signal the recording is kept
// for a quarter of a second (a saved capture never reaches that far; a replay's next burst
// would). Where the recording ends before the signal, both fade out over 20 ms.
constexpr long kBeforeLeadIn = 4800;
constexpr int kStartFade = 4800;
constexpr long kAfterSignal = 12000;
constexpr int kEndFade = 960;
// A peak more than 50 ms from the coarse alignment means the recording was cut in the wrong
// place: it is cut again around the peak.
constexpr long kRealign = 2400;

// Regularisation: inside fmin..fmax the division is exact; below fmin / 2 and above fmax * 2^(1/4)
// a term of kOutOfBand times the sweep's own power at the band edge keeps the noise that the
// played signal does not cover out of the response, with raised-cosine transitions (in log
// frequency) that keep the division's ringing short.
constexpr double kOutOfBand = 100.0;
constexpr double kFloor = 1e-9;
constexpr double kHighTransitionOctaves = 0.25;

// The peak must stand this far above the deconvolution's noise (its median magnitude over
// 0.6745, the standard deviation of Gaussian noise): noise alone gives peaks near 5.
constexpr double kPeakToNoise = 30.0;
constexpr int kNoiseStride = 16;

// The ungated and harmonic windows reach at most 1.5 s either side of their response.
constexpr long kMaxSide = 72000;
constexpr long kGuard = 4800;

}  // namespace

CImpulseAnalysis::CImpulseAnalysis() = default;

CImpulseAnalysis::~CImpulseAnalysis() = default;

ResponseStatus CImpulseAnalysis::Analyze(const int16_t* samples, std::size_t count, double fmin,
                                         double fmax) {
  try {
    return AnalyzeSignal(samples, count, fmin, fmax);
  } catch (const std::bad_alloc&) {
    // Whatever was half made goes: the next call starts as a new object would.
    ReleaseTransforms();
    throw;
  }
}

void CImpulseAnalysis::ReleaseTransforms() {
  m_bValid = false;
  m_pFull.reset();
  m_windowFfts.clear();
  m_played = nullptr;
  m_noiseMagnitudes = std::vector<double>();
  m_playedSignals.clear();
  m_playedSignals.shrink_to_fit();
}

ResponseStatus CImpulseAnalysis::AnalyzeSignal(const int16_t* samples, std::size_t count,
                                               double fmin, double fmax) {
  m_bValid = false;
  m_timing = {};
  if (!(fmin > 0.0) || !(fmin < fmax) || !(fmax <= kRate / 2)) return ResponseStatus::kRangeRefused;
  if (!PrepareSignal(fmin, fmax)) return ResponseStatus::kRangeRefused;
  m_fmin = fmin;
  m_fmax = fmax;
  if (samples == nullptr || count < static_cast<std::size_t>(kChunk)) {
    return ResponseStatus::kNoImpulse;
  }
  // No capture is longer than the record track; what a longer recording holds beyond that is
  // not looked at (it would only make the transforms larger).
  count = std::min(count, kLongestRecording);

  // The recording holds silence, the sync burst, silence, then the lead-in and the sweep. The
  // burst is no part of the reference (which starts at the lead-in), so it is cut out of the
  // recording: left in, its tones would come out of the division as half-second tone bursts
  // among the harmonics' responses. Where to cut follows from a coarse alignment, checked
  // against the peak the division then finds.
  const long coarse = CoarseLag(samples, count);
  Deconvolve(samples, count, coarse);
  if (!FindPeak()) return ResponseStatus::kNoImpulse;
  // The peak's lag: the deconvolution is circular, and a lag past half its length is negative.
  const auto peakLag = [this] {
    return m_peak < m_pFull->Size() / 2 ? m_peak : m_peak - m_pFull->Size();
  };
  if (std::abs(peakLag() - coarse) > kRealign) {
    Deconvolve(samples, count, peakLag());
    if (!FindPeak()) return ResponseStatus::kNoImpulse;
  }
  m_peakPosition = static_cast<double>(peakLag()) + m_peakFraction;
  BuildSpectra();
  m_bValid = true;
  return ResponseStatus::kOk;
}

bool CImpulseAnalysis::PrepareSignal(double fmin, double fmax) {
  const auto kept = std::find_if(
      m_playedSignals.begin(), m_playedSignals.end(),
      [&](const std::unique_ptr<PlayedSignal>& p) { return p->fmin == fmin && p->fmax == fmax; });
  if (kept != m_playedSignals.end()) {
    // the most recent first, so that the least used range goes first
    std::rotate(m_playedSignals.begin(), kept, kept + 1);
  } else {
    auto played = std::make_unique<PlayedSignal>();
    played->fmin = fmin;
    played->fmax = fmax;
    played->samples = GenerateSweep(fmin, fmax);
    played->leadIn = SweepLeadInSamples(fmin);
    played->referenceLength = static_cast<int>(played->samples.size()) - kSamplesBeforeLeadIn;
    if (m_playedSignals.size() >= kKeptRanges) m_playedSignals.pop_back();
    m_playedSignals.insert(m_playedSignals.begin(), std::move(played));
  }
  m_played = m_playedSignals.front().get();
  // Below about 0.2 Hz the lead-in leaves no room for the whole sweep in the signal.
  if (m_played->referenceLength < m_played->leadIn + kSweepSteps) return false;

  // The sweep's frequency grows by a factor e every kSweepSteps / ln(fmax / fmin) samples, so
  // it reaches k f that many times ln k samples after f: harmonic k's response lies that much
  // before the linear one.
  const double samplesPerE = static_cast<double>(kSweepSteps) / std::log(fmax / fmin);
  for (int k = 1; k <= kMaxHarmonic + 1; ++k) m_harmonicOffset[k] = samplesPerE * std::log(k);
  m_harmonics = 1;
  for (int k = 2; k <= kMaxHarmonic; ++k) {
    if (k * fmin <= fmax) m_harmonics = k;
  }
  m_ungatedSide = static_cast<int>(std::min(std::lround(m_harmonicOffset[2] / 2), kMaxSide));
  return true;
}

long CImpulseAnalysis::CoarseLag(const int16_t* samples, std::size_t count) {
  CRealFft& fft = WindowFft(kAlignSize);
  PlayedSignal& played = *m_played;
  const long chunkStart = played.leadIn + kSweepSteps / 2 - kChunk / 2;
  double* t = fft.Time();
  if (played.chunkSpectrum.empty()) {
    const int16_t* reference = played.samples.data() + kSamplesBeforeLeadIn;
    std::fill(t, t + kAlignSize, 0.0);
    for (long i = 0; i < kChunk; ++i) t[i] = reference[chunkStart + i];
    fft.Forward();
    played.chunkSpectrum.assign(fft.Spectrum(), fft.Spectrum() + fft.Bins());
  }
  const std::complex<double>* chunkSpectrum = played.chunkSpectrum.data();

  const long lowestLag = kNominalLeadIn - (kAlignSize - kChunk) / 2;
  const long windowStart = chunkStart + lowestLag;
  const long n = static_cast<long>(count);
  for (long i = 0; i < kAlignSize; ++i) {
    const long s = windowStart + i;
    t[i] = s >= 0 && s < n ? samples[s] : 0.0;
  }
  fft.Forward();
  std::complex<double>* spectrum = fft.Spectrum();
  for (int j = 0; j < fft.Bins(); ++j) spectrum[j] *= std::conj(chunkSpectrum[j]);
  fft.Inverse();
  // Circular correlation: lags 0 .. kAlignSize - kChunk see the chunk whole inside the window.
  long best = 0;
  for (long l = 1; l <= kAlignSize - kChunk; ++l) {
    if (std::abs(t[l]) > std::abs(t[best])) best = l;
  }
  return lowestLag + best;
}

void CImpulseAnalysis::Deconvolve(const int16_t* samples, std::size_t count, long lag) {
  // Reference index i (from the lead-in on) is heard at recording index i + lag. Both are used
  // where they overlap, and where the recording ends before the signal does, both fade out
  // together, so the reference always matches what was recorded.
  PlayedSignal& played = *m_played;
  const long n = static_cast<long>(count);
  const long refStart = std::max(0L, -lag);
  const long refEnd = std::max(refStart, std::min<long>(played.referenceLength, n - lag));
  const bool endsEarly = refEnd < played.referenceLength;
  const long recEnd = endsEarly ? n : std::min(n, lag + played.referenceLength + kAfterSignal);

  // The transform holds the recording, and the responses' windows (linear ones after the peak,
  // harmonics up to 960000 samples before it, wrapped round) never meet.
  const int h = m_harmonics;
  const long harmonicsSpan =
      h > 1 ? std::lround((m_harmonicOffset[h] + m_harmonicOffset[h + 1]) / 2) : 0;
  const long need = std::max({recEnd, refEnd, kSweepSteps + m_ungatedSide + kGuard,
                              harmonicsSpan + m_ungatedSide + kGuard});
  const int size = CRealFft::SmoothSize(static_cast<std::size_t>(need));
  if (!m_pFull || m_pFull->Size() != size) {
    m_pFull.reset();
    m_pFull = std::make_unique<CRealFft>(size);
  }
  // The recordings of one range are mostly cut alike: the reference's division serves them all.
  if (played.divisionSize != size || played.divisionStart != refStart ||
      played.divisionEnd != refEnd) {
    MakeDivision(played, size, refStart, refEnd);
  }

  double* t = m_pFull->Time();
  const long cut = lag - kBeforeLeadIn;
  const long recStart = std::max(0L, cut - kStartFade);
  const int endFade = endsEarly ? kEndFade : (recEnd < n ? kStartFade : 0);
  m_recordingFirst = std::max(cut, recStart);
  m_recordingEnd = recEnd - endFade;
  std::fill(t, t + std::min<long>(std::max(recStart, 0L), size), 0.0);
  std::fill(t + std::max(recStart, recEnd), t + size, 0.0);
  const auto faded = [&](long i) {
    const double fadeIn = i < cut ? HalfHannRamp(static_cast<double>(i - recStart) + 0.5,
                                                 static_cast<double>(cut - recStart))
                                  : 1.0;
    const double fadeOut =
        endFade > 0 ? HalfHannRamp(static_cast<double>(recEnd - i) - 0.5, endFade) : 1.0;
    return samples[i] * fadeIn * fadeOut;
  };
  // between the fades every sample is taken as it is
  const long wholeFrom = std::max(recStart, cut);
  const long wholeTo = std::max(wholeFrom, recEnd - endFade);
  for (long i = recStart; i < std::min(wholeFrom, recEnd); ++i) t[i] = faded(i);
  for (long i = wholeFrom; i < std::min(wholeTo, recEnd); ++i) t[i] = samples[i];
  for (long i = std::max(wholeTo, recStart); i < recEnd; ++i) t[i] = faded(i);
  m_pFull->Forward();
  std::complex<double>* y = m_pFull->Spectrum();
  const std::complex<double>* division = played.division.data();
  for (int j = 0; j < m_pFull->Bins(); ++j) y[j] *= division[j];
  m_pFull->Inverse();
}

void CImpulseAnalysis::MakeDivision(PlayedSignal& played, int size, long refStart, long refEnd) {
  // a division half made is never taken for a whole one
  played.divisionSize = 0;
  const int16_t* reference = played.samples.data() + kSamplesBeforeLeadIn;
  const bool endsEarly = refEnd < played.referenceLength;
  double* t = m_pFull->Time();
  std::fill(t, t + size, 0.0);
  for (long i = refStart; i < refEnd; ++i) {
    const double fade =
        endsEarly ? HalfHannRamp(static_cast<double>(refEnd - i) - 0.5, kEndFade) : 1.0;
    t[i] = reference[i] * fade;
  }
  m_pFull->Forward();

  // H = Y X* / (|X|^2 + eps), eps = 0 in the range but for a tiny floor. The power of the
  // exponential sweep at f is fs A^2 S / (4 f ln(fmax / fmin)) in these units (A its amplitude,
  // S its length in samples); the regularisation scales with it at the band edges.
  const double fmin = played.fmin;
  const double fmax = played.fmax;
  const double binHz = static_cast<double>(kRate) / size;
  const double sweepPower = kRate * kFullScale16 * kFullScale16 * static_cast<double>(kSweepSteps) /
                            (4.0 * std::log(fmax / fmin));
  const double lowEdge = kOutOfBand * sweepPower / fmin;
  const double highEdge = kOutOfBand * sweepPower / fmax;
  const double floor = kFloor * sweepPower / fmax;
  const std::complex<double>* x = m_pFull->Spectrum();
  const double scale = 1.0 / size;
  played.division.resize(static_cast<std::size_t>(m_pFull->Bins()));
  for (int j = 0; j < m_pFull->Bins(); ++j) {
    const double f = j * binHz;
    double eps = floor;
    if (f < fmin) {
      eps += lowEdge * HalfHannRamp(std::log2(fmin / f), 1.0);
    } else if (f > fmax) {
      eps += highEdge * HalfHannRamp(std::log2(f / fmax), kHighTransitionOctaves);
    }
    played.division[static_cast<std::size_t>(j)] =
        std::conj(x[j]) * (scale / (std::norm(x[j]) + eps));
  }
  played.divisionSize = size;
  played.divisionStart = refStart;
  played.divisionEnd = refEnd;
}

bool CImpulseAnalysis::FindPeak() {
  const double* h = m_pFull->Time();
  const long size = m_pFull->Size();
  long best = 0;
  for (long i = 1; i < size; ++i) {
    if (std::abs(h[i]) > std::abs(h[best])) best = i;
  }
  // kept from one analysis to the next: a new one each time costs its pages again
  std::vector<double>& magnitudes = m_noiseMagnitudes;
  magnitudes.clear();
  for (long i = 0; i < size; i += kNoiseStride) magnitudes.push_back(std::abs(h[i]));
  const auto middle = magnitudes.begin() + static_cast<long>(magnitudes.size() / 2);
  std::nth_element(magnitudes.begin(), middle, magnitudes.end());
  const double noise = *middle / 0.6745;
  const double peak = std::abs(h[best]);
  if (!(peak > 0.0) || !(peak > kPeakToNoise * noise)) return false;

  // A parabola through the magnitudes of the peak sample and its neighbours places the peak
  // between samples.
  const double a = std::abs(h[Wrap(best - 1)]);
  const double c = std::abs(h[Wrap(best + 1)]);
  const double curve = a - 2.0 * peak + c;
  double fraction = curve < 0.0 ? 0.5 * (a - c) / curve : 0.0;
  fraction = std::clamp(fraction, -0.5, 0.5);
  m_peak = best;
  m_peakFraction = fraction;
  return true;
}

long CImpulseAnalysis::Wrap(long index) const {
  const long size = m_pFull->Size();
  const long r = index % size;
  return r < 0 ? r + size : r;
}

}  // namespace quorvel
