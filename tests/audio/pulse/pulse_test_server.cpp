#include "tests/audio/pulse/pulse_test_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

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

namespace {

// How long the server may take to accept connections on a loaded machine. [ms]
constexpr int kStartWaitMs = 15000;

bool SocketAccepts(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return ok;
}

// Starts `path` with `argv` and `envp`, its output into `outputPath`. The child is killed when
// the test process ends in any way, so an aborted test leaves no server behind. Only
// async-signal-safe calls run between fork and exec.
pid_t SpawnChild(const std::string& path, char** argv, char** envp, const std::string& outputPath) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;  // the parent, or -1
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  const int input = open("/dev/null", O_RDONLY);
  const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (input < 0 || output < 0) _exit(127);
  dup2(input, STDIN_FILENO);
  dup2(output, STDOUT_FILENO);
  dup2(output, STDERR_FILENO);
  execve(path.c_str(), argv, envp);
  _exit(127);
}

// Where program `name` is on the PATH, or empty.
std::string FindProgram(const std::string& name) {
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

}  // namespace

std::string FindPulseAudioProgram() {
  return FindProgram("pulseaudio");
}

CPulseTestServer::~CPulseTestServer() {
  Stop();
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

bool CPulseTestServer::Start(std::string* whyNot, bool* missing) {
  *missing = false;
  const std::string program = FindPulseAudioProgram();
  if (program.empty()) {
    *missing = true;
    *whyNot = "the pulseaudio program is not installed (Debian package pulseaudio)";
    return false;
  }
  // A second start (a restarted server) gets a fresh folder of its own.
  Stop();
  if (!m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    m_folder.clear();
  }
  char folderTemplate[] = "/tmp/quorvel-pulse.XXXXXX";
  if (mkdtemp(folderTemplate) == nullptr) {
    *whyNot = std::string("no temporary folder: ") + std::strerror(errno);
    return false;
  }
  m_folder = folderTemplate;
  const std::string socketPath = m_folder + "/native";
  const std::string logPath = m_folder + "/server.log";

  // No configuration script (-n): exactly the modules below. Running as root (as in CI) only
  // earns a warning as long as the server is not asked to run system-wide.
  std::vector<std::string> arguments = {
      program,
      "-n",
      "--daemonize=no",
      "--use-pid-file=no",
      "--system=no",
      "--exit-idle-time=-1",
      "--disallow-exit",
      "--log-target=stderr",
      "--log-level=notice",
      "-L",
      "module-null-sink sink_name=quorvel_null rate=48000 channels=2 "
      "sink_properties=\"device.description='Quorvel Null Output'\"",
      "-L",
      "module-null-sink sink_name=quorvel_second rate=48000 channels=2 "
      "sink_properties=\"device.description='Quorvel Second Null Output With A Long "
      "Description'\"",
      "-L",
      "module-null-source source_name=quorvel_mic rate=48000 channels=2 "
      "description='Quorvel Null Microphone'",
      "-L",
      "module-native-protocol-unix socket=" + socketPath + " auth-anonymous=1",
  };
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  // The server's environment: the test's, with its runtime, state and home folders in the
  // private folder, so nothing of the user's own sound setup is read or changed.
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string key = text.substr(0, text.find('='));
    if (key == "XDG_RUNTIME_DIR" || key == "PULSE_RUNTIME_PATH" || key == "PULSE_STATE_PATH" ||
        key == "HOME" || key == "PULSE_SERVER" || key == "XDG_CONFIG_HOME") {
      continue;
    }
    environment.push_back(text);
  }
  environment.push_back("XDG_RUNTIME_DIR=" + m_folder);
  environment.push_back("PULSE_RUNTIME_PATH=" + m_folder);
  environment.push_back("PULSE_STATE_PATH=" + m_folder + "/state");
  environment.push_back("HOME=" + m_folder);
  environment.push_back("XDG_CONFIG_HOME=" + m_folder + "/config");
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const pid_t pid = SpawnChild(program, argv.data(), envp.data(), logPath);
  if (pid < 0) {
    *whyNot = std::string("pulseaudio could not be started: ") + std::strerror(errno);
    return false;
  }
  m_pid = pid;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
  while (!SocketAccepts(socketPath)) {
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      *whyNot = "pulseaudio ended during start-up:\n" + Log();
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Stop();
      *whyNot = "pulseaudio did not open its socket in time:\n" + Log();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  if (!m_serverSet) {
    const char* previous = std::getenv("PULSE_SERVER");
    m_hadPreviousServer = previous != nullptr;
    if (previous != nullptr) m_previousServer = previous;
  }
  setenv("PULSE_SERVER", ("unix:" + socketPath).c_str(), 1);
  m_serverSet = true;
  return true;
}

void CPulseTestServer::Kill() {
  Reap(&m_pid, SIGKILL, 0);
}

void CPulseTestServer::Stop() {
  Reap(&m_keeperPid, SIGTERM, 5000);
  Reap(&m_pid, SIGTERM, 5000);
}

void CPulseTestServer::Reap(pid_t* pid, int signalNumber, int graceMs) {
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

bool CPulseTestServer::KeepNullSinkBusy() {
  if (m_pid <= 0 || m_keeperPid > 0) return m_keeperPid > 0;
  std::vector<std::string> arguments = {
      "pacat",        "--raw", "--latency-msec=20", "--format=s16le", "--rate=48000",
      "--channels=2", "-d",    "quorvel_null",      "/dev/zero"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string program = FindProgram("pacat");
  if (program.empty()) return false;
  // The environment names the server (PULSE_SERVER) by now.
  const pid_t pid = SpawnChild(program, argv.data(), environ, "/dev/null");
  if (pid < 0) return false;
  m_keeperPid = pid;
  return true;
}

std::string CPulseTestServer::Log() const {
  std::ifstream file(m_folder + "/server.log");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string CPulseTestServer::Pactl(const std::string& arguments, int* status) const {
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

}  // namespace quorvel
