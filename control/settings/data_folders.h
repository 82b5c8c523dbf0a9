#pragma once

#include <string>
#include <vector>

namespace quorvel {

class IPreferences;
struct CSharedState;

// The data folders and the help page, found at start-up. Plain rules over the file system and
// the preferences; the window's start-up supplies the platform's folders. User-interface thread.

// The three data folders: the preference that holds each, the folder name, the file types
// looked for in it.
struct DataFolderKind {
  const char* preference;  // "CalibFiles", "Wav", "Curves"
  std::vector<std::string> extensions;
  bool holdsLastFile;  // the preference also holds the path of the last file saved or loaded
};
[[nodiscard]] const std::vector<DataFolderKind>& DataFolderKinds();

// A portable copy: a file named "portable" lies beside the executable (an unpacked folder
// that keeps its data with it).
inline constexpr char kPortableMarkerName[] = "portable";
[[nodiscard]] bool IsPortableCopy(const std::string& exeDir);

// The base of the data folders: "InstallDataDir" when it is set (a relative one taken from the
// executable's folder); otherwise the executable's
// folder of a portable copy; otherwise the user's data folder (~/.local/share/Velkar/Quorvel),
// never a build tree, whose removal would take the user's captures and charts with it.
[[nodiscard]] std::string DataFolderBase(const std::string& installDataDir,
                                         const std::string& exeDir, bool portable,
                                         const std::string& userDataDir);

// Reads "InstallDataDir" into m_szInstallDataDir, then for CalibFiles, Wav and Curves in that
// order: the preference, or when it is empty base/NAME, which is stored; a relative stored path
// is taken from the base, and stored so (never from the current folder); a missing chart
// folder, and a missing Wav or Curves folder whose own name is NAME, is created (silently, when
// that fails), while any other missing path of "Wav" or "Curves" (the last capture file or
// curve picture, which they also hold) is left as it is; when neither the folder nor its
// subfolders hold a file of its types but exeDir/../NAME does, that folder is used for this run
// (not stored); the result as a full path without "." or ".." parts, into m_szChartFolder,
// m_szWavPath and m_szCurvesDir.
void ResolveDataFolders(IPreferences& preferences, CSharedState& shared, const std::string& exeDir,
                        const std::string& userDataDir);

// The nearest existing folder of a path: the path itself when it is a folder, else the first of
// its parent folders that exists. Empty when none does (or the path is empty).
[[nodiscard]] std::string NearestExistingFolder(const std::string& path);

// The help page "Quorvel.html": beside the executable, then in "../Doc/" beside the
// executable's folder, then in each installed data folder given; a file counts when it is not
// empty. Empty when there is none.
inline constexpr char kHelpFileName[] = "Quorvel.html";
[[nodiscard]] std::string FindHelpFile(const std::string& exeDir,
                                       const std::vector<std::string>& installedDataDirs);

// The path made absolute and lexically normal ("a/b/../c" is "a/c"), without a trailing
// separator.
[[nodiscard]] std::string FullPath(const std::string& path);

}  // namespace quorvel
