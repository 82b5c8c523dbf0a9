// Names made unique for a list, a legend and a CSV header.
#include "measurement/trace_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {

namespace {

TEST(UniqueTraceNames, EachNameMetBeforeGetsTheFirstFreeNumber) {
  using Names = std::vector<std::string>;
  const struct {
    Names given;
    Names unique;
  } cases[] = {
      {{"left", "right"}, {"left", "right"}},
      {{"take", "take", "take"}, {"take", "take (2)", "take (3)"}},
      // a name given later keeps itself; the copy skips it
      {{"take", "take", "take (2)"}, {"take", "take (3)", "take (2)"}},
      {{"", ""}, {"trace", "trace (2)"}},
      {{"Take", "take"}, {"Take", "take"}},
  };
  for (const auto& c : cases) EXPECT_EQ(UniqueTraceNames(c.given), c.unique) << c.given[0];
}

}  // namespace

}  // namespace quorvel
