// The workbench plot's view: pixels and values map both ways, and zoom, pan, presets, fit and
// reset keep every range finite, upright, within its limits and at least its least span.
#include "graph/plot_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graph/plot_input.h"
#include "graph/plot_ticks.h"

namespace quorvel {

namespace {

const PlotArea kArea{46.5, 12.0, 880.0, 401.0};
const double kLeastRatio = std::pow(2.0, CPlotView::kLeastOctaves);

// Every range upright (NaN fails too), within its limits and at least its least span.
void ExpectSound(const CPlotView& v) {
  const PlotRange f = v.Frequency(), l = v.Level(), p = v.Phase();
  EXPECT_TRUE(f.low >= 1 && f.high <= 24000 && f.high / f.low >= kLeastRatio * (1 - 1e-9));
  EXPECT_TRUE(l.low >= -300 && l.high <= 300 && l.high - l.low >= 1 - 1e-9 &&
              l.high - l.low <= 200 + 1e-9);
  EXPECT_TRUE(p.low >= -180 && p.high <= 180 && p.high - p.low >= 5 - 1e-9);
}

// A flat trace with a 1 dB ripple every octave, from fromHz to toHz.
struct Owned {
  std::vector<double> f, level;
  PlotTrace Trace() const { return {"t", {}, TraceLineStyle::kSolid, f, level, {}, 0.0, true}; }
};
Owned Ripple(double fromHz, double toHz, double levelDb) {
  Owned o;
  for (int i = 0; i <= 480; ++i) {
    const double hz = i == 480 ? toHz : fromHz * std::pow(toHz / fromHz, i / 480.0);
    o.f.push_back(hz);
    o.level.push_back(levelDb + std::sin(std::log2(hz) * 2 * M_PI));
  }
  return o;
}

TEST(PlotView, PixelsAndValuesMapBothWays) {
  CPlotView view;
  EXPECT_NEAR(view.XOfFrequency(kArea, 20.0), kArea.left, 1e-9);
  EXPECT_NEAR(view.XOfFrequency(kArea, std::sqrt(20.0 * 20000)), kArea.left + kArea.width / 2,
              1e-9);
  EXPECT_NEAR(view.YOfLevel(kArea, 0.0) + view.YOfPhase(kArea, -180.0),
              2 * kArea.top + kArea.height, 1e-9);
  view.SetFrequency(1000, 1072);
  view.SetLevel(-3.5, -2.5);
  for (const double p : {kArea.left, 100.25, 413.0, kArea.left + kArea.width}) {
    EXPECT_NEAR(view.XOfFrequency(kArea, view.FrequencyOfX(kArea, p)), p, 1e-9);
    EXPECT_NEAR(view.YOfLevel(kArea, view.LevelOfY(kArea, p)), p, 1e-9);
    EXPECT_NEAR(view.YOfPhase(kArea, view.PhaseOfY(kArea, p)), p, 1e-9);
  }
}

TEST(PlotView, RangesStayWithinTheirLimitsWhateverIsAsked) {
  struct Case {
    double low, high;
    bool changes;
    double wantLow, wantHigh;  // frequency [Hz]
  } const cases[] = {
      {NAN, 100, false, 20, 20000},
      {0, 100, false, 20, 20000},
      {-5, 100, false, 20, 20000},
      {100, INFINITY, false, 20, 20000},
      {500, 50, true, 50, 500},
      {0.5, 30000, true, 1, 24000},
      {1000, 1000, true, 1000 / std::sqrt(kLeastRatio), 1000 * std::sqrt(kLeastRatio)},
      {23500, 23900, true, 24000 / kLeastRatio, 24000},
      {0.9, 1.0, true, 1, 1 / 0.9}};
  for (const Case& c : cases) {
    CPlotView view;
    EXPECT_EQ(view.SetFrequency(c.low, c.high), c.changes) << c.low;
    EXPECT_NEAR(view.Frequency().low, c.wantLow, 1e-9 * c.wantLow) << c.low;
    EXPECT_NEAR(view.Frequency().high, c.wantHigh, 1e-9 * c.wantHigh) << c.low;
  }
  struct Level {
    double low, high, wantLow, wantHigh;  // [dB]
  } const levels[] = {{NAN, 0, -90, 0},     {-5, -5, -5.5, -4.5}, {-1000, 1000, -100, 100},
                      {250, 400, 150, 300}, {3, -12, -12, 3},     {-1e308, -1e308, -300, -299}};
  for (const Level& c : levels) {
    CPlotView view;
    view.SetLevel(c.low, c.high);
    EXPECT_EQ(view.Level(), (PlotRange{c.wantLow, c.wantHigh})) << c.low;
  }
}

TEST(PlotView, ZoomKeepsTheValueUnderThePointerUntilALimit) {
  struct Case {
    double x, y, factor;
    PlotAxes axes;
  } const cases[] = {{200, 100, 2.0, PlotAxes::kBoth},
                     {700, 400, 0.8, PlotAxes::kBoth},
                     {kArea.left, 12, 3.0, PlotAxes::kFrequency},
                     {900, 300, 1.6, PlotAxes::kVertical}};
  for (const Case& c : cases) {
    CPlotView view;
    view.SetFrequency(100, 5000);
    view.SetLevel(-60, -10);
    view.SetPhase(-90, 90);
    const CPlotView before = view;
    const double f = view.FrequencyOfX(kArea, c.x);
    EXPECT_TRUE(view.ZoomAt(kArea, c.x, c.y, c.factor, c.axes));
    ExpectSound(view);
    EXPECT_NEAR(view.FrequencyOfX(kArea, c.x), f, 1e-9 * f);
    EXPECT_NEAR(view.LevelOfY(kArea, c.y), before.LevelOfY(kArea, c.y), 1e-9);
    EXPECT_NEAR(view.PhaseOfY(kArea, c.y), before.PhaseOfY(kArea, c.y), 1e-9);
    const auto span = [](const CPlotView& v) {
      return std::log(v.Frequency().high / v.Frequency().low);
    };
    EXPECT_NEAR(span(view), span(before) / (c.axes != PlotAxes::kVertical ? c.factor : 1.0), 1e-9);
    EXPECT_NEAR(view.Level().high - view.Level().low,
                50.0 / (c.axes != PlotAxes::kFrequency ? c.factor : 1.0), 1e-9);
  }
  // at the limits: the least spans, then the whole range; nothing that is not a number
  CPlotView view;
  EXPECT_TRUE(WheelZoom(view, kArea, 300, 200, 120 * 200, PlotAxes::kBoth));
  EXPECT_NEAR(view.Frequency().high / view.Frequency().low, kLeastRatio, 1e-9);
  EXPECT_NEAR(view.Level().high - view.Level().low, 1.0, 1e-9);
  EXPECT_TRUE(WheelZoom(view, kArea, 300, 200, -120 * 400, PlotAxes::kBoth));
  EXPECT_EQ(view.Frequency(), (PlotRange{1, 24000}));
  EXPECT_NEAR(view.Level().high - view.Level().low, 200.0, 1e-9);
  EXPECT_EQ(view.Phase(), (PlotRange{-180, 180}));
  const CPlotView before = view;
  EXPECT_FALSE(view.ZoomAt(kArea, NAN, 200, 2, PlotAxes::kBoth) ||
               view.ZoomAt(kArea, 300, 200, NAN, PlotAxes::kBoth) ||
               view.ZoomAt({0, 0, 0, 0}, 300, 200, 2, PlotAxes::kBoth) ||
               WheelZoom(view, kArea, 300, 200, 0, PlotAxes::kBoth) || view.PanBy(kArea, NAN, 1));
  EXPECT_EQ(view.Frequency(), before.Frequency());
  EXPECT_EQ(view.Level(), before.Level());
}

TEST(PlotView, BoxPanAndKeysMoveTheViewAsDragged) {
  CPlotView view;
  const CPlotView old = view;
  EXPECT_TRUE(DragZoomBox(view, kArea, 300, 50, 100, 250));  // from any corner
  EXPECT_NEAR(view.Frequency().low / old.FrequencyOfX(kArea, 100), 1.0, 1e-9);
  EXPECT_NEAR(view.Frequency().high / old.FrequencyOfX(kArea, 300), 1.0, 1e-9);
  EXPECT_NEAR(view.Level().low, old.LevelOfY(kArea, 250), 1e-9);
  EXPECT_NEAR(view.Level().high, old.LevelOfY(kArea, 50), 1e-9);
  // a box only 4 pixels high zooms the frequency alone; a click changes nothing
  const PlotRange level = view.Level();
  EXPECT_TRUE(view.ZoomToBox(kArea, 100, 100, 500, 104));
  EXPECT_EQ(view.Level(), level);
  EXPECT_FALSE(view.ZoomToBox(kArea, 100, 100, 102, 102));
  // a drag to the right by half the width shows half a span lower frequencies
  view.SetFrequency(100, 1000);
  view.SetLevel(-60, -30);
  EXPECT_TRUE(DragPan(view, kArea, kArea.width / 2, -kArea.height / 3));
  EXPECT_NEAR(view.Frequency().low, 100 / std::sqrt(10.0), 1e-9);
  EXPECT_NEAR(view.Level().low, -70, 1e-9);
  // and stops at the lowest frequency, keeping its span
  EXPECT_TRUE(DragPan(view, kArea, 10 * kArea.width, 0));
  EXPECT_EQ(view.Frequency().low, 1.0);
  EXPECT_NEAR(view.Frequency().high, 10.0, 1e-9);
  EXPECT_FALSE(DragPan(view, kArea, 10 * kArea.width, 0));
  // arrows move a tenth of the span; + and - undo each other
  view.SetFrequency(100, 1000);
  EXPECT_TRUE(PressPlotKey(view, PlotKey::kRight, PlotAxes::kBoth, {}));
  EXPECT_NEAR(view.Frequency().low, 100 * std::pow(10.0, 0.1), 1e-9);
  EXPECT_TRUE(PressPlotKey(view, PlotKey::kDown, PlotAxes::kBoth, {}));
  EXPECT_NEAR(view.Level().high, -43.0, 1e-9);
  const CPlotView before = view;
  EXPECT_TRUE(PressPlotKey(view, PlotKey::kZoomIn, AxesForModifiers(false, true), {}));
  EXPECT_EQ(view.Level(), before.Level());
  EXPECT_TRUE(PressPlotKey(view, PlotKey::kZoomOut, PlotAxes::kFrequency, {}));
  EXPECT_NEAR(view.Frequency().high / before.Frequency().high, 1.0, 1e-12);
}

TEST(PlotView, PresetsFitAndResetFollowTheVisibleTraces) {
  const Owned low = Ripple(25, 16000, -23.4);  // levels -24.4..-22.4
  const Owned high = Ripple(10, 5000, -12.0);  // -13..-11; hidden below
  std::vector<PlotTrace> traces{low.Trace(), high.Trace()};
  traces[1].visible = false;
  CPlotView view;
  // 15 dB about the traces' median, its top on a 2 dB line, its lines 2 dB apart
  EXPECT_TRUE(PressPlotKey(view, PlotKey::kLevel15, PlotAxes::kBoth, traces));
  EXPECT_NEAR(view.Level().high - view.Level().low, 15.0, 1e-9);
  EXPECT_NEAR(std::remainder(view.Level().high, 2.0), 0.0, 1e-9);
  EXPECT_TRUE(view.Level().low < -24.4 && view.Level().high > -22.4);
  EXPECT_EQ(LevelStepDb(view.Level().low, view.Level().high), 2.0);
  for (const double span : CPlotView::kLevelPresetsDb) {
    CPlotView empty;  // no trace: about the view's centre
    empty.ApplyLevelPreset(span, {});
    EXPECT_NEAR(empty.Level().high - empty.Level().low, span, 1e-9);
    EXPECT_NEAR(0.5 * (empty.Level().high + empty.Level().low), -45.0, 2.5);
  }
  // fit: 25..16000 Hz, the 2 dB of ripple with 0.5 dB margins, rounded to 0.5 dB lines
  EXPECT_TRUE(view.Fit(traces));
  EXPECT_EQ(view.Frequency(), (PlotRange{25, 16000}));
  EXPECT_EQ(view.Level(), (PlotRange{-25, -21.5}));
  traces[1].visible = true;
  traces[1].levelsDb = std::span<const double>();  // sizes disagree: left out
  EXPECT_TRUE(view.Reset(traces));
  EXPECT_EQ(view.Frequency(), (PlotRange{25, 16000}));
  EXPECT_EQ(view.Level(), (PlotRange{-110, -20}));
  traces[1] = high.Trace();
  EXPECT_TRUE(view.Reset(traces));  // the range of both together, their highest level's top
  EXPECT_EQ(view.Frequency(), (PlotRange{10, 16000}));
  EXPECT_EQ(view.Level(), (PlotRange{-100, -10}));
  EXPECT_TRUE(view.Reset({}));
  EXPECT_EQ(view.Frequency(), (PlotRange{20, 20000}));
  EXPECT_EQ(view.Level(), (PlotRange{-90, 0}));
  EXPECT_FALSE(view.Fit({}));
}

}  // namespace

}  // namespace quorvel
