// The label values of the graph that go through CUtil::RoundForLabel: the marker's frequency
// and the level axis labels.
#include <cmath>

#include "base/util.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"

namespace quorvel {

double MarkerFrequency(int c, double fmin, double fmax) {
  return CUtil::RoundForLabel(PointFrequency(c + 1, fmin, fmax));
}

void FormatLevelLabel(char* out, int outBytes, double levelDb) {
  if (outBytes <= 0) return;
  CGraphical::FormatAxisNumber(out, static_cast<size_t>(outBytes), 8,
                               CUtil::RoundForLabel(levelDb));
}

}  // namespace quorvel
