#include "app/qt_preferences.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <ctime>
#include <limits>

#include "control/settings_file.h"

namespace quorvel {

CPreferences::CPreferences() = default;
CPreferences::~CPreferences() = default;

// Named here so that it follows $XDG_CONFIG_HOME as it is when the preferences are opened.
QString CPreferences::FileName() {
  return QString::fromStdString(SettingsFilePath(
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString()));
}

QString CPreferences::Key(const char* name) {
  return QString(kGroup) + "/" + QString::fromUtf8(name);
}

bool CPreferences::OpenKeys() {
  const QString file = FileName();
  const QFileInfo info(file);
  if (!QDir().mkpath(info.absolutePath())) return false;
  const std::string path = file.toStdString();
  // QSettings would wait for a writer of a named pipe: only a regular file (or none) is opened.
  if (InspectSettingsFile(path) == SettingsFileKind::kOther) {
    m_problem = NotARegularFileWords(path);
    return false;
  }
  auto settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
  settings->sync();  // reads the file, or finds it cannot be read
  if (settings->status() == QSettings::FormatError) {
    // Nothing is written over a file that cannot be parsed: it is kept aside, and the settings
    // start again from their defaults.
    settings.reset();
    std::string reason;
    m_keptAside = KeepSettingsFileAside(path, std::time(nullptr), &reason);
    if (m_keptAside.empty()) {
      m_problem = path + " cannot be parsed and could not be kept aside: " + reason;
      return false;
    }
    settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    settings->sync();
  }
  if (settings->status() != QSettings::NoError || !settings->isWritable()) return false;
  m_settings = std::move(settings);
  return true;
}

bool CPreferences::LoadText(const char* name, std::string* value) {
  if (!m_settings) return false;
  const QVariant stored = m_settings->value(Key(name));
  if (!stored.isValid()) return false;
  *value = stored.toString().toStdString();
  return true;
}

void CPreferences::StoreText(const char* name, const std::string& value) {
  if (!m_settings) return;
  m_settings->setValue(Key(name), QString::fromStdString(value));
  m_settings->sync();
}

bool CPreferences::LoadInt(const char* name, int32_t* value) {
  if (!m_settings) return false;
  const QVariant stored = m_settings->value(Key(name));
  if (!stored.isValid()) return false;
  bool ok = false;
  const qlonglong number = stored.toLongLong(&ok);
  if (!ok || number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max()) {
    return false;  // not a 32-bit number: as if missing
  }
  *value = static_cast<int32_t>(number);
  return true;
}

void CPreferences::StoreInt(const char* name, int32_t value) {
  if (!m_settings) return;
  m_settings->setValue(Key(name), static_cast<int>(value));
  m_settings->sync();
}

}  // namespace quorvel
