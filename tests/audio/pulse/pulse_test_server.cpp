#include "tests/audio/pulse/pulse_test_server.h"

#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace quorvel {

namespace {

// How long the server may take to accept connections on a loaded machine. [ms]
constexpr int kStartWaitMs = 15000;

}  // namespace

std::string FindPulseAudioProgram() {
  return FindTestProgram("pulseaudio");
}

CPulseTestServer::~CPulseTestServer() {
  Stop();
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
  if (!MakeFolder("quorvel-pulse", whyNot)) return false;
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
      "sink_properties=" +
          DescriptionProperty(kNullSinkDescription),
      "-L",
      "module-null-sink sink_name=quorvel_second rate=48000 channels=2 "
      "sink_properties=" +
          DescriptionProperty(kSecondSinkDescription),
      "-L",
      std::string("module-null-source source_name=quorvel_mic rate=48000 channels=2 "
                  "description='") +
          kMicrophoneDescription + "'",
      "-L",
      "module-native-protocol-unix socket=" + socketPath + " auth-anonymous=1",
  };
  if (m_suspendSeconds > 0) {
    arguments.push_back("-L");
    arguments.push_back("module-suspend-on-idle timeout=" + std::to_string(m_suspendSeconds));
  }

  // The server's environment: the test's, with its runtime, state and home folders in the
  // private folder, so nothing of the user's own sound setup is read or changed.
  std::vector<std::string> environment =
      EnvironmentWithout({"XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "HOME",
                          "PULSE_SERVER", "XDG_CONFIG_HOME"});
  environment.push_back("XDG_RUNTIME_DIR=" + m_folder);
  environment.push_back("PULSE_RUNTIME_PATH=" + m_folder);
  environment.push_back("PULSE_STATE_PATH=" + m_folder + "/state");
  environment.push_back("HOME=" + m_folder);
  environment.push_back("XDG_CONFIG_HOME=" + m_folder + "/config");

  m_pid = SpawnTestChild(arguments, environment, logPath);
  if (m_pid < 0) {
    *whyNot = "pulseaudio could not be started";
    return false;
  }
  if (!WaitForUnixSocket(socketPath, m_pid, kStartWaitMs)) {
    *whyNot = "pulseaudio did not open its socket in time:\n" + Log();
    Stop();
    return false;
  }
  PointClientsAt(socketPath);
  return true;
}

void CPulseTestServer::Kill() {
  ReapTestChild(&m_pid, SIGKILL, 0);
}

void CPulseTestServer::Stop() {
  ReapTestChild(&m_keeperPid, SIGTERM, 5000);
  ReapTestChild(&m_pid, SIGTERM, 5000);
}

void CPulseTestServer::Freeze(int ms) {
  if (m_pid <= 0) return;
  kill(m_pid, SIGSTOP);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  kill(m_pid, SIGCONT);
}

std::string CPulseTestServer::DescriptionProperty(const std::string& description) const {
  // The module argument's value in double quotes, the description inside in single ones.
  return "\"device.description='" + description + "'\"";
}

bool CPulseTestServer::KeepNullSinkBusy() {
  if (m_pid <= 0 || m_keeperPid > 0) return m_keeperPid > 0;
  const std::string program = FindTestProgram("pacat");
  if (program.empty()) return false;
  // The environment names the server (PULSE_SERVER) by now.
  m_keeperPid = SpawnTestChild({program, "--raw", "--latency-msec=20", "--format=s16le",
                                "--rate=48000", "--channels=2", "-d", "quorvel_null", "/dev/zero"},
                               EnvironmentWithout({}), "/dev/null");
  return m_keeperPid > 0;
}

std::string CPulseTestServer::Log() const {
  return ReadTextFile(m_folder + "/server.log");
}

}  // namespace quorvel
