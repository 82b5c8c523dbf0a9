#pragma once

#include <QTextBrowser>

namespace quorvel {

// The help window: the help page shown in a window of its own, 900 x 780 pixels, or as much of
// that as a small screen holds (the page scrolls).
class CHelpWindow : public QTextBrowser {
  Q_OBJECT

 public:
  static constexpr int kWidth = 900;
  static constexpr int kHeight = 780;
  static constexpr int kLeastWidth = 400;
  static constexpr int kLeastHeight = 300;

  explicit CHelpWindow(QWidget* parent = nullptr);
  // Shows the page's start (its default topic).
  void ShowPage(const QString& path);
};

}  // namespace quorvel
