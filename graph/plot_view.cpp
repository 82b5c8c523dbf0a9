// The workbench plot's view: its ranges, the mapping to pixels, and zoom, pan, presets, fit and
// reset.
#include "graph/plot_view.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "graph/plot_ticks.h"

namespace quorvel {

namespace {

constexpr double kFitMarginFraction = 0.05;
constexpr double kLeastFitMarginDb = 0.5;
constexpr double kResetTopStepDb = 10.0;
constexpr double kDefaultLowHz = 20.0;
constexpr double kDefaultHighHz = 20000.0;

bool Valid(const PlotArea& area) {
  return area.width > 0.0 && area.height > 0.0 && std::isfinite(area.width) &&
         std::isfinite(area.height) && std::isfinite(area.left) && std::isfinite(area.top);
}

// [a, b] (either order) with its span brought within least..most, keeping the point at fraction
// `anchor` of it in place, then moved inside lo..hi.
std::pair<double, double> Constrain(double a, double b, double least, double most, double lo,
                                    double hi, double anchor) {
  if (a > b) std::swap(a, b);
  // far beyond the limits only the side matters (and the arithmetic keeps its precision)
  a = std::clamp(a, lo - 2.0 * (hi - lo), hi + 2.0 * (hi - lo));
  b = std::clamp(b, lo - 2.0 * (hi - lo), hi + 2.0 * (hi - lo));
  const double span = b - a;
  const double want = std::clamp(span, least, most);
  if (want != span) {
    const double at = a + anchor * span;
    a = at - anchor * want;
    b = a + want;
  }
  if (a < lo) {
    b += lo - a;
    a = lo;
  }
  if (b > hi) {
    a -= b - hi;
    b = hi;
  }
  return {std::max(a, lo), b};
}

// Frequencies are constrained on a log scale; a range already valid is kept exactly as given.
PlotRange ConstrainFrequency(double lowHz, double highHz, double anchor) {
  if (lowHz > highHz) std::swap(lowHz, highHz);
  const double least = CPlotView::kLeastOctaves * std::log10(2.0);
  const double lo = std::log10(CPlotView::kLowestHz);
  const double hi = std::log10(CPlotView::kHighestHz);
  const double a = std::log10(lowHz);
  const double b = std::log10(highHz);
  if (b - a >= least && lowHz >= CPlotView::kLowestHz && highHz <= CPlotView::kHighestHz) {
    return {lowHz, highHz};
  }
  const auto [la, lb] = Constrain(a, b, least, hi - lo, lo, hi, anchor);
  return {std::max(CPlotView::kLowestHz, std::pow(10.0, la)),
          std::min(CPlotView::kHighestHz, std::pow(10.0, lb))};
}

PlotRange ConstrainLevel(double lowDb, double highDb, double anchor) {
  const auto [a, b] =
      Constrain(lowDb, highDb, CPlotView::kLeastLevelSpanDb, CPlotView::kMostLevelSpanDb,
                -CPlotView::kLevelLimitDb, CPlotView::kLevelLimitDb, anchor);
  return {a, b};
}

PlotRange ConstrainPhase(double lowDeg, double highDeg, double anchor) {
  const double limit = CPlotView::kPhaseLimitDeg;
  const auto [a, b] =
      Constrain(lowDeg, highDeg, CPlotView::kLeastPhaseSpanDeg, 2.0 * limit, -limit, limit, anchor);
  return {a, b};
}

bool Store(PlotRange& range, const PlotRange& next) {
  const bool changed = !(range == next);
  range = next;
  return changed;
}

// A linear range zoomed by factor about the value at fraction t of it.
std::pair<double, double> Zoomed(double low, double high, double t, double factor) {
  const double at = low + t * (high - low);
  const double span = (high - low) / factor;
  return {at - t * span, at + (1.0 - t) * span};
}

// Two significant digits, rounded down or up (with a little slack for values that are meant
// to be round already).
double RoundTwoDigits(double f, bool up) {
  const double unit = std::pow(10.0, std::floor(std::log10(f)) - 1.0);
  const double n = up ? std::ceil(f / unit - 1e-9) : std::floor(f / unit + 1e-9);
  return n * unit;
}

}  // namespace

CPlotView::CPlotView()
    : m_frequency{kDefaultLowHz, kDefaultHighHz},
      m_level{-kResetLevelSpanDb, 0.0},
      m_phase{-kPhaseLimitDeg, kPhaseLimitDeg} {}

bool CPlotView::SetFrequency(double lowHz, double highHz) {
  if (!std::isfinite(lowHz) || !std::isfinite(highHz) || !(lowHz > 0.0) || !(highHz > 0.0)) {
    return false;
  }
  return Store(m_frequency, ConstrainFrequency(lowHz, highHz, 0.5));
}

bool CPlotView::SetLevel(double lowDb, double highDb) {
  if (!std::isfinite(lowDb) || !std::isfinite(highDb)) return false;
  return Store(m_level, ConstrainLevel(lowDb, highDb, 0.5));
}

bool CPlotView::SetPhase(double lowDeg, double highDeg) {
  if (!std::isfinite(lowDeg) || !std::isfinite(highDeg)) return false;
  return Store(m_phase, ConstrainPhase(lowDeg, highDeg, 0.5));
}

double CPlotView::XOfFrequency(const PlotArea& area, double hz) const {
  return area.left +
         area.width * std::log(hz / m_frequency.low) / std::log(m_frequency.high / m_frequency.low);
}

double CPlotView::FrequencyOfX(const PlotArea& area, double x) const {
  return m_frequency.low *
         std::pow(m_frequency.high / m_frequency.low, (x - area.left) / area.width);
}

double CPlotView::YOfLevel(const PlotArea& area, double db) const {
  return area.top + area.height * (m_level.high - db) / (m_level.high - m_level.low);
}

double CPlotView::LevelOfY(const PlotArea& area, double y) const {
  return m_level.high - (y - area.top) / area.height * (m_level.high - m_level.low);
}

double CPlotView::YOfPhase(const PlotArea& area, double deg) const {
  return area.top + area.height * (m_phase.high - deg) / (m_phase.high - m_phase.low);
}

double CPlotView::PhaseOfY(const PlotArea& area, double y) const {
  return m_phase.high - (y - area.top) / area.height * (m_phase.high - m_phase.low);
}

bool CPlotView::ZoomAt(const PlotArea& area, double x, double y, double factor, PlotAxes axes) {
  if (!Valid(area) || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(factor) ||
      !(factor > 0.0)) {
    return false;
  }
  bool changed = false;
  if (axes != PlotAxes::kVertical) {
    const double t = std::clamp((x - area.left) / area.width, 0.0, 1.0);
    const auto [a, b] =
        Zoomed(std::log10(m_frequency.low), std::log10(m_frequency.high), t, factor);
    changed |= Store(m_frequency, ConstrainFrequency(std::pow(10.0, a), std::pow(10.0, b), t));
  }
  if (axes != PlotAxes::kFrequency) {
    const double t = std::clamp((area.top + area.height - y) / area.height, 0.0, 1.0);
    const auto [la, lb] = Zoomed(m_level.low, m_level.high, t, factor);
    changed |= Store(m_level, ConstrainLevel(la, lb, t));
    const auto [pa, pb] = Zoomed(m_phase.low, m_phase.high, t, factor);
    changed |= Store(m_phase, ConstrainPhase(pa, pb, t));
  }
  return changed;
}

bool CPlotView::ZoomToBox(const PlotArea& area, double x0, double y0, double x1, double y1) {
  if (!Valid(area) || !std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) ||
      !std::isfinite(y1)) {
    return false;
  }
  const double left = std::clamp(std::min(x0, x1), area.left, area.left + area.width);
  const double right = std::clamp(std::max(x0, x1), area.left, area.left + area.width);
  const double top = std::clamp(std::min(y0, y1), area.top, area.top + area.height);
  const double bottom = std::clamp(std::max(y0, y1), area.top, area.top + area.height);
  // every new end is read in the old view before any range changes
  const PlotRange frequency{FrequencyOfX(area, left), FrequencyOfX(area, right)};
  const PlotRange level{LevelOfY(area, bottom), LevelOfY(area, top)};
  const PlotRange phase{PhaseOfY(area, bottom), PhaseOfY(area, top)};
  bool changed = false;
  if (right - left >= kLeastBoxPixels) changed |= SetFrequency(frequency.low, frequency.high);
  if (bottom - top >= kLeastBoxPixels) {
    changed |= SetLevel(level.low, level.high);
    changed |= SetPhase(phase.low, phase.high);
  }
  return changed;
}

