#include "measurement/session_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "base/atomic_file.h"
#include "measurement/session_json.h"
#include "measurement/session_json_fields.h"
#include "measurement/session_paths.h"

namespace quorvel {

namespace {

namespace fs = std::filesystem;

constexpr size_t kChunkBytes = 1u << 20;

// A descriptor closed on every way out.
struct CFileDescriptor {
  int fd = -1;
  ~CFileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Opens a regular file for reading; a named pipe or device is refused without waiting for it.
Result<void> OpenRegular(const std::string& path, CFileDescriptor* file, struct stat* info) {
  file->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file->fd < 0 || ::fstat(file->fd, info) != 0) {
    return Failure{path + ": " + SystemErrorWords(errno)};
  }
  if (!S_ISREG(info->st_mode)) {
    return Failure{path + ": " + (S_ISDIR(info->st_mode) ? "Is a directory" : "Not a file")};
  }
  return {};
}

// Reads at most `limit` bytes of the open file into *text (it grows as bytes arrive, never by a
// size given in advance), stopping with *tooLarge when there is more than limit; else the
// failure to read.
Result<void> ReadUpTo(int fd, uint64_t limit, std::string* text, bool* tooLarge,
                      const std::string& path) {
  std::vector<char> chunk(64 * 1024);
  *tooLarge = false;
  for (;;) {
    const ssize_t count = ::read(fd, chunk.data(), chunk.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return Failure{path + ": " + SystemErrorWords(errno)};
    if (count == 0) return {};
    if (text->size() + static_cast<size_t>(count) > limit) {
      *tooLarge = true;
      return {};
    }
    text->append(chunk.data(), static_cast<size_t>(count));
  }
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string SizeWords(uint64_t bytes) {
  return std::to_string(bytes) + " bytes, more than the " +
         std::to_string(kMaxSessionFileBytes >> 20) + " MB a session.json may have";
}

// Keeps a damaged session.json under a free name beside it: a second name for the same file
// where the file system has them (the workbench's next save replaces the name session.json, not
// the file), else a copy of the text read.
void KeepAside(const std::string& folder, const std::string& text, bool wholeText,
               OpenedSession* opened) {
  const std::string original = folder + "/" + kSessionFileName;
  const std::string name = FreeFileName(folder, "session damaged", ".json");
  const std::string kept = folder + "/" + name;
  std::string why = "no free name";
  if (!name.empty()) {
    if (::link(original.c_str(), kept.c_str()) == 0) {
      opened->keptAside = kept;
    } else {
      why = SystemErrorWords(errno);
      if (wholeText) {
        const Result<void> whole = WriteWholeFile(kept, text.data(), text.size());
        if (whole) opened->keptAside = kept;
        why = whole.Message();
      }
    }
  }
  opened->problems.push_back(opened->keptAside.empty()
                                 ? "session.json could not be kept aside as it is: " + why
                                 : "session.json is kept as it was in \"" + ReadableUtf8(name) +
                                       "\"");
}

// Removes what a failed Save Session As made, files first, then the folders it made (only
// when empty, deepest first).
void RemoveMade(const std::vector<std::string>& files, const std::vector<std::string>& folders) {
  for (const std::string& file : files) ::unlink(file.c_str());
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    ::rmdir(folder->c_str());
  }
}

// Makes a folder and its missing parents, noting each one made.
Result<void> MakeFolders(const std::string& path, std::vector<std::string>* made) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return {};
    return Failure{path + ": Not a directory"};
  }
  const std::string parent = fs::path(path).parent_path().string();
  if (parent != path && !parent.empty()) {
    if (Result<void> parentMade = MakeFolders(parent, made); !parentMade) return parentMade;
  }
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
    return Failure{path + ": " + SystemErrorWords(errno)};
  }
  made->push_back(path);
  return {};
}

}  // namespace

Result<void> WriteSession(const std::string& sessionFolder, const SessionDocument& document) {
  const std::string text = SessionJsonText(document, sessionFolder);
  return WriteWholeFile(NormalPath(sessionFolder) + "/" + kSessionFileName, text.data(),
                        text.size());
}

