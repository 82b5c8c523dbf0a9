#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "engine/input_channel.h"
#include "response/calibrator_tone.h"

namespace quorvel {

class CAudio;
class CMeasurementSequence;

// The SPL calibration of an input: a sound level calibrator's tone recorded on an input device,
// channel and gain, its offset (dB SPL - dBFS RMS) kept per device in the settings, and the
// levels that offset turns into dB SPL. User-interface thread.

inline constexpr double kSplRecordSeconds = 3.0;
// Recorded before the calibrator's three seconds and left out: the input settles [s].
inline constexpr double kSplSettleSeconds = 0.5;
inline constexpr double kDefaultCalibratorHz = 1000.0;
// A sine's peak stands 3.01 dB above its RMS: the live curve's block peak of a sine less this
// is the sine's RMS level.
inline constexpr double kSinePeakOverRmsDb = 3.0102999566398121;

// What a calibration belongs to.
struct SplInput {
  std::string device;  // the input device's name
  // the channel the recording takes (InputChannelName: "louder", as calibrations made before the
  // channel choice are stored, "left" or "right")
  std::string channel = InputChannelName(InputChannel::kLouder);
  double gainDb = 0.0;  // the input gain [dB], kept to 0.1 dB
};

// The settings key of a device in group kSplSettingsGroup: its name with "/", "\" and "%" as
// %2F, %5C and %25 (a settings key takes "/" for a subgroup).
inline constexpr char kSplSettingsGroup[] = "SplCalibration";
[[nodiscard]] std::string SplSettingsKey(const std::string& device);

// Where the offsets live: one text per device key, "CHANNEL GAIN OFFSET" entries separated by
// "; " ("louder 0.0 124.000; left 6.0 118.000"), numbers with a decimal point whatever the
// locale. The window keeps them in its settings file, quorvel-cli writes there too, the tests
// in memory.
class ISplCalibrationStore {
 public:
  virtual ~ISplCalibrationStore() = default;
  // The text under key; none when none is stored (or the store cannot be read).
  [[nodiscard]] virtual std::optional<std::string> Load(const std::string& key) = 0;
  // Stores text under key at once; the reason when it cannot.
  [[nodiscard]] virtual Result<void> Store(const std::string& key, const std::string& text) = 0;
};

class CMemorySplCalibrationStore final : public ISplCalibrationStore {
 public:
  std::optional<std::string> Load(const std::string& key) override;
  Result<void> Store(const std::string& key, const std::string& text) override;
  std::map<std::string, std::string> texts;
};

// The offset stored for input [dB]; false when there is none (an entry that does not read as
// three fields with finite numbers is none).
[[nodiscard]] bool FindSplOffset(ISplCalibrationStore& store, const SplInput& input,
                                 double* offsetDb);
// Stores the offset for input, replacing one of the same channel and gain and keeping the
// device's others. The reason when it cannot.
[[nodiscard]] Result<void> StoreSplOffset(ISplCalibrationStore& store, const SplInput& input,
                                          double offsetDb);

// "No SPL calibration for the input "NAME" (channel louder, gain 0.0 dB): calibrate it first".
[[nodiscard]] std::string NoSplCalibrationMessage(const SplInput& input);

// A calibration's verdict on a calibrator's recording.
struct SplCalibration {
  bool accepted = false;
  double offsetDb = 0.0;  // dB SPL - dBFS RMS, when accepted
  CalibratorTone tone;
  std::string message;  // the refusal, or "Calibrated: 94.0 dB SPL reads -30.00 dBFS RMS ..."
};
[[nodiscard]] SplCalibration JudgeCalibration(const std::vector<int16_t>& samples,
                                              double referenceDb, double frequencyHz);

// Levels in dB SPL of a sine: a live curve's level (a block's peak, dB of full scale) and a
// transfer's level (dB from the played samples to the recorded ones; the sweep plays at
// 32767 of 32768).
[[nodiscard]] double SplOfCurveLevel(double curveDb, double offsetDb);
[[nodiscard]] double SplOfTransferLevel(double transferDb, double offsetDb);

// The level meter's reading in dB SPL of a sine: its level in segments (CLevelMeter::Level:
// 4.725 ln(a) - 18, a the 16-bit magnitude of 1.25 x the peak), as "87.3 dB SPL"; empty at 0
// (nothing lit).
[[nodiscard]] std::string SplMeterText(float meterLevel, double offsetDb);

// Whether a command's levels are in dB SPL, and by which calibration.
struct SplScale {
  bool spl = false;
  double offsetDb = 0.0;  // the input's SPL calibration [dB SPL - dBFS RMS]
  std::string words;      // what the levels are, for a file's comment
};
// The scale of input's calibration offsetDb: words "dB SPL of a sine at the sweep's level (its
// RMS), by the SPL calibration of the input "NAME" (channel louder, gain 0.0 dB, offset
// 124.00 dB)".
[[nodiscard]] SplScale SplScaleOf(const SplInput& input, double offsetDb);

// The recording of a calibrator, step by step as a measurement goes: Start opens the input at
// the gain (closing it first when it is open), Done tells when the settling and three seconds
// are recorded, Finish closes the input (and opens it again when it was open before, as the
// window's meter had it) and gives the three seconds.
class CSplRecorder {
 public:
  CSplRecorder(CAudio& audio, CMeasurementSequence& sequence)
      : m_audio(audio), m_sequence(sequence) {}
  // False after the input's message (the sequence's). The record track takes channel.
  [[nodiscard]] bool Start(int inputIndex, double gainDb,
                           InputChannel channel = InputChannel::kLouder);
  [[nodiscard]] bool Done() const;
  // The fraction recorded, 0..1.
  [[nodiscard]] double Progress() const;
  // The recording's last kSplRecordSeconds (fewer samples when the input stopped early).
  std::vector<int16_t> Finish();

 private:
  CAudio& m_audio;
  CMeasurementSequence& m_sequence;
  int32_t m_startCount = 0;
  int m_inputIndex = 0;
  bool m_wasOpen = false;
  bool m_running = false;
};

}  // namespace quorvel
