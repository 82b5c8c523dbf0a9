#pragma once

// Names of traces that a list, a legend and a CSV header tell apart.
#include <string>
#include <vector>

namespace quorvel {

// The names in their order, each made unique: a name met before gets " (2)", " (3)", ... the
// first number that no name of the list holds ("take", "take" and "take (2)" become "take",
// "take (3)" and "take (2)"). Names are compared byte for byte; an empty name counts as
// "trace".
[[nodiscard]] std::vector<std::string> UniqueTraceNames(const std::vector<std::string>& names);

}  // namespace quorvel
