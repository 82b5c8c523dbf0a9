#include "control/capture_files.h"

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
#include <span>
#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "calibration/micro_list_proc.h"
#include "control/data_folders.h"
#include "control/failure_words.h"
#include "control/measurement_request.h"
#include "engine/audio_engine.h"
#include "files/capture_samples.h"
#include "files/wave_file.h"
#include "files/wave_format.h"

namespace quorvel {

namespace {

constexpr uint64_t kSmallestCaptureFile = 1920000;  // [bytes] 20 s of samples at 48000 Hz
constexpr uint64_t kLargestCaptureFile = 2200000;   // [bytes]
constexpr uint32_t kFewestSamples = 1000000;        // about 20.8 s at 48000 Hz
constexpr int32_t kShortestRecording = 48000;       // [samples] one second
constexpr char kMsgTooBig[] = "Sorry this file is too big to be a valid 'Quorvel' file...";

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
  return ctx.state.m_bCurveEndNotified.load() != 0 &&
         ctx.audio.Counters().capturedCount >= kShortestRecording && ctx.state.m_curveFmin > 0.0 &&
         ctx.state.m_curveFmin < ctx.state.m_curveFmax;
}

bool CheckCaptureToSave(const CaptureFileContext& ctx) {
  if (HasCaptureToSave(ctx)) return true;
  ctx.messages.ShowMessage("No new capture performed");
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

// remember: the file becomes the last capture file (m_szWavPath and "Wav") once it is created.
bool WriteCaptureFile(const CaptureFileContext& ctx, const std::string& path, bool remember) {
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

  const std::span<const int16_t> recording = ctx.audio.Recording();
  const std::span<const int16_t> reference = ctx.audio.RecordingReference();
  bool written = false;
  if (reference.empty()) {
    written = wave.WriteSamples(recording.data(), recording.size());
  } else {
    // channel 1 the measurement, channel 2 the timing reference
    wave.SetCaptureChannels(2);
    std::vector<int16_t> frames(2 * recording.size());
    for (std::size_t i = 0; i < recording.size(); ++i) {
      frames[2 * i] = recording[i];
      frames[2 * i + 1] = reference[i];
    }
    written = wave.WriteSamples(frames.data(), frames.size());
  }
  if (!written) {
    // The unfinished file is gone; an earlier file of that name stays as it was.
    ctx.messages.ShowMessage(WithWords("Could not write to File...", wave.FailureWords()));
    return false;
  }

  CUtil::CopyText(wave.m_szArtist, sizeof wave.m_szArtist, "Quorvel");
  CUtil::CopyText(
      wave.m_szAlbum, sizeof wave.m_szAlbum,
      CUtil::StripExtension(CUtil::FileNameOfPath(remember ? state.m_szWavPath : path.c_str())));
  // the range the recording's sweep covered, whatever the range fields show since
  CUtil::CopyText(wave.m_szTitle, sizeof wave.m_szTitle,
                  FormatRangeTitle(state.m_curveFmin, state.m_curveFmax).c_str());
  wave.m_szComment[0] = '\0';
  const int32_t chart = state.m_nSelectedChart.load();
  if (chart >= 0 && state.m_bCalibrationApplied.load() != 0 &&
      static_cast<size_t>(chart) < state.m_chartNames.size()) {
    CUtil::CopyText(wave.m_szComment, sizeof wave.m_szComment,
                    state.m_chartNames[static_cast<size_t>(chart)].c_str());
  }
  if (!wave.CloseCaptureFile(true)) {
    ctx.messages.ShowMessage(WithWords("Could not write to File...", wave.FailureWords()));
    return false;
  }
  return true;
}

}  // namespace

bool SaveCaptureFile(const CaptureFileContext& ctx, const std::string& path) {
  return WriteCaptureFile(ctx, path, true);
}

bool KeepCaptureFile(const CaptureFileContext& ctx, const std::string& path) {
  return WriteCaptureFile(ctx, path, false);
}

bool SaveAudioFile(const CaptureFileContext& ctx) {
  if (!CheckCaptureToSave(ctx)) return false;
  std::string path;
  if (!ctx.messages.ChooseSaveFile(CaptureFileStartFolder(ctx.state), "wav", &path)) {
    return false;
  }
  return SaveCaptureFile(ctx, path);
}

// ---- Load Audio File ----

bool IsMeasurementActive(const CaptureFileContext& ctx) {
  const CAudio& audio = ctx.audio;
  return ctx.state.m_bCapturing.load() != 0 || audio.IsSweepPlaying() ||
         ctx.state.m_bInputOpen.load() != 0 || audio.IsOutputOpen() ||
         audio.IsPlayThreadRunning() || audio.IsCaptureThreadRunning();
}

namespace {

// The size test on the file as it is on disk. Opened without waiting: a named pipe would
// otherwise block the command until some program writes to it. Only a regular file has a size;
// anything else is too short. False after its message.
// Whether the file holds a capture with its timing reference (two channels).
bool IsStereoCapture(const std::string& path) {
  uint32_t count = 0;
  int32_t channels = 0;
  int16_t* samples = nullptr;
  int32_t rate = 0;
  WaveFormat format;
  const bool read = ReadCaptureSamples(std::fopen(path.c_str(), "rb"), &count, &channels, &samples,
                                       &rate, &format);
  std::free(samples);
  return read && CaptureLayoutOf(format) == CaptureLayout::kStereo16;
}

bool CheckCaptureFileSize(const std::string& path, IUserMessages& messages) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    // the number, then the system's reason in words on a line of its own
    messages.ShowMessage(
        WithWords(CUtil::FormatString("Could not open File %s: error %d\n", path.c_str(), error),
                  SystemErrorWords(error)));
    return false;
  }
  struct stat st {};
  const uint64_t size = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
                            ? static_cast<uint64_t>(st.st_size)
                            : 0;
  close(fd);
  if (size < kSmallestCaptureFile) {
    messages.ShowMessage("Sorry this file is too short to be a valid 'Quorvel' file...");
    return false;
  }
  // only a two-channel capture may be larger, up to twice the size
  if (size > kLargestCaptureFile && (size > 2 * kLargestCaptureFile || !IsStereoCapture(path))) {
    messages.ShowMessage(kMsgTooBig);
    return false;
  }
  return true;
}

