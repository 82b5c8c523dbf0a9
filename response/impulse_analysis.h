#pragma once

// The impulse response of a capture's recording, and what follows from it: level and phase over
// frequency (gated or not), the harmonic distortion, and the samples of the linear impulse
// response. Plain C++; FFTW does every transform.
//
//   CImpulseAnalysis analysis;  // keeps its FFT plans, buffers and the regenerated sweeps
//   if (analysis.Analyze(samples, count, fmin, fmax) == ResponseStatus::kNoImpulse)
//     ... tell the user kMsgNoImpulse ...
//   analysis.SetGate(3.5);                   // [ms] after the peak; 0 (the default): no gate
//   analysis.SetCorrection(micDb, "name");   // optional: dB subtracted from every level
//   LevelPhase at1k = analysis.ResponseAt(1000.0);  // level [dB] and phase [deg], any frequency
//   double h2 = analysis.HarmonicDb(2, 1000.0);     // the 2nd harmonic made while the sweep
//                                                    // passed 1 kHz (it sounds at 2 kHz)
//   std::vector<DistortionRow> rows = analysis.DistortionRows();  // 1/12 octave from fmin
//   std::vector<float> ir = analysis.ImpulseSamples(-48, 480);   // -1 ms .. +10 ms of the peak
//
// The file texts built from it (FRD, impulse-response WAV, distortion CSV) are in
// response/response_export.h.
//
// Scales. A level is the dB of the transfer from the generated samples to the recorded samples:
// 0 dB means the recording equals the played signal. A phase is in degrees, wrapped to
// (-180, 180], with its time reference at the impulse response's peak. Impulse samples are in
// the same unit: a recording equal to the played signal gives one peak near 1.0 (the response
// holds only the sweep's range, so its peak rings a little).
//
// Threads: an object is used by one thread at a time; separate objects may run on separate
// threads. Analyze allocates and takes tens of milliseconds; the queries are cheap.
#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class CRealFft;

// What a user reads when a recording holds no measurable response.
inline constexpr char kMsgNoImpulse[] =
    "No impulse response stands above the noise in this recording";

enum class ResponseStatus {
  kOk,
  kRangeRefused,  // not 0 < fmin < fmax <= 24000 Hz, or fmin too low (below about 0.2 Hz)
                  // for the signal to hold the whole sweep
  kNoImpulse,     // no impulse response stands above the noise
};

struct LevelPhase {
  double levelDb = 0.0;   // NaN outside 0 < f <= 24000 Hz or without a successful analysis
  double phaseDeg = 0.0;  // (-180, 180]
};

// One line of the distortion table.
struct DistortionRow {
  double frequencyHz = 0.0;    // the sweep's frequency
  double fundamentalDb = 0.0;  // the linear response at frequencyHz (never gated)
  double harmonicDb[4] = {};   // h2..h5 on the same scale; NaN where k * f lies above fmax
  // 100 sqrt(sum of 10^((hk - fundamental) / 10)) over the harmonics present; NaN when none is
  double thdPercent = 0.0;
};

// Where a response's phase is timed from: its own peak, or (loopback) the peak of a timing
// reference recorded beside it, the moment the sound left the output.
struct ResponseTiming {
  bool loopback = false;
  double position = 0.0;      // [samples into the recording] the reference's peak
  double delaySamples = 0.0;  // from the reference's peak to the measurement's
  double driftPpm = 0.0;      // the input's clock against the output's (positive: faster)
  // Without a loopback, when the recording knows where the played signal began (a live
  // measurement): from the played lead-in's first sample to the measurement's peak [samples],
  // the devices' latency included.
  std::optional<double> playedDelaySamples;
};

// The microphone's correction [dB] at a frequency [Hz]; subtracted from every level.
using LevelCorrection = std::function<double(double frequencyHz)>;

class CImpulseAnalysis {
 public:
  static constexpr int kRate = 48000;        // [Hz]
  static constexpr int kMaxHarmonic = 5;     // h2..h5
  static constexpr double kPreGateMs = 1.0;  // kept before the peak by the gate
  // The coarse alignment's transform size, also the least for the ungated windows (one plan
  // serves both).
  static constexpr int kAlignSize = 262144;

  CImpulseAnalysis();
  ~CImpulseAnalysis();
  CImpulseAnalysis(const CImpulseAnalysis&) = delete;
  CImpulseAnalysis& operator=(const CImpulseAnalysis&) = delete;

  // Deconvolves a recording (16-bit mono samples at 48000 Hz, as a capture file holds them) by
  // the signal played for fmin..fmax [Hz], regenerated bit-exactly (engine/sweep_signal.h). At
  // most the record track's length (4194304 samples) is used. On kOk the queries below answer
  // for it; otherwise (also when memory runs out: std::bad_alloc, the object left as a new one
  // for the next call) they answer NaN and empty.
  [[nodiscard]] ResponseStatus Analyze(const int16_t* samples, std::size_t count, double fmin,
                                       double fmax);

