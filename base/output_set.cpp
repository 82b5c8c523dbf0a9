// The files of one command: no two outputs on one file, none on an input, room for all.
#include "base/output_set.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <utility>

#include "base/atomic_file.h"
#include "base/number_text.h"

namespace quorvel {

namespace {

// The folder of a path, "." or ending in "/", and the name in it.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// What a path reaches, to compare with others: "=device:inode" for an existing file,
// "/real/folder/name" for a name still to be made (the folder as spelled when it does not
// exist: nothing can be saved there). Empty for a character device.
std::string FileIdentity(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISCHR(st.st_mode)) return std::string();
    std::string identity = "=";
    identity.append(std::to_string(st.st_dev)).append(":").append(std::to_string(st.st_ino));
    return identity;
  }
  const auto [folder, name] = SplitPath(path);
  char real[PATH_MAX];
  if (realpath(folder.c_str(), real) == nullptr) return folder + name;
  std::string identity = real;
  if (identity != "/") identity += '/';
  return identity.append(name);
}

std::string Named(const std::string& label, const std::string& path) {
  return label + " " + path;
}

// Bytes in MB with one decimal, for a message.
std::string Megabytes(uint64_t bytes) {
  return FormatFixed(static_cast<double>(bytes) / 1e6, 1) + " MB";
}

}  // namespace

COutputSet::~COutputSet() {
  for (const int fd : m_pipes) close(fd);
}

void COutputSet::AddInput(const std::string& label, const std::string& path) {
  m_entries.push_back({label, path, 0, false});
}

void COutputSet::AddOutput(const std::string& label, const std::string& path, uint64_t bytes) {
  m_entries.push_back({label, path, bytes, true});
}

Result<void> COutputSet::CheckDistinct() const {
  std::map<std::string, const Entry*> seen;  // identity -> the first entry that reaches it
  // The inputs first: an output that would replace one names it.
  for (const bool outputs : {false, true}) {
    for (const Entry& e : m_entries) {
      if (e.output != outputs) continue;
      const std::string identity = FileIdentity(e.path);
      if (identity.empty()) continue;
      const auto [it, added] = seen.emplace(identity, &e);
      if (added || !e.output) continue;
      return Failure{Named(e.label, e.path) + " names the same file as " +
                     Named(it->second->label, it->second->path)};
    }
  }
  return {};
}

std::vector<std::string> COutputSet::CheckTargets() {
  std::vector<std::string> words(m_entries.size());
  // the outputs that make files, with their sizes, by the disk they go to
  std::map<dev_t, std::pair<uint64_t, std::vector<size_t>>> disks;
  std::map<dev_t, std::string> folders;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    const Entry& e = m_entries[i];
    if (!e.output) continue;
    CAtomicFile::SaveCheck found;
    const Result<void> check = CAtomicFile::CheckCanBeSaved(e.path, &found);
    if (!check) {
      words[i] = check.Message();
      continue;
    }
    if (found.pipe >= 0) m_pipes.push_back(found.pipe);
    const std::string folder = SplitPath(e.path).first;
    struct stat st {};
    if (found.streamed || e.bytes == 0 || stat(folder.c_str(), &st) != 0) continue;
    auto& disk = disks[st.st_dev];
    disk.first += e.bytes;
    disk.second.push_back(i);
    folders.emplace(st.st_dev, folder);
  }
  for (const auto& [device, disk] : disks) {
    struct statvfs fs {};
    if (statvfs(folders[device].c_str(), &fs) != 0) continue;  // nothing known: the save says
    const uint64_t room = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    if (room >= disk.first) continue;
    for (const size_t i : disk.second) {
      words[i] = m_entries[i].path + ": not enough free space on the disk (" + Megabytes(room) +
                 " free, about " + Megabytes(disk.first) + " needed for the outputs there)";
    }
  }
  return words;
}

}  // namespace quorvel
