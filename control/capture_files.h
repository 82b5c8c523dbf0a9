#pragma once

#include <functional>
#include <string>

namespace quorvel {

class CAudio;
class CWave;
class IPreferences;
class IUserMessages;
struct CSharedState;

// The save and load rules of capture files: WAV files (16-bit PCM, mono, 48000 Hz) holding one
// finished recording, tagged with the tool's name, the sweep range, the file's own title, the
// microphone chart in force and the year. The main window and quorvel-cli both call these;
// every message goes through IUserMessages. All of it runs on the user-interface thread, while
// no measurement is running.

// The microphone calibration charts, as the calibration code offers them: FindChart returns the
// index (into CSharedState::m_chartPaths / m_chartNames) of the usable chart of that name or
// -1; LoadChart resamples the chart at path onto the curve grid of fmin..fmax [Hz] into the
// calibration curve and says whether the chart was usable.
class ICalibrationCharts {
 public:
  virtual ~ICalibrationCharts() = default;
  virtual int FindChart(const std::string& name) = 0;
  virtual bool ValidateChart(int index) = 0;
  virtual bool LoadChart(const std::string& path, double fmin, double fmax) = 0;
};

// What the operations work on. charts may be null: a microphone named by a file is then
// reported as not found and the file is replayed without calibration.
struct CaptureFileContext {
  CAudio& audio;
  CSharedState& state;
  CWave& wave;
  IUserMessages& messages;
  IPreferences& preferences;  // "Wav" and "MicroSelected" are read and written here
  ICalibrationCharts* charts = nullptr;
};

// ---- Save Audio File ----

// True when a completed curve with at least one second of recording can be saved; otherwise
// shows "No new capture performed" and returns false.
[[nodiscard]] bool CheckCaptureToSave(const CaptureFileContext& ctx);

// The folder a capture file chooser opens in: m_szWavPath when it names an existing folder,
// else its folder; m_szExeDir when m_szWavPath is empty. Empty when the folder does not exist.
[[nodiscard]] std::string CaptureFileStartFolder(const CSharedState& state);

// Writes the record track (index 0 .. m_capturedCount - 1; rotated beforehand by
// RotateRecordTrack) to path with the tags: title "%.2lf-%.2lf Hz" of m_fmin and m_fmax, artist
// "Quorvel", album the file's own title, comment the chart in force (when calibration is
// applied), year. Sets m_szWavPath and the preference "Wav" once the file is created. Shows
// "Could not create File!" or "Could not write to File..." and returns false on a failure.
// The caller has checked CheckCaptureToSave first.
[[nodiscard]] bool SaveCaptureFile(const CaptureFileContext& ctx, const std::string& path);

// The whole command: CheckCaptureToSave, the save-file chooser (".wav", starting in
// CaptureFileStartFolder), SaveCaptureFile. False when nothing was saved.
[[nodiscard]] bool SaveAudioFile(const CaptureFileContext& ctx);

// ---- Load Audio File ----

// What a successful load hands back to the caller.
struct LoadedCaptureFile {
  double fmin = 20.0;  // the range to replay with [Hz], from the title tag
  double fmax = 20000.0;
  std::string name;                 // the album tag, or the file's title
  bool calibrationApplied = false;  // a chart named by the file was loaded and selected
};

// True while anything of a measurement is active: a capture, a playing sweep, an open input or
// output, a play thread or a capture thread.
[[nodiscard]] bool IsMeasurementActive(const CaptureFileContext& ctx);

// Checks and loads the capture file at path, in this order, each failing check showing its
// message and returning false: the file opens ("Could not open File %s: error %d\n"), its size
// lies within 1920000 .. 2200000 bytes ("Sorry this file is too short/too big to be a valid
// 'Quorvel' file..."), its samples read ("Sorry this file is not convenient..."), at least
// 1000000 samples, mono, 48000 Hz ("Sorry this file is not convenient for 'Quorvel'..."), and
// a tagged file names the tool as its artist ("Sorry this file is not a genuine 'Quorvel' wav
// file..."). Then the range comes from the title tag and the microphone named in the comment is
// looked up (a missing or unusable chart shows its message and the load goes on without it).
//
// On success the engine holds the samples (m_fileSamples, m_fileSampleCount, m_fileChannels,
// m_fileRate); m_bCurveEndNotified is 0; m_curveFmin and m_curveFmax are the file's range;
// m_szWavPath and the preference "Wav" name the file; m_szGraphCaption reads "Playing File
// \"name\"" or "Playing \"name\" captured with microphone \"chart\""; m_nSelectedChart and
// m_bCalibrationApplied say whether a chart was taken. The caller then does the window's part:
// smoothing off, the start button disabled, the curve cleared, the range fields set from
// result->fmin and result->fmax (with and without validation), the calibration button from
// result->calibrationApplied, a repaint, and the replay.
//
// Once the size check has passed, earlier loaded samples are freed (and stay freed on a later
// failure) and m_szWavPath names the file.
[[nodiscard]] bool LoadCaptureFile(const CaptureFileContext& ctx, const std::string& path,
                                   LoadedCaptureFile* result);

// The whole command: m_szWavPath from the preference "Wav"; when a measurement is active,
// endMeasurement() (the window's EndCapture and calibration-off step), then calibration off and
// m_bCapturing = 0; the open-file chooser (".wav", starting in CaptureFileStartFolder);
// LoadCaptureFile. False when the chooser was cancelled or the file was refused.
[[nodiscard]] bool LoadAudioFile(const CaptureFileContext& ctx,
                                 const std::function<void()>& endMeasurement,
                                 LoadedCaptureFile* result);

}  // namespace quorvel
