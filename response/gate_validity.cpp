#include "response/gate_validity.h"

#include <algorithm>
#include <cmath>

#include "base/number_text.h"

namespace quorvel {

namespace {

constexpr double kHalfRateHz = 24000.0;

}  // namespace

double GateValidFromHz(double gateMs) {
  return gateMs > 0.0 && std::isfinite(gateMs) ? 1000.0 / gateMs : 0.0;
}

std::string GateValidityText(double gateMs) {
  // A gate shorter than two samples is valid nowhere below half the rate.
  const double hz = std::min(GateValidFromHz(gateMs), kHalfRateHz);
  if (!(hz > 0.0)) return std::string();
  return "valid above " + (hz >= 10.0 ? FormatFixed(std::round(hz), 0) : FormatFixed(hz, 1)) +
         " Hz";
}

std::string GateValidityComment(double gateMs) {
  const std::string text = GateValidityText(gateMs);
  return text.empty() ? text
                      : "* Gated response " + text + " (1 / gate); the lines below it are kept\n";
}

}  // namespace quorvel
