#pragma once

// CAudio's inner state, for the tests of the engine's own rules (and the benchmarks): what no
// front end reads or sets is reached only through here.
#include <atomic>
#include <cstdint>
#include <span>
#include <thread>

#include "engine/audio_engine.h"

namespace quorvel {

struct CAudioProbe {
  // ---- the analysis ----
  static const int32_t* RingLeft(const CAudio& a) { return a.m_analysis.m_ringLeft; }
  static const int32_t* RingRight(const CAudio& a) { return a.m_analysis.m_ringRight; }
  static int32_t RingWrite(const CAudio& a) { return a.m_analysis.m_ringWrite; }
  static const int16_t* RecordTrack(const CAudio& a) { return a.m_record; }  // all of it
  static int32_t& RecordWrite(CAudio& a) { return a.m_recordWrite; }
  static std::atomic<int32_t>& RecordCount(CAudio& a) { return a.m_recordCount; }
  static int32_t RecordStart(const CAudio& a) { return a.m_recordStart.load(); }
  static std::atomic<int32_t>& BlockFill(CAudio& a) { return a.m_analysis.m_blockFill; }
  static std::atomic<int32_t>& PeakLeft(CAudio& a) { return a.m_peakLeft; }
  static int32_t BlocksSinceSync(const CAudio& a) { return a.m_analysis.m_blocksSinceSync; }
  static int32_t PointDelayBlocks(const CAudio& a) {
    return a.m_analysis.m_pointDelayBlocks.load();
  }
  static void MarkBlockClipped(CAudio& a) { a.m_analysis.m_blockClipped = 1; }
  static int32_t& BlockClipped(CAudio& a) { return a.m_analysis.m_blockClipped; }
  static int32_t NoiseCount(const CAudio& a) { return a.m_analysis.m_noiseCount; }
  static double NoiseFloor(const CAudio& a) { return a.m_analysis.m_noiseFloor; }
  static double SyncThreshold(const CAudio& a) { return a.m_analysis.m_syncThreshold; }
  static const double* BandEnvelope(const CAudio& a) { return a.m_analysis.m_bandEnvelope; }
  using FilterState = double[3][4][2];
  static const FilterState& BandFilterState(const CAudio& a) { return a.m_analysis.m_filterState; }
  static std::atomic<int32_t>& Capturing(CAudio& a) { return a.m_capturing; }
  static std::atomic<int32_t>& CaptureResult(CAudio& a) { return a.m_captureResult; }
  static int32_t ResetRequested(const CAudio& a) { return a.m_resetRequested.load(); }
  // ---- the signal ----
  static const int16_t* SignalBuffer(const CAudio& a) { return a.m_sweep; }  // all of it
  static const double* SineTable(const CAudio&) { return quorvel::SineTable().data(); }
  static std::atomic<int32_t>& SweepPos(CAudio& a) { return a.m_sweepPos; }
  static std::atomic<int32_t>& FilePlayPos(CAudio& a) { return a.m_filePlayPos; }
  // ---- the devices ----
  static int32_t SampleRate(const CAudio& a) { return a.m_sampleRate; }
  static int32_t CaptureRate(const CAudio& a) { return a.m_captureRate; }
  static bool InputOpen(const CAudio& a) { return a.m_captureOpen != 0; }
  static CaptureFormat& CaptureStreamFormat(CAudio& a) { return a.m_captureFormat; }
  static uint32_t BufferFrames(const CAudio& a) { return a.m_bufferFrames; }
  static int64_t BufferDuration(const CAudio& a) { return a.m_bufferDuration; }
  static const PlayFormat& OutputFormat(const CAudio& a) { return a.m_playFormat; }
  static int32_t OpenDeviceId(const CAudio& a) { return a.m_openDeviceId; }
  static const char* PlayData(const CAudio& a, int buffer) { return a.m_playData[buffer]; }
  static std::span<const PlayHeader> PlayHeaders(const CAudio& a) { return a.m_playHeaders; }
  static bool OutputOpenNoticed(const CAudio& a) { return a.m_waveOutOpened.load() != 0; }
  static bool PlayThreadAlive(const CAudio& a) { return a.m_playThreadAlive.load() != 0; }
  static bool StopBusy(const CAudio& a) { return a.m_stopBusy.load() != 0; }
  static COneShotTimer& StopTimer(CAudio& a) { return a.m_stopTimer; }
  static std::thread& CaptureThread(CAudio& a) { return a.m_captureThread; }
  static std::thread& PlayThread(CAudio& a) { return a.m_playThread; }
};

}  // namespace quorvel
