// CUtil: path and file operations. Paths accept "/" and "\" alike as separators.
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <unordered_set>

#include "base/util.h"
#include "base/util_unicode.h"

#ifdef __linux__
#include <unistd.h>
#endif

namespace quorvel {

using util_detail::IsPathSeparator;

namespace {

// Windows refuses control bytes and '"' '<' '>' '*' '?' '|' in a file name, and keeps ":" for
// drive letters and streams. On Linux only "/" (the separator) and NUL (the end of the text) may
// not stand in a name: every other character is an ordinary one ("what?.wav", "12:30.wav").
#ifdef _WIN32
constexpr bool kNameCharactersRefused = true;
#else
constexpr bool kNameCharactersRefused = false;
#endif

// Copies at most maxChars characters of src (null counts as empty) into dst and terminates it;
// returns the number copied.
size_t CopyBounded(char* dst, const char* src, size_t maxChars) {
  size_t n = 0;
  if (src != nullptr) {
    while (n < maxChars && src[n] != '\0') {
      dst[n] = src[n];
      ++n;
    }
  }
  dst[n] = '\0';
  return n;
}

// Position of the last separator in text, or -1.
long LastSeparator(const char* text) {
  long last = -1;
  for (long i = 0; text[i] != '\0'; ++i) {
    if (IsPathSeparator(text[i])) last = i;
  }
  return last;
}

// Extension of a file name as the folder scan compares it: from the last "." on, dot included;
// empty when the name has no dot.
std::string ExtensionOf(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

struct ScanState {
  std::vector<std::string>* list;
  const std::vector<std::string>* extensions;
  std::unordered_set<std::string> known;  // paths already in the list
  std::set<std::string> visitedFolders;   // canonical folders scanned, so links cannot loop
};

int ScanFolder(const std::string& folder, ScanState* state) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path canonical = fs::canonical(fs::path(folder), ec);
  if (ec) return 0;
  if (!state->visitedFolders.insert(canonical.string()).second) return 0;

  std::string prefix = folder;
  if (!prefix.empty() && !IsPathSeparator(prefix.back())) prefix += util_detail::kPlatformSeparator;

  int count = 0;
  // A folder that cannot be read, or an entry that cannot be read, ends the scan of that folder.
  for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (CUtil::CompareNoCase(name.c_str(), ".") == 0 ||
        CUtil::CompareNoCase(name.c_str(), "..") == 0) {
      continue;
    }
    const std::string fullPath = prefix + name;
    std::error_code typeEc;
    if (it->is_directory(typeEc)) {
      ScanFolder(fullPath, state);  // depth first; its files are listed but not counted here
      continue;
    }
    // Only regular files: a pipe or device named like a chart must never be opened as one.
    if (!it->is_regular_file(typeEc)) continue;
    if (state->known.count(fullPath) != 0) continue;
    const std::string extension = ExtensionOf(name);
    for (const std::string& wanted : *state->extensions) {
      if (CUtil::CompareNoCase(extension.c_str(), wanted.c_str()) == 0) {
        state->list->push_back(fullPath);
        state->known.insert(fullPath);
        ++count;
        break;
      }
    }
  }
  return count;
}

}  // namespace

CUtil::~CUtil() = default;

int CUtil::GetExeDirectory(char* out) {
  if (out == nullptr) return 0;
#ifdef __linux__
  char full[4096];
  const ssize_t length = readlink("/proc/self/exe", full, sizeof(full) - 1);
  if (length <= 0) return 0;
  full[length] = '\0';
  const long cut = LastSeparator(full);
  if (cut >= 0) full[cut] = '\0';
  CopyBounded(out, full, kExeDirectorySize - 1);
  return static_cast<int>(length);
#else
  return 0;
#endif
}

const char* CUtil::StripExtension(const char* name) {
  thread_local char result[kStripExtensionSize];
  CopyBounded(result, name, kStripExtensionSize - 1);
  // Only a dot in the last part of a path starts an extension ("my.curves/plot" has none).
  char* dot = std::strrchr(result, '.');
  if (dot != nullptr && LastSeparator(dot) < 0 && PrintableLength(dot + 1) > 0) *dot = '\0';
  return result;
}

const char* CUtil::FileNameOfPath(const char* path) {
  thread_local char result[kFileNameSize];
  CopyBounded(result, path, kFileNameSize - 1);
  long cut = LastSeparator(result);
  if (cut < 0) {
    const char* colon = std::strrchr(result, ':');
    if (colon != nullptr) cut = colon - result;
  }
  return result + (cut + 1);
}

