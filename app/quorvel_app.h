#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/qt_preferences.h"
#include "app/qt_user_messages.h"

namespace quorvel {

class CQuorvelCore;
class CQuorvelDlg;
class IUserMessages;

// The fatal start-up messages, with the caption kFatalCaption.
inline constexpr char kFatalCaption[] = "FATAL ERROR";
inline constexpr char kMsgNoExeDir[] = "Could not get current executable directory";

// CQuorvelApp: the program's one application object. Its start-up finds the executable's
// folder, opens the preferences, finds the data folders (creating the missing ones) and the
// help page, makes the core and runs the main window until it is closed. A settings file that
// could not be parsed was kept aside by the preferences: the window says once where it went;
// one that cannot be written leaves the settings in memory: the window says once where it is
// and why.
// A QApplication must exist. User-interface thread.
class CQuorvelApp {
 public:
  // What tests change: where the executable is, who answers messages (the window's boxes
  // otherwise), and the core's audio services (the PulseAudio server or the simulated
  // loudspeaker otherwise).
  struct Options {
    std::string exeDir;  // empty: the running executable's folder
    IUserMessages* messages = nullptr;
    std::function<std::unique_ptr<CQuorvelCore>(IPreferences&, IUserMessages&)> makeCore;
  };

  CQuorvelApp();
  explicit CQuorvelApp(Options options);
  ~CQuorvelApp();
  CQuorvelApp(const CQuorvelApp&) = delete;
  CQuorvelApp& operator=(const CQuorvelApp&) = delete;

  // Start-up up to the main window, made but not shown. False after a fatal message (shown
  // without an owner window after a 500 ms pause): no window.
  [[nodiscard]] bool Start();
  // Start, then the main window shown and run until it is closed. The program's exit status:
  // 0, or 1 after a fatal start-up message.
  int Run();

  CQuorvelDlg* Dialog() { return m_dialog.get(); }
  CQuorvelCore* Core() { return m_core.get(); }
  CPreferences& Preferences() { return m_preferences; }

  // The folder of the help page and the data the package installs, beside the executable's.
  [[nodiscard]] static std::vector<std::string> InstalledDataDirs(const std::string& exeDir);

 private:
  void Fatal(const char* text);

  Options m_options;
  CQtUserMessages m_boxes;
  IUserMessages* m_messages;
  CPreferences m_preferences;
  std::unique_ptr<CQuorvelCore> m_core;
  std::unique_ptr<CQuorvelDlg> m_dialog;
};

}  // namespace quorvel
