#include "app/help_window.h"

#include <QUrl>

namespace quorvel {

CHelpWindow::CHelpWindow(QWidget* parent) : QTextBrowser(parent) {
  setWindowFlag(Qt::Window);
  setWindowTitle("Quorvel Help");
  setOpenExternalLinks(true);
  resize(kWidth, kHeight);
}

void CHelpWindow::ShowPage(const QString& path) {
  setSource(QUrl::fromLocalFile(path));
  resize(kWidth, kHeight);  // the size again, where it stands
  show();
  raise();
  activateWindow();
}

}  // namespace quorvel
