#include "control/settings/spl_calibration.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "base/number_text.h"
#include "control/run/measurement_request.h"
#include "control/run/measurement_sequence.h"
#include "engine/audio_engine.h"

namespace quorvel {

namespace {

constexpr int kRate = CAudio::kSampleRate;
constexpr int kRecordSamples = static_cast<int>(kSplRecordSeconds * kRate);
constexpr int kSettleSamples = static_cast<int>(kSplSettleSeconds * kRate);

std::string GainText(double gainDb) {
  return FormatFixed(gainDb, 1);
}

struct Entry {
  std::string channel;
  std::string gain;
  double offsetDb = 0.0;
};

// The entries of a device's text; those that do not read whole are left out.
std::vector<Entry> ReadEntries(const std::string& text) {
  std::vector<Entry> entries;
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find(';', begin);
    if (end == std::string::npos) end = text.size();
    std::istringstream fields(text.substr(begin, end - begin));
    Entry entry;
    std::string gain;
    std::string offset;
    std::string more;
    if (fields >> entry.channel >> gain >> offset && !(fields >> more)) {
      double gainDb = 0.0;
      const char* gainEnd = ScanDouble(gain.data(), gain.data() + gain.size(), &gainDb);
      const char* offsetEnd =
          ScanDouble(offset.data(), offset.data() + offset.size(), &entry.offsetDb);
      if (gainEnd == gain.data() + gain.size() && offsetEnd == offset.data() + offset.size() &&
          std::isfinite(gainDb) && std::isfinite(entry.offsetDb)) {
        entry.gain = GainText(gainDb);
        entries.push_back(entry);
      }
    }
    begin = end + 1;
  }
  return entries;
}

}  // namespace

std::string SplSettingsKey(const std::string& device) {
  std::string key;
  for (const char c : device) {
    if (c == '/') {
      key += "%2F";
    } else if (c == '\\') {
      key += "%5C";
    } else if (c == '%') {
      key += "%25";
    } else {
      key += c;
    }
  }
  return key;
}

std::optional<std::string> CMemorySplCalibrationStore::Load(const std::string& key) {
  const auto found = texts.find(key);
  if (found == texts.end()) return std::nullopt;
  return found->second;
}

Result<void> CMemorySplCalibrationStore::Store(const std::string& key, const std::string& text) {
  texts[key] = text;
  return {};
}

bool FindSplOffset(ISplCalibrationStore& store, const SplInput& input, double* offsetDb) {
  const std::optional<std::string> text = store.Load(SplSettingsKey(input.device));
  if (!text) return false;
  for (const Entry& entry : ReadEntries(*text)) {
    if (entry.channel == input.channel && entry.gain == GainText(input.gainDb)) {
      *offsetDb = entry.offsetDb;
      return true;
    }
  }
  return false;
}

Result<void> StoreSplOffset(ISplCalibrationStore& store, const SplInput& input, double offsetDb) {
  const std::string key = SplSettingsKey(input.device);
  const std::string text = store.Load(key).value_or(std::string());
  std::string kept = input.channel + " " + GainText(input.gainDb) + " " + FormatFixed(offsetDb, 3);
  for (const Entry& entry : ReadEntries(text)) {
    if (entry.channel == input.channel && entry.gain == GainText(input.gainDb)) continue;
    kept += "; " + entry.channel + " " + entry.gain + " " + FormatFixed(entry.offsetDb, 3);
  }
  return store.Store(key, kept);
}

std::string NoSplCalibrationMessage(const SplInput& input) {
  return "No SPL calibration for the input \"" + input.device + "\" (channel " + input.channel +
         ", gain " + GainText(input.gainDb) + " dB): calibrate it first";
}

std::string SplMeterText(float meterLevel, double offsetDb) {
  if (!(meterLevel > 0.0f)) return std::string();
  const double magnitude = std::exp((meterLevel + 18.0) / 4.725) / 1.25;  // of 32768
  return FormatFixed(SplOfCurveLevel(20.0 * std::log10(magnitude / 32768.0), offsetDb), 1) +
         " dB SPL";
}

