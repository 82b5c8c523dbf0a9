#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/audio/pulse/audio_test_server.h"

namespace quorvel {

// A private PipeWire with its PulseAudio server: a session D-Bus (dbus-daemon), pipewire,
// wireplumber (the session manager that links streams to devices) and pipewire-pulse, all
// children of the test process with their runtime, configuration and state folders in one
// private folder. The devices CAudioTestServer names are made through the PulseAudio protocol
// (pactl load-module), as a user would make them.
class CPipeWireTestServer final : public CAudioTestServer {
 public:
  CPipeWireTestServer() = default;
  ~CPipeWireTestServer() override;

  const char* Name() const override { return "PipeWire"; }
  // A drop-in `fileName` with `text` for pipewire.conf.d, written when Start begins.
  void AddPipeWireDropIn(const std::string& fileName, const std::string& text) {
    m_dropIns.emplace_back(fileName, text);
  }
  bool Start(std::string* whyNot, bool* missing) override;
  // Kills pipewire-pulse, the process the clients talk to.
  void Kill() override;
  void Stop() override;
  // Freezes pipewire-pulse and pipewire together.
  void Freeze(int ms) override;
  bool Running() const override { return m_pulsePid > 0; }
  std::string Log() const override;

 protected:
  std::string DescriptionProperty(const std::string& description) const override;

 private:
  bool StartProcesses(std::string* whyNot);
  bool MakeDevices(std::string* whyNot);

  std::vector<std::pair<std::string, std::string>> m_dropIns;  // file name, text
  pid_t m_busPid = -1;
  pid_t m_pipewirePid = -1;
  pid_t m_sessionPid = -1;  // wireplumber
  pid_t m_pulsePid = -1;    // pipewire-pulse
};

}  // namespace quorvel
