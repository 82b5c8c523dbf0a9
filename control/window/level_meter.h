#pragma once

#include <cstdint>

namespace quorvel {

// The input level meter's arithmetic: 32 segment slots (slots 1 to 31 are drawn) showing the
// level of the microphone with a peak-hold mark; its unlit colour tells the measurement's
// state. The window's 30 ms timer feeds it the engine's two peak levels; the window's widget
// draws what it says and nothing else. Colours are indices of the graph's palette.
// User-interface thread only; times are the caller's millisecond clock.
class CLevelMeter {
 public:
  static constexpr int kSlots = 32;
  static constexpr int kSkip = 256;           // a slot that needs no drawing
  static constexpr int kNeverDrawn = 4095;    // matches no colour
  static constexpr int kColourOpen = 2;       // unlit while the input is open (blue)
  static constexpr int kColourClip = 4;       // lit slot 31 (red)
  static constexpr int kColourLit = 5;        // lit slots 1 to 28 (green)
  static constexpr int kColourClosed = 7;     // every slot while the input is closed (grey)
  static constexpr int kColourHigh = 8;       // lit slots 29 and 30 (yellow)
  static constexpr int kColourPeakHigh = 9;   // peak mark on slots 29 and 30
  static constexpr int kColourSweep = 12;     // unlit while the sweep plays (orange)
  static constexpr int kColourPeakClip = 14;  // peak mark on slot 31
  static constexpr int kColourPeak = 15;      // peak mark on slots 1 to 28
  static constexpr int kPeakHoldMs = 500;
  static constexpr int kRedrawAllMs = 500;

  // The geometry of a meter control of the given outer width and height [pixels] whose frame
  // is `border` pixels wide: the usable width rounded up to a multiple of 32 makes the meter;
  // a slot is one pixel wider than a 32nd of it, so neighbours share a column.
  struct Geometry {
    int meterWidth = 0;    // a multiple of 32 [pixels]
    int controlWidth = 0;  // the width the control takes: meter width - border - 1 [pixels]
    int height = 0;        // the control's height [pixels]
    int slotWidth = 0;     // meter width / 32 + 1 [pixels]
  };
  [[nodiscard]] static Geometry ComputeGeometry(int outerWidth, int outerHeight, int border);
  // Left edge of slot i (1..31) in the meter's own coordinates: (slot width - 1) x (i - 1).
  [[nodiscard]] static int SlotLeft(const Geometry& geometry, int slot);
  // Height of every slot: the control's height less 5 [pixels].
  [[nodiscard]] static int SlotHeight(const Geometry& geometry);

  CLevelMeter();

  // The lit colours of the slots, the empty (grey) meter to be drawn, and a reset.
  void Init(uint32_t nowMs);
  // Clears levels, peak hold and the colours drawn; the caller clears the engine's peaks.
  void Reset(uint32_t nowMs);

  // What one step of the meter asks of the caller.
  struct Step {
    bool clearPeaks = false;  // set the engine's two peak levels to 0 (a reset ran)
    bool halvePeaks = false;  // halve them (the peak fades unless the capture raises it again)
    bool changed = false;     // some slot needs drawing
  };
  // One 30 ms timer step: the louder of the two peaks (the left one only while the input is
  // open; a 32-bit scale, shifted down to a 16-bit sample magnitude), replaced during the first
  // ten steps after a reset by 20, 40, ... 200 (a short rising bar); level = 4.725 ln(a) - 18
  // segments, at least 0: about 1.84 dB a segment, full scale lights all 31. The bar rises at
  // once and falls one segment a step; then Draw.
  Step Update(int32_t peakLeft, int32_t peakRight, bool inputOpen, bool sweepPlaying,
              uint32_t nowMs);
  // Works out the colours for a level in whole segments (negative: the current level): slots
  // 1..level lit, the others grey while the input is closed, blue while it is open, orange
  // while the sweep plays (which wins); a grey meter with no sweep resets first. The peak mark
  // holds the highest level 500 ms and then sinks by 0.1 a call. Every slot is drawn again at
  // least every 500 ms; otherwise only the slots whose colour changed. Returns whether a reset
  // ran (the caller clears the engine's peaks).
  bool Draw(int level, bool inputOpen, bool sweepPlaying, uint32_t nowMs, bool* changed = nullptr);

  // The empty meter is to be drawn before the next update (the dialog's set-up).
  void RequestFrame() { m_needsFrame = true; }

  // ---- what the widget draws ----
  // Colour of slot i (1..31) as now drawn: a palette index; kNeverDrawn before the first draw.
  [[nodiscard]] int SlotColour(int slot) const;
  // The slot carrying the peak mark (outlined in white), 0 for none.
  [[nodiscard]] int PeakSlot() const { return m_peakSlot; }
  // Colour of the peak mark.
  [[nodiscard]] int PeakColour() const { return m_peakColour; }
  // Slot i wants drawing since the last Draw (kSkip: unchanged).
  [[nodiscard]] int Wanted(int slot) const;

  [[nodiscard]] float Level() const { return m_meterLevel; }
  [[nodiscard]] float PeakHold() const { return m_peakHold; }
  [[nodiscard]] int Ticks() const { return m_ticks; }

 private:
  int m_segOnColour[kSlots] = {};  // lit colour of each slot; entry 0 the unlit colour
  int m_segDrawn[kSlots] = {};
  int m_segWanted[kSlots] = {};
  float m_meterLevel = 0.0f;  // [segments]
  float m_peakHold = 0.0f;    // [segments]
  uint32_t m_peakHoldUntil = 0;
  uint32_t m_meterClock = 0;
  bool m_valid = false;  // the drawn slots match m_segDrawn
  bool m_needsFrame = false;
  int m_ticks = 0;  // steps since the last reset
  int m_peakSlot = 0;
  int m_peakColour = 0;
  bool m_drawing = false;  // re-entry guard
};

}  // namespace quorvel
