#pragma once

#include <QString>
#include <QWidget>

#include "control/window/level_meter.h"

namespace quorvel {

// The input level meter below the input button: a grey frame holding the 31 drawn segment slots in
// the colours the meter's arithmetic (CLevelMeter) chose, the peak mark outlined in white. It only
// draws.
class CLevelMeterWidget : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kBorder = 1;  // the frame [pixels]

  CLevelMeterWidget(const CLevelMeter& meter, QWidget* parent = nullptr);
  // Sizes the meter for the control's place (its outer width and height): its width becomes
  // what the 32 slots need.
  void Place(const QRect& outer);
  const CLevelMeter::Geometry& Geometry() const { return m_geometry; }
  // Some slot changed: the meter is drawn again.
  void SlotsChanged();
  // A reading drawn over the meter's right end ("87.3 dB SPL"); empty: none.
  void SetReading(const QString& reading);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect SlotRect(int slot) const;

  const CLevelMeter& m_meter;
  CLevelMeter::Geometry m_geometry;
  QString m_reading;
};

}  // namespace quorvel
