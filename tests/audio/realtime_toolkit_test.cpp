// The real-time toolkit between the audio services' threads and the engine's capture and play
// threads: the frame ring, the header queue and the auto-reset event, each alone and with a
// second thread on the other side.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "audio/audio_services.h"
#include "audio/auto_reset_event.h"
#include "audio/spsc_ring.h"

namespace quorvel {

namespace {

using std::chrono::milliseconds;

// Frame n of a test signal: left n, right -n.
void MakeFrames(uint32_t first, uint32_t count, std::vector<int32_t>* frames) {
  frames->resize(static_cast<size_t>(count) * 2);
  for (uint32_t i = 0; i < count; ++i) {
    (*frames)[2 * i] = static_cast<int32_t>(first + i);
    (*frames)[2 * i + 1] = -static_cast<int32_t>(first + i);
  }
}

// ---- frame ring ----

// Frames written and consumed on a small ring, then what the consumer finds in place.
struct RingCase {
  const char* name;
  uint32_t capacity;
  uint32_t write1;    // frames 0.. written first
  uint32_t consume1;  // then consumed
  uint32_t write2;    // then the next frames written (nullptr data: silence)
  bool silence2;
  uint32_t stored2;     // frames the second write stores
  uint32_t readable;    // then readable
  uint32_t contiguous;  // of which in place up to the end of the storage
  int32_t firstLeft;    // left sample of the first readable frame
};

TEST(FrameRing, StoresWhatFitsAndReadsInPlaceUpToTheEndOfTheStorage) {
  const RingCase cases[] = {
      // 5 consumed of 6: three more reach the end of the storage, two wrap to its start
      {"wrap", 8, 6, 5, 5, false, 5, 6, 3, 5},
      // a full ring stores what fits
      {"full", 4, 4, 0, 3, false, 0, 4, 4, 0},
      {"after a consume", 4, 4, 2, 3, false, 2, 4, 2, 2},
      {"silence", 4, 4, 2, 3, true, 2, 4, 2, 2},
  };
  for (const RingCase& c : cases) {
    SCOPED_TRACE(c.name);
    CFrameRing ring(c.capacity);
    std::vector<int32_t> frames;
    MakeFrames(0, c.write1, &frames);
    ASSERT_EQ(ring.Write(frames.data(), c.write1), c.write1);
    ring.Consume(c.consume1);
    MakeFrames(c.write1, c.write2, &frames);
    EXPECT_EQ(ring.Write(c.silence2 ? nullptr : frames.data(), c.write2), c.stored2);
    EXPECT_EQ(ring.FreeFrames(), c.capacity - c.readable);
    EXPECT_EQ(ring.ReadableFrames(), c.readable);
    ASSERT_EQ(ring.ReadableContiguous(), c.contiguous);
    EXPECT_EQ(ring.ReadPointer()[0], c.firstLeft);
    EXPECT_EQ(ring.ReadPointer()[1], -c.firstLeft);
    EXPECT_EQ(ring.Written(), c.write1 + c.stored2);
    EXPECT_EQ(ring.Consumed(), c.consume1);
    // The rest of what is readable, after the end of the storage.
    ring.Consume(c.contiguous);
    const uint32_t rest = c.readable - c.contiguous;
    ASSERT_EQ(ring.ReadableContiguous(), rest);
    for (uint32_t i = 0; i < rest; ++i) {
      const auto expected = static_cast<int32_t>(c.silence2 ? 0 : c.firstLeft + c.contiguous + i);
      EXPECT_EQ(ring.ReadPointer()[2 * i], expected) << i;
    }
  }
}

// A producer writing in uneven pieces and a consumer reading in place, at the same time: every
// frame arrives once, in order.
TEST(FrameRing, AProducerAndAConsumerThreadPassEveryFrameInOrder) {
  constexpr uint32_t kTotal = 400000;  // [frames]
  CFrameRing ring(1024);
  std::thread producer([&ring] {
    std::vector<int32_t> frames;
    uint32_t next = 0;
    uint32_t piece = 1;
    while (next < kTotal) {
      const uint32_t count = std::min(piece, kTotal - next);
      MakeFrames(next, count, &frames);
      next += ring.Write(frames.data(), count);
      piece = piece % 700 + 113;
      if (ring.FreeFrames() == 0) std::this_thread::yield();
    }
  });
  uint32_t expected = 0;
  bool inOrder = true;
  while (expected < kTotal) {
    const uint32_t count = ring.ReadableContiguous();
    if (count == 0) {
      std::this_thread::yield();
      continue;
    }
    const int32_t* frames = ring.ReadPointer();
    for (uint32_t i = 0; i < count; ++i) {
      if (frames[2 * i] != static_cast<int32_t>(expected) ||
          frames[2 * i + 1] != -static_cast<int32_t>(expected)) {
        inOrder = false;
      }
      ++expected;
    }
    ring.Consume(count);
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(ring.ReadableFrames(), 0u);
}

// ---- header queue ----

TEST(HeaderQueue, HoldsTwoHundredFiftySixHeadersInOrder) {
  CHeaderQueue queue;
  std::vector<PlayHeader> headers(CHeaderQueue::kCapacity + 1);
  for (uint32_t i = 0; i < CHeaderQueue::kCapacity; ++i) ASSERT_TRUE(queue.Push(&headers[i]));
  EXPECT_FALSE(queue.Push(&headers.back()));
  for (uint32_t i = 0; i < CHeaderQueue::kCapacity; ++i) ASSERT_EQ(queue.Pop(), &headers[i]);
  EXPECT_EQ(queue.Pop(), nullptr);
}

TEST(HeaderQueue, APlayThreadAndAnOutputThreadPassEveryHeaderOnce) {
  constexpr int kRounds = 20000;
  CHeaderQueue queue;
  std::vector<PlayHeader> headers(128);
  std::atomic<long> popped{0};
  std::vector<int> seen(headers.size(), 0);
  std::thread consumer([&] {
    size_t expected = 0;
    while (popped.load() < kRounds) {
      PlayHeader* header = queue.Pop();
      if (header == nullptr) {
        std::this_thread::yield();
        continue;
      }
      // Headers come out in the order they went in.
      if (header == &headers[expected]) ++seen[expected];
      expected = (expected + 1) % headers.size();
      popped.fetch_add(1);
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    while (!queue.Push(&headers[static_cast<size_t>(i) % headers.size()])) {
      std::this_thread::yield();
    }
  }
  consumer.join();
  long total = 0;
  for (int count : seen) total += count;
  EXPECT_EQ(total, kRounds);
}

// ---- auto-reset event ----

TEST(AutoResetEvent, LetsOneWaitThroughPerSignalGivenBeforeIt) {
  struct Case {
    const char* name;
    int signals;  // given before the waits
    bool clear;   // then dropped
    bool firstWait;
    bool secondWait;
  };
  const Case cases[] = {
      {"none", 0, false, false, false},
      {"one", 1, false, true, false},
      {"three count as one", 3, false, true, false},
      {"cleared", 2, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAutoResetEvent event;
    for (int i = 0; i < c.signals; ++i) event.Signal();
    if (c.clear) event.Clear();
    EXPECT_EQ(event.Wait(milliseconds(1)), c.firstWait);
    EXPECT_EQ(event.Wait(milliseconds(1)), c.secondWait);
    // A timed-out wait leaves the event usable.
    event.Signal();
    EXPECT_TRUE(event.Wait(milliseconds(1)));
  }
}

// Two threads hand a turn back and forth through two events: a signal given while the other
// side sleeps, or just before it goes to sleep, always wakes it (none is lost).
TEST(AutoResetEvent, TwoThreadsPassATurnBackAndForthWithoutLosingAWakeUp) {
  constexpr int kRounds = 20000;
  CAutoResetEvent ping;
  CAutoResetEvent pong;
  std::atomic<int> missed{0};
  int turns = 0;  // written by both sides in turn: the events order the writes
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (!ping.Wait(milliseconds(10000))) missed.fetch_add(1);
      ++turns;
      pong.Signal();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    ping.Signal();
    if (!pong.Wait(milliseconds(10000))) missed.fetch_add(1);
    ++turns;
  }
  other.join();
  EXPECT_EQ(missed.load(), 0);
  EXPECT_EQ(turns, 2 * kRounds);
}

}  // namespace

}  // namespace quorvel
