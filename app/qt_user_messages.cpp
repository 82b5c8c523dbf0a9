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

// The chooser's filters for files of one extension, and all files: a curve picture is a PNG or
// a BMP image, a capture or an impulse response a WAV file.
QStringList Filters(const std::string& extension) {
  QStringList filters;
  if (extension == "png") {
    filters << QStringLiteral("PNG image (*.png)") << QStringLiteral("BMP image (*.bmp)");
  } else if (extension == "wav") {
    filters << QStringLiteral("WAV audio (*.wav)");
  } else if (extension == "frd") {
    filters << QStringLiteral("FRD file (*.frd)");
  } else if (extension == "csv") {
    filters << QStringLiteral("CSV file (*.csv)");
  } else if (!extension.empty()) {
    const QString e = QString::fromStdString(extension);
    filters << QStringLiteral("%1 files (*.%2)").arg(e.toUpper(), e);
  }
  filters << QStringLiteral("All files (*)");
  return filters;
}

// The extension of a filter such as "BMP image (*.bmp)"; empty for all files.
QString FilterExtension(const QString& filter) {
  const qsizetype star = filter.lastIndexOf(QStringLiteral("(*."));
  if (star < 0) return QString();
  return filter.mid(star + 3).chopped(1);
}

}  // namespace

QWidget* CQtUserMessages::Owner() const {
  QWidget* owner = m_owner.data();
  if (owner != nullptr && !owner->isVisible() && owner->parentWidget() != nullptr) {
    return owner->parentWidget()->window();
  }
  return owner;
}

void CQtUserMessages::ShowMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, Caption(caption), QString::fromStdString(text),
                  QMessageBox::Ok, Owner());
  box.exec();
}

bool CQtUserMessages::AskYesNo(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Caption(caption), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, Owner());
  return box.exec() == QMessageBox::Yes;
}

bool CQtUserMessages::ChooseSaveFile(const std::string& startFolder,
                                     const std::string& defaultExtension, std::string* path) {
  QFileDialog dialog(Owner(), QString(), QString::fromStdString(startFolder));
  dialog.setNameFilters(Filters(defaultExtension));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
  // a name typed without an extension takes the chosen filter's ("curve" as a BMP image:
  // "curve.bmp")
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& filter) {
                     const QString extension = FilterExtension(filter);
                     if (!extension.isEmpty()) dialog.setDefaultSuffix(extension);
                   });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *path = dialog.selectedFiles().first().toStdString();
  return true;
}

bool CQtUserMessages::ChooseOpenFile(const std::string& startFolder,
                                     const std::string& defaultExtension, std::string* path) {
  QFileDialog dialog(Owner(), QString(), QString::fromStdString(startFolder));
  dialog.setNameFilters(Filters(defaultExtension));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *path = dialog.selectedFiles().first().toStdString();
  return true;
}

std::unique_ptr<IUserMessages> BoxesOver(QWidget* window) {
  auto boxes = std::make_unique<CQtUserMessages>();
  boxes->SetOwner(window);
  return boxes;
}

// The chart folder browser, with its start folder and link rule.
bool CQtUserMessages::ChooseFolder(const std::string& startFolder, const std::string& caption,
                                   std::string* path) {
  return BrowseForFolder(Owner(), startFolder, caption, path);
}

}  // namespace quorvel