const char* CUtil::DirectoryOfPath(const char* path) {
  thread_local char result[kDirectorySize];
  CopyBounded(result, path, kDirectorySize - 1);
  const long cut = LastSeparator(result);
  // A file in the root folder ("/a.wav") has the root as its folder, not an empty text.
  result[cut < 0 ? 0 : (cut == 0 ? 1 : cut)] = '\0';
  return result;
}

std::string CUtil::FileTitleOfPath(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  if (separator == std::string::npos) return std::string();
  std::string title = path.substr(separator + 1);
  const size_t dot = title.rfind('.');
  if (dot != std::string::npos) title.resize(dot);
  return title;
}

uint32_t CUtil::FileSizeOf(const char* fileName) {
  if (fileName == nullptr || fileName[0] == '\0') return 0;
  std::error_code ec;
  const std::filesystem::path path(fileName);
  if (!std::filesystem::is_regular_file(path, ec) || ec) return 0;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return 0;
  return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

int CUtil::ListFilesByExtension(const std::string& folder, std::vector<std::string>* list,
                                const std::vector<std::string>& extensions) {
  if (extensions.empty() || list == nullptr || folder.empty()) return 0;
  ScanState state{list, &extensions, {}, {}};
  state.known.insert(list->begin(), list->end());
  return ScanFolder(folder, &state);
}

const char16_t* CUtil::ToWidePath(const char* path) {
  thread_local char16_t result[kWidePathSize];
  if (path == nullptr) return nullptr;
  const size_t length = std::strlen(path);
  if (length > kMaxPath) return nullptr;

  // A separator becomes the platform separator unless it directly follows one that was just
  // written: a doubled separator (a network share's "\\server") keeps its second character.
  char normalised[kMaxPath + 1];
  bool afterSeparator = false;
  for (size_t i = 0; i <= length; ++i) {
    const char c = path[i];
    if (IsPathSeparator(c) && !afterSeparator) {
      normalised[i] = util_detail::kPlatformSeparator;
      afterSeparator = true;
    } else {
      normalised[i] = c;
      afterSeparator = false;
    }
  }

  // UTF-8 to UTF-16; a byte outside a valid sequence is read as Windows-1252.
  const auto* bytes = reinterpret_cast<const uint8_t*>(normalised);
  size_t out = 0;
  size_t i = 0;
  while (i < length && out + 2 < kWidePathSize) {
    char32_t codePoint = 0;
    size_t used = util_detail::DecodeUtf8(bytes + i, length - i, &codePoint);
    if (used == 0) {
      codePoint = util_detail::Cp1252ToUnicode(bytes[i]);
      used = 1;
    }
    i += used;
    if (codePoint >= 0x10000) {
      const char32_t v = codePoint - 0x10000;
      result[out++] = static_cast<char16_t>(0xD800 + (v >> 10));
      result[out++] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      result[out++] = static_cast<char16_t>(codePoint);
    }
  }
  result[out] = u'\0';
  return result;
}

int CUtil::CheckFileName(char* out, const char* path) {
  if (out == nullptr || path == nullptr) return -1;
  int replaced = 0;
  size_t written = 0;
  // Every refused character of the whole path is counted, even past the 1023 that are copied,
  // so a long path can never slip an unchecked character past OpenFileChecked.
  for (size_t i = 0; path[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    char mended = path[i];
    if (!kNameCharactersRefused) {
      // nothing to replace
    } else if (c >= 0x01 && c <= 0x1F) {
      mended = '_';
    } else if (c == '"' || c == '<' || c == '>') {
      mended = '\'';
    } else if (c == '*' || c == '?') {
      mended = ' ';
    } else if (c == ':' && !IsPathSeparator(path[i + 1])) {
      mended = ';';  // a drive letter's colon, followed by a separator, stays
    } else if (c == '|') {
      mended = ',';
    }
    if (mended != path[i]) ++replaced;
    if (written < kCheckFileNameSize - 1) out[written++] = mended;
  }
  out[written] = '\0';
  return replaced;
}

FILE* CUtil::OpenFileChecked(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) return nullptr;
  char mended[kCheckFileNameSize];
  if (CheckFileName(mended, path) != 0) return nullptr;
  return std::fopen(path, mode);
}

}  // namespace quorvel
