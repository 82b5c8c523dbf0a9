#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace quorvel {

// A file written whole or not at all: every file Quorvel saves goes through it.
//
// The new content goes to an unnamed temporary file in the target's folder (O_TMPFILE), every
// write is checked, and Commit flushes it to the disk and gives it the target's name: linked
// in at once where the name is free, else linked to a hidden name beside it (".name.XXXXXX")
// and renamed over the target straight away. Until then the earlier file of that name stays as
// it was; after any failure, and after the program is killed, no temporary file is left. A
// file system without unnamed files gets the hidden file from the start, created exclusively
// and removed on every failure. The new file takes the permission bits and, where the user may
// give it, the group of the file it replaces; a new file gets 0666 less the umask. A symbolic
// link at the target is replaced by the new file, never written through.
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
  // Appends count bytes; a file is written front to back only, so a named pipe takes it as it
  // is. After a failed write the file is discarded and every later call fails.
  [[nodiscard]] bool Write(const void* data, size_t count);
  // Puts the new content in place of the target: flushed, synced to the disk, closed and
  // renamed over it. False (and the target as it was) when any step failed.
  [[nodiscard]] bool Commit();
  // Drops the unfinished file: the target stays as it was; the failure words are cleared.
  void Discard();
  // Whether Open may use an unnamed temporary file where the file system has one (the default).
  // Off, every save takes the hidden named file that file systems without one get; for tests.
  static void AllowUnnamedTemporaryFiles(bool allow);

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
  // until the real save is done. Fails with the failure words.
  [[nodiscard]] static Result<void> CheckCanBeSaved(const std::string& path,
                                                    SaveCheck* found = nullptr);

 private:
  // Open, with the target itself opened only when openStream is set and it is written directly.
  bool Start(const std::string& path, bool openStream);
  bool Fail(int error);  // notes the failure, drops the file; returns false
  bool FailWith(const std::string& reason);
  bool Flush();
  void Abandon();  // closes and removes the temporary file
  // The writing side: the temporary file created (and given the replaced file's access), a
  // hidden name beside the target, the unnamed file linked in.
  bool CreateTemporary(const std::string& folder);
  [[nodiscard]] std::string HiddenName() const;
  bool LinkUnnamed();

  int m_fd = -1;
  bool m_streamed = false;  // written straight into the target
  std::string m_path;
  std::string m_temporary;       // the hidden name of the new file; empty when streamed or unnamed
  bool m_unnamed = false;        // written to an unnamed temporary file
  bool m_linkedInPlace = false;  // the unnamed file took the target's name at once
  std::string m_failure;
  std::vector<uint8_t> m_buffer;
};

// Writes count bytes as the whole new content of path with CAtomicFile. Fails with the failure
// words.
[[nodiscard]] Result<void> WriteWholeFile(const std::string& path, const void* data, size_t count);

// The system's reason for an error number, in English whatever the user's language: "No space
// left on device", "Too many levels of symbolic links".
[[nodiscard]] std::string SystemErrorWords(int error);

}  // namespace quorvel
