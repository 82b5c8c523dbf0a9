#include "response/response_export.h"

#include <bit>
#include <cmath>

#include "base/number_text.h"
#include "files/wave_bytes.h"
#include "response/gate_validity.h"

namespace quorvel {

namespace {

constexpr int kIrSamples = 24000;  // 500 ms at 48000 Hz
constexpr int kIrPeakAt = 480;     // 10 ms
constexpr int kFrdStepsPerOctave = 48;

// A value, or nothing when it is absent.
std::string Field(double value, int decimals) {
  return std::isfinite(value) ? FormatFixed(value, decimals) : std::string();
}

// A phase rounded to hundredths of a degree, kept within (-180, 180] after the rounding.
std::string PhaseText(double degrees) {
  double rounded = std::round(degrees * 100.0) / 100.0;
  if (rounded <= -180.0) rounded += 360.0;
  return FormatFixed(rounded, 2);
}

// A name on one comment line: control characters become spaces.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return line;
}

void AppendChunkHeader(std::vector<uint8_t>& bytes, const char* id, uint32_t size) {
  bytes.insert(bytes.end(), id, id + 4);
  const std::size_t at = bytes.size();
  bytes.resize(at + 4);
  wavebytes::PutLe32(bytes.data() + at, size);
}

void AppendLe16(std::vector<uint8_t>& bytes, uint16_t v) {
  const std::size_t at = bytes.size();
  bytes.resize(at + 2);
  wavebytes::PutLe16(bytes.data() + at, v);
}

void AppendLe32(std::vector<uint8_t>& bytes, uint32_t v) {
  const std::size_t at = bytes.size();
  bytes.resize(at + 4);
  wavebytes::PutLe32(bytes.data() + at, v);
}

}  // namespace

std::vector<double> FrdFrequencies(double fmin, double fmax) {
  std::vector<double> frequencies;
  if (!(fmin > 0.0) || !(fmin < fmax) || !std::isfinite(fmax)) return frequencies;
  for (int i = 0;; ++i) {
    const double f = fmin * std::exp2(static_cast<double>(i) / kFrdStepsPerOctave);
    if (f > fmax * (1.0 - 1e-9)) break;
    frequencies.push_back(f);
  }
  frequencies.push_back(fmax);
  return frequencies;
}

std::string FormatFrd(const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return std::string();
  std::string text =
      "* Quorvel frequency response: level and phase of the linear impulse response\n";
  text += "* Range: " + FormatFixed(analysis.Fmin(), 2) + "-" + FormatFixed(analysis.Fmax(), 2) +
          " Hz\n";
  if (analysis.AppliedGateMs() > 0.0) {
    text += "* Gate: " + FormatFixed(analysis.AppliedGateMs(), 2) + " ms after the peak and " +
            FormatFixed(CImpulseAnalysis::kPreGateMs, 2) +
            " ms before it, half-Hann tapers over the gate's second half and the first half "
            "millisecond\n";
    text += GateValidityComment(analysis.AppliedGateMs());
  } else {
    text += "* Gate: none (the linear response " + FormatFixed(analysis.UngatedWindowMs(), 1) +
            " ms either side of its peak, half-way to the second harmonic's)\n";
  }
  const ResponseTiming& timing = analysis.GetTimeReference();
  if (timing.loopback) {
    text += "* time reference: loopback, delay " + FormatFixed(timing.delaySamples / 48.0, 3) +
            " ms (" + FormatFixed(timing.delaySamples / 48000.0 * 343.0, 2) + " m)\n";
  } else if (timing.playedDelaySamples) {
    text += "* Time reference: the impulse response's peak, " +
            FormatFixed(*timing.playedDelaySamples / 48.0, 3) +
            " ms after the played signal (the devices' latency included)\n";
  } else {
    text += "* Time reference: the impulse response's peak, " +
            FormatFixed(analysis.PeakPosition() / 48.0, 3) +
            " ms into the recording (a time that includes the devices' latency)\n";
  }
  if (analysis.LevelScaleWords().empty()) {
    text +=
        "* Level: dB of the transfer from the played samples to the recorded samples (0 dB: "
        "the recording equals the played signal)\n";
  } else {
    text += "* Level: " + OneLine(analysis.LevelScaleWords()) + "\n";
  }
  if (!analysis.CorrectionName().empty()) {
    text += "* Microphone correction subtracted: " + OneLine(analysis.CorrectionName()) + "\n";
  }
  text += "* frequency_hz level_db phase_deg\n";
  for (const double f : FrdFrequencies(analysis.Fmin(), analysis.Fmax())) {
    const LevelPhase at = analysis.ResponseAt(f);
    text +=
        FormatFixed(f, 4) + " " + FormatFixed(at.levelDb, 3) + " " + PhaseText(at.phaseDeg) + "\n";
  }
  return text;
}

std::vector<uint8_t> ImpulseWavBytes(const CImpulseAnalysis& analysis) {
  std::vector<uint8_t> bytes;
  if (!analysis.HasResult()) return bytes;
  const std::vector<float> samples = analysis.ImpulseSamples(-kIrPeakAt, kIrSamples);
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 4);
  // IEEE float data: an 18-byte format chunk and a "fact" chunk, as non-PCM WAV files carry.
  AppendChunkHeader(bytes, "RIFF", 4 + (8 + 18) + (8 + 4) + (8 + dataBytes));
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E'});
  AppendChunkHeader(bytes, "fmt ", 18);
  AppendLe16(bytes, 3);  // WAVE_FORMAT_IEEE_FLOAT
  AppendLe16(bytes, 1);
  AppendLe32(bytes, CImpulseAnalysis::kRate);
  AppendLe32(bytes, CImpulseAnalysis::kRate * 4);
  AppendLe16(bytes, 4);
  AppendLe16(bytes, 32);
  AppendLe16(bytes, 0);
  AppendChunkHeader(bytes, "fact", 4);
  AppendLe32(bytes, static_cast<uint32_t>(samples.size()));
  AppendChunkHeader(bytes, "data", dataBytes);
  for (const float s : samples) AppendLe32(bytes, std::bit_cast<uint32_t>(s));
  return bytes;
}

std::string FormatDistortionCsv(const std::vector<DistortionRow>& rows) {
  return FormatDistortionCsv(rows, {});
}

std::string FormatDistortionCsv(const std::vector<DistortionRow>& rows,
                                const std::vector<double>& noiseDb) {
  const bool noise = !noiseDb.empty();
  std::string text = "frequency_hz,fundamental_db,h2_db,h3_db,h4_db,h5_db,thd_percent";
  text += noise ? ",noise_db\n" : "\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const DistortionRow& row = rows[i];
    text += FormatFixed(row.frequencyHz, 3) + "," + Field(row.fundamentalDb, 3);
    for (const double h : row.harmonicDb) text += "," + Field(h, 3);
    text += "," + Field(row.thdPercent, 4);
    if (noise) text += "," + (i < noiseDb.size() ? Field(noiseDb[i], 3) : std::string());
    text += "\n";
  }
  return text;
}

}  // namespace quorvel
