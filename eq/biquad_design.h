#pragma once

#include <cmath>

#include "eq/biquad.h"

namespace quorvel::eqdesign {

// The cookbook's coefficients before normalisation, for any number type T with + - * /,
// sin, cos, sqrt and exp (double, and the fit's dual numbers that carry derivatives). The
// ratio of the numerator's and denominator's squared magnitudes does not depend on a0, so the
// fit never divides by it.
template <class T>
struct RawBiquad {
  T b0, b1, b2, a0, a1, a2;
};

// frequencyHz strictly between 0 and the Nyquist frequency.
template <class T>
RawBiquad<T> CookbookBiquad(EqFilterType type, const T& frequencyHz, const T& gainDb, const T& q,
                            double sampleRateHz) {
  using std::cos;
  using std::exp;
  using std::sin;
  using std::sqrt;
  const T w0 = frequencyHz * (2.0 * M_PI / sampleRateHz);
  const T a = exp(gainDb * (M_LN10 / 40.0));  // 10^(gain/40)
  const T cosW = cos(w0);
  const T alpha = sin(w0) / (q * 2.0);
  if (type == EqFilterType::kPeaking) {
    return {alpha * a + 1.0, cosW * -2.0, 1.0 - alpha * a,
            alpha / a + 1.0, cosW * -2.0, 1.0 - alpha / a};
  }
  const T k2 = sqrt(a) * alpha * 2.0;
  const T plus = a + 1.0;
  const T minus = a - 1.0;
  if (type == EqFilterType::kLowShelf) {
    return {a * (plus - minus * cosW + k2), a * (minus - plus * cosW) * 2.0,
            a * (plus - minus * cosW - k2), plus + minus * cosW + k2,
            (minus + plus * cosW) * -2.0,   plus + minus * cosW - k2};
  }
  return {a * (plus + minus * cosW + k2), a * (minus + plus * cosW) * -2.0,
          a * (plus + minus * cosW - k2), plus - minus * cosW + k2,
          (minus - plus * cosW) * 2.0,    plus - minus * cosW - k2};
}

// The frequency a squared magnitude is taken at: cos and sin of w and 2w.
struct UnitCirclePoint {
  double cosW, sinW, cos2W, sin2W;
};

// |c0 + c1 e^-jw + c2 e^-2jw|^2, from its real and imaginary parts: at low frequencies the taps
// nearly cancel, and squaring only after the sum keeps the digits that the expanded form
// c0^2 + c1^2 + c2^2 + 2 (c0 c1 + c1 c2) cos w + 2 c0 c2 cos 2w loses.
template <class T>
T SquaredMagnitude(const T& c0, const T& c1, const T& c2, const UnitCirclePoint& at) {
  const T re = c0 + c1 * at.cosW + c2 * at.cos2W;
  const T im = c1 * at.sinW + c2 * at.sin2W;
  return re * re + im * im;
}

}  // namespace quorvel::eqdesign
