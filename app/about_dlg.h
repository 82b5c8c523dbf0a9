#pragma once

#include <QDialog>

namespace quorvel {

// The about box: the application icon, "Quorvel, Version 2.0", "November 2020" and OK.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr char kCaption[] = "About Quorvel";
  static constexpr char kVersionText[] = "Quorvel, Version 2.0";
  static constexpr char kDateText[] = "November 2020";

  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace quorvel
