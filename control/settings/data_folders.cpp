// The data folders and the help page at start-up.
#include "control/settings/data_folders.h"

#include <filesystem>
#include <system_error>

#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/util.h"

namespace quorvel {

namespace {

namespace fs = std::filesystem;

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

bool HoldsFilesOfKind(const std::string& folder, const DataFolderKind& kind) {
  std::vector<std::string> files;
  CUtil::ListFilesByExtension(folder, &files, kind.extensions);
  return !files.empty();
}

// The path names the data folder itself: the chart folder always does; "Wav" and "Curves" do
// when its last part is the folder's own name.
bool IsTheDataFolderItself(const std::string& path, const DataFolderKind& kind) {
  return !kind.holdsLastFile || fs::path(FullPath(path)).filename() == kind.preference;
}

char* FolderField(CSharedState& shared, const char* preference) {
  if (std::string(preference) == kPrefCalibFiles) return shared.m_szChartFolder;
  if (std::string(preference) == kPrefWav) return shared.m_szWavPath;
  return shared.m_szCurvesDir;
}

}  // namespace

const std::vector<DataFolderKind>& DataFolderKinds() {
  static const std::vector<DataFolderKind> kinds = {
      {kPrefCalibFiles, {".txt", ".frd"}, false},
      {kPrefWav, {".wav"}, true},
      {kPrefCurves, {".png", ".bmp"}, true},
  };
  return kinds;
}

bool IsPortableCopy(const std::string& exeDir) {
  std::error_code error;
  return !exeDir.empty() && fs::exists(fs::path(exeDir) / kPortableMarkerName, error);
}

std::string DataFolderBase(const std::string& installDataDir, const std::string& exeDir,
                           bool portable, const std::string& userDataDir) {
  // An installer's relative folder belongs to the program, not to wherever it was started.
  if (!installDataDir.empty() && installDataDir.front() != '/') {
    return FullPath(exeDir + "/" + installDataDir);
  }
  if (!installDataDir.empty()) return installDataDir;
  if (portable || userDataDir.empty()) return exeDir;
  return userDataDir;
}

std::string FullPath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code error;
  fs::path full = fs::absolute(fs::path(path), error);
  if (error) return path;
  std::string text = full.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

void ResolveDataFolders(IPreferences& preferences, CSharedState& shared, const std::string& exeDir,
                        const std::string& userDataDir) {
  const std::string installDataDir =
      preferences.ReadString(kPrefInstallDataDir, kDefaultInstallDataDir);
  CUtil::CopyText(shared.m_szInstallDataDir, installDataDir.c_str());
  const std::string base =
      DataFolderBase(installDataDir, exeDir, IsPortableCopy(exeDir), userDataDir);

  for (const DataFolderKind& kind : DataFolderKinds()) {
    std::string folder = preferences.ReadString(kind.preference, "");
    if (folder.empty()) {
      folder = base + "/" + kind.preference;
      preferences.WriteString(kind.preference, folder);
    } else if (folder.front() != '/') {
      // Taken from wherever the program was started, a relative folder would scatter folders
      // of that name over the file system: it lies in the data folder.
      folder = FullPath(base + "/" + folder);
      preferences.WriteString(kind.preference, folder);
    }
    if (!IsFolder(folder) && IsTheDataFolderItself(folder, kind)) {
      // Only a missing data folder is made: "Wav" and "Curves" also hold the last file's path,
      // and a file that is gone must not come back as a folder of its name.
      std::error_code error;
      fs::create_directories(folder, error);  // a folder that cannot be made is no error here
    }
    if (!HoldsFilesOfKind(folder, kind)) {
      // a same-named folder beside the executable's folder, for this run only
      const std::string sibling = exeDir + "/../" + kind.preference;
      if (IsFolder(sibling) && HoldsFilesOfKind(sibling, kind)) folder = sibling;
    }
    CUtil::CopyText(FolderField(shared, kind.preference), FullPath(folder).c_str());
  }
}

std::string NearestExistingFolder(const std::string& path) {
  std::string at = path;
  while (!at.empty()) {
    if (IsFolder(at)) return at;
    std::string up = CUtil::DirectoryOfPath(at.c_str());
    if (up == at) break;
    at = std::move(up);
  }
  return std::string();
}

std::string FindHelpFile(const std::string& exeDir,
                         const std::vector<std::string>& installedDataDirs) {
  std::vector<std::string> candidates = {exeDir + "/" + kHelpFileName,
                                         exeDir + "/../Doc/" + kHelpFileName};
  for (const std::string& folder : installedDataDirs) {
    if (!folder.empty()) candidates.push_back(folder + "/" + kHelpFileName);
  }
  // Each is looked at as a full path without ".." parts, so that "bin/../share" holds even where
  // bin/ is not a folder one can pass through.
  for (const std::string& candidate : candidates) {
    const std::string path = FullPath(candidate);
    if (CUtil::FileSizeOf(path.c_str()) > 0) return path;
  }
  return std::string();
}

}  // namespace quorvel
