// The output buffer flag steps the services share: a buffer's way through prepare, queue,
// play (or reset) and unprepare, and the refusals on the way.
#include "audio/output_buffer_flags.h"

#include <gtest/gtest.h>

#include <thread>

namespace quorvel {

namespace {

TEST(OutputBufferFlags, ABufferGoesThroughPrepareQueueDoneAndUnprepare) {
  PlayHeader header;
  EXPECT_EQ(MarkBufferQueued(header), kWaveErrUnprepared);
  EXPECT_EQ(header.flags.load(), 0u);

  MarkBufferPrepared(header);
  header.flags.fetch_or(kHeaderDone | kHeaderBeginLoop);  // played before, first of the loop
  ASSERT_EQ(MarkBufferQueued(header), kMmNoError);
  EXPECT_EQ(header.flags.load(), kHeaderPrepared | kHeaderInQueue | kHeaderBeginLoop);
  // A buffer is in the queue at most once, and a live output still plays it.
  EXPECT_EQ(MarkBufferQueued(header), kWaveErrStillPlaying);
  EXPECT_EQ(MarkBufferUnprepared(header, true), kWaveErrStillPlaying);
  EXPECT_EQ(header.flags.load(), kHeaderPrepared | kHeaderInQueue | kHeaderBeginLoop);

  MarkBufferDone(header);
  EXPECT_EQ(header.flags.load(), kHeaderPrepared | kHeaderDone | kHeaderBeginLoop);
  ASSERT_EQ(MarkBufferUnprepared(header, true), kMmNoError);
  EXPECT_EQ(header.flags.load(), kHeaderDone | kHeaderBeginLoop);
}

TEST(OutputBufferFlags, AQueueMarkTakenBackLeavesTheBufferPreparedAndQueueable) {
  PlayHeader header;
  MarkBufferPrepared(header);
  ASSERT_EQ(MarkBufferQueued(header), kMmNoError);
  UnmarkBufferQueued(header);
  EXPECT_EQ(header.flags.load(), kHeaderPrepared);
  EXPECT_EQ(MarkBufferQueued(header), kMmNoError);
}

TEST(OutputBufferFlags, AfterALostOutputAQueuedBufferCanBeUnprepared) {
  PlayHeader header;
  MarkBufferPrepared(header);
  ASSERT_EQ(MarkBufferQueued(header), kMmNoError);
  EXPECT_EQ(MarkBufferUnprepared(header, false), kMmNoError);
  EXPECT_EQ(header.flags.load() & (kHeaderPrepared | kHeaderInQueue), 0u);
}

TEST(OutputBufferFlags, QueueAndDoneFromTwoThreadsNeverLoseAFlag) {
  // The play thread queues the buffer again as soon as the device thread has marked it done,
  // while it sets and clears its own end-of-loop mark: every round ends with the buffer done,
  // out of the queue, still prepared.
  constexpr int kRounds = 20000;
  PlayHeader header;
  MarkBufferPrepared(header);
  std::atomic<int> queuedRounds{0};
  std::thread device([&] {
    for (int round = 0; round < kRounds; ++round) {
      while (queuedRounds.load(std::memory_order_acquire) <= round) std::this_thread::yield();
      MarkBufferDone(header);
    }
  });
  for (int round = 0; round < kRounds; ++round) {
    while ((header.flags.load(std::memory_order_acquire) & kHeaderInQueue) != 0) {
      header.flags.fetch_xor(kHeaderEndLoop, std::memory_order_acq_rel);
      std::this_thread::yield();
    }
    ASSERT_EQ(MarkBufferQueued(header), kMmNoError) << round;
    queuedRounds.store(round + 1, std::memory_order_release);
  }
  device.join();
  const uint32_t flags = header.flags.load();
  EXPECT_EQ(flags & (kHeaderPrepared | kHeaderDone | kHeaderInQueue),
            kHeaderPrepared | kHeaderDone);
}

}  // namespace

}  // namespace quorvel
