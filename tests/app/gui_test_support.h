#pragma once

// Helpers of the GUI tests: each test gets a preferences folder of its own ($XDG_CONFIG_HOME),
// scripted answers in place of the message boxes, and the real main window over a core on the
// simulated loudspeaker (on a fast clock) or on services the test scripts.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/qt_preferences.h"
#include "app/quorvel_dlg.h"
#include "audio/sim/simulated_services.h"
#include "control/quorvel_core.h"
#include "tests/audio/audio_test_support.h"
#include "tests/base/scripted_messages.h"

namespace quorvel {

// The simulated loudspeaker's clock in the GUI tests, as in the other threaded tests: ten times
// real time (QUORVEL_TEST_CLOCK_FACTOR overrides it), a measurement in about 2.2 s.
inline const double kGuiClockFactor = TestClockFactor();
// Longest wait for something the window does on its timers [ms]: only a hang takes this long.
inline constexpr int kGuiWaitMs = 60000;

// Runs the event loop until `done` holds or timeoutMs have passed. True when it holds.
inline bool ProcessUntil(const std::function<bool()>& done, int timeoutMs = kGuiWaitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Runs the event loop for a while: the window's timers run meanwhile.
inline void ProcessFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// While it lives, file permissions bind this thread even as root (CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH off), so that a read-only file is read-only to a test run as root.
struct CFilePermissionsForRoot {
  CFilePermissionsForRoot() { Set(~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH))); }
  ~CFilePermissionsForRoot() { Set(~0u); }
  static void Set(uint32_t keep) {  // the effective set: the permitted one, masked
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[2]{};
    if (syscall(SYS_capget, &header, sets) != 0) return;
    sets[0].effective = sets[0].permitted & keep;
    static_cast<void>(syscall(SYS_capset, &header, sets));
  }
};

// A fixture with its own preferences folder, made before anything reads the preferences.
class GuiTest : public testing::Test {
 protected:
  void SetUp() override {
    m_folder = std::filesystem::temp_directory_path() /
               ("quorvel_gui_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_folder);
    std::filesystem::create_directories(m_folder / "config");
    ::setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_folder / "data").c_str(), 1);  // the data folders' base
  }
  void TearDown() override {
    m_dialog.reset();
    m_core.reset();
    std::filesystem::remove_all(m_folder);
  }

  // Preferences stored before the window starts, as an earlier run would have left them.
  void Store(const char* name, const QVariant& value) {
    QSettings settings(CPreferences::FileName(), QSettings::IniFormat);
    settings.setValue(QString(CPreferences::kGroup) + "/" + name, value);
    settings.sync();
  }
  // A stored preference as the file holds it now.
  QVariant Stored(const char* name) {
    QSettings settings(CPreferences::FileName(), QSettings::IniFormat);
    return settings.value(QString(CPreferences::kGroup) + "/" + name);
  }

  // The window over the given services (null: the simulated loudspeaker).
  void OpenWindow(std::unique_ptr<IAudioServices> services = nullptr) {
    ASSERT_TRUE(m_preferences.OpenKeys());
    if (!services) {
      SimulatedAudioOptions options;
      options.clockFactor = kGuiClockFactor;
      auto sim = std::make_unique<CSimulatedAudioServices>(options);
      m_sim = sim.get();
      services = std::move(sim);
    }
    m_core = std::make_unique<CQuorvelCore>(std::move(services), m_preferences, m_messages);
    m_dialog = std::make_unique<CQuorvelDlg>(*m_core);
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
  }

  CQuorvelDlg& Dialog() { return *m_dialog; }
  CAudio& Audio() { return m_core->Audio(); }
  CGraphical& Graph() { return m_core->Graph(); }
  CSharedState& Shared() { return m_core->Shared(); }

  // A left click on a button, as the user makes it.
  static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

  std::filesystem::path m_folder;
  CPreferences m_preferences;
  CScriptedMessages m_messages;
  CSimulatedAudioServices* m_sim = nullptr;  // the core's, when it runs on the simulation
  std::unique_ptr<CQuorvelCore> m_core;
  std::unique_ptr<CQuorvelDlg> m_dialog;
};

}  // namespace quorvel
