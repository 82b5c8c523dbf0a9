#include "tests/audio/pulse/pipewire_test_server.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace quorvel {

namespace {

// How long each process may take to accept connections on a loaded machine. [ms]
constexpr int kStartWaitMs = 15000;
// How long the session manager may take to take charge of the new devices. [ms]
constexpr int kSettleWaitMs = 15000;

struct Program {
  const char* name;
  const char* package;
};

constexpr Program kPrograms[] = {
    {"dbus-daemon", "dbus"},        {"pipewire", "pipewire"},
    {"wireplumber", "wireplumber"}, {"pipewire-pulse", "pipewire-pulse"},
    {"pactl", "pulseaudio-utils"},
};

}  // namespace

CPipeWireTestServer::~CPipeWireTestServer() {
  Stop();
}

bool CPipeWireTestServer::Start(std::string* whyNot, bool* missing) {
  *missing = false;
  for (const Program& program : kPrograms) {
    if (FindTestProgram(program.name).empty()) {
      *missing = true;
      *whyNot = std::string("the ") + program.name + " program is not installed (Debian package " +
                program.package + ")";
      return false;
    }
  }
  Stop();
  if (!MakeFolder("quorvel-pipewire", whyNot)) return false;
  if (!StartProcesses(whyNot) || !MakeDevices(whyNot)) {
    *whyNot += "\n" + Log();
    Stop();
    return false;
  }
  return true;
}

