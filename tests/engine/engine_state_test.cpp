// The engine's state: a fresh engine, what ResetAnalysis clears and what it leaves alone, and
// the destructor's ownership of a loaded file's samples.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/audio_engine.h"
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

bool FilterStateIsClear() {
  for (const auto& filter : g_filterState) {
    for (const auto& section : filter) {
      if (section[0] != 0.0 || section[1] != 0.0) return false;
    }
  }
  return true;
}

// Analysis on, silence, burst until found, then some more frames: every piece of analysis
// state is in use.
void RunPastTheSync(CAudio& audio) {
  audio.m_sweepPlaying.store(1);
  PushSilence(audio, 24000);
  PushBurstUntilSynced(audio);
  ASSERT_EQ(audio.m_synced.load(), 1);
  for (int i = 0; i < 60 * 960 + 17; ++i) {
    const int32_t v = To32(audio.m_syncBurst[i % CAudio::kBurstLength]);
    audio.PushFrame(v, -v);
  }
  audio.m_sweepPlaying.store(0);
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
  audio.m_sweepPlaying.store(1);
  PushSilence(audio, 24000);
  engine_test::PushSignal(audio, audio.m_sweep, 0, audio.m_sweepLength);
  audio.m_sweepPlaying.store(0);
  Analysis result;
  result.points = listener.Points();
  result.recordCount = audio.m_recordCount.load();
  result.recordStart = audio.m_recordStart.load();
  result.record.assign(audio.m_record, audio.m_record + audio.m_recordWrite);
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
  audio->m_captureResult.store(-5);
  audio->m_capturedCount.store(4321);
  ASSERT_GT(audio->m_blocksSinceSync, 48);
  ASSERT_FALSE(FilterStateIsClear());

  audio->ResetAnalysis();

  EXPECT_EQ(audio->m_captureResult.load(), 0);
  EXPECT_EQ(audio->m_blockFill.load(), 0);
  EXPECT_EQ(audio->m_ringWrite, 0);
  EXPECT_EQ(audio->m_capturedCount.load(), 0);
  EXPECT_EQ(audio->m_recordCount.load(), 0);
  EXPECT_EQ(audio->m_recordWrite, 0);
  EXPECT_EQ(audio->m_recordStart.load(), 0);
  EXPECT_EQ(CountNonZero(audio->m_record, CAudio::kRecordSize), 0);
  EXPECT_EQ(audio->m_peakLeft.load(), 0);
  EXPECT_EQ(audio->m_peakRight.load(), 0);
  EXPECT_EQ(CountNonZero(audio->m_ringLeft, CAudio::kRingSize), 0);
  EXPECT_EQ(CountNonZero(audio->m_ringRight, CAudio::kRingSize), 0);
  EXPECT_TRUE(FilterStateIsClear());
  for (double envelope : audio->m_bandEnvelope) EXPECT_EQ(envelope, 0.0);
  EXPECT_EQ(audio->m_noiseFloor, 0.0);
  EXPECT_EQ(audio->m_syncThreshold, 0.0);
  EXPECT_EQ(audio->m_noiseCount, 0);
  EXPECT_EQ(audio->m_synced.load(), 0);
  EXPECT_EQ(audio->m_blocksSinceSync, 0);
}

