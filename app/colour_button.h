#pragma once

#include <QColor>
#include <QPushButton>

namespace quorvel {

// A push button that paints its own face: the face colour it is given, sunken while checked or
// held down, raised otherwise, its (multi-line) caption centred, in black or, on a dark face,
// in white (the focus frame likewise). It looks the same whatever the
// desktop's style, so the start, calibration and smoothing buttons always show their colours
// and states. Its checked state changes only when the program sets it, never by a click: the
// click is a command, and the command decides what the button shows.
class CColourButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CColourButton(const QString& text, QWidget* parent = nullptr);

  void SetFace(const QColor& face);
  QColor Face() const { return m_face; }
  // The caption's colour on the face: black, or white where that contrasts more.
  QColor TextColour() const;
  void SetChecked(bool checked);
  bool IsChecked() const { return m_checked; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void nextCheckState() override {}

 private:
  QColor m_face;
  bool m_checked = false;
};

}  // namespace quorvel
