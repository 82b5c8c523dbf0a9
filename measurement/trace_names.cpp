#include "measurement/trace_names.h"

#include <set>

namespace quorvel {

std::vector<std::string> UniqueTraceNames(const std::vector<std::string>& names) {
  // every name as given is reserved first, so a later "take (2)" keeps its own name
  std::set<std::string> taken;
  for (const std::string& name : names) taken.insert(name.empty() ? "trace" : name);
  std::set<std::string> given;
  std::vector<std::string> unique;
  unique.reserve(names.size());
  for (const std::string& name : names) {
    const std::string base = name.empty() ? "trace" : name;
    std::string candidate = base;
    if (given.count(base) != 0) {
      int n = 2;
      while (taken.count(base + " (" + std::to_string(n) + ")") != 0) ++n;
      candidate = base + " (" + std::to_string(n) + ")";
    }
    given.insert(candidate);
    taken.insert(candidate);
    unique.push_back(candidate);
  }
  return unique;
}

}  // namespace quorvel
