#include "cli/curve_csv.h"

#include <cmath>
#include <cstdio>

bool WriteCurveCsv(const std::string& path, const double* levelsDb, int count, double fmin,
                   double fmax) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  bool ok = std::fprintf(file, "index,frequency_hz,level_db\n") > 0;
  for (int k = 0; ok && k < count; ++k) {
    // The sweep spends exactly one 960-frame block per thousandth of its range, so point k
    // sits at fmin*(fmax/fmin)^(k/1000).
    const double frequencyHz = fmin * std::pow(fmax / fmin, k / 1000.0);
    ok = std::fprintf(file, "%d,%.6f,%.4f\n", k, frequencyHz, levelsDb[k]) > 0;
  }
  if (std::fclose(file) != 0) ok = false;
  return ok;
}
