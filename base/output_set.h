#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace quorvel {

// The files one command reads and writes, checked together before it runs: no output may
// reach the same file as another output or an input, and each output must have a place to go,
// with room for it on its disk. One thread; the user-interface thread or quorvel-cli's main one.
class COutputSet {
 public:
  COutputSet() = default;
  ~COutputSet();  // closes the named pipes CheckTargets holds open
  COutputSet(const COutputSet&) = delete;
  COutputSet& operator=(const COutputSet&) = delete;

  // A file the command reads, which no output may replace; `label` names it in messages ("the
  // capture").
  void AddInput(const std::string& label, const std::string& path);
  // A file the command writes, named `label` in messages ("--csv"), of `bytes` bytes or at most
  // that many (0: unknown, nothing is kept free for it).
  void AddOutput(const std::string& label, const std::string& path, uint64_t bytes);

  // Whether every output reaches a file of its own, apart from every input. Files are compared
  // by what they are, not by how they are spelled: an existing file (also through a link) by
  // its device and inode, a name that does not exist yet by the real path of its folder and the
  // name. A character device (/dev/null, a terminal) takes any number of outputs. Fails with
  // "--png o.png names the same file as --csv ./o.png".
  [[nodiscard]] Result<void> CheckDistinct() const;

  // Whether each output can be saved where it is to go now (CAtomicFile::CheckCanBeSaved; a
  // named pipe with a reader is kept open until this set is gone, so the reader waits for the
  // real output), and whether each disk has the room the outputs on it need together (the
  // space a user may fill, from statvfs). The failure words of each output, in the order added:
  // empty for one that can be saved.
  [[nodiscard]] std::vector<std::string> CheckTargets();

 private:
  struct Entry {
    std::string label;
    std::string path;
    uint64_t bytes = 0;
    bool output = false;
  };
  std::vector<Entry> m_entries;
  std::vector<int> m_pipes;  // held open for their readers
};

}  // namespace quorvel