bool CPlotView::PanBy(const PlotArea& area, double dx, double dy) {
  if (!Valid(area)) return false;
  return PanByFraction(-dx / area.width, dy / area.height);
}

bool CPlotView::PanByFraction(double fx, double fy) {
  if (!std::isfinite(fx) || !std::isfinite(fy)) return false;
  // a range at its limit stays there exactly
  if ((fx < 0.0 && m_frequency.low <= kLowestHz) || (fx > 0.0 && m_frequency.high >= kHighestHz)) {
    fx = 0.0;
  }
  if ((fy < 0.0 && m_level.low <= -kLevelLimitDb) || (fy > 0.0 && m_level.high >= kLevelLimitDb)) {
    fy = 0.0;
  }
  bool changed = false;
  if (fx != 0.0) {
    const double ratio = std::pow(m_frequency.high / m_frequency.low, fx);
    changed |= Store(m_frequency,
                     ConstrainFrequency(m_frequency.low * ratio, m_frequency.high * ratio, 0.5));
  }
  if (fy != 0.0) {
    const double level = fy * (m_level.high - m_level.low);
    changed |= Store(m_level, ConstrainLevel(m_level.low + level, m_level.high + level, 0.5));
    const double phase = fy * (m_phase.high - m_phase.low);
    changed |= Store(m_phase, ConstrainPhase(m_phase.low + phase, m_phase.high + phase, 0.5));
  }
  return changed;
}

