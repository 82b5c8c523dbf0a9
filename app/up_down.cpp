#include "app/up_down.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace quorvel {

CUpDown::CUpDown(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
  m_up->setArrowType(Qt::UpArrow);
  m_down->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {m_up, m_down}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
  }
  connect(m_up, &QToolButton::clicked, this, [this] { emit Stepped(true); });
  connect(m_down, &QToolButton::clicked, this, [this] { emit Stepped(false); });
}

void CUpDown::SetBuddy(QLineEdit* buddy) {
  buddy->installEventFilter(this);
}

void CUpDown::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  m_up->setGeometry(0, 0, width(), half);
  m_down->setGeometry(0, half, width(), height() - half);
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      emit Stepped(key == Qt::Key_Up);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quorvel
