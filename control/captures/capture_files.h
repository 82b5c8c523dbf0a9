#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "measurement/measurement.h"
#include "measurement/recording.h"

namespace quorvel {

class CAudio;
class ICalibrationCharts;
class CWave;
class IPreferences;
class IUserMessages;
struct CSharedState;

// The save and load rules of capture files: WAV files (16-bit PCM, mono, 48000 Hz) holding one
// finished recording, tagged with the tool's name, the sweep range, the file's own title, the
// microphone chart in force and the year. The main window and quorvel-cli both call these;
// every message goes through IUserMessages. All of it runs on the user-interface thread, while
// no measurement is running.

// What reading a capture file works on: no engine. charts as in CaptureFileContext.
struct CaptureReadContext {
  CSharedState& state;
  CWave& wave;
  IUserMessages& messages;
  IPreferences& preferences;  // "Wav" and "MicroSelected" are read and written here
  ICalibrationCharts* charts = nullptr;
};

// What the operations work on. charts (the core's CMicroListProc) may be null: a microphone
// named by a file is then reported as not found and the file is replayed without calibration.
struct CaptureFileContext {
  CAudio& audio;
  CSharedState& state;
  CWave& wave;
  IUserMessages& messages;
  IPreferences& preferences;  // "Wav" and "MicroSelected" are read and written here
  ICalibrationCharts* charts = nullptr;
  // The measurement the last run ended in, when it ended complete and was kept (the sequence's
  // FinishedRunMeasurement); null when there is none. Save Audio File saves it.
  const Measurement* finished = nullptr;

