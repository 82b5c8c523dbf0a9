// Where a gate stops being valid: about 1 / gate, named in whole hertz.
#include "response/gate_validity.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvel {

namespace {

TEST(GateValidity, NamesOneOverTheGate) {
  const struct {
    double gateMs, hz;
    const char* text;
  } cases[] = {{5.0, 200.0, "valid above 200 Hz"},
               {7.5, 133.333333, "valid above 133 Hz"},
               {0.0, 0.0, ""},
               {-3.0, 0.0, ""},
               {NAN, 0.0, ""}};
  for (const auto& c : cases) {
    EXPECT_NEAR(GateValidFromHz(c.gateMs), c.hz, 1e-6) << c.gateMs;
    EXPECT_EQ(GateValidityText(c.gateMs), c.text) << c.gateMs;
  }
  EXPECT_EQ(GateValidityComment(5.0),
            "* Gated response valid above 200 Hz (1 / gate); the lines below it are kept\n");
  EXPECT_EQ(GateValidityComment(0.0), "");
}

}  // namespace

}  // namespace quorvel
