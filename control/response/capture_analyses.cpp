#include "control/response/capture_analyses.h"

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
#include "base/util.h"
#include "control/quorvel_core.h"
#include "graph/graph_caption.h"
#include "response/impulse_analysis.h"

namespace quorvel {

namespace {

// The analyses run on this many threads at most.
constexpr size_t kWorkers = 2;

// What a capture's reading sets as Load Audio File would: the main window's last capture file,
// its finished run and caption. A capture analysed here leaves them as they were, so Save Audio
// File still saves the run the window shows.
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

// One capture on its way: read on the calling thread, analysed on a worker, handed back.
struct CaptureJob {
  AnalysedCapture capture;
  std::string name;  // its trace's
  LoadedResponseCapture loaded;
  std::exception_ptr error;  // what the analysis threw (no memory), thrown again when handed back
  bool done = false;
};

std::unique_ptr<CaptureJob> ReadJob(CQuorvelCore& core, const std::string& path, std::string name,
                                    double gateMs) {
  auto job = std::make_unique<CaptureJob>();
  job->capture.path = path;
  job->name = std::move(name);
  CaptureResponseRequest request;
  request.path = path;
  request.gateMs = gateMs;
  Result<LoadedResponseCapture> read =
      ReadCaptureLeavingWindow(core, job->capture.messages, request);
  if (read) {
    job->loaded = std::move(*read);
    job->capture.result = CaptureResponseResult::kOk;
  } else {
    // only the range's refusal comes back unsaid
    job->capture.why = read.Message();
    job->capture.result = job->capture.why.empty() ? CaptureResponseResult::kFileRefused
                                                   : CaptureResponseResult::kRangeRefused;
  }
  job->capture.fmin = job->loaded.fmin;
  job->capture.fmax = job->loaded.fmax;
  job->capture.read = job->capture.result == CaptureResponseResult::kOk;
  job->done = !job->capture.read;
  return job;
}

// The analysis of a job read well. It touches nothing but the job and the worker's analyses.
void AnalyseJob(CaptureJob& job, double gateMs, CImpulseAnalysis& analysis,
                CImpulseAnalysis& timing) {
  AnalysedCapture& capture = job.capture;
  capture.result = AnalyzeCaptureResponse(capture.messages, job.loaded, gateMs, &analysis,
                                          &capture.warnings, &timing, &capture.liveLevels);
  // the recording is not needed any more while the job waits its turn
  job.loaded = LoadedResponseCapture();
  if (capture.result != CaptureResponseResult::kOk) return;
  Result<Trace> trace = TraceFromAnalysis(analysis, std::move(job.name));
  if (trace.Ok()) {
    capture.trace = *std::move(trace);
  } else {
    capture.traceRefusal = trace.Message();
  }
}

// Worker threads that analyse the jobs given to them, each worker with impulse-response
// analyses of its own (their transforms and played signals serve every capture it takes), and
// hand the jobs back in the order they were given. Destroyed, it drops the jobs no worker has
// begun, lets the running ones finish and joins the workers. Give and Next are called on one
// thread, the one that made the object.
class CCaptureWorkers {
 public:
  CCaptureWorkers(size_t workers, const CaptureAnalysisSetup& setup) : m_setup(setup) {
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
    // the traces need the linear response alone: no harmonic is transformed
    CImpulseAnalysis analysis;
    analysis.SetHarmonicsWanted(false);
    CImpulseAnalysis timing;
    timing.SetHarmonicsWanted(false);
    if (m_setup.prepare) m_setup.prepare(analysis);
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
      m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
      if (m_stopping) return;
      CaptureJob* job = m_waiting.front();
      m_waiting.pop_front();
      lock.unlock();
      try {
        AnalyseJob(*job, m_setup.gateMs, analysis, timing);
      } catch (...) {
        job->error = std::current_exception();
      }
      lock.lock();
      job->done = true;
      m_finished.notify_all();
    }
  }

  const CaptureAnalysisSetup& m_setup;
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

Result<LoadedResponseCapture> ReadCaptureLeavingWindow(CQuorvelCore& core, IUserMessages& messages,
                                                       const CaptureResponseRequest& request) {
  const CMainWindowCapture kept(core);
  const CaptureReadContext reading = core.FileContext().Reading();
  const CaptureReadContext ctx{reading.state, reading.wave, messages, reading.preferences,
                               reading.charts};
  return LoadCaptureForResponse(ctx, request);
}

void AnalyseCapturesInOrder(CQuorvelCore& core, const std::vector<std::string>& paths,
                            const CaptureAnalysisSetup& setup, const TakeAnalysedCapture& take) {
  const size_t total = paths.size();
  const auto nameOf = [&](size_t i) {
    return i < setup.names.size() ? setup.names[i]
                                  : std::filesystem::path(paths[i]).stem().string();
  };
  const size_t workers = WorkerCount(total);
  CCaptureWorkers pool(workers, setup);
  size_t taken = 0;
  while (taken < total) {
    // the files are read one ahead of the workers, so that none of them waits for one
    while (taken + pool.Given() < total && pool.Given() <= workers) {
      const size_t next = taken + pool.Given();
      pool.Give(ReadJob(core, paths[next], nameOf(next), setup.gateMs));
    }
    std::unique_ptr<CaptureJob> job = pool.Next();
    if (job->error) std::rethrow_exception(job->error);
    ++taken;
    if (!take(job->capture)) return;
  }
}

}  // namespace quorvel
