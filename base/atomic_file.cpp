// Files written whole or not at all: a temporary file beside the target, renamed over it.
#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace quorvel {

namespace {

constexpr size_t kBufferBytes = 64 * 1024;     // written to the file in pieces of this size
constexpr size_t kLongestTemporaryStem = 200;  // [bytes] of the target's name in the hidden name
constexpr int kTemporaryTries = 100;

std::atomic<bool> g_unnamedAllowed{true};

// Writes all count bytes at the file's position; 0, or the error number.
int WriteFully(int fd, const uint8_t* data, size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return 0;
}

bool IsUnder(const char* path, const char* folder) {
  const size_t n = std::strlen(folder);
  return std::strncmp(path, folder, n) == 0 && (path[n] == '\0' || path[n] == '/');
}

// Six letters or digits that differ from call to call and from process to process.
std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  uint64_t x = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               (static_cast<uint64_t>(getpid()) << 32) ^
               (counter.fetch_add(1) * 0x9E3779B97F4A7C15u);
  std::string suffix(6, 'X');
  for (char& c : suffix) {
    c = kLetters[x % 62];
    x /= 62;
  }
  return suffix;
}

// as Open says it
constexpr char kNoPipeReader[] = "No program reads this named pipe";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Why the file system would refuse the name a save renames its file to, or empty: the probe's
// temporary name is cut short, so a name too long for the folder passes it.
std::string CheckNameLengths(const std::string& path) {
  if (path.size() >= PATH_MAX) {
    return SystemErrorWords(ENAMETOOLONG) + ": a path has at most " + std::to_string(PATH_MAX - 1) +
           " bytes";
  }
  const size_t slash = path.find_last_of('/');
  const size_t nameBytes = slash == std::string::npos ? path.size() : path.size() - slash - 1;
  const long longest = pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
  if (longest > 0 && nameBytes > static_cast<size_t>(longest)) {
    return SystemErrorWords(ENAMETOOLONG) + ": this folder takes names of at most " +
           std::to_string(longest) + " bytes";
  }
  return std::string();
}

// Why a target written directly cannot take a save now, or empty. Only a named pipe is opened
// (for writing, without waiting): its descriptor goes to *pipe.
std::string CheckStreamReader(const std::string& path, int* pipe) {
  struct stat target {};
  if (stat(path.c_str(), &target) != 0 || !S_ISFIFO(target.st_mode)) return std::string();
  *pipe = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (*pipe >= 0) return std::string();
  return errno == ENXIO ? kNoPipeReader : SystemErrorWords(errno);
}

}  // namespace

std::string SystemErrorWords(int error) {
#ifdef __GLIBC__
  const char* words = strerrordesc_np(error);
  if (words != nullptr) return words;
#endif
  return "error " + std::to_string(error);
}

CAtomicFile::~CAtomicFile() {
  Abandon();
}

bool CAtomicFile::Open(const std::string& path) {
  return Start(path, true);
}

void CAtomicFile::AllowUnnamedTemporaryFiles(bool allow) {
  g_unnamedAllowed.store(allow);
}

Result<void> CAtomicFile::CheckCanBeSaved(const std::string& path, SaveCheck* found) {
  CAtomicFile probe;
  bool ok = probe.Start(path, false);
  std::string words = probe.m_failure;
  const bool streamed = probe.m_streamed;
  probe.Abandon();  // the probe's temporary file goes at once
  int pipe = -1;
  if (ok) {
    const std::string reason = streamed ? CheckStreamReader(path, &pipe) : CheckNameLengths(path);
    ok = reason.empty();
    if (!ok) words = path + ": " + reason;
  }
  if (found != nullptr) {
    found->streamed = ok && streamed;
    found->pipe = pipe;
  } else if (pipe >= 0) {
    close(pipe);
  }
  if (!ok) return Failure{words};
  return {};
}

bool CAtomicFile::Start(const std::string& path, bool openStream) {
  Discard();
  m_path = path;
  m_streamed = false;
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return Fail(path.empty() ? ENOENT : EISDIR);

  struct stat target {};
  const bool exists = stat(path.c_str(), &target) == 0;  // through a link
  if (exists && S_ISDIR(target.st_mode)) return Fail(EISDIR);
  // Pipes, terminals and devices are written into; so is everything in /dev and /proc (such as
  // /dev/stdout redirected to a file), where no file is ever created or renamed.
  char realFolder[PATH_MAX];
  m_streamed = (exists && !S_ISREG(target.st_mode)) ||
               (realpath(folder.c_str(), realFolder) != nullptr &&
                (IsUnder(realFolder, "/dev") || IsUnder(realFolder, "/proc")));
  if (m_streamed) {
    // nothing is created there: a name that is not there now cannot be written
    if (!exists) return Fail(ENOENT);
    if (!openStream) return true;
    // Opened without waiting: a named pipe that no program reads is refused rather than
    // blocking the command until one does.
    m_fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
      if (errno == ENXIO && exists && S_ISFIFO(target.st_mode)) {
        return FailWith("No program reads this named pipe");
      }
      return Fail(errno);
    }
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags == -1 || fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) == -1) return Fail(errno);
    m_buffer.reserve(kBufferBytes);
    return true;
  }

  // A file that may not be written stays, as it would for a plain open (a link is replaced).
  struct stat entry {};
  if (lstat(path.c_str(), &entry) == 0 && S_ISREG(entry.st_mode) &&
      faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    return Fail(errno);
  }
  return CreateTemporary(folder);
}

