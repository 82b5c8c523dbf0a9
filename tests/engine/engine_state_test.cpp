// The engine's state: a fresh engine, what ResetAnalysis clears and what it leaves alone, and
// the destructor's ownership of a loaded file's samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/audio_engine.h"
#include "tests/engine/engine_probe.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/scripted_services.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUORVEL_TEST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVEL_TEST_SANITIZED 1
#endif

#ifdef QUORVEL_TEST_SANITIZED
// Provided by the sanitizer runtimes (declared here: not every compiler ships its header).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace quorvel {

namespace {

// Bytes the heap currently hands out (small blocks; large ones are mapped separately).
size_t AllocatedBytes() {
#ifdef QUORVEL_TEST_SANITIZED
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

using engine_test::CollectingListener;
using engine_test::PushBurstUntilSynced;
using engine_test::PushSilence;
using engine_test::To32;

int CountNonZero(const int16_t* data, int n) {
  int count = 0;
  for (int i = 0; i < n; ++i) count += data[i] != 0;
  return count;
}

int CountNonZero(const int32_t* data, int n) {
  int count = 0;
  for (int i = 0; i < n; ++i) count += data[i] != 0;
  return count;
}

bool FilterStateIsClear(const CAudio& audio) {
  for (const auto& filter : CAudioProbe::BandFilterState(audio)) {
    for (const auto& section : filter) {
      if (section[0] != 0.0 || section[1] != 0.0) return false;
    }
  }
  return true;
}

// Analysis on, silence, burst until found, then some more frames: every piece of analysis
// state is in use.
void RunPastTheSync(CAudio& audio) {
  audio.SetSweepPlaying(true);
  PushSilence(audio, 24000);
  PushBurstUntilSynced(audio);
  ASSERT_TRUE(audio.Counters().synced);
  for (int i = 0; i < 60 * 960 + 17; ++i) {
    const int32_t v = To32(audio.SyncBurst()[i % CAudio::kBurstLength]);
    audio.PushFrame(v, -v);
  }
  audio.SetSweepPlaying(false);
}

// What the analysis makes of a signal: the curve points and the recording it keeps.
struct Analysis {
  std::vector<double> points;
  int32_t recordCount = 0;
  int32_t recordStart = 0;
  std::vector<int16_t> record;
};

// Half a second of silence, then the playback signal, as a perfect loopback would capture it.
Analysis AnalyseTheSweep(CAudio& audio, CollectingListener& listener) {
  audio.SetSweepPlaying(true);
  PushSilence(audio, 24000);
  engine_test::PushSignal(audio, audio.Sweep().data(), 0, static_cast<int>(audio.Sweep().size()));
  audio.SetSweepPlaying(false);
  Analysis result;
  result.points = listener.Points();
  result.recordCount = audio.Counters().recordCount;
  result.recordStart = CAudioProbe::RecordStart(audio);
  const int16_t* track = CAudioProbe::RecordTrack(audio);
  result.record.assign(track, track + CAudioProbe::RecordWrite(audio));
  return result;
}

TEST(EngineStateTest, AFreshEngineAnalysesExactlyLikeOneJustReset) {
  CollectingListener freshListener;
  auto fresh = std::make_unique<CAudio>(nullptr, &freshListener);
  ASSERT_GT(fresh->GenerateSweep(20.0, 20000.0), 0);
  const Analysis first = AnalyseTheSweep(*fresh, freshListener);
  ASSERT_GE(first.points.size(), 1001u);

  CollectingListener usedListener;
  auto used = std::make_unique<CAudio>(nullptr, &usedListener);
  ASSERT_GT(used->GenerateSweep(20.0, 20000.0), 0);
  ASSERT_NO_FATAL_FAILURE(RunPastTheSync(*used));
  used->ResetAnalysis();
  CollectingListener resetListener;
  used->SetCurveListener(&resetListener);
  const Analysis second = AnalyseTheSweep(*used, resetListener);

  EXPECT_EQ(first.points, second.points);
  EXPECT_EQ(first.recordCount, second.recordCount);
  EXPECT_EQ(first.recordStart, second.recordStart);
  EXPECT_TRUE(first.record == second.record);
}

TEST(EngineStateTest, AFreshEngineHasNothingOpenToStopOrClose) {
  CScriptedServices services;
  auto audio = std::make_unique<CAudio>(&services);
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
  EXPECT_TRUE(audio->WaitPlaybackStopped(0));
  audio->StopCapture();
  audio->ReleaseCapture();
  audio->StopPlayThread();
  EXPECT_EQ(audio->CloseOutputDevice(), 1);
  audio->StopPlaybackTimerProc();
  EXPECT_EQ(services.closeCalls.load(), 0);
  EXPECT_EQ(services.resetEntered.load(), 0);
  EXPECT_EQ(services.queued.load(), 0);
  // Nothing was loaded: a replay has nothing to play.
  EXPECT_FALSE(audio->EndReplayPlayback());
  EXPECT_EQ(audio->StartPlayThread(), 0);  // no output is open
  EXPECT_EQ(audio->DeviceThreadCount(), 0);
}

TEST(EngineStateTest, ResetAnalysisClearsEveryPieceOfAnalysisState) {
  CollectingListener listener;
  auto audio = std::make_unique<CAudio>(nullptr, &listener);
  ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
  ASSERT_NO_FATAL_FAILURE(RunPastTheSync(*audio));
  CAudioProbe::CaptureResult(*audio).store(-5);
  audio->TakeRecordingAsCapture();
  ASSERT_GT(audio->Counters().capturedCount, 0);
  ASSERT_GT(CAudioProbe::BlocksSinceSync(*audio), 48);
  ASSERT_FALSE(FilterStateIsClear(*audio));

  audio->ResetAnalysis();

  EXPECT_EQ(audio->Counters().captureResult, 0);
  EXPECT_EQ(CAudioProbe::BlockFill(*audio).load(), 0);
  EXPECT_EQ(CAudioProbe::RingWrite(*audio), 0);
  EXPECT_EQ(audio->Counters().capturedCount, 0);
  EXPECT_EQ(audio->Counters().recordCount, 0);
  EXPECT_EQ(CAudioProbe::RecordWrite(*audio), 0);
  EXPECT_EQ(CAudioProbe::RecordStart(*audio), 0);
  EXPECT_EQ(CountNonZero(CAudioProbe::RecordTrack(*audio), CAudio::kRecordSize), 0);
  EXPECT_EQ(audio->Counters().peakLeft, 0);
  EXPECT_EQ(audio->Counters().peakRight, 0);
  EXPECT_EQ(CountNonZero(CAudioProbe::RingLeft(*audio), CAudio::kRingSize), 0);
  EXPECT_EQ(CountNonZero(CAudioProbe::RingRight(*audio), CAudio::kRingSize), 0);
  EXPECT_TRUE(FilterStateIsClear(*audio));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(CAudioProbe::BandEnvelope(*audio)[k], 0.0);
  EXPECT_EQ(CAudioProbe::NoiseFloor(*audio), 0.0);
  EXPECT_EQ(CAudioProbe::SyncThreshold(*audio), 0.0);
  EXPECT_EQ(CAudioProbe::NoiseCount(*audio), 0);
  EXPECT_FALSE(audio->Counters().synced);
  EXPECT_EQ(CAudioProbe::BlocksSinceSync(*audio), 0);
}

TEST(EngineStateTest, ResetAnalysisLeavesSweepPlaybackAndDevicesAlone) {
  CScriptedServices services;
  services.captureNames = {"Microphone"};
  services.productNames = {"Speakers"};
  auto audio = std::make_unique<CAudio>(&services);
  ASSERT_EQ(audio->EnumerateInputDevices(nullptr), 0);
  ASSERT_EQ(audio->EnumerateOutputDevices(), 2);
  ASSERT_EQ(audio->OpenInputDevice(0), 0);
  audio->ChooseInput(0, "Microphone");
  ASSERT_EQ(audio->OpenNamedOutput(0, "Speakers"), 0);
  audio->SetInputGain(2.0);
  ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
  ASSERT_NO_FATAL_FAILURE(RunPastTheSync(*audio));
  CAudioProbe::SweepPos(*audio).store(777);
  const std::vector<int16_t> sweep(audio->Sweep().begin(), audio->Sweep().end());

  audio->ResetAnalysis();

  EXPECT_TRUE(std::ranges::equal(audio->Sweep(), sweep));
  EXPECT_EQ(audio->Counters().sweepPos, 777);
  EXPECT_STREQ(audio->InputName(0), "Microphone");
  EXPECT_STREQ(audio->OutputName(0), "Speakers");
  EXPECT_STREQ(audio->ChosenInputName(), "Microphone");
  EXPECT_STREQ(audio->ChosenOutputName(), "Speakers");
  EXPECT_EQ(audio->InputCount(), 1);
  EXPECT_EQ(audio->OutputCount(), 2);
  EXPECT_EQ(audio->ChosenInput(), 0);
  EXPECT_TRUE(audio->IsOutputOpen());
  EXPECT_TRUE(CAudioProbe::OutputOpenNoticed(*audio));
  EXPECT_TRUE(CAudioProbe::InputOpen(*audio));
  EXPECT_EQ(CAudioProbe::CaptureRate(*audio), 48000);
  EXPECT_EQ(audio->InputGain(), 2.0);
  EXPECT_EQ(CAudioProbe::SampleRate(*audio), 48000);
}

TEST(EngineStateTest, AfterAResetNoBurstIsFoundForTheNext16000DetectorSamples) {
  auto audio = std::make_unique<CAudio>();
  ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
  ASSERT_NO_FATAL_FAILURE(RunPastTheSync(*audio));
  audio->ResetAnalysis();
  audio->SetSweepPlaying(true);
  // The burst at once, without the silence that would let the floor be measured first.
  for (int i = 0; i < 16000; ++i) {
    const int32_t v = To32(audio->SyncBurst()[i]);
    audio->PushFrame(v, v);
  }
  EXPECT_FALSE(audio->Counters().synced);
  EXPECT_EQ(CAudioProbe::SyncThreshold(*audio), 0.0);
  EXPECT_EQ(CAudioProbe::NoiseCount(*audio), 16 * 960);
}

TEST(EngineStateTest, ResetWithoutACaptureThreadIsDoneAtOnce) {
  auto audio = std::make_unique<CAudio>();
  audio->PushFrame(100 * 65536, 0);
  audio->ServiceResetRequest();  // no request: nothing happens
  EXPECT_EQ(CAudioProbe::RecordWrite(*audio), 1);
  audio->ResetAnalysis();
  EXPECT_EQ(CAudioProbe::RecordWrite(*audio), 0);
  EXPECT_EQ(CAudioProbe::RecordTrack(*audio)[0], 0);
  EXPECT_EQ(CAudioProbe::ResetRequested(*audio), 0);
}

TEST(EngineStateTest, ResetHandedToACaptureThreadThatNeverAnswersIsDoneAfterTheWait) {
  // The run flag says a capture thread runs, but none polls: after its bounded wait
  // ResetAnalysis withdraws the request and resets itself.
  auto audio = std::make_unique<CAudio>();
  audio->PushFrame(100 * 65536, 0);
  CAudioProbe::Capturing(*audio).store(1);
  audio->ResetAnalysis();
  EXPECT_EQ(CAudioProbe::ResetRequested(*audio), 0);
  EXPECT_EQ(CAudioProbe::RecordWrite(*audio), 0);
  EXPECT_EQ(CAudioProbe::RecordTrack(*audio)[0], 0);
  // A late poll finds nothing to do.
  audio->PushFrame(7 * 65536, 0);
  audio->ServiceResetRequest();
  EXPECT_EQ(CAudioProbe::RecordWrite(*audio), 1);
  CAudioProbe::Capturing(*audio).store(0);
}

TEST(EngineStateTest, DestructorFreesTheLoadedFilesSamples) {
  // The engine lives in storage of its own so that the only block the destructor can free is
  // the samples' block (grown with realloc, as the WAV sample reader does).
  void* storage = ::operator new(sizeof(CAudio));
  auto* audio = new (storage) CAudio();
  constexpr size_t kBlockBytes = 60000;
  auto* samples = static_cast<int16_t*>(std::malloc(kBlockBytes / 2));
  ASSERT_NE(samples, nullptr);
  samples = static_cast<int16_t*>(std::realloc(samples, kBlockBytes));
  ASSERT_NE(samples, nullptr);
  samples[kBlockBytes / 2 - 1] = 1;
  audio->LoadSamples(LoadedSamples(samples), static_cast<int32_t>(kBlockBytes / 2));

  const size_t before = AllocatedBytes();
  audio->~CAudio();
  const size_t after = AllocatedBytes();
  ::operator delete(storage);
  ASSERT_GE(before, after + kBlockBytes);
}

}  // namespace

}  // namespace quorvel
