#include "measurement/session_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/atomic_file.h"

namespace quorvel {

int64_t FileTimeUtc(const std::string& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(path, error);
  if (error) return 0;
  const auto system = std::chrono::file_clock::to_sys(time);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxFileNameBytes = 255;  // NAME_MAX of Linux file systems
constexpr int kMostSuffixes = 1000;        // " (1000)" is the largest suffix

bool Taken(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

// text cut to at most `bytes`, never inside a UTF-8 sequence.
std::string CutAtCharacter(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string TimeName(const std::tm& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d%02d%02d", time.tm_year + 1900,
                time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
  return text;
}

}  // namespace

std::tm LocalTimeOf(int64_t utcSeconds) {
  const auto seconds = static_cast<std::time_t>(utcSeconds);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  return local;
}

std::string SessionFolderName(const std::tm& started) {
  return TimeName(started);
}

Result<std::string> CreateSessionFolder(const std::string& dataFolder, const std::tm& started) {
  const std::string sessions = NormalPath(dataFolder) + "/" + kSessionsFolderName;
  std::error_code error;
  fs::create_directories(sessions, error);
  if (error) return Failure{sessions + ": " + SystemErrorWords(error.value())};
  const std::string name = SessionFolderName(started);
  for (int n = 1; n <= kMostSuffixes; ++n) {
    const std::string path =
        sessions + "/" + name + (n == 1 ? std::string() : " (" + std::to_string(n) + ")");
    // mkdir, not a look first: of two windows started in the same second, one gets each name.
    if (::mkdir(path.c_str(), 0777) == 0) return path;
    if (errno != EEXIST) return Failure{path + ": " + SystemErrorWords(errno)};
  }
  return Failure{sessions + "/" + name + ": every name up to (1000) is taken"};
}

std::string SafeFileNamePart(const std::string& text) {
  std::string safe = text;
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || byte < 0x20 || byte == 0x7F) c = '_';
  }
  return safe;
}

std::string FreeFileName(const std::string& folder, const std::string& stem,
                         const std::string& extension) {
  for (int n = 1; n <= kMostSuffixes; ++n) {
    const std::string suffix = n == 1 ? std::string() : " (" + std::to_string(n) + ")";
    const size_t room =
        kMaxFileNameBytes - std::min(kMaxFileNameBytes, suffix.size() + extension.size());
    const std::string name = CutAtCharacter(stem, room) + suffix + extension;
    if (!Taken(folder + "/" + name)) return name;
  }
  return std::string();
}

std::string NewCaptureFileName(const std::string& sessionFolder, const std::string& caption,
                               const std::tm& made) {
  // The caption is cut to leave room for the time, the largest suffix and the extension, so
  // that no cut ever loses the time.
  const std::string time = " " + TimeName(made);
  const size_t room =
      kMaxFileNameBytes - time.size() - std::strlen(" (1000)") - std::strlen(".wav");
  const std::string captionPart = CutAtCharacter(SafeFileNamePart(caption), room);
  return FreeFileName(sessionFolder, captionPart + time, ".wav");
}

std::string NormalPath(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(fs::path(path), error);
  if (error) absolute = fs::path(path);
  std::string normal = absolute.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

bool LiesInside(const std::string& folder, const std::string& path) {
  const std::string base = NormalPath(folder);
  const std::string full = NormalPath(path);
  if (base == "/") return full.size() > 1;
  return full.size() > base.size() + 1 && full.compare(0, base.size(), base) == 0 &&
         full[base.size()] == '/';
}

std::string StoredCapturePath(const std::string& sessionFolder, const std::string& capturePath) {
  const std::string full = NormalPath(capturePath);
  if (!LiesInside(sessionFolder, full)) return full;
  const std::string base = NormalPath(sessionFolder);
  return full.substr(base == "/" ? 1 : base.size() + 1);
}

std::string ResolveCapturePath(const std::string& sessionFolder, const std::string& storedPath) {
  if (!storedPath.empty() && storedPath[0] == '/') return NormalPath(storedPath);
  return NormalPath(NormalPath(sessionFolder) + "/" + storedPath);
}

}  // namespace quorvel
