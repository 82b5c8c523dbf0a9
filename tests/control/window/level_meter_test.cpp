// The level meter fed with known peaks, tick by tick on a 30 ms clock: the segments lit for a
// peak, the rise and fall, the peak hold, the colours of the states and the rising bar after a
// reset.
#include "control/window/level_meter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quorvel {

namespace {

constexpr uint32_t kTickMs = 30;

// A 16-bit sample magnitude as the engine keeps its peaks: in the upper half of 32 bits.
int32_t Peak(int magnitude) {
  return static_cast<int32_t>(magnitude) << 16;
}

// A meter just opened, past its ten-tick rising bar; the clock at `now`.
struct OpenMeter {
  OpenMeter() {
    meter.Init(now);
    for (int i = 0; i < 10; ++i) Tick(0);
    for (int i = 0; i < 12; ++i) Tick(0);  // the bar has fallen back to nothing
  }
  CLevelMeter::Step Tick(int32_t peak, bool sweep = false) {
    now += kTickMs;
    return meter.Update(peak, peak, true, sweep, now);
  }
  int Lit() const {
    int lit = 0;
    for (int slot = 1; slot < CLevelMeter::kSlots; ++slot) {
      const int colour = meter.SlotColour(slot);
      if (colour != CLevelMeter::kColourOpen && colour != CLevelMeter::kColourSweep) ++lit;
    }
    return lit;
  }
  CLevelMeter meter;
  uint32_t now = 1000;
};

TEST(LevelMeter, SegmentsLitForAPeak) {
  // About 1.84 dB a segment: the first lights at a sample magnitude of 56 (e^(19 / 4.725) is
  // 55.8), full scale lights all 31.
  const struct {
    int magnitude;
    int lit;
  } cases[] = {{0, 0}, {55, 0}, {56, 1}, {200, 7}, {1000, 14}, {16384, 27}, {32767, 31}};
  for (const auto& c : cases) {
    OpenMeter open;
    open.Tick(Peak(c.magnitude));
    EXPECT_EQ(open.Lit(), c.lit) << c.magnitude;
    EXPECT_EQ(static_cast<int>(open.meter.Level()), c.lit) << c.magnitude;
  }
}

TEST(LevelMeter, LitSegmentsAreGreenThenYellowThenRed) {
  OpenMeter open;
  open.Tick(Peak(32767));
  for (int slot = 1; slot <= 28; ++slot) EXPECT_EQ(open.meter.SlotColour(slot), 5) << slot;
  EXPECT_EQ(open.meter.SlotColour(29), 8);
  EXPECT_EQ(open.meter.SlotColour(30), 8);
  EXPECT_EQ(open.meter.PeakSlot(), 31);
  EXPECT_EQ(open.meter.PeakColour(), 14);  // the peak mark on the clipping segment
}

TEST(LevelMeter, ABarRisesAtOnceAndFallsOneSegmentATickWhileThePeaksHalve) {
  OpenMeter open;
  int32_t peak = Peak(32767);
  const CLevelMeter::Step first = open.Tick(peak);
  EXPECT_TRUE(first.halvePeaks);
  EXPECT_TRUE(first.changed);
  std::vector<int> levels = {static_cast<int>(open.meter.Level())};
  for (int i = 0; i < 5; ++i) {
    peak /= 2;  // what the caller does with the engine's peaks after each tick
    open.Tick(peak);
    levels.push_back(static_cast<int>(open.meter.Level()));
  }
  EXPECT_EQ(levels, (std::vector<int>{31, 30, 29, 28, 27, 26}));
  // silence: down one segment a tick, to nothing
  for (int i = 0; i < 40; ++i) open.Tick(0);
  EXPECT_EQ(open.meter.Level(), 0.0f);
}

TEST(LevelMeter, ThePeakMarkHoldsHalfASecondThenSinks) {
  OpenMeter open;
  open.Tick(Peak(1000));  // 14 segments
  const uint32_t peakAt = open.now;
  while (open.now + kTickMs <= peakAt + CLevelMeter::kPeakHoldMs) {
    open.Tick(0);
    EXPECT_EQ(open.meter.PeakHold(), 14.0f) << open.now - peakAt;
    EXPECT_EQ(open.meter.PeakSlot(), 14);
  }
  // then 0.1 segment a call: 14 segments fade over 140 calls
  open.Tick(0);
  EXPECT_NEAR(open.meter.PeakHold(), 13.9f, 1e-4);
  for (int i = 0; i < 5; ++i) open.Tick(0);
  EXPECT_NEAR(open.meter.PeakHold(), 13.4f, 1e-4);
  EXPECT_EQ(open.meter.PeakSlot(), 13);
  for (int i = 0; i < 200; ++i) open.Tick(0);
  EXPECT_EQ(open.meter.PeakSlot(), 0);
  // a higher level takes the mark at once
  open.Tick(Peak(200));
  EXPECT_EQ(open.meter.PeakSlot(), 7);
}

TEST(LevelMeter, UnlitColoursTellTheState) {
  const struct {
    bool inputOpen;
    bool sweep;
    int unlit;
    bool clears;  // the meter resets and the engine's peaks are cleared
  } cases[] = {{false, false, 7, true},
               {true, false, 2, false},
               {true, true, 12, false},
               {false, true, 12, false}};
  for (const auto& c : cases) {
    CLevelMeter meter;
    meter.Init(0);
    const CLevelMeter::Step step = meter.Update(Peak(1000), Peak(1000), c.inputOpen, c.sweep, 30);
    EXPECT_EQ(meter.SlotColour(31), c.unlit) << c.inputOpen << c.sweep;
    EXPECT_EQ(step.clearPeaks, c.clears) << c.inputOpen << c.sweep;
    EXPECT_EQ(step.halvePeaks, !c.clears);
  }
  // Closed, the meter stays grey and empty whatever the peaks say.
  CLevelMeter closed;
  closed.Init(0);
  for (uint32_t t = 30; t < 900; t += kTickMs)
    closed.Update(Peak(32767), Peak(32767), false, false, t);
  EXPECT_EQ(closed.Level(), 0.0f);
  for (int slot = 1; slot < CLevelMeter::kSlots; ++slot) EXPECT_EQ(closed.SlotColour(slot), 7);
}

TEST(LevelMeter, OpeningShowsAShortRisingBar) {
  CLevelMeter meter;
  meter.Init(0);
  std::vector<int> levels;
  for (uint32_t t = kTickMs; t <= 10 * kTickMs; t += kTickMs) {
    meter.Update(0, 0, true, false, t);
    levels.push_back(static_cast<int>(meter.Level()));
  }
  for (size_t i = 1; i < levels.size(); ++i) EXPECT_GE(levels[i], levels[i - 1]);
  EXPECT_EQ(levels.front(), 0);
  EXPECT_EQ(levels.back(), 7);  // a magnitude of 200 at the tenth tick
  meter.Update(0, 0, true, false, 11 * kTickMs);
  EXPECT_EQ(static_cast<int>(meter.Level()), 6);  // then it falls
}

TEST(LevelMeter, OnlyChangedSlotsAreDrawnAndAllOfThemTwiceASecond) {
  OpenMeter open;
  open.Tick(Peak(1000));
  const CLevelMeter::Step same = open.Tick(Peak(1000));
  EXPECT_TRUE(same.changed);  // the peak mark is drawn again each call
  int wanted = 0;
  for (int slot = 1; slot < CLevelMeter::kSlots; ++slot) {
    if (open.meter.Wanted(slot) != CLevelMeter::kSkip) ++wanted;
  }
  EXPECT_EQ(wanted, 1);
  // after 500 ms every slot is drawn again
  open.now += CLevelMeter::kRedrawAllMs;
  open.Tick(Peak(1000));
  wanted = 0;
  for (int slot = 1; slot < CLevelMeter::kSlots; ++slot) {
    if (open.meter.Wanted(slot) != CLevelMeter::kSkip) ++wanted;
  }
  EXPECT_EQ(wanted, 31);
}

TEST(LevelMeter, GeometryRoundsTheMeterToThirtyTwoSlots) {
  // the template's control: 170 x 13 dialog units, 255 x 21 pixels, a one-pixel frame
  const CLevelMeter::Geometry g = CLevelMeter::ComputeGeometry(255, 21, 1);
  EXPECT_EQ(g.meterWidth, 256);
  EXPECT_EQ(g.controlWidth, 254);
  EXPECT_EQ(g.slotWidth, 9);
  EXPECT_EQ(CLevelMeter::SlotLeft(g, 1), 0);
  EXPECT_EQ(CLevelMeter::SlotLeft(g, 31), 240);  // the last slot ends at 249, inside 254
  EXPECT_EQ(CLevelMeter::SlotHeight(g), 16);
}

}  // namespace

}  // namespace quorvel