bool CPlotView::ApplyLevelPreset(double spanDb, std::span<const PlotTrace> traces) {
  if (!std::isfinite(spanDb)) return false;
  const double span = std::clamp(spanDb, kLeastLevelSpanDb, kMostLevelSpanDb);
  double centre = VisibleMedianLevel(traces, m_frequency.low, m_frequency.high);
  if (!std::isfinite(centre)) centre = 0.5 * (m_level.low + m_level.high);
  const double step = LevelStepDb(centre - span / 2.0, centre + span / 2.0);
  const double top = std::round((centre + span / 2.0) / step) * step;
  return SetLevel(top - span, top);
}

bool CPlotView::Fit(std::span<const PlotTrace> traces) {
  const TraceExtent all = VisibleExtent(traces, kLowestHz, kHighestHz);
  if (!all.hasFrequency) return false;
  const double lowHz = RoundTwoDigits(std::max(all.lowHz, kLowestHz), false);
  const double highHz = RoundTwoDigits(std::min(all.highHz, kHighestHz), true);
  bool changed = SetFrequency(lowHz, std::min(highHz, kHighestHz));
  const TraceExtent shown = VisibleExtent(traces, m_frequency.low, m_frequency.high);
  if (shown.hasLevel) {
    const double margin =
        std::max(kLeastFitMarginDb, kFitMarginFraction * (shown.highDb - shown.lowDb));
    const double low = shown.lowDb - margin;
    const double high = shown.highDb + margin;
    const double step = LevelStepDb(low, high);
    changed |= SetLevel(std::floor(low / step) * step, std::ceil(high / step) * step);
  }
  changed |= SetPhase(-kPhaseLimitDeg, kPhaseLimitDeg);
  return changed;
}

bool CPlotView::Reset(std::span<const PlotTrace> traces) {
  const TraceExtent all = VisibleExtent(traces, kLowestHz, kHighestHz);
  bool changed = all.hasFrequency ? SetFrequency(all.lowHz, all.highHz)
                                  : SetFrequency(kDefaultLowHz, kDefaultHighHz);
  const TraceExtent shown = VisibleExtent(traces, m_frequency.low, m_frequency.high);
  const double top =
      shown.hasLevel ? std::ceil(shown.highDb / kResetTopStepDb) * kResetTopStepDb : 0.0;
  changed |= SetLevel(top - kResetLevelSpanDb, top);
  changed |= SetPhase(-kPhaseLimitDeg, kPhaseLimitDeg);
  return changed;
}

}  // namespace quorvel
