// The plain words added to the messages a Linux user reads.
#include "control/run/failure_words.h"

#include <gtest/gtest.h>

namespace quorvel {

namespace {

TEST(FailureWords, FollowTheMessageAndItsCodeOnALineOfTheirOwn) {
  // A message that ends with its code's line, one without, and no words at all.
  EXPECT_EQ(WithWords("Could Not Open this Audio Input Device: \n0x88890004 : "
                      "AUDCLNT_E_DEVICE_INVALIDATED\n",
                      "The device was removed."),
            "Could Not Open this Audio Input Device: \n0x88890004 : AUDCLNT_E_DEVICE_INVALIDATED\n"
            "The device was removed.");
  EXPECT_EQ(WithWords("The Audio Output stopped during the measurement", "The device was removed."),
            "The Audio Output stopped during the measurement\nThe device was removed.");
  EXPECT_EQ(WithWords("Could Not Open the Audio Output Device: ", ""),
            "Could Not Open the Audio Output Device: ");
}

}  // namespace

}  // namespace quorvel
