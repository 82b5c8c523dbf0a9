#include "app/colour_button.h"

#include <QPainter>
#include <QPalette>

#include "control/window/text_contrast.h"

namespace quorvel {

CColourButton::CColourButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent), m_face(palette().color(QPalette::Button)) {
  setCheckable(false);
}

void CColourButton::SetFace(const QColor& face) {
  if (face == m_face) return;
  m_face = face;
  update();
}

void CColourButton::SetChecked(bool checked) {
  if (checked == m_checked) return;
  m_checked = checked;
  update();
}

QColor CColourButton::TextColour() const {
  const RgbColour text = TextColourOn(RgbColour{m_face.red(), m_face.green(), m_face.blue()});
  return QColor(text.red, text.green, text.blue);
}

void CColourButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  const bool sunken = m_checked || isDown();
  painter.fillRect(rect(), m_face);

  // a two-pixel bevel: light above and left, dark below and right; the other way round sunken
  const QColor light = m_face.lighter(150);
  const QColor shade = m_face.darker(160);
  const QColor dark = QColor(40, 40, 40);
  painter.setPen(sunken ? dark : light);
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(sunken ? shade : dark);
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
  const QRect inner = r.adjusted(1, 1, -1, -1);
  painter.setPen(sunken ? shade : light);
  painter.drawLine(inner.topLeft(), inner.topRight());
  painter.drawLine(inner.topLeft(), inner.bottomLeft());
  painter.setPen(sunken ? light : shade);
  painter.drawLine(inner.bottomLeft(), inner.bottomRight());
  painter.drawLine(inner.topRight(), inner.bottomRight());

  QRect textRect = rect().adjusted(3, 3, -3, -3);
  if (sunken) textRect.translate(1, 1);
  // the caption and the focus frame in black, or in white on a dark theme's face
  const QColor textColour = TextColour();
  const bool lightText = textColour != QColor(0, 0, 0);
  painter.setFont(font());
  if (isEnabled()) {
    painter.setPen(textColour);
  } else {
    painter.setPen(lightText ? m_face.lighter(200) : m_face.darker(200));
  }
  painter.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap, text());
  if (hasFocus()) {
    QPen focus(textColour);
    focus.setStyle(Qt::DotLine);
    painter.setPen(focus);
    painter.drawRect(rect().adjusted(4, 4, -5, -5));
  }
}

}  // namespace quorvel
