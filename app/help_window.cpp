#include "app/help_window.h"

#include <QUrl>

#include "app/screen_fit.h"

namespace quorvel {

CHelpWindow::CHelpWindow(QWidget* parent) : QTextBrowser(parent) {
  setWindowFlag(Qt::Window);
  setWindowTitle("Quorvel Help");
  setOpenExternalLinks(true);
  resize(kWidth, kHeight);
}

void CHelpWindow::ShowPage(const QString& path) {
  setSource(QUrl::fromLocalFile(path));
  // the size again, where it stands; less on a small screen (the page scrolls)
  const QWidget* owner = parentWidget();
  resize(FittedSize(owner != nullptr ? owner->screen() : screen(), QSize(kWidth, kHeight),
                    QSize(kLeastWidth, kLeastHeight)));
  show();
  raise();
  activateWindow();
}

}  // namespace quorvel