  [[nodiscard]] CaptureReadContext Reading() const {
    return CaptureReadContext{state, wave, messages, preferences, charts};
  }
};

// ---- the range in the title tag ----

// The title tag of a capture file: the range as "%.2lf-%.2lf Hz" writes it in the C locale
// ("100.00-5000.00 Hz"), whatever the user's locale.
[[nodiscard]] std::string FormatRangeTitle(double fmin, double fmax);

// The range read from (at most the first 127 characters of) a title as "%lf-%lf" reads it in
// the C locale: *fmin and *fmax are 0 first, and each takes the number found in its place.
void ReadRangeTitle(const char* title, double* fmin, double* fmax);

// ---- Save Audio File ----

// True when the finished measurement (ctx.finished) can be saved (HasMeasurementToSave), its
// curve is complete (m_bCurveEndNotified: a file loaded since has not completed its replay yet)
// and the curve's range (m_curveFmin, m_curveFmax) is still known: a curve reset by a wider range
// took it. Reads no engine state. Shows nothing.
[[nodiscard]] bool HasCaptureToSave(const CaptureFileContext& ctx);

// HasCaptureToSave; when there is none, shows "No new capture performed" and returns false.
[[nodiscard]] bool CheckCaptureToSave(const CaptureFileContext& ctx);

// The folder a file chooser opens in for the remembered path lastPath: the nearest existing
// folder of it (lastPath itself, its folder, or the nearest parent that still exists); exeDir
// when lastPath is empty. Empty when there is no such folder.
[[nodiscard]] std::string ChooserStartFolder(const std::string& lastPath,
                                             const std::string& exeDir);

// The folder a capture file chooser opens in: ChooserStartFolder of m_szWavPath and m_szExeDir.
[[nodiscard]] std::string CaptureFileStartFolder(const CSharedState& state);

// Writes a finished measurement's recording (with its timing reference as channel 2 when it has
// one) to path with the tool's tags: the range the curve was measured over (not the range
// fields) as title, "Quorvel" as artist, the file's own title as album, the chart the curve was
// corrected with (else the chart in force) as comment, the year. Once the file is created,
// m_szWavPath and the preference "Wav" name it. An earlier file at path is replaced only by the
// whole new one. False after a message whose second line names the path and the system's
// reason.
[[nodiscard]] bool SaveMeasurementCapture(const CaptureReadContext& ctx,
                                          const Measurement& measurement, const std::string& path);

// The same file, written as SaveMeasurementCapture writes it, that does not become the last
// capture file: the session's own copy of a finished measurement leaves the choosers where they
// were.
[[nodiscard]] bool KeepMeasurementCapture(const CaptureReadContext& ctx,
                                          const Measurement& measurement, const std::string& path);

// True when measurement (may be null: none) can be saved: a recording of at least one second,
// over a range.
[[nodiscard]] bool HasMeasurementToSave(const Measurement* measurement);

// HasMeasurementToSave; when there is none, shows "No new capture performed" and returns false.
[[nodiscard]] bool CheckMeasurementToSave(const CaptureReadContext& ctx,
                                          const Measurement* measurement);

// Save Audio File over the window's current measurement (may be null: none):
// CheckMeasurementToSave, the save-file chooser (".wav", starting in CaptureFileStartFolder),
// SaveMeasurementCapture. False when nothing was saved.
[[nodiscard]] bool SaveAudioFile(const CaptureReadContext& ctx, const Measurement* measurement);

// ---- Load Audio File ----

// What a successful load hands back to the caller.
struct LoadedCaptureFile {
  double fmin = 20.0;  // the range to replay with [Hz], from the title tag
  double fmax = 20000.0;
  std::string name;                 // the album tag, or the file's title
  bool calibrationApplied = false;  // a chart named by the file was loaded and selected
  std::string path;                 // the file, as given
};

// A capture file as one reading of its bytes gives it: what a load hands back, the file's
// samples, its tags as read and the caption of its replay.
struct CaptureFileContents {
  LoadedCaptureFile loaded;
  std::shared_ptr<const Recording> recording;
  CaptureTags tags;
  std::string caption;
  // The chart the file names as it was read for the file's range, when it was applied and read
  // whole (CMicroListProc); a stand-in's lookup leaves it empty.
  std::optional<ResolvedChart> chart;
};

// LoadCaptureFile without an engine: the same checks, messages and shared-state changes, the
// file opened and read once; its samples go to *contents (may be null) instead of an engine.
[[nodiscard]] bool ReadCaptureFile(const CaptureReadContext& ctx, const std::string& path,
                                   CaptureFileContents* contents);

// True while anything of a measurement is active: a capture, a playing sweep, an open input or
// output, a play thread or a capture thread.
[[nodiscard]] bool IsMeasurementActive(const CaptureFileContext& ctx);

// Checks the capture file at path and loads it: it must open, have the size of a 20-second
// recording, hold at least 1,000,000 mono 48000 Hz 16-bit samples and, when tagged, name the
// tool as its artist; each refusal shows its message and returns false. Earlier loaded samples
// are freed once the size check has passed. On success the engine holds the samples; the
// shared state holds the file's range (from its title tag), its path, the caption "Playing
// ..." and the calibration of the microphone the file names (a missing or unusable chart shows
// its message and the load goes on without it); *result (may be null) tells the window what to
// show before it starts the replay.
[[nodiscard]] bool LoadCaptureFile(const CaptureFileContext& ctx, const std::string& path,
                                   LoadedCaptureFile* result);

// The whole command: m_szWavPath from the preference "Wav"; when a measurement is active,
// endMeasurement() (the window's EndCapture and calibration-off step), then calibration off and
// m_bCapturing = 0; the open-file chooser (".wav", starting in CaptureFileStartFolder);
// LoadCaptureFile, which here also refuses a title range beyond a measurement's limits (below
// 1.9 Hz) with the range fields' refusal. False when the chooser was cancelled or the file was
// refused.
[[nodiscard]] bool LoadAudioFile(const CaptureFileContext& ctx,
                                 const std::function<void()>& endMeasurement,
                                 LoadedCaptureFile* result);

}  // namespace quorvel
