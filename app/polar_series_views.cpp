#include "app/polar_series_views.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/user_messages.h"
#include "control/polar/polar_angles.h"
#include "graph/polar_plots.h"

namespace quorvel {

namespace {

// One view drawn over the whole widget.
class CPolarViewPanel : public QWidget {
 public:
  CPolarViewPanel(const CPolarSeriesViews& views, CPolarSeriesViews::View view, QWidget* parent)
      : QWidget(parent), m_views(views), m_view(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 240);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    m_views.PaintView(painter, rect(), m_view);
  }

 private:
  const CPolarSeriesViews& m_views;
  CPolarSeriesViews::View m_view;
};

}  // namespace

CPolarSeriesViews::CPolarSeriesViews(IUserMessages& messages, QWidget* parent)
    : QWidget(parent), m_messages(messages) {
  m_normalized = new QCheckBox("Normalised to 0 degrees", this);
  m_normalized->setToolTip("Each angle's level relative to the 0 degree level at each frequency");
  auto* atLabel = new QLabel("Polar plot at (Hz):", this);
  m_at = new QLineEdit("500, 1000, 2000, 4000, 8000", this);
  m_at->setToolTip("Up to 8 frequencies in Hz, separated by commas; Enter draws them");
  atLabel->setBuddy(m_at);
  m_export = new QPushButton("Export PNG...", this);
  m_export->setToolTip("Saves the view shown as a PNG picture, a panel per plane");
  m_tabs = new QTabWidget(this);
  m_tabs->addTab(new CPolarViewPanel(*this, View::kMap, m_tabs), "Directivity Map");
  m_tabs->addTab(new CPolarViewPanel(*this, View::kPolar, m_tabs), "Polar Plot");
  m_tabs->addTab(new CPolarViewPanel(*this, View::kOverlay, m_tabs), "Off-Axis Curves");
  connect(m_normalized, &QCheckBox::toggled, this, [this] { m_tabs->currentWidget()->update(); });
  connect(m_at, &QLineEdit::returnPressed, this, &CPolarSeriesViews::ApplyFrequencies);
  connect(m_export, &QPushButton::clicked, this, &CPolarSeriesViews::ExportCurrent);

  auto* controls = new QHBoxLayout;
  controls->addWidget(m_normalized);
  controls->addSpacing(12);
  controls->addWidget(atLabel);
  controls->addWidget(m_at, 1);
  controls->addWidget(m_export);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(controls);
  layout->addWidget(m_tabs, 1);
}

void CPolarSeriesViews::SetSeries(PolarSeries series) {
  m_series = std::move(series);
  m_tabs->currentWidget()->update();
}

bool CPolarSeriesViews::Normalized() const {
  return m_normalized->isChecked();
}

void CPolarSeriesViews::ApplyFrequencies() {
  Result<std::vector<double>> frequencies = ParsePolarFrequencies(m_at->text().toStdString());
  if (!frequencies) {
    m_messages.ShowMessage("The polar plot takes " + frequencies.Message());
    return;
  }
  m_frequencies = std::move(*frequencies);
  m_tabs->currentWidget()->update();
}

void CPolarSeriesViews::PaintView(QPainter& painter, const QRect& rect, View view) const {
  const std::vector<PolarPlane> planes = SeriesPlanes(m_series);
  const int panels = std::max(1, static_cast<int>(planes.size()));
  for (int p = 0; p < static_cast<int>(planes.size()); ++p) {
    // the polar plots side by side, the map and the curves stacked
    const QRect panel = view == View::kPolar
                            ? QRect(rect.left() + p * rect.width() / panels, rect.top(),
                                    rect.width() / panels, rect.height())
                            : QRect(rect.left(), rect.top() + p * rect.height() / panels,
                                    rect.width(), rect.height() / panels);
    const PolarPlane plane = planes[static_cast<size_t>(p)];
    switch (view) {
      case View::kMap:
        PaintDirectivityMap(painter, panel, m_series, plane, Normalized());
        break;
      case View::kPolar:
        PaintPolarPlot(painter, panel, m_series, plane, m_frequencies, Normalized());
        break;
      case View::kOverlay:
        PaintOffAxisOverlay(painter, panel, m_series, plane, Normalized());
        break;
    }
  }
}

bool CPolarSeriesViews::ExportCurrent() {
  if (m_series.responses.empty()) return false;
  std::string path;
  if (!m_messages.ChooseSaveFile("", "png", &path)) return false;
  Result<void> saved = Failure{std::string()};
  switch (static_cast<View>(m_tabs->currentIndex())) {
    case View::kMap:
      saved = SaveDirectivityMap(path, m_series, Normalized());
      break;
    case View::kPolar:
      saved = SavePolarPlot(path, m_series, m_frequencies, Normalized());
      break;
    case View::kOverlay:
      saved = SaveOffAxisOverlay(path, m_series, Normalized());
      break;
  }
  if (!saved) m_messages.ShowMessage(saved.Message());
  return saved.Ok();
}

}  // namespace quorvel
