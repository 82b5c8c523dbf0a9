// The start-up of the window program: executable folder, preferences, data folders, help page,
// core and main window.
#include "app/quorvel_app.h"

#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/quorvel_dlg.h"
#include "base/messages.h"
#include "base/shared_state.h"
#include "base/util.h"
#include "control/quorvel_core.h"
#include "control/run/failure_words.h"
#include "control/settings/data_folders.h"
#include "control/settings/settings_file.h"

#ifndef QUORVEL_DATA_FROM_BIN
#define QUORVEL_DATA_FROM_BIN "../share/quorvel"
#endif

namespace quorvel {

CQuorvelApp::CQuorvelApp() : CQuorvelApp(Options{}) {}

CQuorvelApp::CQuorvelApp(Options options)
    : m_options(std::move(options)),
      m_messages(m_options.messages != nullptr ? m_options.messages : &m_boxes) {}

// The window goes before the core it shows, the core before the preferences it holds.
CQuorvelApp::~CQuorvelApp() {
  m_dialog.reset();
  m_core.reset();
}

void CQuorvelApp::Fatal(const char* text) {
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  m_boxes.SetOwner(nullptr);
  m_messages->ShowMessage(text, kFatalCaption);
}

std::vector<std::string> CQuorvelApp::InstalledDataDirs(const std::string& exeDir) {
  std::vector<std::string> folders = {exeDir + "/" + QUORVEL_DATA_FROM_BIN};
  for (const QString& folder :
       QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
    folders.push_back((folder + "/quorvel").toStdString());
  }
  return folders;
}

bool CQuorvelApp::Start() {
  std::string exeDir = m_options.exeDir;
  if (exeDir.empty()) {
    char folder[CUtil::kPathBufferSize] = {};
    if (CUtil::GetExeDirectory(folder) > 0) exeDir = folder;
  }
  if (exeDir.empty()) {
    Fatal(kMsgNoExeDir);
    return false;
  }
  if (!m_preferences.OpenKeys()) {
    Fatal(WithWords(kMsgPreferences, m_preferences.Problem()).c_str());
    return false;
  }

  if (m_options.makeCore) {
    m_core = m_options.makeCore(m_preferences, *m_messages);
  } else {
    m_core = std::make_unique<CQuorvelCore>(AudioChoice::kDefault, m_preferences, *m_messages);
  }
  CSharedState& shared = m_core->Shared();
  CUtil::CopyText(shared.m_szExeDir, exeDir.c_str());
  // The user's data folder: ~/.local/share/Velkar/Quorvel, as quorvel-cli finds it
  const std::string userDataDir = ApplicationFolder(
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString());
  ResolveDataFolders(m_preferences, shared, exeDir, userDataDir);
  CUtil::CopyText(shared.m_szHelpFile, FindHelpFile(exeDir, InstalledDataDirs(exeDir)).c_str());

  m_dialog = std::make_unique<CQuorvelDlg>(*m_core);
  m_boxes.SetOwner(m_dialog.get());
  if (m_messages == &m_boxes) m_dialog->SetWindowMessages(BoxesOver);
  // each said once, over the window, as soon as it runs
  for (const std::string& text :
       {m_preferences.KeptAside().empty() ? std::string()
                                          : SettingsKeptAsideMessage(m_preferences.KeptAside()),
        m_preferences.NotWritable().empty()
            ? std::string()
            : SettingsNotWritableMessage(m_preferences.NotWritable())}) {
    if (!text.empty()) {
      QTimer::singleShot(0, m_dialog.get(), [this, text] { m_messages->ShowMessage(text); });
    }
  }
  return true;
}

int CQuorvelApp::Run() {
  if (!Start()) return 1;
  m_dialog->exec();
  m_boxes.SetOwner(nullptr);
  return 0;
}

}  // namespace quorvel
