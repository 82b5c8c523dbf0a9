// The document's texts: times, colours, smoothings and fresh ids.
#include "measurement/session_document.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(SessionDocument, TimesReadInEveryZoneAndOnlyRealDates) {
  const struct {
    const char* text;
    bool valid;
    int64_t seconds;  // from date -u -d TEXT +%s
  } cases[] = {
      {"2000-01-01T00:00:00Z", true, 946684800},
      {"2000-01-01T01:00:00+01:00", true, 946684800},
      {"1999-12-31T23:00:00.250-01:00", true, 946684800},
      {"2024-02-29T00:00:00Z", true, 1709164800},
      {"1969-12-31T23:59:59Z", true, -1},
      {"2023-02-29T00:00:00Z", false, 0},
      {"2000-13-01T00:00:00Z", false, 0},
      {"2000-01-01T00:00:00", false, 0},
      {"2000-01-01T00:00:00.Z", false, 0},
      {"2000-01-01T24:00:00Z", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    int64_t seconds = 0;
    EXPECT_EQ(ParseUtcTimeText(c.text, &seconds), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(seconds, c.seconds) << c.text;
    EXPECT_TRUE(ParseUtcTimeText(UtcTimeText(seconds), &seconds) && seconds == c.seconds);
  }
  EXPECT_EQ(UtcTimeText(1709164800), "2024-02-29T00:00:00Z");
  EXPECT_EQ(UtcTimeText(-1), "1969-12-31T23:59:59Z");
}

TEST(SessionDocument, ColoursSmoothingsAndFreshIds) {
  TraceColour colour;
  EXPECT_TRUE(ParseColourText("#E69F00", &colour));
  EXPECT_EQ(ColourText(colour), "#e69f00");
  for (const char* bad : {"#e69f0", "e69f00a", "#e69g00", ""}) {
    EXPECT_FALSE(ParseColourText(bad, &colour)) << bad;
  }
  for (int n : {0, 1, 3, 6, 12, 24, 48}) {
    int read = -1;
    EXPECT_TRUE(ParseSmoothingText(SmoothingText(n), &read) && read == n) << n;
  }
  int read = 0;
  EXPECT_FALSE(ParseSmoothingText("1/5", &read));
  SessionDocument document;
  EXPECT_EQ(NextTraceId(document, 'm'), "m1");
  document.entries = {{"m2", "/a.wav", {}, {}}, {"m10", "/b.wav", {}, {}}, {"x99", "/c", {}, {}}};
  document.derived = {{"d3", DerivedKind::kDifference, true, {"m2", "m10"}, {}}};
  EXPECT_EQ(NextTraceId(document, 'm'), "m11");
  EXPECT_EQ(NextTraceId(document, 'd'), "d4");
  EXPECT_TRUE(HasTraceId(document, "d3") && !HasTraceId(document, "m1"));
}

}  // namespace
}  // namespace quorvel
