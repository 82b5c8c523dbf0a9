// The window program's start-up: the data folders and the help page beside a portable copy's
// executable or in the user's data folder, the defaults stored, an unparsable settings file kept
// aside, settings that cannot be written said once, and the fatal message of a named pipe.
#include "app/quorvel_app.h"

#include <sys/stat.h>

#include <fstream>

#include "base/shared_state.h"
#include "control/settings/settings_file.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

class QuorvelAppTest : public GuiTest {
 protected:
  CQuorvelApp::Options Options(const std::string& exeDir) {
    CQuorvelApp::Options options;
    options.exeDir = exeDir;
    options.messages = &m_messages;
    options.makeCore = [](IPreferences& preferences, IUserMessages& messages) {
      SimulatedAudioOptions sim;
      sim.clockFactor = kGuiClockFactor;
      return std::make_unique<CQuorvelCore>(std::make_unique<CSimulatedAudioServices>(sim),
                                            preferences, messages);
    };
    return options;
  }
};

TEST_F(QuorvelAppTest, APortableCopyKeepsItsDataBesideTheExecutable) {
  const auto bin = m_folder / "unpacked";
  std::filesystem::create_directories(bin);
  std::ofstream(bin / "Quorvel.html") << "<html>help</html>";
  std::ofstream(bin / "portable") << "";
  CQuorvelApp app(Options(bin.string()));
  ASSERT_TRUE(app.Start()) << m_messages.All();
  ASSERT_NE(app.Dialog(), nullptr);
  const CSharedState& shared = app.Core()->Shared();
  EXPECT_EQ(std::string(shared.m_szChartFolder), (bin / "CalibFiles").string());
  EXPECT_EQ(std::string(shared.m_szWavPath), (bin / "Wav").string());
  EXPECT_EQ(std::string(shared.m_szCurvesDir), (bin / "Curves").string());
  EXPECT_TRUE(std::filesystem::is_directory(bin / "Curves"));
  EXPECT_EQ(std::string(shared.m_szHelpFile), (bin / "Quorvel.html").string());
  EXPECT_EQ(std::string(shared.m_szExeDir), bin.string());
  EXPECT_EQ(Stored(kPrefCalibFiles).toString().toStdString(), (bin / "CalibFiles").string());
  EXPECT_EQ(Stored(kPrefInstallDataDir).toString(), "");
  EXPECT_EQ(Stored(kPrefAudioInGain).toInt(), 12);
  EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.All();
}

TEST_F(QuorvelAppTest, AnInstalledExecutableUsesTheUsersDataFolderAndTheInstalledHelp) {
  // The help page in the data folder an installation puts beside bin/: even where bin/ can be
  // written (by root), the data folders are the user's.
  const auto prefix = m_folder / "usr";
  std::filesystem::create_directories(prefix / "bin");
  std::filesystem::create_directories(prefix / "share" / "quorvel");
  std::ofstream(prefix / "share" / "quorvel" / "Quorvel.html") << "<html>help</html>";
  const auto data = m_folder / "data";
  CQuorvelApp app(Options((prefix / "bin").string()));
  ASSERT_TRUE(app.Start()) << m_messages.All();
  const CSharedState& shared = app.Core()->Shared();
  EXPECT_EQ(std::string(shared.m_szWavPath), (data / "Velkar" / "Quorvel" / "Wav").string());
  EXPECT_TRUE(std::filesystem::is_directory(data / "Velkar" / "Quorvel" / "CalibFiles"));
  EXPECT_EQ(std::string(shared.m_szHelpFile),
            (prefix / "share" / "quorvel" / "Quorvel.html").string());
  EXPECT_FALSE(std::filesystem::exists(prefix / "bin" / "Wav"));
}

TEST_F(QuorvelAppTest, ASettingsFileThatCannotBeParsedIsKeptAsideAndSaidOnce) {
  const std::filesystem::path file = CPreferences::FileName().toStdString();
  std::filesystem::create_directories(file.parent_path());
  std::vector<std::string> kept;
  for (const char* text : {"[Preferences\nFmin=40\n", "[Preferences\nFmin=60\n"}) {
    std::ofstream(file) << text;  // two starts, most likely within one second
    CQuorvelApp app(Options(m_folder.string()));
    ASSERT_TRUE(app.Start()) << m_messages.All();
    ASSERT_TRUE(ProcessUntil([&] { return m_messages.Messages().size() > kept.size(); }));
    kept.push_back(app.Preferences().KeptAside());
    EXPECT_EQ(m_messages.Messages().back(), SettingsKeptAsideMessage(kept.back()));
  }
  ProcessFor(20);
  EXPECT_EQ(m_messages.Messages().size(), 2u) << m_messages.All();  // once each
  std::ifstream first(kept[0]), second(kept[1]);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(first), {}), "[Preferences\nFmin=40\n");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(second), {}), "[Preferences\nFmin=60\n");
}

TEST_F(QuorvelAppTest, ReadOnlySettingsSayWhyOnceAndAPipeEndsTheStartWithStatusOne) {
  const std::string file = CPreferences::FileName().toStdString();
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  std::ofstream(file) << "[Preferences]\nFmin=40\n";
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  {
    const CFilePermissionsForRoot permissions;
    CQuorvelApp app(Options(m_folder.string()));
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(ProcessUntil([&] { return !m_messages.Messages().empty(); }));
    ProcessFor(20);
    EXPECT_EQ(m_messages.Messages(),
              std::vector<std::string>{SettingsNotWritableMessage(file + ": Permission denied")});
  }
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  CQuorvelApp app(Options(m_folder.string()));
  EXPECT_EQ(app.Run(), 1);
  EXPECT_EQ(app.Dialog(), nullptr);
  EXPECT_EQ(m_messages.Captions().back(), "FATAL ERROR");
}

}  // namespace

}  // namespace quorvel
