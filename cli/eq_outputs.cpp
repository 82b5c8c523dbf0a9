#include "cli/eq_outputs.h"

#include <cstdint>
#include <cstdio>

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "cli/cli_options.h"
#include "cli/command_files.h"
#include "eq/eq_writers.h"
#include "graph/curve_image_export.h"
#include "graph/eq_plot.h"

namespace quorvel {

namespace {

enum class EqFile { kPipeWire, kEasyEffects, kCamillaDsp, kApo, kCsv, kPng };

struct EqOutput {
  const char* option;
  EqFile file;
  uint64_t bytes;  // at most: each text a few hundred bytes a filter, the CSV 700 lines
};

constexpr EqOutput kOutputs[] = {
    {"pipewire", EqFile::kPipeWire, 65536},
    {"easyeffects", EqFile::kEasyEffects, 65536},
    {"camilladsp", EqFile::kCamillaDsp, 65536},
    {"apo", EqFile::kApo, 8192},
    {"csv", EqFile::kCsv, 96 * 700 + 64},
    {"png", EqFile::kPng, PngBytesBound(kEqPictureWidth, 2 * kEqPlotHeight)}};

std::string OutputPath(const CliOptions& options, const EqOutput& output) {
  const std::string path = options.Value(output.option);
  return output.file == EqFile::kPng ? WithImageExtension(path, "png") : path;
}

std::string Text(EqFile file, const EqOutcome& o) {
  switch (file) {
    case EqFile::kPipeWire:
      return PipeWireDropIn(o.fit.filterSet, o.name);
    case EqFile::kEasyEffects:
      return EasyEffectsPreset(o.fit.filterSet);
    case EqFile::kCamillaDsp:
      return CamillaDspFilters(o.fit.filterSet, o.name);
    case EqFile::kApo:
      return ApoText(o.fit.filterSet);
    default:
      return EqCsvText(o);
  }
}

std::string Range(double low, double high) {
  return FormatGeneral(low, 6) + "-" + FormatGeneral(high, 6) + " Hz";
}

EqPlotCurves PlotCurves(const EqOutcome& o) {
  EqPlotCurves c;
  c.frequenciesHz = o.trace.frequenciesHz;
  c.measuredDb = o.trace.levelsDb;
  c.targetDb = o.targetDb;
  c.predictedDb = o.fit.predictionDb;
  c.residualHz = o.fit.gridHz;
  for (size_t j = 0; j < o.fit.gridHz.size(); ++j) {
    c.residualDb.push_back(o.fit.smoothedPredictionDb[j] - o.fit.targetDb[j]);
  }
  c.matchLowHz = o.options.matchLowHz;
  c.matchHighHz = o.options.matchHighHz;
  c.title = "Equaliser for " + o.name + ": residual " + FormatFixed(o.fit.residualRmsDb, 2) +
            " dB RMS over " + Range(c.matchLowHz, c.matchHighHz);
  return c;
}

}  // namespace

void CompleteEqOutcome(const EqTarget& target, EqOutcome* o) {
  o->targetDb = TargetShapeDb(target, o->trace.frequenciesHz);
  // the fit moved the target to the trace's level: by as much here
  if (!o->fit.gridHz.empty()) {
    const double shift =
        o->fit.targetDb[0] - TargetShapeDb(target, std::vector<double>{o->fit.gridHz[0]})[0];
    for (double& level : o->targetDb) level += shift;
  }
  o->equaliserDb.clear();
  for (const double f : o->trace.frequenciesHz) {
    o->equaliserDb.push_back(CascadeGainDb(o->fit.filterSet.filters, f));
  }
}

std::string EqCsvText(const EqOutcome& o) {
  std::string text = "frequency_hz,measured_db,target_db,eq_db,predicted_db\n";
  for (size_t i = 0; i < o.trace.frequenciesHz.size(); ++i) {
    text += FormatFixed(o.trace.frequenciesHz[i], 3) + "," + FormatFixed(o.trace.levelsDb[i], 3) +
            "," + FormatFixed(o.targetDb[i], 3) + "," + FormatFixed(o.equaliserDb[i] + 0.0, 3) +
            "," + FormatFixed(o.fit.predictionDb[i], 3) + "\n";
  }
  return text;
}

void AddEqOutputs(const CliOptions& options, CCommandFiles* files) {
  for (const EqOutput& output : kOutputs) {
    if (options.Has(output.option)) {
      files->AddOutput(output.option, OutputPath(options, output), kMsgCannotSaveFile,
                       output.bytes);
    }
  }
}

void PrintEqOutcome(const EqOutcome& o) {
  const EqFitResult& fit = o.fit;
  std::printf("%s: %zu filters over %s, 1/%s octave smoothing, %s\n", o.name.c_str(),
              fit.filterSet.filters.size(),
              Range(o.options.matchLowHz, o.options.matchHighHz).c_str(),
              FormatGeneral(o.options.smoothingBandsPerOctave, 3).c_str(),
              o.options.maxBoostDb > 0.0
                  ? ("boosts up to " + FormatGeneral(o.options.maxBoostDb, 3) + " dB").c_str()
                  : "cut only");
  std::fputs(ApoText(fit.filterSet).c_str(), stdout);
  std::printf("residual: %s dB RMS, largest %s dB", FormatFixed(fit.residualRmsDb, 2).c_str(),
              FormatFixed(fit.residualLargestDb, 2).c_str());
  if (!fit.dipsLeftAlone.empty()) {
    std::printf(", %s dB RMS outside the dips left alone",
                FormatFixed(fit.residualRmsOutsideDipsDb, 2).c_str());
  }
  std::printf("\n");
  for (const EqDip& dip : fit.dipsLeftAlone) {
    std::printf("dip left alone: %s, %s dB below the target\n",
                Range(dip.lowHz, dip.highHz).c_str(), FormatFixed(dip.depthDb, 1).c_str());
  }
}

bool WriteEqOutputs(const CliOptions& options, const EqOutcome& outcome) {
  bool written = true;
  for (const EqOutput& output : kOutputs) {
    if (!options.Has(output.option)) continue;
    const std::string path = OutputPath(options, output);
    std::string words;
    bool ok = false;
    if (output.file == EqFile::kPng) {
      const Result<void> saved = SaveEqPicture(path, PlotCurves(outcome));
      ok = saved.Ok();
      words = saved.Message();
    } else {
      const std::string text = Text(output.file, outcome);
      const Result<void> whole = WriteWholeFile(path, text.data(), text.size());
      ok = whole.Ok();
      if (!ok) words = std::string(kMsgCannotSaveFile) + "\n" + whole.Message();
    }
    if (!ok) std::fprintf(stderr, "%s\n", words.c_str());
    written = written && ok;
  }
  return written;
}

}  // namespace quorvel
