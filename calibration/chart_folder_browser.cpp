// The chart folder browser on QFileDialog in directory mode.
#include "calibration/chart_folder_browser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace quorvel {

bool BrowseForFolder(QWidget* owner, const std::string& initialFolder, const std::string& caption,
                     std::string* chosen) {
  if (chosen == nullptr) return false;
  QString start = QString::fromStdString(initialFolder);
  if (start.isEmpty()) start = QDir::currentPath();

  // Qt's own dialog: the platform's native one may resolve links behind our back.
  QFileDialog dialog(owner, QString::fromStdString(caption), start);
  dialog.setFileMode(QFileDialog::Directory);
  // No new folders from here, and the browser's own "OK" and "Cancel".
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks |
                    QFileDialog::DontUseNativeDialog | QFileDialog::ReadOnly);
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancel"));
  auto* newFolder = dialog.findChild<QWidget*>(QStringLiteral("newFolderButton"));
  if (newFolder != nullptr) newFolder->hide();

  // The last folder selected that is not a link: what a selected link leaves in place.
  QString plain = QFileInfo(start).absoluteFilePath();
  QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&plain](const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) plain = info.absoluteFilePath();
  });
  if (dialog.exec() != QDialog::Accepted) return false;

  const QStringList selected = dialog.selectedFiles();
  QString result = selected.isEmpty() ? plain : QFileInfo(selected.first()).absoluteFilePath();
  if (QFileInfo(result).isSymLink()) result = plain;
  *chosen = QDir::toNativeSeparators(result).toStdString();
  return true;
}

}  // namespace quorvel
