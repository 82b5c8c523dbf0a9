// The workbench's trace colours and line styles.
#include "graph/trace_palette.h"

#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>

namespace quorvel {

namespace {

constexpr int kColoursPerStyle = 8;

constexpr std::array<TraceRgb, kTraceColourCount> kColours{{
    // drawn solid
    {0x00, 0x00, 0x00},  // black (Okabe-Ito)
    {0xCC, 0x33, 0x11},  // red (Tol vibrant)
    {0x66, 0x99, 0xCC},  // light blue (Tol medium-contrast)
    {0x88, 0x22, 0x55},  // wine (Tol muted)
    {0x00, 0x9E, 0x73},  // bluish green (Okabe-Ito)
    {0x00, 0x72, 0xB2},  // blue (Okabe-Ito)
    {0x99, 0x99, 0x33},  // olive (Tol muted)
    {0x33, 0x22, 0x88},  // indigo (Tol muted)
    // drawn dashed
    {0x99, 0x44, 0x55},  // dark red (Tol medium-contrast)
    {0xDD, 0xAA, 0x33},  // yellow (Tol high-contrast)
    {0x22, 0x88, 0x33},  // green (Tol bright)
    {0xEE, 0x66, 0x77},  // red (Tol bright)
    {0x33, 0xBB, 0xEE},  // cyan (Tol vibrant)
    {0xAA, 0x33, 0x77},  // purple (Tol bright)
    {0xCC, 0x79, 0xA7},  // reddish purple (Okabe-Ito)
    {0xEE, 0x99, 0xAA},  // light red (Tol medium-contrast)
}};

constexpr double kDegree = std::numbers::pi / 180.0;

// The hue angle [degrees, 0..360) of a*, b*; 0 for a grey.
double HueOf(double a, double b) {
  if (a == 0.0 && b == 0.0) return 0.0;
  const double h = std::atan2(b, a) / kDegree;
  return h < 0.0 ? h + 360.0 : h;
}

// The palette's reds and what the main graph draws them in.
constexpr std::array<std::pair<TraceRgb, TraceRgb>, 4> kMainGraphStandIns{{
    {{0xCC, 0x33, 0x11}, {0x00, 0x44, 0x88}},  // blue (Tol high-contrast)
    {{0xEE, 0x66, 0x77}, {0x44, 0xAA, 0x99}},  // teal (Tol muted)
    {{0x99, 0x44, 0x55}, {0x99, 0x77, 0x00}},  // dark yellow (Tol medium-contrast)
    {{0xEE, 0x99, 0xAA}, {0x55, 0x55, 0x55}},  // dark grey
}};

}  // namespace

CieLab LabOf(TraceRgb rgb) {
  const auto linear = [](uint8_t value) {
    const double v = value / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const double r = linear(rgb.red), g = linear(rgb.green), b = linear(rgb.blue);
  // sRGB to XYZ, relative to D65's white
  const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
  const auto f = [](double t) {
    return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
  };
  return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

double ColourDifference(TraceRgb first, TraceRgb second) {
  return ColourDifference(LabOf(first), LabOf(second));
}

double ColourDifference(const CieLab& p, const CieLab& q) {
  // G. Sharma, W. Wu, E. N. Dalal, "The CIEDE2000 color-difference formula: implementation
  // notes, supplementary test data, and mathematical observations", 2005
  const double meanChroma = (std::hypot(p.a, p.b) + std::hypot(q.a, q.b)) / 2.0;
  const double c7 = std::pow(meanChroma, 7.0);
  const double g = 0.5 * (1.0 - std::sqrt(c7 / (c7 + std::pow(25.0, 7.0))));
  const double a1 = (1.0 + g) * p.a, a2 = (1.0 + g) * q.a;
  const double c1 = std::hypot(a1, p.b), c2 = std::hypot(a2, q.b);
  const double h1 = HueOf(a1, p.b), h2 = HueOf(a2, q.b);
  double dh = 0.0;
  if (c1 * c2 != 0.0) {
    dh = h2 - h1;
    if (dh > 180.0) dh -= 360.0;
    if (dh < -180.0) dh += 360.0;
  }
  const double dL = q.l - p.l;
  const double dC = c2 - c1;
  const double dH = 2.0 * std::sqrt(c1 * c2) * std::sin(dh * kDegree / 2.0);
  const double meanL = (p.l + q.l) / 2.0;
  const double meanC = (c1 + c2) / 2.0;
  double meanH = h1 + h2;
  if (c1 * c2 != 0.0) {
    meanH = (h1 + h2) / 2.0;
    if (std::abs(h1 - h2) > 180.0) meanH += h1 + h2 < 360.0 ? 180.0 : -180.0;
  }
  const double t = 1.0 - 0.17 * std::cos((meanH - 30.0) * kDegree) +
                   0.24 * std::cos(2.0 * meanH * kDegree) +
                   0.32 * std::cos((3.0 * meanH + 6.0) * kDegree) -
                   0.20 * std::cos((4.0 * meanH - 63.0) * kDegree);
  const double rotation = 30.0 * std::exp(-std::pow((meanH - 275.0) / 25.0, 2.0));
  const double meanC7 = std::pow(meanC, 7.0);
  const double rc = 2.0 * std::sqrt(meanC7 / (meanC7 + std::pow(25.0, 7.0)));
  const double sl = 1.0 + 0.015 * (meanL - 50.0) * (meanL - 50.0) /
                              std::sqrt(20.0 + (meanL - 50.0) * (meanL - 50.0));
  const double sc = 1.0 + 0.045 * meanC;
  const double sh = 1.0 + 0.015 * meanC * t;
  const double rt = -std::sin(2.0 * rotation * kDegree) * rc;
  const double l = dL / sl, c = dC / sc, h = dH / sh;
  return std::sqrt(l * l + c * c + h * h + rt * c * h);
}

TraceRgb MainGraphColour(TraceRgb colour) {
  if (ColourDifference(colour, kLiveCurveColour) >= kLeastDifferenceToLiveCurve) return colour;
  for (const auto& [red, standIn] : kMainGraphStandIns) {
    if (colour == red) return standIn;
  }
  return kMainGraphStandIns[0].second;
}

const std::array<TraceRgb, kTraceColourCount>& TraceColours() {
  return kColours;
}

PaletteLook TraceLookAt(int index) {
  const int i = index < 0 ? 0 : index;
  constexpr TraceLineStyle kStyles[] = {TraceLineStyle::kSolid, TraceLineStyle::kDashed,
                                        TraceLineStyle::kDotted};
  return {kColours[static_cast<std::size_t>(i % kTraceColourCount)],
          kStyles[(i / kColoursPerStyle) % 3]};
}

}  // namespace quorvel
