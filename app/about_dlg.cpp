#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/app_icon.h"
#include "app/dialog_units.h"
#include "graph/dialog_font.h"

namespace quorvel {

// Laid out from its template in dialog units: 279 x 62, icon at 14, 14; the two texts beside it;
// OK at the right.
CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(kCaption);
  setModal(true);
  setFont(DialogFont());
  setFixedSize(DialogUnitsX(279), DialogUnitsY(62));

  auto* icon = new QLabel(this);
  icon->setObjectName("icon");
  icon->setPixmap(ApplicationIcon().pixmap(32, 32));
  icon->setGeometry(DialogRect(14, 14, 21, 20));

  auto* version = new QLabel(kVersionText, this);
  version->setObjectName("version");
  version->setGeometry(DialogRect(42, 14, 114, 8));
  auto* date = new QLabel(kDateText, this);
  date->setObjectName("date");
  date->setGeometry(DialogRect(42, 26, 114, 8));

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("ok");
  ok->setDefault(true);
  ok->setGeometry(DialogRect(222, 41, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quorvel
