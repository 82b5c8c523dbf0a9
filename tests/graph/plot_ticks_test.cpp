// The workbench plot's grid follows its zoom with round steps: 5 to 12 level lines on the given
// steps, frequency lines on decades, 1-2-5 or every digit, and labels that never overlap.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "graph/plot_ticks.h"
#include "graph/plot_view.h"

namespace quorvel {

namespace {

// about Liberation Sans at 11 pixels: digits and "k" 6.2 pixels, the point 3
double Width(const std::string& text) {
  double width = 0.0;
  for (const char c : text) width += c == '.' ? 3.0 : 6.2;
  return width;
}

TEST(PlotTicks, LevelLinesAreFiveToTwelveOnRoundStepsAtEveryZoom) {
  const double steps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 20};
  const PlotArea area{40, 10, 900, 400};
  for (double span = 1.0; span <= 200.0; span *= 1.07) {
    for (const double low : {-300.0, -91.3, -47.05, -0.3, 12.7}) {
      CPlotView view;
      view.SetLevel(low, low + span);
      const std::vector<PlotTick> ticks = LevelTicks(view, area, 12.0);
      const double step = LevelStepDb(view.Level().low, view.Level().high);
      EXPECT_NE(std::find(std::begin(steps), std::end(steps), step), std::end(steps));
      EXPECT_TRUE(ticks.size() >= 5 && ticks.size() <= 12) << low << " " << span;
      for (const PlotTick& tick : ticks) {
        EXPECT_NEAR(std::remainder(tick.value, step), 0.0, 1e-9);
        EXPECT_TRUE(tick.value >= view.Level().low - 1e-9 &&
                    tick.value <= view.Level().high + 1e-9);
        EXPECT_TRUE(!tick.label.empty() && tick.label != "-0");  // 400 pixels: room for all
      }
    }
  }
  // the presets' spans with their tops on a line: 90 and 50 by tens and fives, 15 by twos
  struct Case {
    double low, high, step;
  } const cases[] = {{-90, 0, 10}, {-50, 0, 5}, {-30, 0, 5}, {-31, -16, 2}, {-10, -9, 0.1}};
  for (const Case& c : cases) EXPECT_EQ(LevelStepDb(c.low, c.high), c.step) << c.low;
}

TEST(PlotTicks, LevelLabelsThinOutWhereTheyWouldTouch) {
  CPlotView view;  // -90..0: ten lines
  // 6.7 pixels apart: twice that is still too close for 12-pixel labels, five times is not
  const std::vector<PlotTick> ticks = LevelTicks(view, {0, 0, 500, 60}, 12.0);
  ASSERT_EQ(ticks.size(), 10u);
  for (const PlotTick& tick : ticks) {
    EXPECT_EQ(tick.label.empty(), std::fmod(tick.value, 50.0) != 0.0) << tick.value;
  }
}

TEST(PlotTicks, FrequencyLabelsNeverOverlapAtAnyWidthOrZoom) {
  struct View {
    double low, high;
  } const views[] = {{1, 24000},   {20, 20000},    {100, 1000},   {950, 1020}, {1000, 1072},
                     {3000, 3200}, {22000, 23600}, {9000, 11000}, {1.2, 1.3}};
  for (const View& v : views) {
    CPlotView view;
    view.SetFrequency(v.low, v.high);
    for (double width = 200; width <= 4000; width += 50) {
      const PlotArea area{50, 0, width, 300};
      const std::vector<PlotTick> ticks =
          FrequencyTicks(view, area, Width, 6.0, 0.0, width + 100.0);
      double end = -HUGE_VAL;
      int labels = 0;
      for (size_t i = 0; i < ticks.size(); ++i) {
        const PlotTick& t = ticks[i];
        EXPECT_TRUE(t.value >= view.Frequency().low * (1 - 1e-9) &&
                    t.value <= view.Frequency().high * (1 + 1e-9));
        EXPECT_GE(t.pixel - (i > 0 ? ticks[i - 1].pixel : -HUGE_VAL), 8.0) << v.low << " " << width;
        EXPECT_EQ(t.major, t.value == std::pow(10.0, std::round(std::log10(t.value))));
        if (t.label.empty()) continue;
        ++labels;
        EXPECT_EQ(t.label, FrequencyLabel(t.value));
        EXPECT_GE(t.pixel - Width(t.label) / 2, end + 6.0) << v.low << " " << width;
        end = t.pixel + Width(t.label) / 2;
      }
      EXPECT_GE(labels, 2) << v.low << " " << width;
      EXPECT_LE(ticks.size(), width / 25.0);
    }
  }
}

TEST(PlotTicks, FrequencyLinesAreDecadesOneTwoFiveOrDigits) {
  CPlotView view;  // 20 Hz..20 kHz
  std::string labels;
  int lines = 0;
  for (const PlotTick& t : FrequencyTicks(view, {40, 0, 950, 300}, Width, 6.0, 0.0, 1065.0)) {
    // at the main graph's width: a line on every digit, labels on 1, 2 and 5
    const double mantissa = t.value / std::pow(10.0, std::floor(std::log10(t.value) + 1e-12));
    EXPECT_NEAR(mantissa, std::round(mantissa), 1e-9) << t.value;
    if (!t.label.empty()) labels += t.label + " ";
    ++lines;
  }
  EXPECT_EQ(lines, 28);
  EXPECT_EQ(labels, "20 50 100 200 500 1k 2k 5k 10k 20k ");
  // narrow: only the decades of the whole range
  view.SetFrequency(1, 24000);
  labels.clear();
  for (const PlotTick& t : FrequencyTicks(view, {0, 0, 200, 100}, Width, 6.0, -20.0, 220.0)) {
    labels += t.label + (t.major ? " " : "? ");
  }
  EXPECT_EQ(labels, "1 10 100 1k 10k ");
  EXPECT_EQ(FrequencyLabel(3020.0) + FrequencyLabel(12.5), "3.02k12.5");
}

}  // namespace

}  // namespace quorvel
