// The plain words added to the messages a Linux user reads.
#include "control/failure_words.h"

#include <gtest/gtest.h>

#include "audio/audio_services.h"

namespace quorvel {

namespace {

struct Words {
  int32_t code;
  const char* words;
};

TEST(FailureWords, CaptureCodesNameTheCondition) {
  const Words table[] = {
      {kAudclntEServiceNotRunning, "The audio server connection was lost."},
      {kAudclntEDeviceInvalidated, "The device was removed."},
      {kAudclntEDeviceInUse, "The device is in use by another program."},
      {kE_UNEXPECTED, "The device list has changed since it was read: choose the device again."},
      {kResultOk, ""},
      {static_cast<int32_t>(0x8889000Du), ""},
  };
  for (const Words& entry : table) {
    EXPECT_EQ(CaptureFailureWords(entry.code), entry.words) << std::hex << entry.code;
  }
}

TEST(FailureWords, OutputCodesNameTheCondition) {
  const Words table[] = {
      {kMmErrNoDriver, "The audio server connection was lost."},
      {kMmErrBadDeviceId, "The device was removed."},
      {kMmErrNoMem, ""},
      {kMmNoError, ""},
  };
  for (const Words& entry : table) {
    EXPECT_EQ(OutputFailureWords(entry.code), entry.words) << entry.code;
  }
}

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