  // The gate [ms after the peak]: the linear response is kept from 1 ms before the peak to
  // gateMs after it, with half-Hann tapers over the first half millisecond and over the second
  // half of the gate. 0 or less: no gate, the linear response is kept up to half-way to the
  // second harmonic's response and as far before the peak (at most 1.5 s either side), with
  // half-Hann tapers over the outer eighth of each side. A gate longer than that is cut to it.
  // Kept across analyses. When memory runs out for the gated response (std::bad_alloc), the
  // object is left as a new one, as after a failed Analyze.
  void SetGate(double gateMs);
  [[nodiscard]] double GateMs() const { return m_gateMs; }
  // The gate as it is applied [ms]: GateMs() cut to UngatedWindowMs() (once a signal has been
  // analysed); 0 without a gate.
  [[nodiscard]] double AppliedGateMs() const;

  // Whether Analyze windows and transforms the harmonics' responses (the default): a caller that
  // reads only the linear response (level, phase, impulse) saves a transform per harmonic.
  // Without them HarmonicDb answers NaN for k >= 2, as do DistortionRows' harmonics. Kept across
  // analyses; it takes effect at the next Analyze.
  void SetHarmonicsWanted(bool wanted) { m_harmonicsWanted = wanted; }

  // The microphone correction (empty: none) and its name for the FRD comment.
  void SetCorrection(LevelCorrection correction, std::string name);
  [[nodiscard]] const std::string& CorrectionName() const { return m_correctionName; }
  // Levels on another scale than the transfer's: addedDb added to every level (the
  // correction's too: CorrectionDb then includes -addedDb), and the scale in words for the FRD
  // comment ("dB SPL of a sine ..."); empty words: the transfer's dB.
  void SetLevelScale(double addedDb, std::string words);
  [[nodiscard]] const std::string& LevelScaleWords() const { return m_levelScaleWords; }

  // The time reference of ResponseAt's phases (a loopback's keeps the delay in them); a new
  // analysis goes back to its own peak.
  void SetTimeReference(const ResponseTiming& reference) { m_timing = reference; }
  [[nodiscard]] const ResponseTiming& GetTimeReference() const { return m_timing; }

  [[nodiscard]] bool HasResult() const { return m_bValid; }
  [[nodiscard]] double Fmin() const { return m_fmin; }
  [[nodiscard]] double Fmax() const { return m_fmax; }
  // Where the response to the lead-in's first sample peaks: samples from the recording's first
  // sample, refined between samples by a parabola through the three largest magnitudes.
  [[nodiscard]] double PeakPosition() const { return m_peakPosition; }
  // How far the ungated linear response reaches on either side of the peak [ms].
  [[nodiscard]] double UngatedWindowMs() const;

  // Level and phase of the linear response at frequencyHz, gated as set.
  [[nodiscard]] LevelPhase ResponseAt(double frequencyHz) const;
  // The level [dB] of the k-th harmonic (k = 2..5) made while the sweep passed frequencyHz,
  // on the scale of ResponseAt; the microphone correction is taken at k * frequencyHz, where
  // the harmonic sounds. k = 1: the ungated linear level. NaN where k * frequencyHz lies above
  // fmax. Within about 1% of fmin the harmonics read low (6 dB at fmin itself): the sweep of
  // their own starts there.
  [[nodiscard]] double HarmonicDb(int k, double frequencyHz) const;
  // One row per 1/12 octave from fmin up to fmax.
  [[nodiscard]] std::vector<DistortionRow> DistortionRows() const;
  // Samples first .. first + count - 1 of the linear impulse response, counted from its peak
  // sample (0), ungated; zero beyond the linear response's window.
  [[nodiscard]] std::vector<float> ImpulseSamples(int first, int count) const;

  // For the views of a response (response/group_delay.h and its neighbours):
  // ImpulseSamples at full precision.
  [[nodiscard]] std::vector<double> LinearSamples(int first, int count) const;
  // Where the time reference lies after the peak sample [samples, -0.5 .. 0.5].
  [[nodiscard]] double PeakFraction() const { return m_peakFraction; }
  // The linear response at frequencyHz as a complex transfer, gated as set, its time reference
  // at the peak, without the microphone correction (0 without a result).
  [[nodiscard]] std::complex<double> TransferAt(double frequencyHz) const;
  // The microphone correction [dB] that the levels subtract at frequencyHz (0: none).
  [[nodiscard]] double CorrectionDb(double frequencyHz) const { return Correction(frequencyHz); }
  // The whole deconvolution, unwindowed: count samples from `first` (0: the peak sample),
  // read round its DeconvolutionLength() samples, as the circular division left them.
  [[nodiscard]] std::vector<double> DeconvolutionSamples(long first, long count) const;
  [[nodiscard]] long DeconvolutionLength() const;
  // How far harmonic k's response lies before the linear one [samples]: L ln k, the sweep
  // taking L samples to grow by a factor e.
  [[nodiscard]] double HarmonicLag(double k) const;
  // The recording's samples that the deconvolution holds whole (between its fades), as
  // [first, end) counted from the peak sample: the recording's noise at frequency f shows at lag
  // t only where t plus the reference sample at which the sweep passes f lies in that span
  // (round the deconvolution's length).
  [[nodiscard]] long RecordingFirst() const { return m_recordingFirst - m_peak; }
  [[nodiscard]] long RecordingEnd() const { return m_recordingEnd - m_peak; }

