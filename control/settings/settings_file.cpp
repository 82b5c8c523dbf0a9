// The settings file as a file: what stands at its path, and keeping an unreadable one aside.
#include "control/settings/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/atomic_file.h"
#include "base/messages.h"

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
  // Nothing that can be seen: opening it cannot wait either (SettingsFileAccessWords says why).
  if (stat(path.c_str(), &st) != 0) return SettingsFileKind::kMissing;
  if (!S_ISREG(st.st_mode)) return SettingsFileKind::kOther;
  return st.st_size > kMaxSettingsFileSize ? SettingsFileKind::kTooLarge
                                           : SettingsFileKind::kRegular;
}

std::string SettingsFileAccessWords(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return path + ": " + SystemErrorWords(error.value());
  // Opened as the settings would be, with this process's own rights.
  const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  int failure = errno;
  if (fd < 0 && failure != ENOENT) return path + ": " + SystemErrorWords(failure);
  if (fd >= 0) close(fd);
  // Every save is a new file beside it, renamed over it: its folder must take one.
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return std::string();
  failure = errno;
  return path + ": its folder cannot be written (" + SystemErrorWords(failure) + ")";
}

std::string SettingsNotWritableMessage(const std::string& accessWords) {
  return std::string(kMsgPreferences) + "\n" + accessWords +
         "\nSettings changed now are kept until Quorvel is closed.";
}

std::string ReadSettingsFileBytes(const std::string& path) {
  std::string bytes;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return bytes;
  char block[65536];
  while (bytes.size() < static_cast<size_t>(kMaxSettingsFileSize)) {
    const ssize_t n = read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(block, static_cast<size_t>(n));
  }
  close(fd);
  return bytes;
}

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A character of an escape as UTF-8 (QSettings' escapes give one UTF-16 unit); false for a
// surrogate, which no path holds.
bool AppendCodeUnit(unsigned value, std::string* out) {
  value &= 0xFFFFu;
  if (value >= 0xD800u && value <= 0xDFFFu) return false;
  if (value < 0x80u) {
    out->push_back(static_cast<char>(value));
  } else if (value < 0x800u) {
    out->push_back(static_cast<char>(0xC0u | (value >> 6)));
    out->push_back(static_cast<char>(0x80u | (value & 0x3Fu)));
  } else {
    out->push_back(static_cast<char>(0xE0u | (value >> 12)));
    out->push_back(static_cast<char>(0x80u | ((value >> 6) & 0x3Fu)));
    out->push_back(static_cast<char>(0x80u | (value & 0x3Fu)));
  }
  return true;
}

// A value's text after "=", unescaped as QSettings unescapes it; false for a list.
bool UnescapedValue(const std::string& value, std::string* out) {
  static const char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                     {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                     {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  out->clear();
  bool quoted = false;
  bool inQuotes = false;
  size_t keep = 0;  // trailing blanks after this many bytes are cut
  size_t i = value.find_first_not_of(" \t");
  while (i < value.size()) {
    const char c = value[i++];
    if (c == '"') {
      quoted = true;
      inQuotes = !inQuotes;
      if (!inQuotes) i = std::min(value.find_first_not_of(" \t", i), value.size());
      keep = out->size();
    } else if (c == ',' && !inQuotes) {
      return false;
    } else if (c != '\\') {
      out->push_back(c);
    } else if (i < value.size()) {
      const char e = value[i++];
      bool known = false;
      for (const auto& escape : kEscapes) {
        if (e == escape[0]) {
          out->push_back(escape[1]);
          known = true;
        }
      }
      // \x takes the hex digits after it (none: nothing), \0 to \7 the octal ones
      const bool hex = e == 'x' && i < value.size() && HexValue(value[i]) >= 0;
      const int base = hex ? 16 : (e >= '0' && e <= '7') ? 8 : 0;
      if (!known && base != 0) {
        unsigned code = base == 8 ? static_cast<unsigned>(e - '0') : 0;
        for (int digit = 0; i < value.size() && (digit = HexValue(value[i])) >= 0 && digit < base;
             ++i) {
          code = code * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        }
        if (!AppendCodeUnit(code, out)) return false;
      }
      keep = out->size();
    }
  }
  if (!quoted) {
    while (out->size() > keep && (out->back() == ' ' || out->back() == '\t')) out->pop_back();
  }
  return true;
}

}  // namespace

bool RawSettingsText(const std::string& fileBytes, const std::string& group, const std::string& key,
                     std::string* text) {
  bool inGroup = false;
  for (size_t start = 0; start < fileBytes.size();) {
    const size_t end = std::min(fileBytes.find('\n', start), fileBytes.size());
    std::string line = fileBytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trimmed(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      inGroup = trimmed == "[" + group + "]";
      continue;
    }
    const size_t equals = line.find('=');
    if (!inGroup || equals == std::string::npos || Trimmed(line.substr(0, equals)) != key) {
      continue;
    }
    std::string value;
    if (!UnescapedValue(line.substr(equals + 1), &value)) return false;
    if (value.rfind("@@", 0) == 0) {
      value.erase(0, 1);
    } else if (!value.empty() && value.front() == '@') {
      return false;
    }
    *text = value;
    return true;
  }
  return false;
}

std::string NotARegularFileWords(const std::string& path) {
  return path + " is not a regular file";
}

Result<std::string> KeepSettingsFileAside(const std::string& path, std::time_t when) {
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
  return Failure{std::generic_category().message(errno)};
}

std::string SettingsKeptAsideMessage(const std::string& keptPath) {
  return "The Preferences File could not be read.\nIt was kept as " + keptPath +
         "\nand Quorvel starts with its default settings.";
}

}  // namespace quorvel
