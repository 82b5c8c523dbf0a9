#include "control/captures/capture_files.h"

#include "base/preferences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "calibration/calibration_flag.h"
#include "calibration/micro_list_proc.h"
#include "control/run/failure_words.h"
#include "control/run/measurement_request.h"
#include "control/settings/data_folders.h"
#include "engine/audio_engine.h"
#include "files/capture_samples.h"
#include "files/wave_file.h"
#include "files/wave_format.h"
#include "graph/graph_caption.h"

namespace quorvel {

namespace {

constexpr uint64_t kSmallestCaptureFile = 1920000;  // [bytes] 20 s of samples at 48000 Hz
constexpr uint64_t kLargestCaptureFile = 2200000;   // [bytes]
constexpr uint32_t kFewestSamples = 1000000;        // about 20.8 s at 48000 Hz
constexpr char kMsgTooBig[] = "Sorry this file is too big to be a valid 'Quorvel' file...";
constexpr int32_t kShortestRecording = 48000;  // [samples] one second

bool IsFolder(const char* path) {
  struct stat st {};
  return path[0] != '\0' && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string FormatRangeTitle(double fmin, double fmax) {
  return FormatFixed(fmin, 2) + "-" + FormatFixed(fmax, 2) + " Hz";
}

void ReadRangeTitle(const char* title, double* fmin, double* fmax) {
  *fmin = 0.0;
  *fmax = 0.0;
  const char* end = title + strnlen(title, 127);
  const char* p = ScanDouble(title, end, fmin);
  if (p == nullptr || p == end || *p != '-') return;
  static_cast<void>(ScanDouble(p + 1, end, fmax));
}

// ---- Save Audio File ----

bool HasCaptureToSave(const CaptureFileContext& ctx) {
  // A curve reset by a wider range leaves no range for the recording behind it: the reset
  // question asked whether to reset the capture.
  return ctx.state.m_bCurveEndNotified.load() != 0 && ctx.state.m_curveFmin > 0.0 &&
         ctx.state.m_curveFmin < ctx.state.m_curveFmax && HasMeasurementToSave(ctx.finished);
}

bool CheckCaptureToSave(const CaptureFileContext& ctx) {
  if (HasCaptureToSave(ctx)) return true;
  ctx.messages.ShowMessage(kMsgNoNewCapture);
  return false;
}

std::string ChooserStartFolder(const std::string& lastPath, const std::string& exeDir) {
  if (!lastPath.empty()) return NearestExistingFolder(lastPath);
  return IsFolder(exeDir.c_str()) ? exeDir : std::string();
}

std::string CaptureFileStartFolder(const CSharedState& state) {
  return ChooserStartFolder(state.m_szWavPath, state.m_szExeDir);
}

namespace {

// What a capture file holds: the samples, one or two interleaved channels (channel 1 the
// measurement, channel 2 the timing reference), and the tags' range and chart.
struct CaptureToWrite {
  std::span<const int16_t> samples;
  int channels = 1;
  double fmin = 20.0;
  double fmax = 20000.0;
  std::string chartName;
};

// The one writer of a capture file: the samples, then the tags (the range the recording's sweep
// covered as title, the tool as artist, the file's own title as album, the chart as comment).
// remember: the file becomes the last capture file (m_szWavPath and "Wav") once it is created.
bool WriteCaptureFile(const CaptureReadContext& ctx, const std::string& path,
                      const CaptureToWrite& capture, bool remember) {
  CWave& wave = ctx.wave;
  CSharedState& state = ctx.state;
  if (!wave.CreateCaptureFile(path.c_str())) {
    ctx.messages.ShowMessage(WithWords("Could not create File!", wave.FailureWords()));
    return false;
  }
  if (remember) {
    CUtil::CopyText(state.m_szWavPath, path.c_str());
    ctx.preferences.WriteString(kPrefWav, state.m_szWavPath);
  }

  if (capture.channels == 2) wave.SetCaptureChannels(2);
  if (!wave.WriteSamples(capture.samples.data(), capture.samples.size())) {
    // The unfinished file is gone; an earlier file of that name stays as it was.
    ctx.messages.ShowMessage(WithWords("Could not write to File...", wave.FailureWords()));
    return false;
  }

  CUtil::CopyText(wave.m_szArtist, sizeof wave.m_szArtist, "Quorvel");
  CUtil::CopyText(
      wave.m_szAlbum, sizeof wave.m_szAlbum,
      CUtil::StripExtension(CUtil::FileNameOfPath(remember ? state.m_szWavPath : path.c_str())));
  CUtil::CopyText(wave.m_szTitle, sizeof wave.m_szTitle,
                  FormatRangeTitle(capture.fmin, capture.fmax).c_str());
  CUtil::CopyText(wave.m_szComment, sizeof wave.m_szComment, capture.chartName.c_str());
  if (!wave.CloseCaptureFile(true)) {
    ctx.messages.ShowMessage(WithWords("Could not write to File...", wave.FailureWords()));
    return false;
  }
  return true;
}

bool WriteMeasurementCapture(const CaptureReadContext& ctx, const Measurement& measurement,
                             const std::string& path, bool remember) {
  const Recording& recording = measurement.GetRecording();
  CaptureToWrite capture;
  capture.samples = recording.samples;
  capture.channels = recording.channels == 2 ? 2 : 1;
  capture.fmin = measurement.Fmin();
  capture.fmax = measurement.Fmax();
  // the chart the curve was corrected with names the microphone; a curve measured without one
  // takes the chart in force now, as the calibration button shows it corrected
  capture.chartName = measurement.ChartName();
  const CSharedState& state = ctx.state;
  const int32_t chart = state.m_nSelectedChart.load();
  if (capture.chartName.empty() && chart >= 0 && state.m_bCalibrationApplied.load() != 0 &&
      static_cast<size_t>(chart) < state.m_chartNames.size()) {
    capture.chartName = state.m_chartNames[static_cast<size_t>(chart)];
  }
  return WriteCaptureFile(ctx, path, capture, remember);
}

}  // namespace

bool SaveMeasurementCapture(const CaptureReadContext& ctx, const Measurement& measurement,
                            const std::string& path) {
  return WriteMeasurementCapture(ctx, measurement, path, true);
}

bool KeepMeasurementCapture(const CaptureReadContext& ctx, const Measurement& measurement,
                            const std::string& path) {
  return WriteMeasurementCapture(ctx, measurement, path, false);
}

bool HasMeasurementToSave(const Measurement* measurement) {
  return measurement != nullptr &&
         measurement->GetRecording().Frames() >= static_cast<std::size_t>(kShortestRecording) &&
         measurement->Fmin() > 0.0 && measurement->Fmin() < measurement->Fmax();
}

bool CheckMeasurementToSave(const CaptureReadContext& ctx, const Measurement* measurement) {
  if (HasMeasurementToSave(measurement)) return true;
  ctx.messages.ShowMessage(kMsgNoNewCapture);
  return false;
}

bool SaveAudioFile(const CaptureReadContext& ctx, const Measurement* measurement) {
  if (!CheckMeasurementToSave(ctx, measurement)) return false;
  std::string path;
  if (!ctx.messages.ChooseSaveFile(CaptureFileStartFolder(ctx.state), "wav", &path)) {
    return false;
  }
  return SaveMeasurementCapture(ctx, *measurement, path);
}

// ---- Load Audio File ----

bool IsMeasurementActive(const CaptureFileContext& ctx) {
  const CAudio& audio = ctx.audio;
  return ctx.state.m_bCapturing.load() != 0 || audio.IsSweepPlaying() ||
         ctx.state.m_bInputOpen.load() != 0 || audio.IsOutputOpen() ||
         audio.IsPlayThreadRunning() || audio.IsCaptureThreadRunning();
}

namespace {

// How far the reading of a capture file went.
enum class ReadOutcome {
  kSizeRefused,  // it did not open, or its size is not a capture's: nothing else happened
  kRefused,      // refused after the size test
  kRead,
};

// The file's bytes, read once: the size test on the file as it is on disk, then its whole
// content. Opened without waiting: a named pipe would otherwise block the command until some
// program writes to it. Only a regular file has a size; anything else is too short. The size
// test bounds what is read: a two-channel capture may be up to twice a mono one's largest size,
// which the samples decide. kSizeRefused after its message; *size the file's size.
ReadOutcome ReadCaptureBytes(const std::string& path, IUserMessages& messages,
                             std::vector<uint8_t>* bytes, uint64_t* fileSize) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    // the number, then the system's reason in words on a line of its own
    messages.ShowMessage(
        WithWords(CUtil::FormatString("Could not open File %s: error %d\n", path.c_str(), error),
                  SystemErrorWords(error)));
    return ReadOutcome::kSizeRefused;
  }
  struct stat st {};
  const uint64_t size = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
                            ? static_cast<uint64_t>(st.st_size)
                            : 0;
  if (size < kSmallestCaptureFile || size > 2 * kLargestCaptureFile) {
    close(fd);
    messages.ShowMessage(size < kSmallestCaptureFile
                             ? "Sorry this file is too short to be a valid 'Quorvel' file..."
                             : kMsgTooBig);
    return ReadOutcome::kSizeRefused;
  }
  *fileSize = size;
  bytes->assign(static_cast<size_t>(size), 0);
  size_t got = 0;
  while (got < bytes->size()) {
    const ssize_t n = read(fd, bytes->data() + got, bytes->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  // a file that shrank since its size was taken is read as far as it goes
  bytes->resize(got);
  return ReadOutcome::kRead;
}

// The bytes as a stream for the WAV readers (closed by them).
std::FILE* StreamOf(std::vector<uint8_t>& bytes) {
  return fmemopen(bytes.data(), bytes.size(), "rb");
}

// What the samples of a file are.
enum class SamplesRead {
  kUnreadable,   // no WAV samples at all
  kUnsupported,  // too few, or of a layout Quorvel does not replay
  kMono,
  kStereo,  // channel 1 the measurement, channel 2 the timing reference
};

// The samples: at least 1,000,000 frames of a layout Quorvel replays (16-bit PCM, 48000 Hz,
// mono or with its timing reference, its header consistent with itself), into *recording.
SamplesRead ReadSamples(std::vector<uint8_t>& bytes, Recording* recording) {
  uint32_t sampleCount = 0;
  int32_t channels = 0;
  int16_t* samples = nullptr;
  int32_t rate = 0;
  WaveFormat format;
  if (bytes.empty() ||
      !ReadCaptureSamples(StreamOf(bytes), &sampleCount, &channels, &samples, &rate, &format)) {
    return SamplesRead::kUnreadable;
  }
  const std::unique_ptr<int16_t, void (*)(void*)> held(samples, std::free);
  const CaptureLayout layout = CaptureLayoutOf(format);
  if (sampleCount < kFewestSamples || layout == CaptureLayout::kUnsupported) {
    return SamplesRead::kUnsupported;
  }
  recording->channels = layout == CaptureLayout::kStereo16 ? 2 : 1;
  recording->samples.assign(samples,
                            samples + static_cast<std::size_t>(sampleCount) * recording->channels);
  return recording->channels == 2 ? SamplesRead::kStereo : SamplesRead::kMono;
}

// The microphone whose chart was in force when the file was saved: its chart selected and
// applied for fmin..fmax. When it has no usable chart, its message; nothing is selected and
// "MicroSelected" keeps its earlier value. True when the chart was applied.
bool ApplyFileMicrophone(const CaptureReadContext& ctx, const char* microphone, double fmin,
                         double fmax, std::optional<ResolvedChart>* resolved) {
  CSharedState& state = ctx.state;
  const std::string kept = ctx.preferences.ReadString(kPrefMicroSelected, kDefaultMicroSelected);
  ctx.preferences.WriteString(kPrefMicroSelected, microphone);
  std::string message = kMsgChartNotValid;
  FileChart found;
  if (ctx.charts != nullptr) {
    found = ctx.charts->ApplyFileChart(state.m_chartPaths, microphone, fmin, fmax);
  }
  if (found.index < 0 || static_cast<size_t>(found.index) >= state.m_chartPaths.size()) {
    message =
        CUtil::FormatString("Sorry, could not find microphone \"%s\" for calibration", microphone);
  } else if (found.applied) {
    state.m_nSelectedChart.store(found.index);
    SetCalibrationFlag(state, true);
    *resolved = std::move(found.chart);
    return true;
  }
  ctx.messages.ShowMessage(message);
  state.m_nSelectedChart.store(-1);
  SetCalibrationFlag(state, false);
  ctx.preferences.WriteString(kPrefMicroSelected, kept);
  return false;
}

// The tags: a tagged file must name the tool as its artist; the title gives the range, the
// comment the microphone. False after the message of a foreign file, or (withinLimits) of a
// title range beyond a measurement's limits.
bool ReadCaptureTags(const CaptureReadContext& ctx, std::vector<uint8_t>& bytes, bool withinLimits,
                     LoadedCaptureFile* loaded, CaptureTags* tags,
                     std::optional<ResolvedChart>* chart) {
  CWave& wave = ctx.wave;
  // The samples have passed their checks; the tags are read as far as they go.
  static_cast<void>(wave.ReadWaveStream(StreamOf(bytes)));
  const WaveInfo& info = wave.m_info;
  if (wave.m_nTagCount > 0 &&
      (info.artist[0] == '\0' || CUtil::FindNoCase(info.artist, "Quorvel") < 0)) {
    ctx.messages.ShowMessage("Sorry this file is not a genuine 'Quorvel' wav file...");
    return false;
  }
  // The range the recording was measured with, from the title "%.2lf-%.2lf Hz"; made sane
  // when it is not.
  if (info.title[0] != '\0') {
    ReadRangeTitle(info.title, &loaded->fmin, &loaded->fmax);
    if (!(loaded->fmin > 0.0) || !std::isfinite(loaded->fmin)) {
      loaded->fmin = 20.0;
      loaded->fmax = 20000.0;
    } else if (!(loaded->fmin < loaded->fmax) || !(loaded->fmax <= 20000.0)) {
      // A reversed range, or an upper limit beyond 20 kHz (NaN and infinity included).
      loaded->fmax = 20000.0;
      loaded->fmin = std::min(loaded->fmin, 2000.0);
    }
  }
  // A title below 1.9 Hz passes that rule: refused as the range fields refuse such a range.
  if (withinLimits && !CheckRange(loaded->fmin, loaded->fmax, RangeRule::kAnyWithinLimits)) {
    ctx.messages.ShowMessage(CheckRange(loaded->fmin, loaded->fmax, RangeRule::kSteps).Message());
    return false;
  }
  tags->title = info.title;
  tags->artist = info.artist;
  tags->album = info.album;
  tags->comment = info.comment;
  loaded->calibrationApplied =
      info.comment[0] != '\0' &&
      ApplyFileMicrophone(ctx, info.comment, loaded->fmin, loaded->fmax, chart);
  loaded->name =
      info.album[0] != '\0'
          ? std::string(info.album)
          : std::string(CUtil::StripExtension(CUtil::FileNameOfPath(ctx.state.m_szWavPath)));
  return true;
}

ReadOutcome ReadCapture(const CaptureReadContext& ctx, const std::string& path, bool withinLimits,
                        CaptureFileContents* contents) {
  CSharedState& state = ctx.state;
  std::vector<uint8_t> bytes;
  uint64_t fileSize = 0;
  if (ReadCaptureBytes(path, ctx.messages, &bytes, &fileSize) == ReadOutcome::kSizeRefused) {
    return ReadOutcome::kSizeRefused;
  }
  auto recording = std::make_shared<Recording>();
  const SamplesRead samples = ReadSamples(bytes, recording.get());
  // only a two-channel capture may be larger
  if (fileSize > kLargestCaptureFile && samples != SamplesRead::kStereo) {
    ctx.messages.ShowMessage(kMsgTooBig);
    return ReadOutcome::kSizeRefused;
  }
  CUtil::CopyText(state.m_szWavPath, path.c_str());
  // The full path is read (m_szWavPath keeps at most 519 characters).
  if (samples == SamplesRead::kUnreadable || samples == SamplesRead::kUnsupported) {
    ctx.messages.ShowMessage(samples == SamplesRead::kUnreadable
                                 ? "Sorry this file is not convenient..."
                                 : "Sorry this file is not convenient for 'Quorvel'...");
    return ReadOutcome::kRefused;
  }
  LoadedCaptureFile loaded;
  CaptureTags tags;
  std::optional<ResolvedChart> fileChart;
  if (!ReadCaptureTags(ctx, bytes, withinLimits, &loaded, &tags, &fileChart)) {
    return ReadOutcome::kRefused;
  }
  loaded.path = path;

  state.m_bCurveEndNotified.store(0);
  state.m_curveFmin = loaded.fmin;
  state.m_curveFmax = loaded.fmax;
  ctx.preferences.WriteString(kPrefWav, state.m_szWavPath);
  // The microphone words only for the chart this file named and that was applied: a chart
  // selected before names no microphone of this recording.
  SetGraphCaption(state, ComposeGraphCaption(state, CaptionSubject::kReplay,
                                             loaded.calibrationApplied, loaded.name));
  if (contents != nullptr) {
    contents->loaded = std::move(loaded);
    contents->recording = std::move(recording);
    contents->tags = std::move(tags);
    contents->chart = std::move(fileChart);
    contents->caption = GraphCaption(state);
  }
  return ReadOutcome::kRead;
}

// The engine's samples: earlier ones are freed once the file has passed its size test, and a
// file read whole takes their place.
bool LoadCapture(const CaptureFileContext& ctx, const std::string& path, bool withinLimits,
                 LoadedCaptureFile* result) {
  CaptureFileContents contents;
  const ReadOutcome outcome = ReadCapture(ctx.Reading(), path, withinLimits, &contents);
  if (outcome == ReadOutcome::kSizeRefused) return false;
  ctx.audio.ReleaseSamples();
  if (outcome != ReadOutcome::kRead) return false;
  const Recording& recording = *contents.recording;
  // the timing reference of a two-channel capture goes beside the measurement
  const std::vector<int16_t> microphone =
      recording.channels == 2 ? recording.Channel(0) : std::vector<int16_t>();
  const std::vector<int16_t>& samples = recording.channels == 2 ? microphone : recording.samples;
  LoadedSamples copy(static_cast<int16_t*>(std::malloc(samples.size() * sizeof(int16_t))));
  if (!copy) {
    ctx.messages.ShowMessage("Sorry this file is not convenient...");
    return false;
  }
  std::memcpy(copy.get(), samples.data(), samples.size() * sizeof(int16_t));
  ctx.audio.LoadSamples(std::move(copy), static_cast<int32_t>(samples.size()));
  ctx.audio.LoadReferenceSamples(recording.channels == 2 ? recording.Channel(1)
                                                         : std::vector<int16_t>());
  if (result != nullptr) *result = contents.loaded;
  return true;
}

}  // namespace

bool ReadCaptureFile(const CaptureReadContext& ctx, const std::string& path,
                     CaptureFileContents* contents) {
  return ReadCapture(ctx, path, false, contents) == ReadOutcome::kRead;
}

bool LoadCaptureFile(const CaptureFileContext& ctx, const std::string& path,
                     LoadedCaptureFile* result) {
  return LoadCapture(ctx, path, false, result);
}

bool LoadAudioFile(const CaptureFileContext& ctx, const std::function<void()>& endMeasurement,
                   LoadedCaptureFile* result) {
  CSharedState& state = ctx.state;
  CUtil::CopyText(state.m_szWavPath, ctx.preferences.ReadString(kPrefWav, "").c_str());
  const std::string folder = CaptureFileStartFolder(state);
  if (IsMeasurementActive(ctx)) {
    if (endMeasurement) endMeasurement();
    SetCalibrationFlag(state, false);
    state.m_bCapturing.store(0);
  }
  std::string path;
  if (!ctx.messages.ChooseOpenFile(folder, "wav", &path)) return false;
  return LoadCapture(ctx, path, true, result);
}

}  // namespace quorvel
