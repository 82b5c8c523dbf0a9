#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace quorvel {

struct PlayHeader;

// Single-producer single-consumer ring of stereo signed 32-bit frames (left, right). The
// storage is allocated once at construction; writing and reading never allocate, lock or
// block. The producer is the services' thread that records (pulse mainloop, simulated device),
// the consumer the engine's capture thread; the consumer reads in place, so a packet is a
// pointer into the ring that stays valid until it is consumed.
class CFrameRing {
 public:
  static constexpr uint32_t kChannels = 2;
  static constexpr uint32_t kFrameBytes = kChannels * sizeof(int32_t);

  // capacityFrames: a power of two.
  explicit CFrameRing(uint32_t capacityFrames)
      : m_nCapacity(capacityFrames),
        m_nMask(capacityFrames - 1),
        m_pFrames(std::make_unique<int32_t[]>(static_cast<size_t>(capacityFrames) * kChannels)) {}

  uint32_t Capacity() const { return m_nCapacity; }

  // ---- producer side; never blocks or allocates ----
  uint32_t FreeFrames() const {
    const uint32_t write = m_nWrite.load(std::memory_order_relaxed);
    const uint32_t read = m_nRead.load(std::memory_order_acquire);
    return m_nCapacity - (write - read);
  }

  // Copies whole frames from `bytes` (nullptr: silence); returns the frames stored, fewer than
  // asked when the ring is full.
  uint32_t Write(const void* bytes, uint32_t frames) {
    const uint32_t space = FreeFrames();
    const uint32_t count = frames < space ? frames : space;
    uint32_t write = m_nWrite.load(std::memory_order_relaxed);
    const auto* source = static_cast<const unsigned char*>(bytes);
    uint32_t done = 0;
    while (done < count) {
      const uint32_t at = write & m_nMask;
      const uint32_t toEnd = m_nCapacity - at;
      const uint32_t piece = (count - done) < toEnd ? (count - done) : toEnd;
      int32_t* target = m_pFrames.get() + static_cast<size_t>(at) * kChannels;
      if (source != nullptr) {
        std::memcpy(target, source + static_cast<size_t>(done) * kFrameBytes,
                    static_cast<size_t>(piece) * kFrameBytes);
      } else {
        std::memset(target, 0, static_cast<size_t>(piece) * kFrameBytes);
      }
      done += piece;
      write += piece;
    }
    m_nWrite.store(write, std::memory_order_release);
    return count;
  }
  uint32_t Written() const { return m_nWrite.load(std::memory_order_relaxed); }  // mod 2^32

  // ---- consumer side; never blocks or allocates ----
  uint32_t ReadableFrames() const {
    return m_nWrite.load(std::memory_order_acquire) - m_nRead.load(std::memory_order_relaxed);
  }
  // Frames readable in place from ReadPointer() without crossing the end of the storage.
  uint32_t ReadableContiguous() const {
    const uint32_t readable = ReadableFrames();
    const uint32_t toEnd = m_nCapacity - (m_nRead.load(std::memory_order_relaxed) & m_nMask);
    return readable < toEnd ? readable : toEnd;
  }
  const int32_t* ReadPointer() const {
    return m_pFrames.get() +
           static_cast<size_t>(m_nRead.load(std::memory_order_relaxed) & m_nMask) * kChannels;
  }
  void Consume(uint32_t frames) {
    m_nRead.store(m_nRead.load(std::memory_order_relaxed) + frames, std::memory_order_release);
  }
  uint32_t Consumed() const { return m_nRead.load(std::memory_order_relaxed); }  // mod 2^32

  // Empties the ring; only while neither side runs.
  void Clear() {
    m_nWrite.store(0, std::memory_order_relaxed);
    m_nRead.store(0, std::memory_order_relaxed);
  }

 private:
  const uint32_t m_nCapacity;  // [frames]
  const uint32_t m_nMask;
  std::unique_ptr<int32_t[]> m_pFrames;
  // Free-running counters [frames]; the storage index is counter & m_nMask.
  alignas(64) std::atomic<uint32_t> m_nWrite{0};
  alignas(64) std::atomic<uint32_t> m_nRead{0};
};

// Single-producer single-consumer queue of output buffer headers. The producer is the play
// thread (QueueBuffer), the consumer the services' output thread (the pulse mainloop, or a
// thread holding its lock for a reset or a close; the simulated devices' thread). Fixed storage;
// never blocks or allocates. The write index is stored and read sequentially consistent: with the
// output's hungry flag, which both sides also use so, the producer's push and the consumer's
// last look at an empty queue are ordered, and one side always sees the other (no fence, which
// ThreadSanitizer does not model).
class CHeaderQueue {
 public:
  static constexpr uint32_t kCapacity = 256;  // twice the engine's 128 buffers

  // Producer; false when full.
  bool Push(PlayHeader* header) {
    const uint32_t write = m_nWrite.load(std::memory_order_relaxed);
    if (write - m_nRead.load(std::memory_order_acquire) >= kCapacity) return false;
    m_slots[write & (kCapacity - 1)] = header;
    m_nWrite.store(write + 1, std::memory_order_seq_cst);
    return true;
  }

  // Consumer; nullptr when empty.
  PlayHeader* Pop() {
    const uint32_t read = m_nRead.load(std::memory_order_relaxed);
    if (read == m_nWrite.load(std::memory_order_seq_cst)) return nullptr;
    PlayHeader* header = m_slots[read & (kCapacity - 1)];
    m_nRead.store(read + 1, std::memory_order_release);
    return header;
  }

  // Empties the queue; only while neither side runs.
  void Clear() {
    m_nWrite.store(0, std::memory_order_relaxed);
    m_nRead.store(0, std::memory_order_relaxed);
  }

 private:
  std::array<PlayHeader*, kCapacity> m_slots{};
  alignas(64) std::atomic<uint32_t> m_nWrite{0};
  alignas(64) std::atomic<uint32_t> m_nRead{0};
};

}  // namespace quorvel
