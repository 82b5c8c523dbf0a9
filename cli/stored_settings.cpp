#include "cli/stored_settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVariant>
#include <cstdio>

#include "control/settings_file.h"

namespace quorvel {

std::string StoredPreferenceText(const char* name) {
  // The window's file, as it names it; no application object is made: it would switch the
  // process to the user's locale, and the curve files are written with a decimal point.
  const std::string path = SettingsFilePath(
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString());
  const QString file = QString::fromStdString(path);
  const SettingsFileKind kind = InspectSettingsFile(path);
  if (kind == SettingsFileKind::kMissing) return std::string();
  // A named pipe is never opened (reading it would wait for a writer), and a file that cannot
  // be parsed is left as it is for the window to keep aside: either is only not used here.
  if (kind == SettingsFileKind::kOther) {
    std::fprintf(stderr, "Warning: the settings are not read: %s\n",
                 NotARegularFileWords(path).c_str());
    return std::string();
  }
  const QSettings settings(file, QSettings::IniFormat);
  const QString key = QStringLiteral("Preferences/") + QString::fromUtf8(name);
  const std::string text = settings.value(key).toString().toStdString();
  if (settings.status() != QSettings::NoError) {
    std::fprintf(stderr, "Warning: the settings are not read: %s cannot be read as settings\n",
                 path.c_str());
    return std::string();
  }
  return text.find_first_not_of(' ') == std::string::npos ? std::string() : text;
}

}  // namespace quorvel
