#pragma once

#include <array>
#include <cmath>

namespace quorvel::eqdesign {

// A number with its derivatives by up to three parameters (forward-mode differentiation): the
// fit evaluates the very cookbook formulas of biquad_design.h with it and so gets the exact
// gradient of each filter's gain by its frequency, gain and Q.
struct Dual {
  double v = 0.0;
  std::array<double, 3> d{};

  Dual() = default;
  Dual(double value) : v(value) {}  // NOLINT: a constant, every derivative 0
  Dual(double value, int parameter) : v(value) { d[static_cast<size_t>(parameter)] = 1.0; }
};

inline Dual Scaled(const Dual& x, double value, double slope) {
  Dual r(value);
  for (size_t k = 0; k < 3; ++k) r.d[k] = slope * x.d[k];
  return r;
}

inline Dual operator+(const Dual& x, const Dual& y) {
  Dual r(x.v + y.v);
  for (size_t k = 0; k < 3; ++k) r.d[k] = x.d[k] + y.d[k];
  return r;
}
inline Dual operator-(const Dual& x, const Dual& y) {
  Dual r(x.v - y.v);
  for (size_t k = 0; k < 3; ++k) r.d[k] = x.d[k] - y.d[k];
  return r;
}
inline Dual operator*(const Dual& x, const Dual& y) {
  Dual r(x.v * y.v);
  for (size_t k = 0; k < 3; ++k) r.d[k] = x.d[k] * y.v + x.v * y.d[k];
  return r;
}
inline Dual operator/(const Dual& x, const Dual& y) {
  Dual r(x.v / y.v);
  for (size_t k = 0; k < 3; ++k) r.d[k] = (x.d[k] * y.v - x.v * y.d[k]) / (y.v * y.v);
  return r;
}
inline Dual operator+(const Dual& x, double y) {
  return x + Dual(y);
}
inline Dual operator-(const Dual& x, double y) {
  return x - Dual(y);
}
inline Dual operator-(double x, const Dual& y) {
  return Dual(x) - y;
}
inline Dual operator*(const Dual& x, double y) {
  return Scaled(x, x.v * y, y);
}

inline Dual sin(const Dual& x) {
  return Scaled(x, std::sin(x.v), std::cos(x.v));
}
inline Dual cos(const Dual& x) {
  return Scaled(x, std::cos(x.v), -std::sin(x.v));
}
inline Dual exp(const Dual& x) {
  const double e = std::exp(x.v);
  return Scaled(x, e, e);
}
inline Dual sqrt(const Dual& x) {
  const double s = std::sqrt(x.v);
  return Scaled(x, s, 0.5 / s);
}

}  // namespace quorvel::eqdesign
