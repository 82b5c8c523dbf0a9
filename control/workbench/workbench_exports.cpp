#include "control/workbench/workbench_exports.h"

#include <algorithm>
#include <cmath>

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "measurement/trace_export.h"
#include "measurement/trace_names.h"

namespace quorvel {

std::vector<std::string> FrdFileNames(const std::vector<Trace>& traces) {
  std::vector<std::string> names;
  for (const Trace& trace : traces) {
    std::string name = trace.name;
    std::replace(name.begin(), name.end(), '/', '-');
    std::replace(name.begin(), name.end(), '\0', '-');
    names.push_back(name);
  }
  // the names made unique as they will be written: "take.frd" and "take (2).frd"
  names = UniqueTraceNames(names);
  for (std::string& name : names) name += ".frd";
  return names;
}

bool ExportTracesFrd(const std::vector<Trace>& traces, const std::string& folder,
                     std::vector<std::string>* written, std::vector<std::string>* failures) {
  const std::vector<std::string> names = FrdFileNames(traces);
  for (size_t i = 0; i < traces.size(); ++i) {
    const std::string path = folder + "/" + names[i];
    const std::string text = FormatTraceFrd(traces[i]);
    if (const Result<void> whole = WriteWholeFile(path, text.data(), text.size())) {
      written->push_back(path);
    } else {
      failures->push_back(path + ": " + whole.Message());
    }
  }
  return failures->empty();
}

Result<void> ExportOverlayCsv(const std::vector<Trace>& traces, const std::string& path) {
  // a column each, told apart as the list tells them apart
  std::vector<Trace> named = traces;
  std::vector<std::string> names;
  for (const Trace& trace : traces) names.push_back(trace.name);
  names = UniqueTraceNames(names);
  for (size_t i = 0; i < named.size(); ++i) named[i].name = names[i];
  const Result<std::string> text = FormatOverlayCsv(named);
  if (!text.Ok()) return Failure{text.Message()};
  return WriteWholeFile(path, text->data(), text->size());
}

std::string FormatLiveCurvesCsv(const std::vector<NamedLiveCurve>& curves) {
  std::vector<std::string> names;
  for (const NamedLiveCurve& curve : curves) names.push_back(curve.name);
  names = UniqueTraceNames(names);
  std::string text;
  size_t points = 0;
  for (size_t i = 0; i < curves.size(); ++i) {
    if (i > 0) text += ",";
    text += CsvField(names[i] + " frequency_hz") + "," + CsvField(names[i] + " level_db");
    points = std::max(points, curves[i].levelsDb.size());
  }
  text += "\n";
  for (size_t k = 0; k < points; ++k) {
    for (size_t i = 0; i < curves.size(); ++i) {
      if (i > 0) text += ",";
      const NamedLiveCurve& curve = curves[i];
      const bool point = k < curve.levelsDb.size() && k < curve.frequenciesHz.size() &&
                         std::isfinite(curve.levelsDb[k]);
      if (point) {
        text += FormatFixed(curve.frequenciesHz[k], 4) + "," + FormatFixed(curve.levelsDb[k], 3);
      } else {
        text += ",";
      }
    }
    text += "\n";
  }
  return text;
}

Result<void> ExportLiveCurvesCsv(const std::vector<NamedLiveCurve>& curves,
                                 const std::string& path) {
  const std::string text = FormatLiveCurvesCsv(curves);
  return WriteWholeFile(path, text.data(), text.size());
}

}  // namespace quorvel
