#include "app/qt_user_messages.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "calibration/chart_folder_browser.h"

namespace quorvel {

namespace {

QString Caption(const std::string& caption) {
  return caption.empty() ? QStringLiteral("Quorvel") : QString::fromStdString(caption);
}

// The chooser's filter for files of one extension ("wav": "*.wav"), and all files.
QString Filter(const std::string& extension) {
  if (extension.empty()) return QStringLiteral("All files (*)");
  const QString e = QString::fromStdString(extension);
  return QStringLiteral("%1 files (*.%2);;All files (*)").arg(e.toUpper(), e);
}

}  // namespace

void CQtUserMessages::ShowMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, Caption(caption), QString::fromStdString(text),
                  QMessageBox::Ok, m_owner);
  box.exec();
}

bool CQtUserMessages::AskYesNo(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Caption(caption), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, m_owner);
  return box.exec() == QMessageBox::Yes;
}

bool CQtUserMessages::ChooseSaveFile(const std::string& startFolder,
                                     const std::string& defaultExtension, std::string* path) {
  QFileDialog dialog(m_owner, QString(), QString::fromStdString(startFolder),
                     Filter(defaultExtension));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *path = dialog.selectedFiles().first().toStdString();
  return true;
}

bool CQtUserMessages::ChooseOpenFile(const std::string& startFolder,
                                     const std::string& defaultExtension, std::string* path) {
  QFileDialog dialog(m_owner, QString(), QString::fromStdString(startFolder),
                     Filter(defaultExtension));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *path = dialog.selectedFiles().first().toStdString();
  return true;
}

// The chart folder browser, with its start folder and link rule.
bool CQtUserMessages::ChooseFolder(const std::string& startFolder, const std::string& caption,
                                   std::string* path) {
  return BrowseForFolder(m_owner, startFolder, caption, path);
}

}  // namespace quorvel
