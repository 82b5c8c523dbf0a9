// The plot widget's mouse and keyboard, as operations of its view.
#include "graph/plot_input.h"

#include <cmath>

namespace quorvel {

PlotAxes AxesForModifiers(bool shift, bool control) {
  if (control && !shift) return PlotAxes::kFrequency;
  if (shift && !control) return PlotAxes::kVertical;
  return PlotAxes::kBoth;
}

bool WheelZoom(CPlotView& view, const PlotArea& area, double x, double y, int angleDelta,
               PlotAxes axes) {
  if (angleDelta == 0) return false;
  const double factor = std::pow(kZoomPerNotch, static_cast<double>(angleDelta) / kWheelNotch);
  return view.ZoomAt(area, x, y, factor, axes);
}

bool DragPan(CPlotView& view, const PlotArea& area, double dx, double dy) {
  return view.PanBy(area, dx, dy);
}

bool DragZoomBox(CPlotView& view, const PlotArea& area, double x0, double y0, double x1,
                 double y1) {
  return view.ZoomToBox(area, x0, y0, x1, y1);
}

bool PressPlotKey(CPlotView& view, PlotKey key, PlotAxes axes, std::span<const PlotTrace> traces) {
  // the centre of a unit area: zooming about it needs no widget geometry
  const PlotArea unit{0.0, 0.0, 1.0, 1.0};
  switch (key) {
    case PlotKey::kLeft:
      return view.PanByFraction(-kKeyPanFraction, 0.0);
    case PlotKey::kRight:
      return view.PanByFraction(kKeyPanFraction, 0.0);
    case PlotKey::kUp:
      return view.PanByFraction(0.0, kKeyPanFraction);
    case PlotKey::kDown:
      return view.PanByFraction(0.0, -kKeyPanFraction);
    case PlotKey::kZoomIn:
      return view.ZoomAt(unit, 0.5, 0.5, kZoomPerNotch, axes);
    case PlotKey::kZoomOut:
      return view.ZoomAt(unit, 0.5, 0.5, 1.0 / kZoomPerNotch, axes);
    case PlotKey::kFit:
      return view.Fit(traces);
    case PlotKey::kReset:
      return view.Reset(traces);
    case PlotKey::kLevel90:
      return view.ApplyLevelPreset(CPlotView::kLevelPresetsDb[0], traces);
    case PlotKey::kLevel50:
      return view.ApplyLevelPreset(CPlotView::kLevelPresetsDb[1], traces);
    case PlotKey::kLevel30:
      return view.ApplyLevelPreset(CPlotView::kLevelPresetsDb[2], traces);
    case PlotKey::kLevel15:
      return view.ApplyLevelPreset(CPlotView::kLevelPresetsDb[3], traces);
  }
  return false;
}

double CursorFrequencyAt(const CPlotView& view, const PlotArea& area, double x) {
  if (!(area.width > 0.0) || !(x >= area.left) || !(x <= area.left + area.width)) return NAN;
  return view.FrequencyOfX(area, x);
}

}  // namespace quorvel