 private:
  // One windowed response and its spectrum (bins 0 .. size / 2 of a transform of `size`).
  struct Spectrum {
    std::vector<std::complex<double>> bins;
    int size = 0;
    double delay = 0.0;  // [samples] from the window's centre sample to the time reference
  };

  // The played signal of one range and what follows from it alone, kept for the next
  // recording of that range: generating and transforming it again would take a third of each
  // analysis of a session's captures.
  struct PlayedSignal {
    double fmin = 0.0;
    double fmax = 0.0;
    std::vector<int16_t> samples;
    int leadIn = 0;           // [samples] of the signal before the sweep proper
    int referenceLength = 0;  // [samples] of the signal from the lead-in on
    // The spectrum of the coarse alignment's stretch of the sweep; empty until first needed.
    std::vector<std::complex<double>> chunkSpectrum;
    // The division's factor per bin, conj(X) / (|X|^2 + eps) / size, for the reference cut to
    // [divisionStart, divisionEnd) in a transform of divisionSize (0: none yet).
    std::vector<std::complex<double>> division;
    int divisionSize = 0;
    long divisionStart = 0;
    long divisionEnd = 0;
  };
  // The ranges kept, the most recent first.
  static constexpr std::size_t kKeptRanges = 3;

  ResponseStatus AnalyzeSignal(const int16_t* samples, std::size_t count, double fmin, double fmax);
  // Every transform, buffer and the regenerated signal freed: the state of a new object.
  void ReleaseTransforms();
  bool PrepareSignal(double fmin, double fmax);
  long CoarseLag(const int16_t* samples, std::size_t count);
  void Deconvolve(const int16_t* samples, std::size_t count, long lag);
  // The division by the played signal cut to reference samples [refStart, refEnd) (faded out
  // at refEnd when the recording ends before the signal), in a transform of `size`: m_pFull.
  void MakeDivision(PlayedSignal& played, int size, long refStart, long refEnd);
  bool FindPeak();
  void BuildSpectra();
  void BuildGated();
  // Windows the deconvolution around `centre` (samples -before .. after, half-Hann ramps over
  // the first rampBefore and last rampAfter) and keeps its spectrum from a transform of `size`;
  // the time reference lies `delay` samples after the centre.
  void Extract(Spectrum& out, int size, long centre, double delay, long before, long after,
               long rampBefore, long rampAfter);
  [[nodiscard]] std::complex<double> Interpolate(const Spectrum& s, double frequencyHz) const;
  [[nodiscard]] double Correction(double frequencyHz) const;
  [[nodiscard]] long Wrap(long index) const;
  CRealFft& WindowFft(int size);

  // The played signals of the last few ranges; m_played is the one of the current range.
  std::vector<std::unique_ptr<PlayedSignal>> m_playedSignals;
  PlayedSignal* m_played = nullptr;
  double m_harmonicOffset[kMaxHarmonic + 2] = {};  // [samples] harmonic k before the linear
  int m_harmonics = 0;    // the highest harmonic within the range (1: none)
  int m_ungatedSide = 0;  // [samples] the ungated linear window on either side of the peak

  // The whole deconvolution (recording length).
  std::unique_ptr<CRealFft> m_pFull;
  // The smaller transforms (coarse alignment, windows), one per size.
  std::vector<std::unique_ptr<CRealFft>> m_windowFfts;

  ResponseTiming m_timing;

  std::vector<double> m_noiseMagnitudes;  // FindPeak's, kept for the next analysis

  // The result.
  bool m_bValid = false;
  double m_fmin = 0.0;
  double m_fmax = 0.0;
  long m_peak = 0;              // peak sample in the deconvolution buffer (m_pFull->Time())
  double m_peakFraction = 0.0;  // sub-sample part of the peak (-0.5 .. 0.5)
  double m_peakPosition = 0.0;
  long m_recordingFirst = 0;  // the recording held whole: [first, end) in m_pFull->Time()
  long m_recordingEnd = 0;
  Spectrum m_linear;
  Spectrum m_gated;
  Spectrum m_harmonic[kMaxHarmonic + 1];

  double m_gateMs = 0.0;
  bool m_harmonicsWanted = true;
  bool m_harmonicsBuilt = false;  // m_harmonic holds the last analysis's harmonics
  LevelCorrection m_correction;
  std::string m_correctionName;
  double m_levelAddedDb = 0.0;
  std::string m_levelScaleWords;
};

}  // namespace quorvel