bool CAtomicFile::CreateTemporary(const std::string& folder) {
  // An unnamed file in the target's folder, given a name only once it is whole: a program
  // killed while it writes leaves nothing behind. File systems without one (and a system
  // without /proc to link it through) get a hidden named file, removed on every failure.
  if (g_unnamedAllowed.load() && access("/proc/self/fd", X_OK) == 0) {
    m_fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
      m_unnamed = true;
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return Fail(errno);
    }
  }
  for (int i = 0; i < kTemporaryTries && m_fd < 0; ++i) {
    const std::string candidate = HiddenName();
    m_fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
      m_temporary = candidate;
    } else if (errno != EEXIST) {
      return Fail(errno);
    }
  }
  if (m_fd < 0) return Fail(EEXIST);
  // The replaced file's permission bits and group stay (a private capture stays private); a
  // new file has 0666 less the umask, as any program's. A group the user may not give is
  // left as it comes.
  struct stat earlier {};
  if (stat(m_path.c_str(), &earlier) == 0 && S_ISREG(earlier.st_mode)) {
    static_cast<void>(fchown(m_fd, static_cast<uid_t>(-1), earlier.st_gid));
    if (fchmod(m_fd, earlier.st_mode & 0777) != 0) return Fail(errno);
  }
  m_buffer.reserve(kBufferBytes);
  return true;
}

std::string CAtomicFile::HiddenName() const {
  const size_t slash = m_path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash);
  const std::string name = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
  return folder + "/." + name.substr(0, std::min(name.size(), kLongestTemporaryStem)) + "." +
         UniqueSuffix();
}

// Gives the whole unnamed file its name: at once the target's own when there is none yet, else
// a hidden name beside it that the rename then puts in the target's place (a link cannot
// replace a name).
bool CAtomicFile::LinkUnnamed() {
  const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
  auto link = [&](const std::string& name) {
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    // Where /proc cannot lend the file a path, a process that may link by descriptor does so.
    return errno == ENOENT && linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
  };
  if (link(m_path)) {
    m_linkedInPlace = true;
    return true;
  }
  for (int i = 0; i < kTemporaryTries; ++i) {
    const std::string candidate = HiddenName();
    if (link(candidate)) {
      m_temporary = candidate;
      return true;
    }
    if (errno != EEXIST) return Fail(errno);
  }
  return Fail(EEXIST);
}

bool CAtomicFile::Write(const void* data, size_t count) {
  if (m_fd < 0) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (m_buffer.size() + count > kBufferBytes) {
    if (!Flush()) return false;
    if (count >= kBufferBytes) {
      const int error = WriteFully(m_fd, bytes, count);
      return error == 0 || Fail(error);
    }
  }
  m_buffer.insert(m_buffer.end(), bytes, bytes + count);
  return true;
}

bool CAtomicFile::Flush() {
  if (m_fd < 0) return false;
  if (m_buffer.empty()) return true;
  const int error = WriteFully(m_fd, m_buffer.data(), m_buffer.size());
  if (error != 0) return Fail(error);
  m_buffer.clear();
  return true;
}

bool CAtomicFile::Commit() {
  if (!Flush()) return false;
  if (!m_streamed && fsync(m_fd) != 0) return Fail(errno);
  if (m_unnamed && !LinkUnnamed()) return false;
  const int fd = m_fd;
  m_fd = -1;
  if (close(fd) != 0 && errno != EINTR) return Fail(errno);  // Linux has closed it all the same
  if (m_streamed) return true;
  if (!m_linkedInPlace && rename(m_temporary.c_str(), m_path.c_str()) != 0) return Fail(errno);
  m_temporary.clear();
  m_linkedInPlace = false;
  // The rename itself reaches the disk with its folder.
  const size_t slash = m_path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : m_path.substr(0, slash);
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    static_cast<void>(fsync(folderFd));  // the new file is in place whatever this says
    close(folderFd);
  }
  m_buffer.clear();
  return true;
}

void CAtomicFile::Discard() {
  Abandon();
  m_failure.clear();
}

bool CAtomicFile::Fail(int error) {
  return FailWith(SystemErrorWords(error));
}

bool CAtomicFile::FailWith(const std::string& reason) {
  if (m_failure.empty()) m_failure = m_path + ": " + reason;
  Abandon();
  return false;
}

void CAtomicFile::Abandon() {
  if (m_fd >= 0) close(m_fd);  // an unnamed file goes with it
  m_fd = -1;
  if (!m_temporary.empty()) unlink(m_temporary.c_str());
  m_temporary.clear();
  m_unnamed = false;
  m_linkedInPlace = false;
  m_buffer.clear();
}

Result<void> WriteWholeFile(const std::string& path, const void* data, size_t count) {
  CAtomicFile file;
  if (file.Open(path) && file.Write(data, count) && file.Commit()) return {};
  return Failure{file.FailureWords()};
}

}  // namespace quorvel
