#include "cli/spl_settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include "base/number_text.h"
#include "base/preferences.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/stored_settings.h"
#include "control/run/input_channel_choice.h"
#include "control/settings/settings_file.h"
#include "control/window/slider_positions.h"

namespace quorvel {

namespace {

QString Key(const std::string& key) {
  return QString(kSplSettingsGroup) + "/" + QString::fromStdString(key);
}

}  // namespace

std::string CStoredSplCalibrations::Path() {
  return SettingsFilePath(
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString());
}

std::optional<std::string> CStoredSplCalibrations::Load(const std::string& key) {
  const std::string path = Path();
  // A named pipe is never opened, a huge file never parsed.
  if (InspectSettingsFile(path) != SettingsFileKind::kRegular) return std::nullopt;
  const QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
  if (settings.status() != QSettings::NoError) {
    m_unparsable = true;
    return std::nullopt;
  }
  const QVariant stored = settings.value(Key(key));
  if (!stored.isValid()) return std::nullopt;
  return stored.toString().toStdString();
}

Result<void> CStoredSplCalibrations::Store(const std::string& key, const std::string& text) {
  const std::string path = Path();
  const SettingsFileKind kind = InspectSettingsFile(path);
  if (kind == SettingsFileKind::kOther) return Failure{NotARegularFileWords(path)};
  if (kind == SettingsFileKind::kTooLarge) return Failure{path + " is larger than 1 MB"};
  // Makes the folder when it is missing; a file or folder that cannot be written is said.
  if (std::string words = SettingsFileAccessWords(path); !words.empty()) {
    return Failure{std::move(words)};
  }
  QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
  settings.sync();
  if (m_unparsable || settings.status() != QSettings::NoError) {
    return Failure{path + " cannot be parsed: the window keeps it aside when it starts"};
  }
  settings.setValue(Key(key), QString::fromStdString(text));
  settings.sync();
  if (settings.status() != QSettings::NoError) return Failure{path + ": could not be written"};
  return {};
}

int CaptureSplScale(const CliOptions& options, const char* usage, SplScale* scale) {
  *scale = SplScale();
  if (!options.Has("spl")) return kExitOk;
  SplInput input;
  input.device =
      options.Has("input") ? options.Value("input") : StoredPreferenceText(kPrefAudioInPeripheral);
  if (input.device.empty()) {
    return ArgumentError("--spl needs --input NAME: the capture does not name its input", usage);
  }
  std::string error;
  if (options.Has("gain")) {
    if (!options.Number("gain", 0.0, &input.gainDb, &error)) return ArgumentError(error, usage);
  } else {
    const std::string position = StoredPreferenceText(kPrefAudioInGain);
    double stored = kDefaultAudioInGain;
    if (!position.empty()) {
      static_cast<void>(ScanDouble(position.data(), position.data() + position.size(), &stored));
    }
    input.gainDb = GainDbOfPosition(SliderPositionFromPreference(static_cast<int>(stored)));
  }
  // the channel the window measures that input on
  input.channel =
      InputChannelName(ParseInputChannelChoice(
                           StoredPreferenceText(InputChannelPreferenceName(input.device).c_str()))
                           .channel);
  CStoredSplCalibrations store;
  double offsetDb = 0.0;
  if (!FindSplOffset(store, input, &offsetDb)) {
    return ArgumentError(NoSplCalibrationMessage(input), usage);
  }
  *scale = SplScaleOf(input, offsetDb);
  return kExitOk;
}

}  // namespace quorvel
