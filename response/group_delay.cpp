#include "response/group_delay.h"

#include <cmath>
#include <complex>
#include <functional>

#include "base/number_text.h"
#include "response/impulse_analysis.h"
#include "response/minimum_phase.h"
#include "response/response_export.h"

namespace quorvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The level for the minimum phase is read this far apart over the band [Hz]: about the grid
// MinimumPhaseDeg computes on, so no detail of the level is lost or invented.
constexpr double kLevelStepHz = 0.5;
constexpr double kFloorDb = -300.0;

using Transfer = std::function<std::complex<double>(double frequencyHz)>;

double LevelDb(std::complex<double> v) {
  const double m = std::abs(v);
  return m > 0.0 ? std::max(20.0 * std::log10(m), kFloorDb) : kFloorDb;
}

// -d phase / d omega [ms] at each frequency from the phases [degrees, continuous] there.
std::vector<double> Differenced(const std::vector<double>& f, const std::vector<double>& deg) {
  std::vector<double> ms(f.size(), 0.0);
  for (std::size_t i = 0; i < f.size(); ++i) {
    const std::size_t a = i > 0 ? i - 1 : i;
    const std::size_t b = i + 1 < f.size() ? i + 1 : i;
    if (a == b) continue;
    ms[i] = -(deg[b] - deg[a]) / 360.0 / (f[b] - f[a]) * 1000.0;
  }
  return ms;
}

std::vector<GroupDelayRow> Rows(const Transfer& transfer, double fmin, double fmax, double rate) {
  std::vector<GroupDelayRow> rows;
  const std::vector<double> grid = FrdFrequencies(fmin, std::min(fmax, rate / 2 * 0.999999));
  if (grid.size() < 2) return rows;

  // The phase, unwrapped from one frequency to the next: each step is the angle between them.
  std::vector<double> phase(grid.size(), 0.0);
  std::complex<double> previous = transfer(grid[0]);
  phase[0] = std::arg(previous) * 180.0 / kPi;
  for (std::size_t i = 1; i < grid.size(); ++i) {
    const std::complex<double> v = transfer(grid[i]);
    phase[i] = phase[i - 1] + std::arg(v * std::conj(previous)) * 180.0 / kPi;
    previous = v;
  }

  std::vector<double> levelHz, levelDb;
  const double top = grid.back();
  for (double f = grid.front(); f < top; f += kLevelStepHz) {
    levelHz.push_back(f);
    levelDb.push_back(LevelDb(transfer(f)));
  }
  levelHz.push_back(top);
  levelDb.push_back(LevelDb(transfer(top)));
  const std::vector<double> minimum = MinimumPhaseDeg(levelHz, levelDb, grid, rate);

  const std::vector<double> total = Differenced(grid, phase);
  const std::vector<double> least = Differenced(grid, minimum);
  for (std::size_t i = 0; i < grid.size(); ++i) {
    rows.push_back({grid[i], total[i], least[i], total[i] - least[i]});
  }
  return rows;
}

}  // namespace

std::vector<GroupDelayRow> GroupDelayRows(const CImpulseAnalysis& analysis) {
  if (!analysis.HasResult()) return {};
  return Rows([&analysis](double f) { return analysis.TransferAt(f); }, analysis.Fmin(),
              analysis.Fmax(), CImpulseAnalysis::kRate);
}

std::vector<GroupDelayRow> GroupDelayRows(const ImpulseResponse& response) {
  if (!response.Usable()) return {};
  const CImpulseSpectrum spectrum(response);
  return Rows([&spectrum](double f) { return spectrum.At(f); }, response.fmin, response.fmax,
              response.rate);
}

std::string FormatGroupDelayCsv(const std::vector<GroupDelayRow>& rows) {
  std::string text = "frequency_hz,group_delay_ms,excess_group_delay_ms\n";
  for (const GroupDelayRow& row : rows) {
    text += FormatFixed(row.frequencyHz, 4) + "," + FormatFixed(row.groupDelayMs, 4) + "," +
            FormatFixed(row.excessGroupDelayMs, 4) + "\n";
  }
  return text;
}

}  // namespace quorvel
