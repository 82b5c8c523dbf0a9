#include "control/workbench/workbench_import.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "control/quorvel_core.h"
#include "control/response/capture_response.h"
#include "graph/graph_caption.h"
#include "response/impulse_analysis.h"

namespace quorvel {

namespace {

// The analyses run on this many threads at most.
constexpr size_t kWorkers = 2;

std::string Reason(CaptureResponseResult result, const std::string& why) {
  switch (result) {
    case CaptureResponseResult::kOk:
      return "";
    case CaptureResponseResult::kFileRefused:
      return "the file could not be loaded";
    case CaptureResponseResult::kRangeRefused:
      return why.empty() ? "its frequency range cannot be analysed" : why;
    case CaptureResponseResult::kChartRefused:
      return "its microphone chart is not valid";
    case CaptureResponseResult::kNoImpulse:
      return "no impulse response stands above the noise";
    case CaptureResponseResult::kRecordingRefused:
      return "the recording was refused on its replay";
  }
  return "it could not be analysed";
}

// What a capture's reading sets as Load Audio File would: the main window's last capture file,
// its finished run and caption. A capture analysed for the list leaves them as they were, so
// Save Audio File still saves the run the window shows.
class CMainWindowCapture {
 public:
  explicit CMainWindowCapture(CQuorvelCore& core)
      : m_core(core),
        m_wavPath(core.Shared().m_szWavPath),
        m_storedWav(core.Preferences().ReadString(kPrefWav, "")),
        m_caption(GraphCaption(core.Shared())),
        m_curveEndNotified(core.Shared().m_bCurveEndNotified.load()),
        m_curveFmin(core.Shared().m_curveFmin),
        m_curveFmax(core.Shared().m_curveFmax) {}
  CMainWindowCapture(const CMainWindowCapture&) = delete;
  CMainWindowCapture& operator=(const CMainWindowCapture&) = delete;
  ~CMainWindowCapture() {
    CSharedState& shared = m_core.Shared();
    CUtil::CopyText(shared.m_szWavPath, m_wavPath.c_str());
    m_core.Preferences().WriteString(kPrefWav, m_storedWav);
    SetGraphCaption(shared, m_caption);
    shared.m_bCurveEndNotified.store(m_curveEndNotified);
    shared.m_curveFmin = m_curveFmin;
    shared.m_curveFmax = m_curveFmax;
  }

 private:
  CQuorvelCore& m_core;
  std::string m_wavPath;
  std::string m_storedWav;
  std::string m_caption;
  int32_t m_curveEndNotified;
  double m_curveFmin;
  double m_curveFmax;
};

// The messages of one capture's reading and analysis, kept as words for the one summary the
// caller shows, in the order of the captures whichever worker analysed them.
class CKeptMessages final : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, const std::string& caption) override {
    m_kept.emplace_back(text, caption);
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseOpenFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseFolder(const std::string&, const std::string&, std::string*) override { return false; }
  // The first message, its lines joined, for the one summary the caller shows.
  [[nodiscard]] std::string FirstWords() const {
    std::string words;
    if (m_kept.empty()) return words;
    for (const char c : m_kept.front().first) words.push_back(c == '\n' ? ' ' : c);
    return words;
  }

 private:
  std::vector<std::pair<std::string, std::string>> m_kept;
};

// One capture on its way: read on the calling thread, analysed on a worker, handed back.
struct CaptureJob {
  ImportedCapture imported;
  CaptureResponseResult result = CaptureResponseResult::kOk;
  std::string why;
  LoadedResponseCapture loaded;
  CKeptMessages messages;
  std::exception_ptr error;  // what the analysis threw (no memory), thrown again when handed back
  bool done = false;
};

// Reads the file through the core's state as Load Audio File's reading does (the main window's
// capture kept as it was), its messages kept with the job. Calling thread.
std::unique_ptr<CaptureJob> ReadJob(CQuorvelCore& core, const std::string& path, double gateMs) {
  auto job = std::make_unique<CaptureJob>();
  job->imported.path = path;
  const CMainWindowCapture kept(core);
  const CaptureReadContext reading = core.FileContext().Reading();
  const CaptureReadContext ctx{reading.state, reading.wave, job->messages, reading.preferences,
                               reading.charts};
  CaptureResponseRequest request;
  request.path = path;
  request.gateMs = gateMs;
  job->result = LoadCaptureForResponse(ctx, request, &job->loaded, &job->why);
  job->done = job->result != CaptureResponseResult::kOk;
  return job;
}

// The analysis of a job read well. It touches nothing but the job and the worker's analyses.
void AnalyseJob(CaptureJob& job, double gateMs, CImpulseAnalysis& analysis,
                CImpulseAnalysis& timing) {
  ImportedCapture& imported = job.imported;
  job.result = AnalyzeCaptureResponse(job.messages, job.loaded, gateMs, &analysis,
                                      &imported.warnings, &timing, &imported.live.levels);
  imported.live.fmin = job.loaded.fmin;
  imported.live.fmax = job.loaded.fmax;
  // the recording is not needed any more while the job waits its turn
  job.loaded = LoadedResponseCapture();
  if (job.result != CaptureResponseResult::kOk) return;
  OrMessage<Trace> trace =
      TraceFromAnalysis(analysis, std::filesystem::path(imported.path).stem().string());
  if (!trace.Ok()) {
    imported.failure = imported.path + ": " + trace.Message();
    return;
  }
  imported.trace = std::move(trace).Value();
  imported.ok = true;
}

// Worker threads that analyse the jobs given to them, each worker with impulse-response
// analyses of its own (their transforms and played signals serve every capture it takes), and
// hand the jobs back in the order they were given. Destroyed, it drops the jobs no worker has
// begun, lets the running ones finish and joins the workers: no thread is ever killed. Give and
// Next are called on one thread, the one that made the object.
class CCaptureWorkers {
 public:
  CCaptureWorkers(size_t workers, double gateMs) : m_gateMs(gateMs) {
    for (size_t i = 0; i < workers; ++i) m_threads.emplace_back([this] { Work(); });
  }
  ~CCaptureWorkers() {
    {
      const std::lock_guard<std::mutex> guard(m_lock);
      m_stopping = true;
      m_wake.notify_all();
    }
    for (std::thread& thread : m_threads) thread.join();
  }
  CCaptureWorkers(const CCaptureWorkers&) = delete;
  CCaptureWorkers& operator=(const CCaptureWorkers&) = delete;