TEST(EngineStateTest, ResetAnalysisLeavesSweepPlaybackAndDevicesAlone) {
  auto audio = std::make_unique<CAudio>();
  const int length = audio->GenerateSweep(20.0, 20000.0);
  ASSERT_NO_FATAL_FAILURE(RunPastTheSync(*audio));
  std::strcpy(audio->m_inputNames[0], "Microphone");
  std::strcpy(audio->m_outputNames[1], "Speakers");
  std::strcpy(audio->m_inputName, "Microphone");
  std::strcpy(audio->m_outputName, "Speakers");
  audio->m_inputCount = 1;
  audio->m_outputCount = 2;
  audio->m_inputIndex = 0;
  audio->m_outputDeviceId = 1;
  audio->m_hWaveOut.store(1);
  audio->m_waveOutOpened.store(1);
  audio->m_captureOpen = 1;
  audio->m_captureRate = 48000;
  audio->m_sweepPos.store(777);
  audio->m_inputGain.store(2.0);
  auto sweepCopy = std::make_unique<int16_t[]>(CAudio::kSweepCapacity);
  std::memcpy(sweepCopy.get(), audio->m_sweep, sizeof(audio->m_sweep));

  audio->ResetAnalysis();

  EXPECT_EQ(audio->m_sweepLength, length);
  EXPECT_EQ(std::memcmp(sweepCopy.get(), audio->m_sweep, sizeof(audio->m_sweep)), 0);
  EXPECT_EQ(audio->m_sweepPos.load(), 777);
  EXPECT_STREQ(audio->m_inputNames[0], "Microphone");
  EXPECT_STREQ(audio->m_outputNames[1], "Speakers");
  EXPECT_STREQ(audio->m_inputName, "Microphone");
  EXPECT_STREQ(audio->m_outputName, "Speakers");
  EXPECT_EQ(audio->m_inputCount, 1);
  EXPECT_EQ(audio->m_outputCount, 2);
  EXPECT_EQ(audio->m_inputIndex, 0);
  EXPECT_EQ(audio->m_outputDeviceId, 1);
  EXPECT_EQ(audio->m_hWaveOut.load(), 1);
  EXPECT_EQ(audio->m_waveOutOpened.load(), 1);
  EXPECT_EQ(audio->m_captureOpen, 1);
  EXPECT_EQ(audio->m_captureRate, 48000);
  EXPECT_EQ(audio->m_inputGain.load(), 2.0);
  EXPECT_EQ(audio->m_sampleRate, 48000);
}

TEST(EngineStateTest, AfterAResetNoBurstIsFoundForTheNext16000DetectorSamples) {
  auto audio = std::make_unique<CAudio>();
  ASSERT_GT(audio->GenerateSweep(20.0, 20000.0), 0);
  ASSERT_NO_FATAL_FAILURE(RunPastTheSync(*audio));
  audio->ResetAnalysis();
  audio->m_sweepPlaying.store(1);
  // The burst at once, without the silence that would let the floor be measured first.
  for (int i = 0; i < 16000; ++i) {
    const int32_t v = To32(audio->m_syncBurst[i]);
    audio->PushFrame(v, v);
  }
  EXPECT_EQ(audio->m_synced.load(), 0);
  EXPECT_EQ(audio->m_syncThreshold, 0.0);
  EXPECT_EQ(audio->m_noiseCount, 16 * 960);
}

TEST(EngineStateTest, ResetWithoutACaptureThreadIsDoneAtOnce) {
  auto audio = std::make_unique<CAudio>();
  audio->PushFrame(100 * 65536, 0);
  audio->ServiceResetRequest();  // no request: nothing happens
  EXPECT_EQ(audio->m_recordWrite, 1);
  audio->ResetAnalysis();
  EXPECT_EQ(audio->m_recordWrite, 0);
  EXPECT_EQ(audio->m_record[0], 0);
  EXPECT_EQ(audio->m_resetRequested.load(), 0);
}

TEST(EngineStateTest, ResetHandedToACaptureThreadThatNeverAnswersIsDoneAfterTheWait) {
  // The run flag says a capture thread runs, but none polls: after its bounded wait
  // ResetAnalysis withdraws the request and resets itself.
  auto audio = std::make_unique<CAudio>();
  audio->PushFrame(100 * 65536, 0);
  audio->m_capturing.store(1);
  audio->ResetAnalysis();
  EXPECT_EQ(audio->m_resetRequested.load(), 0);
  EXPECT_EQ(audio->m_recordWrite, 0);
  EXPECT_EQ(audio->m_record[0], 0);
  // A late poll finds nothing to do.
  audio->PushFrame(7 * 65536, 0);
  audio->ServiceResetRequest();
  EXPECT_EQ(audio->m_recordWrite, 1);
  audio->m_capturing.store(0);
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
  audio->m_fileSamples = samples;
  audio->m_fileSampleCount.store(static_cast<int32_t>(kBlockBytes / 2));

  const size_t before = AllocatedBytes();
  audio->~CAudio();
  const size_t after = AllocatedBytes();
  ::operator delete(storage);
  ASSERT_GE(before, after + kBlockBytes);
}

}  // namespace

}  // namespace quorvel