// The timing reference of a two-channel capture goes beside the measurement, which takes the
// first half of the interleaved buffer as a mono capture holds it.
void SplitReference(int16_t* samples, uint32_t frames, std::vector<int16_t>* reference) {
  reference->resize(frames);
  for (uint32_t i = 0; i < frames; ++i) {
    (*reference)[i] = samples[2 * static_cast<std::size_t>(i) + 1];
    samples[i] = samples[2 * static_cast<std::size_t>(i)];
  }
}

// The samples into the engine: at least 1,000,000 samples of a layout Quorvel replays (16-bit
// PCM, mono, 48000 Hz, its header consistent with itself). False after its message, with no
// samples loaded.
bool LoadSamples(CAudio& audio, const std::string& path, IUserMessages& messages) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    messages.ShowMessage("Sorry this file is not convenient...");
    return false;
  }
  uint32_t sampleCount = 0;
  int32_t channels = 0;
  int16_t* samples = nullptr;
  int32_t rate = 0;
  WaveFormat format;
  const bool read = ReadCaptureSamples(file, &sampleCount, &channels, &samples, &rate, &format);
  const CaptureLayout layout = read ? CaptureLayoutOf(format) : CaptureLayout::kUnsupported;
  if (!read) {
    messages.ShowMessage("Sorry this file is not convenient...");
    return false;
  }
  std::vector<int16_t> reference;
  if (layout == CaptureLayout::kStereo16) SplitReference(samples, sampleCount, &reference);
  audio.LoadSamples(LoadedSamples(samples), static_cast<int32_t>(sampleCount));
  if (sampleCount < kFewestSamples || layout == CaptureLayout::kUnsupported) {
    audio.ReleaseSamples();
    messages.ShowMessage("Sorry this file is not convenient for 'Quorvel'...");
    return false;
  }
  audio.LoadReferenceSamples(std::move(reference));
  return true;
}

