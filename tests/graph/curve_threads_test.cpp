// The curve store fed from a real analysing thread while the user-interface side reads it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "base/shared_state.h"
#include "engine/audio_engine.h"
#include "graph/curve_events.h"
#include "graph/graphical.h"

namespace {

// What quorvel-cli and the measurement sequence do: atomics set on the analysing thread.
class AtomicEvents : public ICurveEvents {
 public:
  explicit AtomicEvents(CAudio* audio) : m_audio(audio) {}
  void OnPointAdded() override { m_points.fetch_add(1, std::memory_order_relaxed); }
  void OnCurveComplete() override {
    // the captured length must already be in place when the notice arrives
    m_capturedAtNotice.store(m_audio->m_capturedCount.load(std::memory_order_acquire));
    m_completions.fetch_add(1, std::memory_order_release);
  }
  CAudio* m_audio;
  std::atomic<int> m_points{0};
  std::atomic<int> m_completions{0};
  std::atomic<int32_t> m_capturedAtNotice{-1};
};

// level of point k in the test pattern: every value distinct and above -90 dB
double PatternLevel(int k) {
  return -80.0 + 0.0625 * k;
}

TEST(CurveThreads, CompletionArrivesOnceFromTheAnalysingThreadWithoutWaiting) {
  CSharedState shared;
  auto audio = std::make_unique<CAudio>();
  audio->m_recordCount.store(1234567);
  audio->m_capturedCount.store(0);
  AtomicEvents events(audio.get());
  CGraphical graph(shared, audio.get(), &events);

  std::atomic<bool> analysisDone{false};
  std::thread analysis([&] {
    // a few blocks more than the curve holds, as a capture that runs on does
    for (int k = 0; k < 1010; ++k) graph.AddPoint(PatternLevel(k));
    analysisDone.store(true, std::memory_order_release);
  });

  // the user-interface side paints meanwhile: every counted point must be whole
  int torn = 0;
  int paints = 0;
  while (!analysisDone.load(std::memory_order_acquire) || paints == 0) {
    const int32_t count = graph.m_count.load(std::memory_order_acquire);
    for (int k = 0; k < count && k <= CGraphical::kLastPoint; ++k) {
      if (graph.m_points[k].load(std::memory_order_relaxed) != PatternLevel(k)) ++torn;
    }
    graph.UpdateHasCurve();
    ++paints;
  }
  analysis.join();  // the analysing thread ended by itself: it never waited for an answer

  EXPECT_EQ(torn, 0);
  EXPECT_EQ(graph.m_count.load(), 1001);
  EXPECT_EQ(events.m_points.load(), 1001);
  EXPECT_EQ(events.m_completions.load(), 1);
  EXPECT_EQ(events.m_capturedAtNotice.load(), 1234567);
  EXPECT_EQ(audio->m_capturedCount.load(), 1234567);
  EXPECT_EQ(shared.m_bCurveEndNotified.load(), 1);
}

TEST(CurveThreads, CompletionIsReportedOnceEvenWhenTwoThreadsRace) {
  // a replay and a capture should never feed the curve together, but if they did the notice
  // still arrives only once
  CSharedState shared;
  auto audio = std::make_unique<CAudio>();
  AtomicEvents events(audio.get());
  CGraphical graph(shared, audio.get(), &events);
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(PatternLevel(k));
  std::thread a([&] {
    for (int i = 0; i < 500; ++i) graph.AddPoint(-1.0);
  });
  std::thread b([&] {
    for (int i = 0; i < 500; ++i) graph.AddPoint(-1.0);
  });
  a.join();
  b.join();
  EXPECT_EQ(events.m_completions.load(), 1);
  EXPECT_EQ(graph.m_count.load(), 1001);
}

}  // namespace
