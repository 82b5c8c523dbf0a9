#pragma once

#include <QWidget>
#include <vector>

#include "measurement/polar_series.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace quorvel {

class IUserMessages;

// The views of an off-axis series: the directivity map, the polar plot at chosen frequencies
// and the off-axis curves overlaid, a panel per plane, normalised to 0 degrees or not, each
// exportable as a PNG picture as quorvel-cli polar writes it.
class CPolarSeriesViews : public QWidget {
  Q_OBJECT

 public:
  enum class View { kMap, kPolar, kOverlay };

  CPolarSeriesViews(IUserMessages& messages, QWidget* parent);

  void SetSeries(PolarSeries series);
  [[nodiscard]] const PolarSeries& Series() const { return m_series; }
  [[nodiscard]] bool Normalized() const;
  [[nodiscard]] const std::vector<double>& Frequencies() const { return m_frequencies; }

  // Draws a view as on screen, a panel per plane, into rect.
  void PaintView(QPainter& painter, const QRect& rect, View view) const;
  // The current view as a PNG file the user chooses; false when nothing was written.
  bool ExportCurrent();

  // The controls, for the tests.
  QTabWidget* Tabs() const { return m_tabs; }
  QCheckBox* NormalizedBox() const { return m_normalized; }
  QLineEdit* FrequenciesEdit() const { return m_at; }
  QPushButton* ExportButton() const { return m_export; }

 private:
  void ApplyFrequencies();

  IUserMessages& m_messages;
  PolarSeries m_series;
  std::vector<double> m_frequencies = {500.0, 1000.0, 2000.0, 4000.0, 8000.0};
  QCheckBox* m_normalized = nullptr;
  QLineEdit* m_at = nullptr;
  QPushButton* m_export = nullptr;
  QTabWidget* m_tabs = nullptr;
};

}  // namespace quorvel