SplScale SplScaleOf(const SplInput& input, double offsetDb) {
  return {
      true, offsetDb,
      "dB SPL of a sine at the sweep's level (its RMS), by the SPL calibration of the input \"" +
          input.device + "\" (channel " + input.channel + ", gain " + GainText(input.gainDb) +
          " dB, offset " + FormatFixed(offsetDb, 2) + " dB)"};
}

SplCalibration JudgeCalibration(const std::vector<int16_t>& samples, double referenceDb,
                                double frequencyHz) {
  SplCalibration result;
  result.tone = CheckCalibratorTone(samples, frequencyHz);
  if (result.tone.verdict != CalibratorVerdict::kTone) {
    result.message = "Calibration refused. " + result.tone.message;
    return result;
  }
  result.accepted = true;
  result.offsetDb = referenceDb - result.tone.rmsDbfs;
  result.message = "Calibrated: " + FormatFixed(referenceDb, 1) + " dB SPL at " +
                   FormatFixed(result.tone.frequencyHz, 1) + " Hz reads " +
                   FormatFixed(result.tone.rmsDbfs, 2) + " dBFS RMS, offset " +
                   FormatFixed(result.offsetDb, 2) + " dB";
  return result;
}

double SplOfCurveLevel(double curveDb, double offsetDb) {
  return curveDb - kSinePeakOverRmsDb + offsetDb;
}

double SplOfTransferLevel(double transferDb, double offsetDb) {
  // The played sine's RMS level [dBFS RMS] plus the transfer is the recorded one.
  static const double playedDbfs = 20.0 * std::log10(32767.0 / 32768.0) - kSinePeakOverRmsDb;
  return transferDb + playedDbfs + offsetDb;
}

bool CSplRecorder::Start(int inputIndex, double gainDb, InputChannel channel) {
  m_wasOpen = m_audio.IsCaptureThreadRunning();
  m_inputIndex = inputIndex;
  m_sequence.CloseInputPeripheral();
  m_audio.SetInputGain(GainFactor(gainDb));
  m_audio.SetInputChannels(channel, ReferenceChannel::kNone);
  if (!m_sequence.OpenInputPeripheral(inputIndex)) {
    m_audio.SetInputChannels(InputChannel::kLouder, ReferenceChannel::kNone);
    return false;
  }
  m_startCount = m_audio.Counters().recordCount;
  m_running = true;
  return true;
}

bool CSplRecorder::Done() const {
  if (!m_running) return true;
  const EngineCounters counters = m_audio.Counters();
  return counters.recordCount - m_startCount >= kSettleSamples + kRecordSamples ||
         !m_audio.IsCaptureThreadRunning();
}

double CSplRecorder::Progress() const {
  const double recorded = m_audio.Counters().recordCount - m_startCount;
  return std::clamp(recorded / (kSettleSamples + kRecordSamples), 0.0, 1.0);
}

std::vector<int16_t> CSplRecorder::Finish() {
  if (!m_running) return {};
  m_running = false;
  // The record track is read once its writer has stopped.
  m_sequence.CloseInputPeripheral();
  m_audio.SetInputChannels(InputChannel::kLouder, ReferenceChannel::kNone);
  const int recorded = m_audio.Counters().recordCount - m_startCount - kSettleSamples;
  std::vector<int16_t> samples(static_cast<size_t>(std::clamp(recorded, 0, kRecordSamples)));
  samples.resize(static_cast<size_t>(
      m_audio.CopyLatestRecording(samples.data(), static_cast<int>(samples.size()))));
  if (m_wasOpen) static_cast<void>(m_sequence.OpenInputPeripheral(m_inputIndex));
  return samples;
}

}  // namespace quorvel