  void Give(std::unique_ptr<CaptureJob> job) {
    const std::lock_guard<std::mutex> guard(m_lock);
    if (!job->done) m_waiting.push_back(job.get());
    m_given.push_back(std::move(job));
    m_wake.notify_one();
  }
  [[nodiscard]] size_t Given() const { return m_given.size(); }

  // The earliest job given and not yet handed back, once it is done; blocks until then.
  [[nodiscard]] std::unique_ptr<CaptureJob> Next() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_finished.wait(lock, [this] { return m_given.front()->done; });
    std::unique_ptr<CaptureJob> job = std::move(m_given.front());
    m_given.pop_front();
    return job;
  }

 private:
  // Each worker's loop, on its own thread.
  void Work() {
    CImpulseAnalysis analysis;
    CImpulseAnalysis timing;
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
      m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
      if (m_stopping) return;
      CaptureJob* job = m_waiting.front();
      m_waiting.pop_front();
      lock.unlock();
      try {
        AnalyseJob(*job, m_gateMs, analysis, timing);
      } catch (...) {
        job->error = std::current_exception();
      }
      lock.lock();
      job->done = true;
      m_finished.notify_all();
    }
  }

  const double m_gateMs;
  std::mutex m_lock;
  std::condition_variable m_wake;                   // a job to analyse, or the end
  std::condition_variable m_finished;               // a job done
  std::deque<std::unique_ptr<CaptureJob>> m_given;  // in order; handed back from the front
  std::deque<CaptureJob*> m_waiting;                // given, to be analysed, in order
  bool m_stopping = false;
  std::vector<std::thread> m_threads;
};

// Two workers where the machine has two cores: each capture's analysis is independent.
size_t WorkerCount(size_t captures) {
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::min({captures, cores, kWorkers});
}

}  // namespace

std::vector<ImportedCapture> AnalyseCaptures(CQuorvelCore& core,
                                             const std::vector<std::string>& paths, double gateMs,
                                             const ImportProgress& progress) {
  const size_t total = paths.size();
  std::vector<ImportedCapture> imported;
  imported.reserve(total);
  {
    const size_t workers = WorkerCount(total);
    CCaptureWorkers pool(workers, gateMs);
    while (imported.size() < total) {
      if (progress && !progress(imported.size(), total)) return imported;
      // the files are read one ahead of the workers, so that none of them waits for one
      while (imported.size() + pool.Given() < total && pool.Given() <= workers) {
        pool.Give(ReadJob(core, paths[imported.size() + pool.Given()], gateMs));
      }
      std::unique_ptr<CaptureJob> job = pool.Next();
      if (job->error) std::rethrow_exception(job->error);
      const std::string said = job->messages.FirstWords();
      if (job->imported.ok) {
        // what the load said of a file it still took ("could not find microphone")
        if (!said.empty()) job->imported.warnings.push_back(said);
      } else if (job->imported.failure.empty()) {
        job->imported.failure =
            job->imported.path + ": " + (said.empty() ? Reason(job->result, job->why) : said);
      }
      imported.push_back(std::move(job->imported));
    }
  }
  if (progress) progress(total, total);
  return imported;
}

std::optional<Measurement> MeasureListCapture(CQuorvelCore& core, IUserMessages& messages,
                                              const std::string& path) {
  const CMainWindowCapture kept(core);
  const CaptureReadContext reading = core.FileContext().Reading();
  const CaptureReadContext ctx{reading.state, reading.wave, messages, reading.preferences,
                               reading.charts};
  CaptureResponseRequest request;
  request.path = path;
  LoadedResponseCapture loaded;
  std::string why;
  const CaptureResponseResult result = LoadCaptureForResponse(ctx, request, &loaded, &why);
  if (result == CaptureResponseResult::kRangeRefused) messages.ShowMessage(why);
  if (result != CaptureResponseResult::kOk) return std::nullopt;
  return MeasureLoadedCapture(messages, loaded);
}

}  // namespace quorvel
