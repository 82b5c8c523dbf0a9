#include "control/eq/eq_design.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "eq/eq_writers.h"
#include "files/chart_file.h"

namespace quorvel {

namespace {

std::string Range(double low, double high) {
  return FormatGeneral(low, 6) + "-" + FormatGeneral(high, 6) + " Hz";
}

}  // namespace

EqDesign DesignEqualiser(const Trace& trace, const EqDesignSettings& settings) {
  EqDesign d;
  d.name = trace.name;
  d.options = settings.fit;
  EqTarget target = settings.target;
  if (target.kind == EqTargetKind::kPoints && !settings.targetPath.empty()) {
    if (const Result<void> read = ReadEqTargetFile(settings.targetPath, &target); !read) {
      d.error = read.Message();
      return d;
    }
  }
  if (trace.frequenciesHz.empty()) {
    d.error = "the trace holds no levels";
    return d;
  }
  // the match range within the trace's
  d.options.matchLowHz = std::max(d.options.matchLowHz, trace.frequenciesHz.front());
  d.options.matchHighHz = std::min(d.options.matchHighHz, trace.frequenciesHz.back());
  const EqTrace levels{trace.frequenciesHz, trace.levelsDb};
  d.fit = FitEqualiser(levels, target, d.options);
  if (!d.fit.error.empty()) {
    d.error = d.fit.error;
    return d;
  }
  d.frequenciesHz = trace.frequenciesHz;
  d.measuredDb = trace.levelsDb;
  d.predictedDb = d.fit.predictionDb;
  // the fit moved the target to the trace's level: by as much here
  d.targetDb = TargetShapeDb(target, d.frequenciesHz);
  if (!d.fit.gridHz.empty()) {
    const double shift =
        d.fit.targetDb[0] - TargetShapeDb(target, std::vector<double>{d.fit.gridHz[0]})[0];
    for (double& level : d.targetDb) level += shift;
  }
  d.residualHz = d.fit.gridHz;
  for (size_t j = 0; j < d.fit.gridHz.size(); ++j) {
    d.residualDb.push_back(d.fit.smoothedPredictionDb[j] - d.fit.targetDb[j]);
  }
  return d;
}

std::string ResidualSummary(const EqDesign& d) {
  if (!d.error.empty()) return "No equaliser: " + d.error;
  std::string text = "Residual " + FormatFixed(d.fit.residualRmsDb, 2) + " dB RMS, largest " +
                     FormatFixed(d.fit.residualLargestDb, 2) + " dB over " +
                     Range(d.options.matchLowHz, d.options.matchHighHz);
  if (!d.fit.dipsLeftAlone.empty()) {
    const size_t dips = d.fit.dipsLeftAlone.size();
    text += "; " + FormatFixed(d.fit.residualRmsOutsideDipsDb, 2) + " dB RMS outside " +
            (dips == 1 ? std::string("the dip left alone")
                       : "the " + std::to_string(dips) + " dips left alone");
  }
  return text;
}

Result<void> ReadEqTargetFile(const std::string& path, EqTarget* target) {
  std::string text;
  auto table = std::make_unique<ChartPointTable>();
  if (!ReadChartText(path, &text) || ParseChart(text, table.get()) == 0) {
    return Failure{"the target file " + path + " holds no curve (frequency level lines)"};
  }
  target->kind = EqTargetKind::kPoints;
  target->points.clear();
  for (int i = 0; i < table->count; ++i) {
    target->points.push_back({std::pow(10.0, table->logFrequency[i]), table->level[i]});
  }
  if (const std::string error = CheckTarget(*target); !error.empty()) {
    return Failure{"the target file " + path + ": " + error};
  }
  return {};
}

const std::vector<EqExportKind>& EqExportKinds() {
  static const std::vector<EqExportKind> kinds = {
      {EqExportFormat::kPipeWire, "PipeWire filter-chain drop-in", ".conf"},
      {EqExportFormat::kEasyEffects, "EasyEffects preset", ".json"},
      {EqExportFormat::kCamillaDsp, "CamillaDSP filters", ".yml"},
      {EqExportFormat::kApo, "Equalizer APO text", ".txt"}};
  return kinds;
}

std::string EqExportText(EqExportFormat format, const EqDesign& d) {
  switch (format) {
    case EqExportFormat::kPipeWire:
      return PipeWireDropIn(d.fit.filterSet, d.name);
    case EqExportFormat::kEasyEffects:
      return EasyEffectsPreset(d.fit.filterSet);
    case EqExportFormat::kCamillaDsp:
      return CamillaDspFilters(d.fit.filterSet, d.name);
    case EqExportFormat::kApo:
      break;
  }
  return ApoText(d.fit.filterSet);
}

Result<void> WriteEqExport(const std::string& path, EqExportFormat format, const EqDesign& design) {
  const std::string text = EqExportText(format, design);
  const Result<void> whole = WriteWholeFile(path, text.data(), text.size());
  if (whole) return {};
  return Failure{std::string(kMsgCannotSaveFile) + "\n" + whole.Message()};
}

}  // namespace quorvel
