// The gate of the impulse-response window: the choices and what a typed gate may be.
#include "control/response/response_session.h"

#include <gtest/gtest.h>

namespace quorvel {

namespace {

TEST(ResponseGate, AChoiceOrATypedTimeWithinTheUngatedWindowIsTakenAndAnythingElseRefused) {
  const double maxMs = 750.0;  // [ms] the ungated window
  const struct {
    const char* text;
    bool taken;
    double gateMs;
  } cases[] = {
      {"Off", true, 0.0},    {" off ", true, 0.0},  {"2.5 ms", true, 2.5},
      {"5 ms", true, 5.0},   {"10 ms", true, 10.0}, {"3.5", true, 3.5},
      {"3,5 MS", true, 3.5}, {"750", true, 750.0},  {"0.01ms", true, 0.01},
      {"0", false, 0.0},     {"-2", false, 0.0},    {"750.1", false, 0.0},
      {"nan", false, 0.0},   {"inf", false, 0.0},   {"", false, 0.0},
      {"ms", false, 0.0},    {"5 s", false, 0.0},   {"5 ms later", false, 0.0},
      {"1e400", false, 0.0}, {"Of", false, 0.0},
  };
  for (const auto& c : cases) {
    const Result<double> gate = ParseGate(c.text, maxMs);
    EXPECT_EQ(gate.Ok(), c.taken) << c.text;
    if (c.taken) {
      EXPECT_EQ(gate.Ok() ? *gate : -1.0, c.gateMs) << c.text;
    } else {
      EXPECT_EQ(gate.Message(),
                "The gate must be Off, or a time in milliseconds above 0 and at most 750.0 ms "
                "after the peak")
          << c.text;
    }
  }
  // each choice reads back as itself
  for (const GateChoice& choice : kGateChoices) EXPECT_EQ(FormatGate(choice.gateMs), choice.label);
}

}  // namespace

}  // namespace quorvel
