#include "tests/audio/pulse/audio_test_server.h"

#include "tests/audio/pulse/pipewire_test_server.h"
#include "tests/audio/pulse/pulse_test_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

// ThreadSanitizer (the threaded tests' run): libpulse is not instrumented, so the mutexes it
// allocates on one thread and locks on another look like races inside libpulse itself. Only
// reports that pass through libpulse's mutex calls are suppressed; the program's own threads
// stay checked.
extern "C" const char* __tsan_default_suppressions() {
  return "race:pa_mutex_lock\n"
         "race:pa_mutex_unlock\n"
         "race:pa_mutex_free\n";
}

namespace quorvel {

std::string FindTestProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::string();
}

bool UnixSocketAccepts(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return ok;
}

bool WaitForUnixSocket(const std::string& path, pid_t pid, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!UnixSocketAccepts(path)) {
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) return false;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

pid_t SpawnTestChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, const std::string& outputPath) {
  // Everything the child needs is prepared before the fork: between fork and exec only
  // async-signal-safe calls run.
  std::vector<std::string> arguments = argv;
  std::vector<std::string> variables = environment;
  std::vector<char*> args;
  for (std::string& argument : arguments) args.push_back(argument.data());
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  const std::string output = outputPath;

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;  // the parent, or -1
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  const int input = open("/dev/null", O_RDONLY);
  const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (input < 0 || out < 0) _exit(127);
  dup2(input, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(out, STDERR_FILENO);
  execve(args[0], args.data(), envp.data());
  _exit(127);
}

void ReapTestChild(pid_t* pid, int signalNumber, int graceMs) {
  if (*pid <= 0) return;
  kill(*pid, signalNumber);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  int status = 0;
  while (waitpid(*pid, &status, WNOHANG) != *pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(*pid, SIGKILL);
      waitpid(*pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  *pid = -1;
}

std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& drop) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string key = text.substr(0, text.find('='));
    bool keep = true;
    for (const std::string& name : drop) keep = keep && key != name;
    if (keep) environment.push_back(text);
  }
  return environment;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::unique_ptr<CAudioTestServer> MakeAudioTestServer(const std::string& name) {
  if (name == "PipeWire") return std::make_unique<CPipeWireTestServer>();
  return std::make_unique<CPulseTestServer>();
}

// ---- CAudioTestServer ----

CAudioTestServer::~CAudioTestServer() {
  if (m_serverSet) {
    if (m_hadPreviousServer) {
      setenv("PULSE_SERVER", m_previousServer.c_str(), 1);
    } else {
      unsetenv("PULSE_SERVER");
    }
  }
  if (!m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
}

bool CAudioTestServer::MakeFolder(const char* prefix, std::string* whyNot) {
  if (!m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    m_folder.clear();
  }
  std::string pattern = std::string("/tmp/") + prefix + ".XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    *whyNot = std::string("no temporary folder: ") + std::strerror(errno);
    return false;
  }
  m_folder = pattern;
  return true;
}

void CAudioTestServer::PointClientsAt(const std::string& socketPath) {
  if (!m_serverSet) {
    const char* previous = std::getenv("PULSE_SERVER");
    m_hadPreviousServer = previous != nullptr;
    if (previous != nullptr) m_previousServer = previous;
  }
  setenv("PULSE_SERVER", ("unix:" + socketPath).c_str(), 1);
  m_serverSet = true;
}

std::string CAudioTestServer::Pactl(const std::string& arguments, int* status) const {
  const std::string command = "pactl " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (status != nullptr) *status = -1;
    return std::string();
  }
  std::string output;
  char chunk[512];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) output.append(chunk, got);
  const int result = pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

std::string CAudioTestServer::SinkState(const std::string& name) const {
  // "index<TAB>name<TAB>driver<TAB>spec<TAB>state" per sink.
  std::stringstream lines(Pactl("list short sinks"));
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::stringstream columns(line);
    std::string field;
    while (std::getline(columns, field, '\t')) fields.push_back(field);
    if (fields.size() >= 5 && fields[1] == name) return fields.back();
  }
  return std::string();
}

bool CAudioTestServer::WaitForSinkState(const std::string& name, const std::string& state,
                                        int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (SinkState(name) != state) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool CAudioTestServer::PlayBriefly(const std::string& name, int ms) const {
  const std::string program = FindTestProgram("pacat");
  if (program.empty()) return false;
  pid_t player = SpawnTestChild(
      {program, "--raw", "--format=s16le", "--rate=48000", "--channels=2", "-d", name, "/dev/zero"},
      EnvironmentWithout({}), "/dev/null");
  if (player < 0) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  ReapTestChild(&player, SIGTERM, 5000);
  return true;
}

bool CAudioTestServer::AddNullSink(const std::string& name, const std::string& description,
                                   int rate, std::string* whyNot) {
  int status = -1;
  Pactl("load-module module-null-sink sink_name=" + name + " rate=" + std::to_string(rate) +
            " channels=2 " + ShellQuoted("sink_properties=" + DescriptionProperty(description)),
        &status);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (status == 0 && SinkState(name).empty()) {
    if (std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (status != 0 || SinkState(name).empty()) {
    *whyNot = std::string(Name()) + " did not make the null sink " + name + ":\n" + Log();
    return false;
  }
  return true;
}

bool CAudioTestServer::AddHighPassSink(const std::string& name, const std::string& description,
                                       double cutoffHz, std::string* whyNot) {
  char cutoff[32];
  std::snprintf(cutoff, sizeof(cutoff), "%d", static_cast<int>(cutoffHz + 0.5));
  return AddLadspaSink(name, description, "filter", "hpf", cutoff,
                       "the LADSPA SDK's hpf (Debian package ladspa-sdk)", whyNot);
}

bool CAudioTestServer::AddLadspaSink(const std::string& name, const std::string& description,
                                     const std::string& plugin, const std::string& label,
                                     const std::string& controls, const std::string& what,
                                     std::string* whyNot) {
  int status = -1;
  Pactl("load-module module-ladspa-sink sink_name=" + name + " sink_master=quorvel_null plugin=" +
            plugin + " label=" + label + " control=" + controls + " " +
            ShellQuoted("sink_properties=" + DescriptionProperty(description)),
        &status);
  if (status != 0) {
    *whyNot = std::string(Name()) + " did not load module-ladspa-sink with " + what + ":\n" + Log();
    return false;
  }
  // The sink appears a moment after its module has loaded.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (SinkState(name).empty()) {
    if (std::chrono::steady_clock::now() > deadline) {
      *whyNot = "the LADSPA sink " + name + " did not appear";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace quorvel
