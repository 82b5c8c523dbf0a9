// The workbench plot's grid lines and labels.
#include "graph/plot_ticks.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "base/number_text.h"

namespace quorvel {

namespace {

constexpr int kMostLines = 12;
constexpr double kLevelStepsDb[] = {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0};
constexpr double kPhaseStepsDeg[] = {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 45.0, 90.0};
constexpr int kLabelThinning[] = {1, 2, 5, 10};
constexpr double kLabelSpacing = 2.0;       // [pixels] beyond a label's height
constexpr double kLeastLineGap = 8.0;       // [pixels] between frequency lines
constexpr double kPixelsPerLine = 25.0;     // the least average spacing of frequency lines
constexpr double kSlack = 1e-9;             // relative: a value meant to sit on a range's end
constexpr int64_t kMillionths = 1'000'000;  // the unit of a decade's step

// Multiples of step within low..high, as integers n (value n * step).
std::pair<double, double> MultiplesWithin(double low, double high, double step) {
  return {std::ceil(low / step - kSlack), std::floor(high / step + kSlack)};
}

double FinestStep(double low, double high, std::span<const double> steps) {
  for (const double step : steps) {
    const auto [first, last] = MultiplesWithin(low, high, step);
    if (last - first + 1 <= kMostLines) return step;
  }
  return steps.back();
}

std::vector<PlotTick> LinearTicks(double low, double high, double step, double labelHeight,
                                  const std::function<double(double)>& toPixel) {
  std::vector<PlotTick> ticks;
  if (!(high > low)) return ticks;
  const double spacing = std::fabs(toPixel(low + step) - toPixel(low));
  int every = kLabelThinning[std::size(kLabelThinning) - 1];
  for (const int k : kLabelThinning) {
    if (spacing * k >= labelHeight + kLabelSpacing) {
      every = k;
      break;
    }
  }
  const int decimals = step < 1.0 ? 1 : 0;
  const auto [first, last] = MultiplesWithin(low, high, step);
  for (double n = first; n <= last; n += 1.0) {
    const double value = n == 0.0 ? 0.0 : n * step;  // never "-0"
    PlotTick tick{value, toPixel(value), false, {}};
    if (std::fmod(std::fabs(n), every) == 0.0) tick.label = FormatFixed(value, decimals);
    ticks.push_back(std::move(tick));
  }
  return ticks;
}

// A set of frequency lines: the decades, 1-2-5 of each decade, or every multiple of a step of
// `millionths` of each decade's unit (1000000: every digit).
struct LineSet {
  enum Kind { kDecades, kOneTwoFive, kUniform } kind;
  int64_t millionths;
};

constexpr std::array<LineSet, 12> kLineSets{{
    {LineSet::kDecades, 0},
    {LineSet::kOneTwoFive, 0},
    {LineSet::kUniform, 1'000'000},
    {LineSet::kUniform, 500'000},
    {LineSet::kUniform, 200'000},
    {LineSet::kUniform, 100'000},
    {LineSet::kUniform, 50'000},
    {LineSet::kUniform, 20'000},
    {LineSet::kUniform, 10'000},
    {LineSet::kUniform, 5'000},
    {LineSet::kUniform, 2'000},
    {LineSet::kUniform, 1'000},
}};

// Whether every line of set a is one of set b.
bool IsSubset(const LineSet& a, const LineSet& b) {
  if (a.kind == LineSet::kDecades) return true;
  if (b.kind != LineSet::kUniform) return a.kind == b.kind;
  if (a.kind == LineSet::kOneTwoFive) return (2 * kMillionths) % b.millionths == 0;
  return a.millionths % b.millionths == 0;
}

// n * 10^e, exact where it can be.
double Scaled(int64_t n, int e) {
  const double power = std::pow(10.0, std::abs(e));
  return e >= 0 ? static_cast<double>(n) * power : static_cast<double>(n) / power;
}

// The lines of a set within lowHz..highHz, lowest first; false when there would be more than
// `most`.
bool LinesOf(const LineSet& set, double lowHz, double highHz, size_t most,
             std::vector<double>& lines) {
  lines.clear();
  const double low = lowHz * (1.0 - kSlack);
  const double high = highHz * (1.0 + kSlack);
  const int firstDecade = static_cast<int>(std::floor(std::log10(low)));
  const int lastDecade = static_cast<int>(std::floor(std::log10(high)));
  const auto add = [&](double hz) {
    if (hz < low || hz > high) return true;
    lines.push_back(hz);
    return lines.size() <= most;
  };
  for (int d = firstDecade; d <= lastDecade; ++d) {
    if (set.kind != LineSet::kUniform) {
      for (const int64_t m : {1, 2, 5}) {
        if ((m == 1 || set.kind == LineSet::kOneTwoFive) && !add(Scaled(m, d))) return false;
      }
      continue;
    }
    // n steps of millionths of 10^d: n * millionths * 10^(d-6), its mantissa within 1..10
    const double step = Scaled(set.millionths, d - 6);
    const int64_t firstStep = kMillionths / set.millionths;
    const int64_t endStep = 10 * kMillionths / set.millionths;
    const int64_t from = std::max(firstStep, static_cast<int64_t>(std::ceil(low / step)));
    const int64_t to = std::min(endStep - 1, static_cast<int64_t>(std::floor(high / step)));
    for (int64_t n = from; n <= to; ++n) {
      if (!add(Scaled(n * set.millionths, d - 6))) return false;
    }
  }
  return true;
}

bool IsDecade(double hz) {
  const double e = std::round(std::log10(hz));
  return hz == Scaled(1, static_cast<int>(e));
}

}  // namespace

double LevelStepDb(double lowDb, double highDb) {
  return FinestStep(lowDb, highDb, kLevelStepsDb);
}

std::vector<PlotTick> LevelTicks(const CPlotView& view, const PlotArea& area, double labelHeight) {
  const PlotRange range = view.Level();
  return LinearTicks(range.low, range.high, LevelStepDb(range.low, range.high), labelHeight,
                     [&](double db) { return view.YOfLevel(area, db); });
}

std::vector<PlotTick> PhaseTicks(const CPlotView& view, const PlotArea& area, double labelHeight) {
  const PlotRange range = view.Phase();
  return LinearTicks(range.low, range.high, FinestStep(range.low, range.high, kPhaseStepsDeg),
                     labelHeight, [&](double deg) { return view.YOfPhase(area, deg); });
}

std::vector<PlotTick> FrequencyTicks(const CPlotView& view, const PlotArea& area,
                                     const LabelWidth& labelWidth, double labelGap,
                                     double labelLeft, double labelRight) {
  const PlotRange range = view.Frequency();
  const auto most = static_cast<size_t>(std::max(1.0, area.width / kPixelsPerLine));
  // the densest set that leaves room between its lines
  size_t chosen = 0;
  std::vector<double> lines;
  std::vector<double> best;
  for (size_t i = 0; i < kLineSets.size(); ++i) {
    if (!LinesOf(kLineSets[i], range.low, range.high, most, lines)) break;
    bool roomy = true;
    for (size_t k = 1; k < lines.size() && roomy; ++k) {
      roomy = view.XOfFrequency(area, lines[k]) - view.XOfFrequency(area, lines[k - 1]) >=
              kLeastLineGap;
    }
    if (!roomy) break;
    chosen = i;
    best.swap(lines);
  }
  std::vector<PlotTick> ticks;
  for (const double hz : best) ticks.push_back({hz, view.XOfFrequency(area, hz), IsDecade(hz), {}});
  // the densest set of labels among those lines that do not crowd each other
  for (size_t j = chosen + 1; j-- > 0;) {
    if (!IsSubset(kLineSets[j], kLineSets[chosen])) continue;
    if (!LinesOf(kLineSets[j], range.low, range.high, best.size(), lines)) continue;
    std::vector<std::pair<double, std::string>> labels;  // its line's frequency, its text
    double end = -HUGE_VAL;
    bool crowded = false;
    for (const double hz : lines) {
      std::string text = FrequencyLabel(hz);
      const double half = labelWidth(text) / 2.0;
      const double x = view.XOfFrequency(area, hz);
      if (x - half < labelLeft || x + half > labelRight) continue;
      if (x - half < end + labelGap) {
        crowded = true;
        break;
      }
      end = x + half;
      labels.emplace_back(hz, std::move(text));
    }
    if (crowded) continue;
    size_t k = 0;
    for (PlotTick& tick : ticks) {
      if (k < labels.size() && tick.value == labels[k].first)
        tick.label = std::move(labels[k++].second);
    }
    break;
  }
  return ticks;
}

std::string FrequencyLabel(double hz) {
  return hz >= 1000.0 ? FormatGeneral(hz / 1000.0, 6) + "k" : FormatGeneral(hz, 6);
}

}  // namespace quorvel
