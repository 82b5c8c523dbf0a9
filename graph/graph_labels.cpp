// The label values of the graph: the marker's frequency and level texts, and the level axis
// labels.
#include <cmath>

#include "base/number_text.h"
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

std::string MarkerFrequencyText(double frequencyHz) {
  return FormatGeneral(frequencyHz, 6) + " Hz";
}

std::string MarkerLevelText(double levelDb) {
  return FormatFixed(levelDb, 2) + " dB";
}

}  // namespace quorvel
