#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The user's settings kept between runs: eleven named values, each with its default. The window
// keeps them in QSettings (app/); quorvel-cli and the tests keep them in memory
// (CMemoryPreferences). Only the user-interface thread reads or writes preferences. The store sits
// in the bottom layer so that every layer that keeps a setting (the calibration's chart folder
// and remembered microphone, the capture files, the window) reads it through the same rules.

namespace quorvel {

// ---- the values and their defaults ----
inline constexpr char kPrefAudioInPeripheral[] = "AudioInPeripheral";  // text
inline constexpr char kDefaultAudioInPeripheral[] = "Microphone";
inline constexpr char kPrefAudioInGain[] = "AudioInGain";  // 32-bit number: slider position
inline constexpr int32_t kDefaultAudioInGain = 12;         // 0 dB
inline constexpr char kPrefAudioOutPeripheral[] = "AudioOutPeripheral";  // text
// (its default, the output mapper entry, is kDefaultAudioOutPeripheral in
// control/measurement_request.h: the mapper's name belongs to the engine)
inline constexpr char kPrefVolume[] = "Volume";  // 32-bit number: slider position
inline constexpr int32_t kDefaultVolume = 16;
inline constexpr char kPrefFmin[] = "Fmin";  // number as "%lf" text [Hz]
inline constexpr double kDefaultFmin = 20.0;
inline constexpr char kPrefFmax[] = "Fmax";  // number as "%lf" text [Hz]
inline constexpr double kDefaultFmax = 20000.0;
inline constexpr char kPrefInstallDataDir[] = "InstallDataDir";  // text; set from outside
inline constexpr char kDefaultInstallDataDir[] = "";
// The data folders: their defaults are computed at start-up from the data folder base.
inline constexpr char kPrefCalibFiles[] = "CalibFiles";        // text: the chart folder
inline constexpr char kPrefWav[] = "Wav";                      // text: the last capture file
inline constexpr char kPrefCurves[] = "Curves";                // text: the curve pictures' folder
inline constexpr char kPrefMicroSelected[] = "MicroSelected";  // text: the remembered chart
inline constexpr char kDefaultMicroSelected[] = "";

// Longest text a preference holds [bytes]: longer stored texts read as missing, longer written
// texts are cut (never inside a UTF-8 character).
inline constexpr size_t kMaxPreferenceText = 519;

// IPreferences: the rules every store follows, over the storage an implementation supplies.
//
// A text is used when it is stored, at most kMaxPreferenceText bytes long, and holds at least one
// character above 0x20 other than 0x7F (bytes from 0x80 on count: a UTF-8 name such as
// "\xC3\x89cho" is kept); otherwise (missing, too long, empty, only spaces and control bytes) the
// read gives the default and stores it. Numbers read as texts are written with
// "%lf" (six decimals, "20.000000") and read back the same way, whatever the user's locale; a
// stored text that does not start with a number reads as 0.0, and one that reads as infinity
// or NaN ("inf", "nan", "1e999") as the default, which is stored. 32-bit numbers are stored as
// numbers; a missing one reads as the default and stores it.
class IPreferences {
 public:
  virtual ~IPreferences() = default;

  [[nodiscard]] std::string ReadString(const char* name, const std::string& defaultValue);
  void WriteString(const char* name, const std::string& value);
  [[nodiscard]] double ReadDouble(const char* name, double defaultValue);
  void WriteDouble(const char* name, double value);
  [[nodiscard]] int32_t ReadInt(const char* name, int32_t defaultValue);
  void WriteInt(const char* name, int32_t value);

 protected:
  // The storage. Load* report whether a value of that name and kind is stored; Store* store
  // it at once (nothing is kept back for a bulk save).
  [[nodiscard]] virtual bool LoadText(const char* name, std::string* value) = 0;
  virtual void StoreText(const char* name, const std::string& value) = 0;
  [[nodiscard]] virtual bool LoadInt(const char* name, int32_t* value) = 0;
  virtual void StoreInt(const char* name, int32_t value) = 0;
};

// A number as a preference stores it: "%lf" (fixed, six decimals) in the C locale.
[[nodiscard]] std::string FormatPreferenceDouble(double value);
// A preference text read as "%lf" would: leading white space and a sign allowed, the longest
// number that starts the text; 0.0 when it does not start with a number.
[[nodiscard]] double ParsePreferenceDouble(const std::string& text);

}  // namespace quorvel
