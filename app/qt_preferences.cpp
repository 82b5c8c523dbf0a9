#include "app/qt_preferences.h"

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>
#include <ctime>
#include <limits>

#include "control/settings/settings_file.h"

namespace quorvel {

namespace {

// True when text (the bytes of a value in the settings file) is not UTF-8 and QSettings read it
// as decoded: the bytes are the value, and decoded lost some of them.
bool IsUndecodedText(const std::string& text, const QString& decoded) {
  if (QString::fromStdString(text).toStdString() == text) return false;  // UTF-8 after all
  QStringDecoder fromUtf8(QStringDecoder::Utf8);  // as QSettings decodes a value
  return QString(fromUtf8(QByteArray::fromStdString(text))) == decoded;
}

}  // namespace

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
  const std::string path = file.toStdString();
  // QSettings would wait for a writer of a named pipe: only a regular file (or none) is opened.
  const SettingsFileKind kind = InspectSettingsFile(path);
  if (kind == SettingsFileKind::kOther) {
    m_problem = NotARegularFileWords(path);
    return false;
  }
  std::unique_ptr<QSettings> settings;
  if (kind == SettingsFileKind::kRegular) {
    settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    settings->sync();  // reads the file, or finds it cannot be read
  }
  if (kind == SettingsFileKind::kTooLarge ||
      (settings && settings->status() == QSettings::FormatError)) {
    // Nothing is written over a file that cannot be parsed, nor is a huge one parsed: it is
    // kept aside, and the settings start again from their defaults.
    settings.reset();
    const Result<std::string> keptAside = KeepSettingsFileAside(path, std::time(nullptr));
    m_keptAside = keptAside ? *keptAside : std::string();
    if (!keptAside) {
      // It stays as it is, unread: this run's settings live in memory from their defaults.
      m_notWritable =
          path +
          (kind == SettingsFileKind::kTooLarge ? " is larger than 1 MB" : " cannot be parsed") +
          " and could not be kept aside: " + keptAside.Message();
      m_memoryOnly = true;
      return true;
    }
  }
  // A file that cannot be written (or read, so that a write would lose what it holds) leaves
  // the settings in memory: the window works on, and says so once.
  m_notWritable = SettingsFileAccessWords(path);
  if (!settings) {
    settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    settings->sync();
  }
  if (m_notWritable.empty() &&
      (settings->status() != QSettings::NoError || !settings->isWritable())) {
    m_notWritable = path + ": cannot be written";
  }
  m_settings = std::move(settings);
  KeepBytesOfTexts(path);
  return true;
}

void CPreferences::KeepBytesOfTexts(const std::string& path) {
  // QSettings decodes every value as UTF-8, dropping or replacing what is not; only a file that
  // holds such bytes is looked at again.
  const std::string bytes = ReadSettingsFileBytes(path);
  if (QString::fromStdString(bytes).toStdString() == bytes) return;
  m_settings->beginGroup(kGroup);
  const QStringList keys = m_settings->childKeys();
  m_settings->endGroup();
  for (const QString& key : keys) {
    const std::string name = key.toStdString();
    const QVariant stored = m_settings->value(Key(name.c_str()));
    std::string text;
    if (stored.typeId() == QMetaType::QString && RawSettingsText(bytes, kGroup, name, &text) &&
        IsUndecodedText(text, stored.toString())) {
      StoreText(name.c_str(), text);  // as a byte array from now on, or in memory
    }
  }
}

bool CPreferences::LoadText(const char* name, std::string* value) {
  if (const auto kept = m_memoryTexts.find(name); kept != m_memoryTexts.end()) {
    *value = kept->second;
    return true;
  }
  if (!m_settings) return false;
  const QVariant stored = m_settings->value(Key(name));
  if (!stored.isValid()) return false;
  *value = stored.typeId() == QMetaType::QByteArray ? stored.toByteArray().toStdString()
                                                    : stored.toString().toStdString();
  return true;
}

void CPreferences::StoreText(const char* name, const std::string& value) {
  if (!IsOpen()) return;
  if (!m_notWritable.empty()) {
    m_memoryTexts[name] = value;
    return;
  }
  // UTF-8 as a string, the file as it has always been; other bytes whole, as a byte array.
  const QString text = QString::fromStdString(value);
  if (text.toStdString() == value) {
    m_settings->setValue(Key(name), text);
  } else {
    m_settings->setValue(Key(name), QByteArray::fromStdString(value));
  }
  m_settings->sync();
}

bool CPreferences::LoadInt(const char* name, int32_t* value) {
  if (const auto kept = m_memoryInts.find(name); kept != m_memoryInts.end()) {
    *value = kept->second;
    return true;
  }
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
  if (!IsOpen()) return;
  if (!m_notWritable.empty()) {
    m_memoryInts[name] = value;
    return;
  }
  m_settings->setValue(Key(name), static_cast<int>(value));
  m_settings->sync();
}

}  // namespace quorvel
