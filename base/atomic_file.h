#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// A file written whole or not at all: every file Quorvel saves goes through it.
//
// The new content goes to a hidden temporary file beside the target (".name.XXXXXX" in the same
// folder, created exclusively), every write is checked, and Commit flushes it to the disk,
// closes it and renames it over the target. Until then the earlier file of that name stays as
// it was; after any failure the temporary file is gone and the earlier file is untouched. A
// symbolic link at the target is replaced by the new file, never written through.
//
// Targets that are no file to replace are written into directly: a named pipe, a terminal or
// another device (also through a link, such as /dev/stdout), and anything in /dev or /proc.
// Such a target is opened without waiting, so a named pipe that no program reads is refused at
// once. A folder at the target makes the save fail, and the folder stays.
//
// Every failure is described by FailureWords: the path and the system's reason in English,
// whatever the user's language ("/data/curve.png: No space left on device").
//
// One thread at a time (the user-interface thread, or quorvel-cli's main thread).
class CAtomicFile {
 public:
  CAtomicFile() = default;
  ~CAtomicFile();  // an unfinished file is discarded: the target stays as it was
  CAtomicFile(const CAtomicFile&) = delete;
  CAtomicFile& operator=(const CAtomicFile&) = delete;

  // Starts the new content of path (an unfinished earlier one is discarded first). False when
  // nothing can be written there.
  [[nodiscard]] bool Open(const std::string& path);
  // Appends count bytes. After a failed write the file is discarded and every later call fails.
  [[nodiscard]] bool Write(const void* data, size_t count);
  // Moves to the absolute byte offset, to rewrite what was written there.
  [[nodiscard]] bool Seek(uint64_t offset);
  // The byte offset the next Write writes at.
  [[nodiscard]] uint64_t Position() const { return m_bufferStart + m_buffer.size(); }
  // Puts the new content in place of the target: flushed, synced to the disk, closed and
  // renamed over it. False (and the target as it was) when any step failed.
  [[nodiscard]] bool Commit();
  // Drops the unfinished file: the target stays as it was; the failure words are cleared.
  void Discard();

  [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
  // "<path>: <reason>" for the first failure since Open; empty when nothing failed.
  [[nodiscard]] const std::string& FailureWords() const { return m_failure; }

  // What CheckCanBeSaved found at a path that can be saved.
  struct SaveCheck {
    bool streamed = false;  // the target is written into directly: no file is made
    // A named pipe's descriptor, open for writing, for the caller to close after its save;
    // -1 for every other target.
    int pipe = -1;
  };
  // Whether a file could be saved at path now, tried the way Open saves it: the folder exists
  // and takes a new file, the target is no folder, and its name and path are not longer than
  // the file system takes. Nothing is written to the target, and a device is not opened. A
  // named pipe must have a reader: it is opened for writing without waiting, and refused when
  // no program reads it. Opening it wakes a reader that waits for a writer, and closing it
  // again would show that reader an empty stream: with `found` it stays open in found->pipe
  // until the real save is done. False with the failure words in *failureWords (may be null).
  [[nodiscard]] static bool CheckCanBeSaved(const std::string& path, std::string* failureWords,
                                            SaveCheck* found = nullptr);

 private:
  // Open, with the target itself opened only when openStream is set and it is written directly.
  bool Start(const std::string& path, bool openStream);
  bool Fail(int error);  // notes the failure, drops the file; returns false
  bool FailWith(const std::string& reason);
  bool Flush();
  void Abandon();  // closes and removes the temporary file

  int m_fd = -1;
  bool m_streamed = false;  // written straight into the target
  std::string m_path;
  std::string m_temporary;  // empty when streamed
  std::string m_failure;
  std::vector<uint8_t> m_buffer;
  uint64_t m_bufferStart = 0;  // the file offset of m_buffer's first byte
};

// Writes count bytes as the whole new content of path with CAtomicFile. False with the failure
// words in *failureWords (may be null).
[[nodiscard]] bool WriteWholeFile(const std::string& path, const void* data, size_t count,
                                  std::string* failureWords);

// The system's reason for an error number, in English whatever the user's language: "No space
// left on device", "Too many levels of symbolic links".
[[nodiscard]] std::string SystemErrorWords(int error);

}  // namespace quorvel
