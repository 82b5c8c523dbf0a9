// The lock-free rings between the pulse mainloop and the engine's capture and play threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "audio/audio_services.h"
#include "audio/pulse/spsc_ring.h"

namespace quorvel {

namespace {

// Frame n of a test signal: left n, right -n.
void MakeFrames(uint32_t first, uint32_t count, std::vector<int32_t>* frames) {
  frames->resize(static_cast<size_t>(count) * 2);
  for (uint32_t i = 0; i < count; ++i) {
    (*frames)[2 * i] = static_cast<int32_t>(first + i);
    (*frames)[2 * i + 1] = -static_cast<int32_t>(first + i);
  }
}

}  // namespace

TEST(PulseFrameRing, ReadsInPlaceUpToTheEndOfTheStorage) {
  CFrameRing ring(8);
  std::vector<int32_t> frames;
  MakeFrames(0, 6, &frames);
  ASSERT_EQ(ring.Write(frames.data(), 6), 6u);
  ring.Consume(5);
  // Five more: three reach the end of the storage, two wrap to its start.
  MakeFrames(6, 5, &frames);
  ASSERT_EQ(ring.Write(frames.data(), 5), 5u);
  EXPECT_EQ(ring.ReadableFrames(), 6u);
  ASSERT_EQ(ring.ReadableContiguous(), 3u);
  EXPECT_EQ(ring.ReadPointer()[0], 5);
  EXPECT_EQ(ring.ReadPointer()[1], -5);
  EXPECT_EQ(ring.ReadPointer()[4], 7);
  ring.Consume(3);
  ASSERT_EQ(ring.ReadableContiguous(), 3u);
  EXPECT_EQ(ring.ReadPointer()[0], 8);
  EXPECT_EQ(ring.ReadPointer()[5], -10);
}

TEST(PulseFrameRing, AFullRingStoresWhatFitsAndSilenceIsZeros) {
  CFrameRing ring(4);
  std::vector<int32_t> frames;
  MakeFrames(1, 6, &frames);
  EXPECT_EQ(ring.Write(frames.data(), 6), 4u);
  EXPECT_EQ(ring.FreeFrames(), 0u);
  EXPECT_EQ(ring.Write(frames.data(), 1), 0u);
  ring.Consume(2);
  EXPECT_EQ(ring.Write(nullptr, 3), 2u);
  ring.Consume(2);
  ASSERT_EQ(ring.ReadableContiguous(), 2u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ring.ReadPointer()[i], 0);
}

// A producer writing in uneven pieces and a consumer reading in place, at the same time: every
// frame arrives once, in order.
TEST(PulseFrameRing, AProducerAndAConsumerThreadPassEveryFrameInOrder) {
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

TEST(PulseHeaderQueue, HoldsTwoHundredFiftySixHeadersInOrder) {
  CHeaderQueue queue;
  std::vector<PlayHeader> headers(CHeaderQueue::kCapacity + 1);
  for (uint32_t i = 0; i < CHeaderQueue::kCapacity; ++i) ASSERT_TRUE(queue.Push(&headers[i]));
  EXPECT_FALSE(queue.Push(&headers.back()));
  for (uint32_t i = 0; i < CHeaderQueue::kCapacity; ++i) ASSERT_EQ(queue.Pop(), &headers[i]);
  EXPECT_EQ(queue.Pop(), nullptr);
}

TEST(PulseHeaderQueue, APlayThreadAndAMainloopThreadPassEveryHeaderOnce) {
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

}  // namespace quorvel
