#include "cli/stored_settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringDecoder>
#include <QVariant>
#include <cstdio>

#include "base/preferences.h"
#include "base/util.h"
#include "control/settings/data_folders.h"
#include "control/settings/settings_file.h"

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
  if (kind == SettingsFileKind::kTooLarge) {
    std::fprintf(stderr, "Warning: the settings are not read: %s is larger than 1 MB\n",
                 path.c_str());
    return std::string();
  }
  const QSettings settings(file, QSettings::IniFormat);
  const QVariant stored = settings.value(QStringLiteral("Preferences/") + QString::fromUtf8(name));
  // A text that is not UTF-8 is stored as a byte array, or by hand as bytes QSettings cannot
  // decode: a path is kept byte for byte, as the window keeps it.
  std::string text = stored.typeId() == QMetaType::QByteArray ? stored.toByteArray().toStdString()
                                                              : stored.toString().toStdString();
  std::string bytes;
  if (stored.typeId() == QMetaType::QString &&
      RawSettingsText(ReadSettingsFileBytes(path), "Preferences", name, &bytes) &&
      QString::fromStdString(bytes).toStdString() != bytes) {
    QStringDecoder fromUtf8(QStringDecoder::Utf8);  // as QSettings decoded it
    if (QString(fromUtf8(QByteArray::fromStdString(bytes))) == stored.toString()) text = bytes;
  }
  if (settings.status() != QSettings::NoError) {
    std::fprintf(stderr, "Warning: the settings are not read: %s cannot be read as settings\n",
                 path.c_str());
    return std::string();
  }
  return text.find_first_not_of(' ') == std::string::npos ? std::string() : text;
}

std::string StoredChartFolder() {
  const std::string folder = StoredPreferenceText(kPrefCalibFiles);
  if (folder.empty() || folder.front() == '/') return folder;
  // A relative folder lies in the data folder, as the window takes it.
  char exeDir[CUtil::kPathBufferSize] = {};
  static_cast<void>(CUtil::GetExeDirectory(exeDir));
  const std::string base = DataFolderBase(
      StoredPreferenceText(kPrefInstallDataDir), exeDir, IsPortableCopy(exeDir),
      ApplicationFolder(
          QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()));
  return FullPath(base + "/" + folder);
}

}  // namespace quorvel
