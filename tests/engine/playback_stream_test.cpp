// The playback stream: output samples, the fill rules of the sweep and of a loaded file, the
// play thread's queue on the simulated loudspeaker with its stall watchdog and a refusing
// device, and the deferred stop's guard.
#include "engine/playback_stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "audio/sim/simulated_services.h"
#include "engine/audio_engine.h"
#include "tests/audio/audio_test_support.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/scripted_services.h"

namespace quorvel {

namespace {

int16_t BufferSample(const CAudio& audio, int buffer, int frame, int channel) {
  int16_t value = 0;
  std::memcpy(&value, CAudioProbe::PlayData(audio, buffer) + frame * 4 + channel * 2, 2);
  return value;
}

TEST(OutputSamples, FullVolumeScale) {
  EXPECT_EQ(OutputSample(32767, 65535), 32766);
  EXPECT_EQ(OutputSample(-32768, 65535), -32768);
  EXPECT_EQ(OutputSample(-1, 65535), -1);
  EXPECT_EQ(OutputSample(1, 65535), 0);
  EXPECT_EQ(OutputSample(0, 65535), 0);
  EXPECT_EQ(OutputSample(1000, 65535), 999);
}

// ---- the stall rule ----

constexpr uint32_t K = kOutputStallMs;

struct Look {
  bool restart;       // the queue is rebuilt before this look
  bool playing;       // started, no underflow since, position known
  uint64_t position;  // [frames]
  uint32_t nowMs;
  bool stalled;  // what the look must find
};

TEST(OutputWatchdog, AStallIsAPositionStandingStillAfterItHasMoved) {
  struct Case {
    const char* name;
    std::vector<Look> looks;
  };
  const Case cases[] = {
      {"an output that has not started is never judged",
       {{false, false, 0, 0, false}, {false, false, 0, 10 * K, false}}},
      {"a position held since the start (the device's latency) is no stall",
       {{false, true, 0, 0, false}, {false, true, 0, 10 * K, false}}},
      {"moved, then still for longer than the limit",
       {{false, true, 0, 0, false},
        {false, true, 480, 100, false},
        {false, true, 480, 100 + K, false},
        {false, true, 480, 101 + K, true}}},
      {"a position that keeps moving",
       {{false, true, 0, 0, false},
        {false, true, 480, 2 * K, false},
        {false, true, 960, 4 * K, false}}},
      {"an underflow starts the watch again",
       {{false, true, 0, 0, false},
        {false, true, 480, 100, false},
        {false, false, 480, 200, false},
        {false, true, 480, 300, false},
        {false, true, 480, 300 + 2 * K, false},
        {false, true, 960, 400 + 2 * K, false},
        {false, true, 960, 401 + 3 * K, true}}},
      {"a rebuilt queue starts the watch again",
       {{false, true, 0, 0, false},
        {false, true, 480, 100, false},
        {true, true, 480, 200, false},
        {false, true, 480, 200 + 2 * K, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    COutputWatchdog watchdog;
    for (size_t i = 0; i < c.looks.size(); ++i) {
      const Look& look = c.looks[i];
      if (look.restart) watchdog.Reset();
      EXPECT_EQ(watchdog.Stalled(look.playing, look.position, look.nowMs), look.stalled)
          << "look " << i;
    }
  }
}

// ---- fill rules, on a scripted output ----

struct ScriptedOutput : testing::Test {
  void SetUp() override { ASSERT_EQ(audio->OpenOutputDevice(0), 0); }
  void TearDown() override {
    // A stop the test scheduled (the end of a replay) runs first.
    EXPECT_TRUE(CAudioProbe::StopTimer(*audio).WaitIdle(5000));
    audio->StopPlaybackTimerProc();
    EXPECT_FALSE(audio->IsOutputOpen());
  }
  CScriptedServices services;
  std::unique_ptr<CAudio> audio = std::make_unique<CAudio>(&services);
};

TEST_F(ScriptedOutput, OpeningFixesTheFormatAndTheDefaultOutputId) {
  EXPECT_TRUE(CAudioProbe::OutputOpenNoticed(*audio));
  EXPECT_EQ(CAudioProbe::OutputFormat(*audio).channels, 2);
  EXPECT_EQ(CAudioProbe::OutputFormat(*audio).samplesPerSec, 48000u);
  EXPECT_EQ(CAudioProbe::OutputFormat(*audio).avgBytesPerSec, 192000u);
  EXPECT_EQ(CAudioProbe::OutputFormat(*audio).blockAlign, 4);
  EXPECT_EQ(CAudioProbe::OutputFormat(*audio).bitsPerSample, 16);
  EXPECT_EQ(CAudioProbe::OutputFormat(*audio).extraSize, 18);
  EXPECT_EQ(audio->OpenOutputDevice(-5), 0);
  EXPECT_EQ(CAudioProbe::OpenDeviceId(*audio), -1);
}

TEST_F(ScriptedOutput, TheSweepWrapsToItsStartAndGoesToBothChannels) {
  ASSERT_EQ(audio->GenerateSweep(20, 20000), 1044002);
  CAudioProbe::SweepPos(*audio).store(1044002 - 10);
  audio->SetSweepPlaying(true);
  ASSERT_EQ(audio->FillSweepBuffer(0), 1);
  EXPECT_EQ(audio->Counters().sweepPos, 118);
  for (int frame = 0; frame < 128; ++frame) {
    const int pos = frame < 10 ? 1044002 - 10 + frame : frame - 10;
    const int16_t expected = OutputSample(audio->Sweep()[pos], 65535);
    EXPECT_EQ(BufferSample(*audio, 0, frame, 0), expected) << frame;
    EXPECT_EQ(BufferSample(*audio, 0, frame, 1), expected) << frame;
  }
  EXPECT_EQ(CAudioProbe::PlayHeaders(*audio)[0].flags.load() & kHeaderEndLoop, 0u);
}

TEST_F(ScriptedOutput, WithoutTheSweepFlagEveryBufferIsSilentAndTheAnalysisHeldIdle) {
  ASSERT_EQ(audio->GenerateSweep(20, 20000), 1044002);
  CAudioProbe::SweepPos(*audio).store(5000);
  CAudioProbe::BlockFill(*audio).store(300);
  ASSERT_EQ(audio->FillSweepBuffer(3), 1);
  EXPECT_EQ(audio->Counters().sweepPos, 0);
  EXPECT_EQ(CAudioProbe::BlockFill(*audio).load(), 0);
  for (int frame = 0; frame < 128; ++frame) EXPECT_EQ(BufferSample(*audio, 3, frame, 0), 0);
  EXPECT_NE(CAudioProbe::PlayHeaders(*audio)[3].flags.load() & kHeaderEndLoop, 0u);
}

TEST_F(ScriptedOutput, ARefusedBufferResetsTheDevice) {
  services.queueResult.store(kMmErrNoMem);
  audio->SetSweepPlaying(true);
  EXPECT_EQ(audio->FillSweepBuffer(0), 0);
  EXPECT_EQ(services.resetCalls.load(), 1);
}

TEST_F(ScriptedOutput, AFileOfAThousandSamplesFeedsTheAnalysisOnceAndEndsTheReplayOnce) {
  static int endings = 0;
  endings = 0;
  audio->SetEndReplayHook(
      [](void* context) {
        ++endings;
        static_cast<CAudio*>(context)->EndReplayPlayback();
      },
      audio.get());
  auto* samples = static_cast<int16_t*>(std::malloc(1000 * sizeof(int16_t)));
  for (int i = 0; i < 1000; ++i) samples[i] = static_cast<int16_t>(i * 30 - 15000);
  audio->LoadSamples(LoadedSamples(samples), 1000);
  audio->SetFilePlaying(true);
  int buffer = 0;
  while (audio->IsFilePlaying() && buffer < 16) {
    ASSERT_EQ(audio->FillFileBuffer(buffer % 128), 1);
    ++buffer;
  }
  EXPECT_EQ(buffer, 8);  // 1000 samples: the eighth buffer holds the end
  EXPECT_EQ(endings, 1);
  EXPECT_EQ(audio->Counters().recordCount, 1000);  // one analysis frame per sample
  EXPECT_EQ(CAudioProbe::RingLeft(*audio)[999], samples[999] * 65535);
  EXPECT_TRUE(audio->Loaded().empty());
  EXPECT_EQ(BufferSample(*audio, 7, 1000 - 7 * 128 - 1, 0), OutputSample(samples[999], 65535));
  for (int frame = 1000 - 7 * 128; frame < 128; ++frame) {
    EXPECT_EQ(BufferSample(*audio, 7, frame, 0), 0) << frame;
  }
  // The replay has ended: nothing more is filled.
  EXPECT_EQ(audio->FillFileBuffer(8), 0);
}

TEST_F(ScriptedOutput, TheDeferredStopTwiceAtOnceRunsItsBodyOnce) {
  services.CloseResetGate();
  std::thread first([&] { audio->StopPlaybackTimerProc(); });
  ASSERT_TRUE(WaitFor([&] { return services.resetEntered.load() == 1; }, 5000));
  // The first call is inside its body (closing the output): the second returns at once.
  audio->StopPlaybackTimerProc();
  EXPECT_EQ(services.resetEntered.load(), 1);
  EXPECT_TRUE(CAudioProbe::StopBusy(*audio));
  services.OpenResetGate();
  first.join();
  EXPECT_EQ(services.resetCalls.load(), 1);
  EXPECT_FALSE(CAudioProbe::StopBusy(*audio));
  EXPECT_FALSE(audio->IsOutputOpen());
  EXPECT_FALSE(CAudioProbe::OutputOpenNoticed(*audio));
}

TEST(EndpointVolume, NeedsAnOutputNameAndReachesTheChosenOutput) {
  CScriptedServices services;
  auto audio = std::make_unique<CAudio>(&services);
  float level = 3.0f;
  EXPECT_EQ(audio->SetEndpointVolume(0.25f), 0);
  EXPECT_EQ(audio->GetEndpointVolume(&level), 0);
  EXPECT_EQ(level, 3.0f);
  EXPECT_FLOAT_EQ(services.volume, 0.5f);
  audio->ChooseOutput("Default Audio Output");
  EXPECT_EQ(audio->SetEndpointVolume(0.25f), 1);
  EXPECT_FLOAT_EQ(services.volume, 0.25f);
  EXPECT_EQ(audio->GetEndpointVolume(&level), 1);
  EXPECT_FLOAT_EQ(level, 0.25f);
}

// ---- the play thread on the simulated loudspeaker ----

struct SimulatedPlayback : testing::Test {
  void SetUp() override {
    SimulatedAudioOptions options;
    options.clockFactor = TestClockFactor();
    sim = std::make_unique<CSimulatedAudioServices>(options);
    audio = std::make_unique<CAudio>(sim.get());
    ASSERT_EQ(audio->GenerateSweep(20, 20000), 1044002);
    ASSERT_EQ(audio->OpenOutputDevice(-1), 0);
    ASSERT_EQ(audio->StartPlayThread(), 1);
    audio->SetSweepPlaying(true);
  }
  void TearDown() override {
    audio.reset();  // stops the play thread and closes the output
    EXPECT_FALSE(sim->IsOutputOpen());
    EXPECT_EQ(sim->QueuedBuffers(), 0);
  }
  std::unique_ptr<CSimulatedAudioServices> sim;
  std::unique_ptr<CAudio> audio;
};

TEST_F(SimulatedPlayback, TheQueueStaysFullAndTheDeferredStopEndsEverything) {
  ASSERT_TRUE(WaitFor([&] { return sim->BuffersPlayed() > 500; }, 20000));
  EXPECT_GT(audio->Counters().sweepPos, 500 * 128 - 16384);
  ASSERT_TRUE(audio->ScheduleStopPlayback(20));
  ASSERT_TRUE(audio->WaitPlaybackStopped(5000));
  EXPECT_FALSE(audio->IsSweepPlaying());
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
  EXPECT_FALSE(sim->IsOutputOpen());
  for (const PlayHeader& header : CAudioProbe::PlayHeaders(*audio)) EXPECT_EQ(header.data, nullptr);
}

TEST_F(SimulatedPlayback, AStallDuringTheSweepEndsThePlayThreadInsteadOfSkippingAhead) {
  ASSERT_TRUE(WaitFor([&] { return sim->BuffersPlayed() > 200; }, 20000));
  EXPECT_TRUE(audio->Counters().outputStarted);
  const int64_t resets = sim->OutputResets();
  sim->SetOutputStalled(true);
  // A second of the devices' clock with the play position standing still: the thread ends, and
  // the deferred stop closes the output. The sweep is not played on from a later position.
  ASSERT_TRUE(WaitFor([&] { return !audio->IsOutputOpen(); }, 20000));
  EXPECT_TRUE(audio->Counters().outputStalled);
  ASSERT_TRUE(audio->WaitPlaybackStopped(5000));
  EXPECT_FALSE(CAudioProbe::PlayThreadAlive(*audio));
  // Only the close gave the buffers back: no queue was rebuilt.
  EXPECT_EQ(sim->OutputResets(), resets + 1);
  EXPECT_FALSE(sim->IsOutputOpen());
}

TEST_F(SimulatedPlayback, AStallDuringAReplayHasItsQueueRebuilt) {
  // A long replay takes the place of the sweep (its analysis follows what is queued, so the
  // queue may start again from buffer 0).
  constexpr int kSamples = 48000 * 60;
  LoadedSamples samples(static_cast<int16_t*>(std::malloc(kSamples * sizeof(int16_t))));
  ASSERT_NE(samples, nullptr);
  for (int i = 0; i < kSamples; ++i) samples[i] = static_cast<int16_t>(i % 2000);
  audio->LoadSamples(std::move(samples), kSamples);
  audio->SetFilePlaying(true);
  audio->SetSweepPlaying(false);
  ASSERT_TRUE(WaitFor([&] { return CAudioProbe::FilePlayPos(*audio).load() > 48000; }, 20000));
  const int64_t resets = sim->OutputResets();
  sim->SetOutputStalled(true);
  ASSERT_TRUE(WaitFor([&] { return sim->OutputResets() > resets; }, 20000));
  ASSERT_TRUE(WaitFor([&] { return sim->QueuedBuffers() == 128; }, 20000));
  const int64_t played = sim->BuffersPlayed();
  sim->SetOutputStalled(false);
  ASSERT_TRUE(WaitFor([&] { return sim->BuffersPlayed() > played + 256; }, 20000));
  EXPECT_TRUE(CAudioProbe::PlayThreadAlive(*audio));
  EXPECT_FALSE(audio->Counters().outputStalled);
  EXPECT_EQ(sim->QueueRefusals(), 0);
  audio->SetFilePlaying(false);
}

TEST_F(SimulatedPlayback, AnOutputThatHasNotStartedIsNotJudgedStalled) {
  // Paused, the output plays nothing and its position stands still far longer than the stall
  // limit: it has not started, so nothing is rebuilt and nothing ends.
  ASSERT_TRUE(WaitFor([&] { return sim->BuffersPlayed() > 50; }, 20000));
  audio->SetSweepPlaying(false);
  audio->StopPlayThread();                        // closes the output
  ASSERT_TRUE(audio->WaitPlaybackStopped(5000));  // and the deferred stop of its end has run
  ASSERT_EQ(audio->OpenOutputDevice(-1), 0);
  ASSERT_EQ(audio->PauseOutputDevice(), 0);
  ASSERT_EQ(audio->StartPlayThread(), 1);
  audio->SetSweepPlaying(true);
  ASSERT_TRUE(WaitFor([&] { return sim->QueuedBuffers() == 128; }, 20000));
  const int64_t resets = sim->OutputResets();
  const int64_t played = sim->BuffersPlayed();
  const uint32_t until = sim->MilliSeconds() + 3 * kOutputStallMs;
  ASSERT_TRUE(WaitFor([&] { return sim->MilliSeconds() > until; }, 20000));
  EXPECT_FALSE(audio->Counters().outputStarted);
  EXPECT_EQ(sim->OutputResets(), resets);
  EXPECT_TRUE(audio->IsOutputOpen());
  EXPECT_EQ(sim->BuffersPlayed(), played);
  // Let go, it plays the sweep from its start.
  ASSERT_EQ(audio->RestartOutputDevice(), 0);
  ASSERT_TRUE(WaitFor([&] { return audio->Counters().outputStarted == 1; }, 20000));
  ASSERT_TRUE(WaitFor([&] { return sim->BuffersPlayed() > played + 10; }, 20000));
}

TEST_F(SimulatedPlayback, ARefusedBufferEndsThePlayThreadAndClosesTheOutput) {
  ASSERT_TRUE(WaitFor([&] { return sim->BuffersPlayed() > 100; }, 20000));
  sim->SetRefuseBuffers(true);
  // The thread ends; 100 ms later the deferred stop closes the output.
  ASSERT_TRUE(WaitFor([&] { return !audio->IsOutputOpen(); }, 10000));
  ASSERT_TRUE(audio->WaitPlaybackStopped(5000));
  EXPECT_GT(sim->QueueRefusals(), 0);
  EXPECT_FALSE(CAudioProbe::PlayThreadAlive(*audio));
  EXPECT_FALSE(audio->IsPlayThreadRunning());
  EXPECT_FALSE(audio->IsSweepPlaying());
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
  EXPECT_FALSE(sim->IsOutputOpen());
}

TEST_F(SimulatedPlayback, StoppingThePlayThreadDirectlyClosesTheOutputToo) {
  ASSERT_TRUE(WaitFor([&] { return sim->BuffersPlayed() > 50; }, 20000));
  audio->SetSweepPlaying(false);
  audio->StopPlayThread();
  EXPECT_FALSE(audio->IsPlayThreadRunning());
  EXPECT_FALSE(audio->IsOutputOpen());
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
  EXPECT_FALSE(sim->IsOutputOpen());
}

}  // namespace

}  // namespace quorvel
