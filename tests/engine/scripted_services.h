#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_services.h"

namespace quorvel {

// A test double of the audio services: device lists, capture packets and output results are
// whatever the test scripts. Output notices are delivered synchronously; ResetOutput can be
// held at a gate so a test can catch an operation in the middle.
class CScriptedServices : public IAudioServices {
 public:
  // ---- script ----
  int32_t listResult = 0;
  std::vector<std::string> captureNames;
  std::vector<std::string> productNames;
  std::vector<std::string> descriptions;
  bool descriptionsOk = true;
  CaptureFormat mixFormat{kFormatIeeeFloat, 2, 48000, 384000, 8, 32, 0, 0, 0};
  uint32_t bufferFrames = 4800;
  std::atomic<int32_t> queueResult{0};

  struct Packet {
    std::vector<int32_t> frames;  // interleaved left, right
    bool silent = false;
  };
  void AddPacket(Packet packet) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packets.push_back(std::move(packet));
    m_pending.fetch_add(1);
  }
  int PendingPackets() const { return m_pending.load(); }

  // ResetOutput waits at the gate while it is closed.
  void CloseResetGate() { m_gateOpen.store(false); }
  void OpenResetGate() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_gateOpen.store(true);
    }
    m_gate.notify_all();
  }

  // ---- observation ----
  std::atomic<int> resetCalls{0};
  std::atomic<int> resetEntered{0};
  std::atomic<int> closeCalls{0};
  std::atomic<int> queued{0};
  std::atomic<int> releasedPackets{0};
  std::atomic<bool> paused{false};
  std::atomic<int> restarts{0};
  std::atomic<uint64_t> position{0};    // what GetOutputPosition reports [frames]
  std::atomic<uint64_t> framesLost{0};  // what CaptureFramesLost reports

  // ---- IAudioServices ----
  int32_t ListCaptureEndpoints(std::vector<std::string>* names) override {
    *names = captureNames;
    return listResult;
  }
  uint32_t CaptureEndpointRate(int) override { return 48000; }
  int32_t OpenCaptureEndpoint(int index, std::string* name) override {
    if (index < 0 || static_cast<size_t>(index) >= captureNames.size()) return kEInvalidArg;
    *name = captureNames[static_cast<size_t>(index)];
    return 0;
  }
  void ReleaseCaptureEndpoint() override {}
  int32_t GetMixFormat(CaptureFormat* format) override {
    *format = mixFormat;
    return 0;
  }
  int32_t GetDevicePeriod(int64_t* period) override {
    *period = 100000;
    return 0;
  }
  int32_t InitializeCapture(const CaptureFormat&, int64_t) override { return 0; }
  int32_t GetCaptureBufferSize(uint32_t* frames) override {
    *frames = bufferFrames;
    return 0;
  }
  int32_t StartCaptureStream() override { return 0; }
  int32_t StopCaptureStream() override { return 0; }
  // The capture thread's calls: the test thread only adds packets under the mutex before they
  // are due; a lock here is the double's own business.
  int32_t GetNextPacketSize(uint32_t* frames) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    *frames = m_packets.empty() ? 0 : static_cast<uint32_t>(m_packets.front().frames.size() / 2);
    return 0;
  }
  int32_t GetPacket(const int32_t** frames, uint32_t* count, bool* silent) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_packets.empty()) return static_cast<int32_t>(0x08890001u);
    m_current = m_packets.front();
    *frames = m_current.frames.data();
    *count = static_cast<uint32_t>(m_current.frames.size() / 2);
    *silent = m_current.silent;
    return 0;
  }
  int32_t ReleasePacket(uint32_t) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_packets.empty()) m_packets.pop_front();
    m_pending.fetch_sub(1);
    releasedPackets.fetch_add(1);
    return 0;
  }
  // The capture thread's wait between packets: a short sleep, the double's own business.
  bool WaitCapturePacket(int) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
  }
  uint64_t CaptureFramesLost() override { return framesLost.load(); }
  uint32_t OutputDeviceRate(int) override { return 48000; }
  int OutputDeviceCount() override { return static_cast<int>(productNames.size()); }
  std::string OutputProductName(int id) override {
    return productNames.at(static_cast<size_t>(id)).substr(0, 31);
  }
  bool ListOutputDescriptions(std::vector<std::string>* list) override {
    *list = descriptions;
    return descriptionsOk;
  }
  int32_t OpenOutput(int, const PlayFormat&, OutputNotifyRoutine routine, void* context) override {
    m_routine = routine;
    m_context = context;
    routine(context, OutputNotice::kOpened);
    return 0;
  }
  int32_t PrepareHeader(PlayHeader* header) override {
    header->flags.fetch_or(kHeaderPrepared);
    return 0;
  }
  int32_t QueueBuffer(PlayHeader*) override {
    queued.fetch_add(1);
    return queueResult.load();
  }
  int32_t ResetOutput() override {
    resetEntered.fetch_add(1);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_gate.wait(lock, [this] { return m_gateOpen.load(); });
    resetCalls.fetch_add(1);
    return 0;
  }
  int32_t UnprepareHeader(PlayHeader* header) override {
    header->flags.fetch_and(~kHeaderPrepared);
    return 0;
  }
  int32_t PauseOutput() override {
    paused.store(true);
    return 0;
  }
  int32_t RestartOutput() override {
    paused.store(false);
    restarts.fetch_add(1);
    return 0;
  }
  bool GetOutputPosition(uint64_t* frames) override {
    *frames = position.load();
    return true;
  }
  // Sends a notice to the output's routine as its notification thread would.
  void Notify(OutputNotice notice) {
    if (m_routine != nullptr) m_routine(m_context, notice);
  }
  int32_t CloseOutput() override {
    closeCalls.fetch_add(1);
    if (m_routine != nullptr) m_routine(m_context, OutputNotice::kClosed);
    return 0;
  }
  bool SetOutputVolume(int, float level) override {
    volume = level;
    return true;
  }
  bool GetOutputVolume(int, float* level) override {
    *level = volume;
    return true;
  }
  uint32_t MilliSeconds() override { return 0; }

  float volume = 0.5f;

 private:
  std::mutex m_mutex;
  std::condition_variable m_gate;
  std::atomic<bool> m_gateOpen{true};
  std::deque<Packet> m_packets;
  Packet m_current;
  std::atomic<int> m_pending{0};
  OutputNotifyRoutine m_routine = nullptr;
  void* m_context = nullptr;
};

}  // namespace quorvel
