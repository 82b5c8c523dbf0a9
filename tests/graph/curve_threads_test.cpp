// The curve store fed from a real analysing thread while the user-interface side reads it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "base/shared_state.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

// level of point k in the test pattern: every value distinct and above -90 dB
double PatternLevel(int k) {
  return -80.0 + 0.0625 * k;
}

TEST(CurveThreads, CompletionArrivesOnceFromTheAnalysingThreadWithoutWaiting) {
  CSharedState shared;
  std::atomic<int32_t> recordCount{1234567};  // the engine's counters
  std::atomic<int32_t> capturedCount{0};
  CGraphical graph(shared);

  std::atomic<bool> analysisDone{false};
  std::thread analysis([&] {
    // a few blocks more than the curve holds, as a capture that runs on does; at the end of
    // the curve the engine fixes the recording's length before the curve store says so
    for (int k = 0; k < 1010; ++k) {
      if (graph.AddPoint(PatternLevel(k))) {
        capturedCount.store(recordCount.load(), std::memory_order_release);
        graph.CurveEnded();
      }
    }
    analysisDone.store(true, std::memory_order_release);
  });

  // the user-interface side paints meanwhile: every counted point must be whole, and once it
  // sees the completion the captured length is already in place
  int torn = 0;
  int paints = 0;
  int32_t capturedAtNotice = -1;
  while (!analysisDone.load(std::memory_order_acquire) || paints == 0) {
    if (capturedAtNotice < 0 && graph.m_curvesCompleted.load(std::memory_order_acquire) != 0) {
      capturedAtNotice = capturedCount.load(std::memory_order_acquire);
    }
    const int32_t count = graph.m_count.load(std::memory_order_acquire);
    for (int k = 0; k < count && k <= CGraphical::kLastPoint; ++k) {
      if (graph.m_points[k].load(std::memory_order_relaxed) != PatternLevel(k)) ++torn;
    }
    graph.UpdateHasCurve();
    ++paints;
  }
  analysis.join();  // the analysing thread ended by itself: it never waited for an answer
  if (capturedAtNotice < 0) capturedAtNotice = capturedCount.load();

  EXPECT_EQ(torn, 0);
  EXPECT_EQ(graph.m_count.load(), 1001);
  EXPECT_EQ(graph.m_pointsAdded.load(), 1001u);
  EXPECT_EQ(graph.m_curvesCompleted.load(), 1u);
  EXPECT_EQ(capturedAtNotice, 1234567);
  EXPECT_EQ(capturedCount.load(), 1234567);
  EXPECT_EQ(shared.m_bCurveEndNotified.load(), 1);
}

TEST(CurveThreads, CompletionIsReportedOnceEvenWhenTwoThreadsRace) {
  // a replay and a capture should never feed the curve together, but if they did the notice
  // still arrives only once
  CSharedState shared;
  CGraphical graph(shared);
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(PatternLevel(k));
  const auto feed = [&] {
    for (int i = 0; i < 500; ++i) {
      if (graph.AddPoint(-1.0)) graph.CurveEnded();
    }
  };
  std::thread a(feed);
  std::thread b(feed);
  a.join();
  b.join();
  EXPECT_EQ(graph.m_curvesCompleted.load(), 1u);
  EXPECT_EQ(graph.m_count.load(), 1001);
}

}  // namespace

}  // namespace quorvel
