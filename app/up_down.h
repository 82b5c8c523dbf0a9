#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace quorvel {

// The up-down arrows beside a range field: two small arrow buttons, one above the other. The
// Up and Down keys in the field they belong to step it too.
class CUpDown : public QWidget {
  Q_OBJECT

 public:
  explicit CUpDown(QWidget* parent = nullptr);
  // The field whose Up and Down keys step this control.
  void SetBuddy(QLineEdit* buddy);

  QToolButton* UpButton() const { return m_up; }
  QToolButton* DownButton() const { return m_down; }

 signals:
  // up: to a higher frequency.
  void Stepped(bool up);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QToolButton* m_up;
  QToolButton* m_down;
};

}  // namespace quorvel
