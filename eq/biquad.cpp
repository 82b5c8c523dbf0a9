#include "eq/biquad.h"

#include <cmath>

#include "eq/biquad_design.h"

namespace quorvel {

const char* FilterTypeName(EqFilterType type) {
  switch (type) {
    case EqFilterType::kLowShelf:
      return "LSC";
    case EqFilterType::kHighShelf:
      return "HSC";
    case EqFilterType::kPeaking:
      break;
  }
  return "PK";
}

BiquadCoefficients MakeBiquad(const EqFilter& filter, double sampleRateHz) {
  const double plainGain = std::pow(10.0, filter.gainDb / 20.0);
  const double nyquistHz = sampleRateHz / 2.0;
  if (filter.frequencyHz <= 0.0) {
    if (filter.type == EqFilterType::kHighShelf) return {plainGain, 0, 0, 0, 0};
    return {};
  }
  if (filter.frequencyHz >= nyquistHz) {
    if (filter.type == EqFilterType::kLowShelf) return {plainGain, 0, 0, 0, 0};
    return {};
  }
  if (filter.type == EqFilterType::kPeaking && filter.q <= 0.0) return {plainGain, 0, 0, 0, 0};
  const double q = filter.type == EqFilterType::kPeaking ? filter.q : kShelfQ;
  const eqdesign::RawBiquad<double> raw = eqdesign::CookbookBiquad<double>(
      filter.type, filter.frequencyHz, filter.gainDb, q, sampleRateHz);
  return {raw.b0 / raw.a0, raw.b1 / raw.a0, raw.b2 / raw.a0, raw.a1 / raw.a0, raw.a2 / raw.a0};
}

std::complex<double> BiquadResponse(const BiquadCoefficients& c, double frequencyHz,
                                    double sampleRateHz) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * frequencyHz / sampleRateHz);
  const std::complex<double> z2 = z1 * z1;
  return (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
}

double FilterGainDb(const EqFilter& filter, double frequencyHz, double sampleRateHz) {
  return 20.0 * std::log10(std::abs(
                    BiquadResponse(MakeBiquad(filter, sampleRateHz), frequencyHz, sampleRateHz)));
}

double CascadeGainDb(std::span<const EqFilter> filters, double frequencyHz, double sampleRateHz) {
  double sumDb = 0.0;
  for (const EqFilter& filter : filters) sumDb += FilterGainDb(filter, frequencyHz, sampleRateHz);
  return sumDb;
}

}  // namespace quorvel
