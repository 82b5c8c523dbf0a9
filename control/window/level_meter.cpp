// The input level meter's arithmetic: level from the peaks, rise and fall, peak hold, colours.
#include "control/window/level_meter.h"

#include <cmath>

namespace quorvel {

namespace {

constexpr int kLastSlot = CLevelMeter::kSlots - 1;  // 31, the clipping slot

// a is later than b on a wrapping millisecond clock
bool After(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a - b) > 0;
}

}  // namespace

CLevelMeter::Geometry CLevelMeter::ComputeGeometry(int outerWidth, int outerHeight, int border) {
  Geometry geometry;
  const int b = border > 0 ? border : 0;
  const int usable = outerWidth - 2 * b;
  geometry.meterWidth = (usable + 31) / 32 * 32;
  geometry.controlWidth = geometry.meterWidth - b - 1;
  geometry.height = outerHeight;
  geometry.slotWidth = geometry.meterWidth / 32 + 1;
  return geometry;
}

int CLevelMeter::SlotLeft(const Geometry& geometry, int slot) {
  return (geometry.slotWidth - 1) * (slot - 1);
}

int CLevelMeter::SlotHeight(const Geometry& geometry) {
  return geometry.height - 5;
}

CLevelMeter::CLevelMeter() {
  for (int i = 0; i < kSlots; ++i) {
    m_segDrawn[i] = kNeverDrawn;
    m_segWanted[i] = kColourClosed;
  }
}

void CLevelMeter::Init(uint32_t nowMs) {
  m_segOnColour[0] = kColourOpen;
  for (int i = 1; i <= 28; ++i) m_segOnColour[i] = kColourLit;
  m_segOnColour[29] = kColourHigh;
  m_segOnColour[30] = kColourHigh;
  m_segOnColour[kLastSlot] = kColourClip;
  Reset(nowMs);
  // the empty meter: every slot grey
  for (int i = 1; i < kSlots; ++i) {
    m_segDrawn[i] = kColourClosed;
    m_segWanted[i] = kColourClosed;
  }
  m_peakSlot = 0;
}

void CLevelMeter::Reset(uint32_t nowMs) {
  m_peakHold = 0.0f;
  m_peakHoldUntil = 0;
  for (int i = 0; i < kSlots; ++i) {
    m_segDrawn[i] = kNeverDrawn;
    m_segWanted[i] = m_segOnColour[0];
  }
  m_meterLevel = 0.0f;
  m_ticks = 0;
  m_valid = false;
  m_meterClock = nowMs;
}

CLevelMeter::Step CLevelMeter::Update(int32_t peakLeft, int32_t peakRight, bool inputOpen,
                                      bool sweepPlaying, uint32_t nowMs) {
  Step step;
  int32_t peak = peakRight;
  if (inputOpen && peakLeft > peak) peak = peakLeft;
  int32_t a = peak >> 16;
  if (m_ticks < 10) a = (m_ticks + 1) * 20;  // the short rising bar after a reset
  if (m_ticks < 1000000) ++m_ticks;
  float v = std::log(static_cast<float>(a)) * 4.725f - 18.0f;
  if (!(v > 0.0f)) v = 0.0f;  // also the logarithm of 0
  if (std::fabs(v - m_meterLevel) > 0.1f) {
    if (v > m_meterLevel) {
      m_meterLevel = v;  // instant rise
    } else {
      m_meterLevel -= 1.0f;  // one segment a step
    }
  }
  if (m_meterLevel < 0.0f) m_meterLevel = 0.0f;
  step.clearPeaks =
      Draw(static_cast<int>(m_meterLevel), inputOpen, sweepPlaying, nowMs, &step.changed);
  step.halvePeaks = !step.clearPeaks;
  return step;
}

bool CLevelMeter::Draw(int level, bool inputOpen, bool sweepPlaying, uint32_t nowMs,
                       bool* changed) {
  if (changed != nullptr) *changed = false;
  if (m_drawing) return false;
  m_drawing = true;
  bool reset = false;
  if (m_needsFrame) {
    Init(nowMs);
    m_needsFrame = false;
    reset = true;
  }
  if (level < 0) level = static_cast<int>(m_meterLevel);
  if (level > kLastSlot) level = kLastSlot;

  if (After(nowMs, m_meterClock + kRedrawAllMs)) {
    m_valid = false;  // every slot again, twice a second
    m_meterClock = nowMs;
  }
  int unlit = inputOpen ? kColourOpen : kColourClosed;
  if (sweepPlaying) unlit = kColourSweep;
  if (unlit == kColourClosed) {
    Reset(nowMs);
    reset = true;
    level = 0;
  }

  bool anyWanted = false;
  for (int i = 1; i < kSlots; ++i) {
    const int colour = i <= level ? m_segOnColour[i] : unlit;
    if (m_valid && colour == m_segDrawn[i]) {
      m_segWanted[i] = kSkip;
    } else {
      m_segWanted[i] = colour;
      anyWanted = true;
    }
    m_segDrawn[i] = colour;
  }
  m_valid = true;

  // peak hold
  const int previousPeakSlot = m_peakSlot;
  if (static_cast<float>(level) > m_peakHold) {
    m_peakHold = static_cast<float>(level);
    m_peakHoldUntil = nowMs + kPeakHoldMs;
  }
  if (After(nowMs, m_peakHoldUntil)) {
    m_peakHold -= 0.1f;
    if (m_peakHold < 0.0f) m_peakHold = 0.0f;
  }
  m_peakSlot = static_cast<int>(std::lround(m_peakHold));
  if (m_peakSlot > kLastSlot) m_peakSlot = kLastSlot;
  if (m_peakSlot > 0) {
    m_peakColour = m_peakSlot < 29          ? kColourPeak
                   : m_peakSlot < kLastSlot ? kColourPeakHigh
                                            : kColourPeakClip;
    m_segWanted[m_peakSlot] = -m_peakColour;  // drawn with a white outline
    anyWanted = true;
  }
  if (m_peakSlot != previousPeakSlot) anyWanted = true;
  if (changed != nullptr) *changed = anyWanted;
  m_drawing = false;
  return reset;
}

int CLevelMeter::SlotColour(int slot) const {
  if (slot < 0 || slot >= kSlots) return kNeverDrawn;
  return m_segDrawn[slot];
}

int CLevelMeter::Wanted(int slot) const {
  if (slot < 0 || slot >= kSlots) return kSkip;
  return m_segWanted[slot];
}

}  // namespace quorvel
