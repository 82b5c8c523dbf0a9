// The private test servers themselves, PulseAudio and PipeWire alike: they start with the
// devices the audio tests expect, honour the suspend setting, take a LADSPA high-pass sink and
// leave no process behind.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/pulse/pulse_audio_services.h"
#include "tests/audio/pulse/pipewire_test_server.h"
#include "tests/audio/pulse/pulse_test_server.h"

namespace quorvel {

namespace {

class AudioTestServerTest : public testing::TestWithParam<const char*> {
 protected:
  // Starts the server (after `configure`); skips when its programs are not installed.
  void StartServer() {
    std::string why;
    bool missing = false;
    if (!m_server->Start(&why, &missing)) {
      if (missing) GTEST_SKIP() << why;
      FAIL() << why;
    }
  }

  std::unique_ptr<CAudioTestServer> m_server = MakeAudioTestServer(GetParam());
};

TEST_P(AudioTestServerTest, OffersTheTestDevicesThroughLibpulse) {
  StartServer();
  if (IsSkipped() || HasFatalFailure()) return;
  std::string why;
  std::unique_ptr<CPulseAudioServices> services = CPulseAudioServices::Connect(&why, 10000);
  ASSERT_NE(services, nullptr) << why << "\n" << m_server->Log();

  std::vector<std::string> inputs;
  ASSERT_EQ(services->ListCaptureEndpoints(&inputs), 0);
  const std::vector<std::string> expectedInputs = {
      CAudioTestServer::kMicrophoneDescription,
      std::string("Monitor of ") + CAudioTestServer::kNullSinkDescription,
      std::string("Monitor of ") + CAudioTestServer::kSecondSinkDescription};
  EXPECT_EQ(inputs, expectedInputs);

  std::vector<std::string> outputs;
  ASSERT_EQ(services->OutputDeviceCount(), 2);
  ASSERT_TRUE(services->ListOutputDescriptions(&outputs));
  const std::vector<std::string> expectedOutputs = {CAudioTestServer::kNullSinkDescription,
                                                    CAudioTestServer::kSecondSinkDescription};
  EXPECT_EQ(outputs, expectedOutputs);
  EXPECT_NE(m_server->Pactl("info").find("Default Sink: quorvel_null"), std::string::npos);
}

TEST_P(AudioTestServerTest, IdleSinksSuspendOnlyWhenAsked) {
  m_server->SetSuspendOnIdle(1);
  StartServer();
  if (IsSkipped() || HasFatalFailure()) return;
  // The sink has played and gone idle; it is suspended a second later (a generous bound for a
  // loaded machine).
  ASSERT_TRUE(m_server->PlayBriefly("quorvel_null", 500));
  EXPECT_TRUE(m_server->WaitForSinkState("quorvel_null", "SUSPENDED", 20000))
      << m_server->SinkState("quorvel_null") << "\n"
      << m_server->Log();
}

TEST_P(AudioTestServerTest, IdleSinksStayAwakeByDefault) {
  StartServer();
  if (IsSkipped() || HasFatalFailure()) return;
  // The sink has played and gone idle; it stays so for longer than both servers' own suspend
  // delays (PulseAudio's module is not loaded; wireplumber's default is 5 s).
  ASSERT_TRUE(m_server->PlayBriefly("quorvel_null", 500));
  EXPECT_TRUE(m_server->WaitForSinkState("quorvel_null", "IDLE", 10000))
      << m_server->SinkState("quorvel_null");
  EXPECT_FALSE(m_server->WaitForSinkState("quorvel_null", "SUSPENDED", 7000));
}

TEST_P(AudioTestServerTest, TakesALadspaHighPassSinkIntoTheNullOutput) {
  StartServer();
  if (IsSkipped() || HasFatalFailure()) return;
  std::string why;
  ASSERT_TRUE(m_server->AddHighPassSink("quorvel_hpf", "Quorvel High Pass", 200.0, &why)) << why;
  const std::string sinks = m_server->Pactl("list sinks");
  EXPECT_NE(sinks.find("Description: Quorvel High Pass"), std::string::npos) << sinks;
}

TEST_P(AudioTestServerTest, StopLeavesNoProcessBehind) {
  StartServer();
  if (IsSkipped() || HasFatalFailure()) return;
  ASSERT_TRUE(m_server->Running());
  m_server->Stop();
  EXPECT_FALSE(m_server->Running());
  int status = 0;
  m_server->Pactl("info", &status);
  EXPECT_NE(status, 0);  // nothing answers on the socket any more
}

INSTANTIATE_TEST_SUITE_P(Servers, AudioTestServerTest, testing::ValuesIn(kTestServerNames),
                         [](const testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace

}  // namespace quorvel
