#pragma once

#include <QTextBrowser>

namespace quorvel {

// The help window: the help page shown in a window of its own, 900 x 780 pixels.
class CHelpWindow : public QTextBrowser {
  Q_OBJECT

 public:
  static constexpr int kWidth = 900;
  static constexpr int kHeight = 780;

  explicit CHelpWindow(QWidget* parent = nullptr);
  // Shows the page's start (its default topic).
  void ShowPage(const QString& path);
};

}  // namespace quorvel