bool CPipeWireTestServer::StartProcesses(std::string* whyNot) {
  const std::string busPath = m_folder + "/bus";
  // A session bus of its own: wireplumber and pipewire look for one, and must not reach the
  // user's.
  m_busPid = SpawnTestChild({FindTestProgram("dbus-daemon"), "--session", "--nofork", "--nopidfile",
                             "--address=unix:path=" + busPath},
                            EnvironmentWithout({}), m_folder + "/dbus.log");
  if (m_busPid < 0 || !WaitForUnixSocket(busPath, m_busPid, kStartWaitMs)) {
    *whyNot = "dbus-daemon did not open its socket in time";
    return false;
  }

  // Every process finds its runtime, configuration and state folders, and the bus, in the
  // private folder.
  std::vector<std::string> environment = EnvironmentWithout(
      {"XDG_RUNTIME_DIR", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_RUNTIME_PATH",
       "PULSE_STATE_PATH", "PULSE_SERVER", "HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME",
       "XDG_DATA_HOME", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"});
  environment.push_back("XDG_RUNTIME_DIR=" + m_folder);
  environment.push_back("PIPEWIRE_RUNTIME_DIR=" + m_folder);
  environment.push_back("PULSE_RUNTIME_PATH=" + m_folder + "/pulse");
  environment.push_back("HOME=" + m_folder);
  environment.push_back("XDG_CONFIG_HOME=" + m_folder + "/config");
  environment.push_back("XDG_STATE_HOME=" + m_folder + "/state");
  environment.push_back("XDG_DATA_HOME=" + m_folder + "/data");
  environment.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + busPath);
  // The graph runs in quanta of at least 1024 frames, as a desktop on battery runs it: without
  // real-time scheduling on a virtual machine, 256-frame quanta now and then come too late and
  // the server plays them as silence (runs of exact zeros, which a measurement rightly fails).
  for (const char* file : {"pipewire.conf", "pipewire-pulse.conf"}) {
    const std::string folder = m_folder + "/config/pipewire/" + file + ".d";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::ofstream(folder + "/quanta.conf")
        << "context.properties = { default.clock.min-quantum = 1024 }\n"
           "pulse.properties = { pulse.min.quantum = 1024/48000 }\n";
  }
  for (const auto& [fileName, text] : m_dropIns) {
    std::ofstream(m_folder + "/config/pipewire/pipewire.conf.d/" + fileName) << text;
  }

  m_pipewirePid =
      SpawnTestChild({FindTestProgram("pipewire")}, environment, m_folder + "/pipewire.log");
  if (m_pipewirePid < 0 ||
      !WaitForUnixSocket(m_folder + "/pipewire-0", m_pipewirePid, kStartWaitMs)) {
    *whyNot = "pipewire did not open its socket in time";
    return false;
  }
  m_sessionPid =
      SpawnTestChild({FindTestProgram("wireplumber")}, environment, m_folder + "/wireplumber.log");

  // The LADSPA SDK's example plugins use the maths library without linking it; PulseAudio
  // happens to have it loaded, pipewire-pulse does not, and refuses them ("undefined symbol:
  // sqrtf") unless it is preloaded.
  std::vector<std::string> pulseEnvironment = environment;
  bool preloaded = false;
  for (std::string& variable : pulseEnvironment) {
    if (variable.rfind("LD_PRELOAD=", 0) == 0) {
      variable += " libm.so.6";
      preloaded = true;
    }
  }
  if (!preloaded) pulseEnvironment.push_back("LD_PRELOAD=libm.so.6");
  m_pulsePid = SpawnTestChild({FindTestProgram("pipewire-pulse")}, pulseEnvironment,
                              m_folder + "/pipewire-pulse.log");
  const std::string socketPath = m_folder + "/pulse/native";
  if (m_sessionPid < 0 || m_pulsePid < 0 ||
      !WaitForUnixSocket(socketPath, m_pulsePid, kStartWaitMs)) {
    *whyNot = "pipewire-pulse did not open its socket in time";
    return false;
  }
  PointClientsAt(socketPath);
  return true;
}

bool CPipeWireTestServer::MakeDevices(std::string* whyNot) {
  // Idle sinks stay awake unless asked otherwise (wireplumber suspends them after 5 s by
  // default; 0 means never).
  const std::string suspend =
      " session.suspend-timeout-seconds=" + std::to_string(m_suspendSeconds);
  auto properties = [&suspend](const char* description) {
    return ShellQuoted("sink_properties='device.description=\"" + std::string(description) + "\"" +
                       suspend + "'");
  };
  const std::string commands[] = {
      "load-module module-null-sink sink_name=quorvel_null rate=48000 channels=2 " +
          properties(kNullSinkDescription),
      "load-module module-null-sink sink_name=quorvel_second rate=48000 channels=2 " +
          properties(kSecondSinkDescription),
      // A source that is not a monitor: PipeWire has no module-null-source, a null sink of the
      // source class stands in for it.
      "load-module module-null-sink media.class=Audio/Source/Virtual sink_name=quorvel_mic "
      "rate=48000 channels=2 " +
          properties(kMicrophoneDescription),
  };
  for (const std::string& command : commands) {
    int status = -1;
    Pactl(command, &status);
    if (status != 0) {
      *whyNot = "pactl " + command + " failed";
      return false;
    }
  }
  // The new nodes appear a moment after their modules have loaded. The session manager has
  // taken charge once it reports the chosen default sink; only then does a new stream get
  // linked to its device.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSettleWaitMs);
  for (;;) {
    const std::string sinks = Pactl("list short sinks");
    const bool listed = sinks.find("quorvel_null\t") != std::string::npos &&
                        sinks.find("quorvel_second\t") != std::string::npos &&
                        Pactl("list short sources").find("quorvel_mic\t") != std::string::npos;
    const std::string info = listed ? Pactl("info") : std::string();
    if (listed && info.find("Default Sink: quorvel_null\n") == std::string::npos) {
      Pactl("set-default-sink quorvel_null");
    } else if (listed && Pactl("list short clients").find("wireplumber") != std::string::npos) {
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      *whyNot = "the devices or wireplumber were not ready in time:\n" + sinks + info;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void CPipeWireTestServer::Kill() {
  ReapTestChild(&m_pulsePid, SIGKILL, 0);
}

void CPipeWireTestServer::Stop() {
  ReapTestChild(&m_pulsePid, SIGTERM, 5000);
  ReapTestChild(&m_sessionPid, SIGTERM, 5000);
  ReapTestChild(&m_pipewirePid, SIGTERM, 5000);
  ReapTestChild(&m_busPid, SIGTERM, 5000);
}

void CPipeWireTestServer::Freeze(int ms) {
  if (m_pulsePid <= 0 || m_pipewirePid <= 0) return;
  kill(m_pulsePid, SIGSTOP);
  kill(m_pipewirePid, SIGSTOP);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  kill(m_pipewirePid, SIGCONT);
  kill(m_pulsePid, SIGCONT);
}

std::string CPipeWireTestServer::DescriptionProperty(const std::string& description) const {
  // Single quotes around the argument's value; PipeWire's property syntax quotes the
  // description itself with double quotes only.
  return "'device.description=\"" + description + "\"'";
}

std::string CPipeWireTestServer::Log() const {
  std::string text;
  for (const char* name : {"dbus", "pipewire", "wireplumber", "pipewire-pulse"}) {
    text += std::string("---- ") + name + "\n" + ReadTextFile(m_folder + "/" + name + ".log");
  }
  return text;
}

}  // namespace quorvel
