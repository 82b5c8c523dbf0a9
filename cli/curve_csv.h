#pragma once

#include <string>

// Writes a curve as CSV: the header "index,frequency_hz,level_db", then one line per stored
// point k with its frequency fmin*(fmax/fmin)^(k/1000) in %.6f and its level in %.4f.
// False when the file cannot be written completely.
bool WriteCurveCsv(const std::string& path, const double* levelsDb, int count, double fmin,
                   double fmax);
