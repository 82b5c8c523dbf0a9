#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>

#include "files/wave_bytes.h"

namespace quorvel {

// A stream opened for reading whose every read and skip is bounded by what it really holds:
// the size is measured once by seeking to the end, so a size field read from the file can be
// compared with the bytes that remain before it is used. Closes the stream when destroyed.
class CBoundedReader {
 public:
  explicit CBoundedReader(std::FILE* file) : m_file(file) {
    if (fseeko(file, 0, SEEK_END) == 0) {
      const off_t end = ftello(file);
      if (end > 0) m_size = static_cast<uint64_t>(end);
    }
    if (fseeko(file, 0, SEEK_SET) != 0) m_size = 0;
  }
  ~CBoundedReader() { std::fclose(m_file); }
  CBoundedReader(const CBoundedReader&) = delete;
  CBoundedReader& operator=(const CBoundedReader&) = delete;

  // Bytes between the read position and the end of the file.
  uint64_t Left() const { return m_pos < m_size ? m_size - m_pos : 0; }
  // The read position from the start of the file. [bytes]
  uint64_t Position() const { return m_pos; }

  // Reads up to count bytes (never more than the file holds); returns how many were read.
  size_t Read(void* out, size_t count) {
    if (count > Left()) count = static_cast<size_t>(Left());
    const size_t got = std::fread(out, 1, count, m_file);
    m_pos += got;
    return got;
  }
  bool ReadU32(uint32_t* value) {
    uint8_t b[4];
    if (Read(b, 4) != 4) return false;
    *value = wavebytes::GetLe32(b);
    return true;
  }
  bool ReadU16(uint16_t* value) {
    uint8_t b[2];
    if (Read(b, 2) != 2) return false;
    *value = wavebytes::GetLe16(b);
    return true;
  }
  // Moves the read position count bytes on; refused when the file does not hold them.
  bool Skip(uint64_t count) {
    if (count > Left()) return false;
    if (fseeko(m_file, static_cast<off_t>(count), SEEK_CUR) != 0) return false;
    m_pos += count;
    return true;
  }

 private:
  std::FILE* m_file;
  uint64_t m_size = 0;  // [bytes]
  uint64_t m_pos = 0;   // [bytes]
};

}  // namespace quorvel
