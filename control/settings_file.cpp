// The settings file as a file: what stands at its path, and keeping an unreadable one aside.
#include "control/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace quorvel {

namespace {

constexpr int kMostKeptNames = 100;  // names tried for one second's kept file

// Renames from to `to` unless something is there already (errno EEXIST then).
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that rename: a new link never replaces anything either.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  if (unlink(from.c_str()) == 0) return true;
  const int error = errno;
  static_cast<void>(unlink(to.c_str()));
  errno = error;
  return false;
}

}  // namespace

SettingsFileKind InspectSettingsFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    return errno == ENOENT ? SettingsFileKind::kMissing : SettingsFileKind::kOther;
  }
  return S_ISREG(st.st_mode) ? SettingsFileKind::kRegular : SettingsFileKind::kOther;
}

std::string NotARegularFileWords(const std::string& path) {
  return path + " is not a regular file";
}

std::string KeepSettingsFileAside(const std::string& path, std::time_t when, std::string* reason) {
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[64];  // room for any int the fields hold
  std::snprintf(stamp, sizeof stamp, ".unreadable-%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  const std::string kept = path + stamp;
  for (int n = 1; n <= kMostKeptNames; ++n) {
    const std::string name = n == 1 ? kept : kept + "-" + std::to_string(n);
    if (RenameWithoutReplacing(path, name)) return name;
    if (errno != EEXIST) break;
  }
  *reason = std::generic_category().message(errno);
  return std::string();
}

std::string SettingsKeptAsideMessage(const std::string& keptPath) {
  return "The Preferences File could not be read.\nIt was kept as " + keptPath +
         "\nand Quorvel starts with its default settings.";
}

}  // namespace quorvel
