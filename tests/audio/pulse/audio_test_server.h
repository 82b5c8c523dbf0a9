#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace quorvel {

// A private audio server that speaks the PulseAudio protocol, for the tests: PulseAudio itself
// (CPulseTestServer) or PipeWire with its PulseAudio server (CPipeWireTestServer). Every
// server is started as children of the test process in a private folder under /tmp, ends when
// the test process ends in any way (parent-death signal), reads none of the user's own sound
// setup, and offers the same devices:
//   sink 0 "Quorvel Null Output" (quorvel_null, 48000 Hz stereo, the default output),
//   sink 1 "Quorvel Second Null Output With A Long Description" (quorvel_second),
//   source "Quorvel Null Microphone" (quorvel_mic, a real input that records silence),
// plus the two sinks' monitors. PULSE_SERVER points at it while it runs.
class CAudioTestServer {
 public:
  static constexpr const char* kNullSinkDescription = "Quorvel Null Output";
  static constexpr const char* kSecondSinkDescription =
      "Quorvel Second Null Output With A Long Description";
  static constexpr const char* kMicrophoneDescription = "Quorvel Null Microphone";

  CAudioTestServer() = default;
  virtual ~CAudioTestServer();
  CAudioTestServer(const CAudioTestServer&) = delete;
  CAudioTestServer& operator=(const CAudioTestServer&) = delete;

  // "PulseAudio" or "PipeWire": names the server in test names and messages.
  virtual const char* Name() const = 0;

  // Idle sinks suspend after this many seconds (0: never, the default). Set before Start. (A
  // PipeWire sink that has never played reports itself suspended from the start.)
  void SetSuspendOnIdle(int seconds) { m_suspendSeconds = seconds; }

  // Starts the server, waits until it accepts connections and offers the devices above. False
  // with the reason when it cannot; `missing` is set when a program it needs is not installed.
  virtual bool Start(std::string* whyNot, bool* missing) = 0;
  // Ends the process that serves the PulseAudio protocol at once (SIGKILL), as a crash would.
  virtual void Kill() = 0;
  // Ends every process of the server politely (SIGTERM, SIGKILL after 5 s) and reaps them.
  virtual void Stop() = 0;
  // Stops the processes that move the audio for `ms` (SIGSTOP, then SIGCONT), as a machine
  // that does not schedule the server for a while would.
  virtual void Freeze(int ms) = 0;
  virtual bool Running() const = 0;
  // What the server's processes printed.
  virtual std::string Log() const = 0;

  // A sink `name` described as `description` that filters with the LADSPA SDK's one-pole
  // high-pass ("hpf" of filter.so, -3 dB at `cutoffHz`) and plays into quorvel_null. False,
  // with the reason, when the module cannot be loaded.
  bool AddHighPassSink(const std::string& name, const std::string& description, double cutoffHz,
                       std::string* whyNot);

  // A sink `name` described as `description` that runs LADSPA plugin `label` of `plugin` with
  // `controls` (comma-separated) and plays into quorvel_null; `what` names the plugin and its
  // Debian package in the reason when the module cannot be loaded.
  bool AddLadspaSink(const std::string& name, const std::string& description,
                     const std::string& plugin, const std::string& label,
                     const std::string& controls, const std::string& what, std::string* whyNot);

  // One more null sink `name`, described as `description`, running at `rate` [Hz] (its monitor
  // is one more input). False, with the reason, when the module cannot be loaded.
  bool AddNullSink(const std::string& name, const std::string& description, int rate,
                   std::string* whyNot);

  // Plays `ms` of silence into sink `name` (pacat), so that the sink has run and is idle
  // afterwards. False when pacat cannot be run.
  bool PlayBriefly(const std::string& name, int ms) const;

  // Runs pactl against the server; its standard output, and its exit status in `status`
  // (-1 when it could not run).
  std::string Pactl(const std::string& arguments, int* status = nullptr) const;
  // The state pactl reports for sink `name` ("RUNNING", "IDLE", "SUSPENDED"), or empty.
  std::string SinkState(const std::string& name) const;
  // Waits up to `timeoutMs` until sink `name` is in `state`.
  bool WaitForSinkState(const std::string& name, const std::string& state, int timeoutMs) const;

  const std::string& Folder() const { return m_folder; }

 protected:
  // The quoted value of a module's sink_properties argument that sets the device description:
  // PulseAudio and PipeWire quote differently.
  virtual std::string DescriptionProperty(const std::string& description) const = 0;
  // A fresh private folder /tmp/<prefix>.XXXXXX (the old one is removed).
  bool MakeFolder(const char* prefix, std::string* whyNot);
  // Points PULSE_SERVER at `socketPath` (and remembers what it was, for the destructor).
  void PointClientsAt(const std::string& socketPath);

  std::string m_folder;
  int m_suspendSeconds = 0;

 private:
  std::string m_previousServer;
  bool m_hadPreviousServer = false;
  bool m_serverSet = false;
};

// A new, not yet started test server: "PulseAudio" or "PipeWire".
std::unique_ptr<CAudioTestServer> MakeAudioTestServer(const std::string& name);
// The names of the servers the tests run against, for parameterised tests.
inline const char* const kTestServerNames[] = {"PulseAudio", "PipeWire"};

// ---- process helpers shared by the servers ----

// Where program `name` is on the PATH, or empty.
std::string FindTestProgram(const std::string& name);
// True once a connection to the unix socket `path` is accepted.
bool UnixSocketAccepts(const std::string& path);
// Waits up to `timeoutMs` for the socket; false early when `pid` ends meanwhile.
bool WaitForUnixSocket(const std::string& path, pid_t pid, int timeoutMs);
// Starts `argv` (argv[0] the program's path) with `environment`, its output appended to
// `outputPath`. The child is killed when the test process ends in any way. -1 on failure.
pid_t SpawnTestChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, const std::string& outputPath);
// Sends `signalNumber`, waits up to `graceMs` for the end (then SIGKILL) and reaps; -1 after.
void ReapTestChild(pid_t* pid, int signalNumber, int graceMs);
// The test process's environment without the entries whose names are in `drop`.
std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& drop);
// `text` as one word of a shell command.
std::string ShellQuoted(const std::string& text);
// The text of a file (empty when it cannot be read).
std::string ReadTextFile(const std::string& path);

}  // namespace quorvel
