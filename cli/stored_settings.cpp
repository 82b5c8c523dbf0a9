#include "cli/stored_settings.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace quorvel {

std::string StoredPreferenceText(const char* name) {
  // No application object is made: it would switch the process to the user's locale, and the
  // curve files are written with a decimal point.
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velkar"),
                           QStringLiteral("Quorvel"));
  const QString key = QStringLiteral("Preferences/") + QString::fromUtf8(name);
  const std::string text = settings.value(key).toString().toStdString();
  return text.find_first_not_of(' ') == std::string::npos ? std::string() : text;
}

}  // namespace quorvel