OpenedSession OpenSession(const std::string& sessionFolder) {
  OpenedSession opened;
  const std::string folder = NormalPath(sessionFolder);
  const std::string path = folder + "/" + kSessionFileName;
  CFileDescriptor file;
  struct stat info {};
  if (const Result<void> open = OpenRegular(path, &file, &info); !open) {
    opened.problems.push_back("session.json could not be read: " + ReadableUtf8(open.Message()) +
                              "; nothing is opened");
    return opened;
  }
  std::string text;
  bool tooLarge = static_cast<uint64_t>(info.st_size) > kMaxSessionFileBytes;
  if (!tooLarge) {
    if (const Result<void> read = ReadUpTo(file.fd, kMaxSessionFileBytes, &text, &tooLarge, path);
        !read) {
      opened.problems.push_back("session.json could not be read: " + ReadableUtf8(read.Message()) +
                                "; nothing is opened");
      return opened;
    }
  }
  if (tooLarge) {
    opened.problems.push_back(
        "session.json is " +
        SizeWords(std::max<uint64_t>(static_cast<uint64_t>(info.st_size), text.size())) +
        "; nothing is opened");
    KeepAside(folder, text, false, &opened);
    return opened;
  }
  SessionReading reading = ReadSessionJson(text, folder);
  opened.document = std::move(reading.document);
  opened.problems = std::move(reading.problems);
  size_t unlisted = 0;
  for (const SessionEntry& entry : opened.document.entries) {
    if (IsRegularFile(entry.capturePath)) continue;
    opened.missingCaptureIds.push_back(entry.id);
    if (opened.missingCaptureIds.size() > kMostListedProblems) {
      ++unlisted;
      continue;
    }
    opened.problems.push_back(
        "session.json: entry " + ReadableUtf8(entry.id) + " (\"" + ReadableUtf8(entry.look.name) +
        "\") names a capture that is missing: " + ReadableUtf8(entry.capturePath));
  }
  if (unlisted > 0) {
    opened.problems.push_back("session.json: " + std::to_string(unlisted) +
                              " more entries name captures that are missing");
  }
  if (reading.damaged) KeepAside(folder, text, true, &opened);
  return opened;
}

Result<void> CopyWholeFile(const std::string& source, const std::string& target) {
  CFileDescriptor file;
  struct stat info {};
  if (Result<void> open = OpenRegular(source, &file, &info); !open) return open;
  CAtomicFile copy;
  if (!copy.Open(target)) return Failure{copy.FailureWords()};
  std::vector<char> chunk(kChunkBytes);
  for (;;) {
    const ssize_t count = ::read(file.fd, chunk.data(), chunk.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      // the unfinished copy is discarded with `copy`
      return Failure{source + ": " + SystemErrorWords(errno)};
    }
    if (count == 0) break;
    if (!copy.Write(chunk.data(), static_cast<size_t>(count))) {
      return Failure{copy.FailureWords()};
    }
  }
  if (!copy.Commit()) return Failure{copy.FailureWords()};
  return {};
}

Result<void> SaveSessionAs(const SessionDocument& document, const std::string& oldFolder,
                           const std::string& newFolder, SessionCopy* copy) {
  const std::string from = NormalPath(oldFolder);
  const std::string to = NormalPath(newFolder);
  copy->document = document;
  copy->notCopied.clear();
  if (from == to) return WriteSession(to, document);
  struct stat info {};
  if (::lstat((to + "/" + kSessionFileName).c_str(), &info) == 0) {
    return Failure{to + ": holds a session already"};
  }
  std::vector<std::string> madeFolders, madeFiles;
  std::string words;
  auto fail = [&]() -> Result<void> {
    RemoveMade(madeFiles, madeFolders);
    copy->document = document;
    return Failure{words};
  };
  if (const Result<void> made = MakeFolders(to, &madeFolders); !made) {
    words = made.Message();
    return fail();
  }
  std::map<std::string, std::string> copied;  // one copy of a capture that entries share
  for (SessionEntry& entry : copy->document.entries) {
    const std::string capture = NormalPath(entry.capturePath);
    if (!LiesInside(from, capture)) continue;
    if (const auto found = copied.find(capture); found != copied.end()) {
      entry.capturePath = found->second;
      continue;
    }
    if (!IsRegularFile(capture)) {
      copy->notCopied.push_back(capture);
      continue;
    }
    const fs::path relative(StoredCapturePath(from, capture));
    const std::string folder = NormalPath(to + "/" + relative.parent_path().string());
    if (const Result<void> made = MakeFolders(folder, &madeFolders); !made) {
      words = made.Message();
      return fail();
    }
    const std::string name =
        FreeFileName(folder, relative.stem().string(), relative.extension().string());
    if (name.empty()) {
      words = folder + ": no free name for " + relative.filename().string();
      return fail();
    }
    const std::string target = folder + "/" + name;
    if (const Result<void> whole = CopyWholeFile(capture, target); !whole) {
      words = whole.Message();
      return fail();
    }
    madeFiles.push_back(target);
    copied[capture] = target;
    entry.capturePath = target;
  }
  if (const Result<void> written = WriteSession(to, copy->document); !written) {
    words = written.Message();
    return fail();
  }
  return {};
}

}  // namespace quorvel