// The microphone whose chart was in force when the file was saved: its chart selected and
// applied for fmin..fmax. When it has no usable chart, its message; nothing is selected and
// "MicroSelected" keeps its earlier value. True when the chart was applied.
bool ApplyFileMicrophone(const CaptureFileContext& ctx, const char* microphone, double fmin,
                         double fmax) {
  CSharedState& state = ctx.state;
  const std::string kept = ctx.preferences.ReadString(kPrefMicroSelected, kDefaultMicroSelected);
  ctx.preferences.WriteString(kPrefMicroSelected, microphone);
  std::string message = "The response curve of the selected microphone is not valid";
  const int index = ctx.charts != nullptr ? ctx.charts->FindChart(microphone) : -1;
  if (index < 0 || static_cast<size_t>(index) >= state.m_chartPaths.size()) {
    message =
        CUtil::FormatString("Sorry, could not find microphone \"%s\" for calibration", microphone);
  } else if (ctx.charts->ValidateChart(index) &&
             ctx.charts->LoadCalibration(state.m_chartPaths[static_cast<size_t>(index)], fmin,
                                         fmax)) {
    state.m_nSelectedChart.store(index);
    state.m_bCalibrationApplied.store(1);
    return true;
  }
  ctx.messages.ShowMessage(message);
  state.m_nSelectedChart.store(-1);
  state.m_bCalibrationApplied.store(0);
  ctx.preferences.WriteString(kPrefMicroSelected, kept);
  return false;
}

// The tags: a tagged file must name the tool as its artist; the title gives the range, the
// comment the microphone. False after the message of a foreign file, or (withinLimits) of a
// title range beyond a measurement's limits, with its samples freed.
bool ReadCaptureTags(const CaptureFileContext& ctx, const std::string& path, bool withinLimits,
                     LoadedCaptureFile* loaded) {
  CWave& wave = ctx.wave;
  // The samples have passed their checks; the tags are read as far as they go.
  static_cast<void>(wave.ReadWave(path.c_str()));
  const WaveInfo& info = wave.m_info;
  if (wave.m_nTagCount > 0 &&
      (info.artist[0] == '\0' || CUtil::FindNoCase(info.artist, "Quorvel") < 0)) {
    ctx.audio.ReleaseSamples();
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
  std::string why;
  if (withinLimits && !CheckRange(loaded->fmin, loaded->fmax, RangeRule::kAnyWithinLimits, &why)) {
    static_cast<void>(CheckRange(loaded->fmin, loaded->fmax, RangeRule::kSteps, &why));
    ctx.audio.ReleaseSamples();
    ctx.messages.ShowMessage(why);
    return false;
  }
  loaded->calibrationApplied =
      info.comment[0] != '\0' && ApplyFileMicrophone(ctx, info.comment, loaded->fmin, loaded->fmax);
  loaded->name =
      info.album[0] != '\0'
          ? std::string(info.album)
          : std::string(CUtil::StripExtension(CUtil::FileNameOfPath(ctx.state.m_szWavPath)));
  return true;
}

}  // namespace

namespace {

bool LoadCapture(const CaptureFileContext& ctx, const std::string& path, bool withinLimits,
                 LoadedCaptureFile* result) {
  CSharedState& state = ctx.state;
  if (!CheckCaptureFileSize(path, ctx.messages)) return false;
  ctx.audio.ReleaseSamples();
  CUtil::CopyText(state.m_szWavPath, path.c_str());
  // The full path is opened (m_szWavPath keeps at most 519 characters).
  LoadedCaptureFile loaded;
  if (!LoadSamples(ctx.audio, path, ctx.messages) ||
      !ReadCaptureTags(ctx, path, withinLimits, &loaded)) {
    return false;
  }

  state.m_bCurveEndNotified.store(0);
  state.m_curveFmin = loaded.fmin;
  state.m_curveFmax = loaded.fmax;
  ctx.preferences.WriteString(kPrefWav, state.m_szWavPath);
  // The microphone words only for the chart this file named and that was applied: a chart
  // selected before names no microphone of this recording.
  const int32_t chart = loaded.calibrationApplied ? state.m_nSelectedChart.load() : -1;
  if (chart < 0 || static_cast<size_t>(chart) >= state.m_chartNames.size()) {
    CUtil::FormatText(state.m_szGraphCaption, sizeof state.m_szGraphCaption, "Playing File \"%s\"",
                      loaded.name.c_str());
  } else {
    CUtil::FormatText(state.m_szGraphCaption, sizeof state.m_szGraphCaption,
                      "Playing \"%s\" captured with microphone \"%s\"", loaded.name.c_str(),
                      state.m_chartNames[static_cast<size_t>(chart)].c_str());
  }
  loaded.path = path;
  if (result != nullptr) *result = loaded;
  return true;
}

}  // namespace

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
    state.m_bCalibrationApplied.store(0);
    state.m_bCapturing.store(0);
  }
  std::string path;
  if (!ctx.messages.ChooseOpenFile(folder, "wav", &path)) return false;
  return LoadCapture(ctx, path, true, result);
}

}  // namespace quorvel
