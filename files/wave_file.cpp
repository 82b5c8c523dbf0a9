#include "files/wave_file.h"

#include <cstring>
#include <new>

#include "base/util.h"
#include "files/bounded_reader.h"
#include "files/wave_bytes.h"
#include "files/wave_format.h"

namespace quorvel {

void ClearWaveInfo(WaveInfo& info) {
  std::memset(&info, 0, sizeof info);
}

CWave::CWave() {
  std::memset(m_szTitle, 0, sizeof m_szTitle);
  std::memset(m_szArtist, 0, sizeof m_szArtist);
  std::memset(m_szAlbum, 0, sizeof m_szAlbum);
  std::memset(m_szComment, 0, sizeof m_szComment);
  std::memset(m_riffId, 0, sizeof m_riffId);
  std::memset(m_riffType, 0, sizeof m_riffType);
  std::memset(m_fmtId, 0, sizeof m_fmtId);
  ClearWaveInfo(m_info);
}

CWave::~CWave() {
  // A file still open is closed with its sizes patched; there is nobody left to tell of a
  // failure, and a failed close leaves the earlier file of that name in place.
  if (m_out.IsOpen()) static_cast<void>(CloseCaptureFile(false));
}

// ---- writer ----

bool CWave::CreateCaptureFile(const char* path) {
  // A file left unfinished by a failed write is dropped: it never takes the target's place.
  m_out.Discard();
  m_dataBytes = 0;
  m_writeFailed = false;
  m_id3Written = false;

  char mended[1024];
  if (path == nullptr || CUtil::CheckFileName(mended, path) != 0) return false;
  // The samples go to a temporary file that replaces the target only once it is whole; a
  // named pipe is written into, and one without a reader is refused at once.
  if (!m_out.Open(path)) return false;
  if (!WriteHeader()) {
    m_out.Discard();
    return false;
  }
  return true;
}

bool CWave::WriteHeader() {
  // PCM, 1 channel, 48000 Hz, 96000 bytes per second, block align 2, 16 bits.
  static const uint8_t kFormat[16] = {1,    0,    1,    0, 0x80, 0xBB, 0,  0,
                                      0x00, 0x77, 0x01, 0, 2,    0,    16, 0};
  if (!m_out.Write("RIFF", 4)) return false;
  m_riffSizePos = m_out.Position();
  if (!WriteU32(36) || !m_out.Write("WAVEfmt ", 8) || !WriteU32(16)) return false;
  if (!m_out.Write(kFormat, sizeof kFormat) || !m_out.Write("data", 4)) return false;
  m_dataSizePos = m_out.Position();
  return WriteU32(0);
}

bool CWave::WriteU32(uint32_t value) {
  uint8_t b[4];
  wavebytes::PutLe32(b, value);
  return m_out.Write(b, 4);
}

bool CWave::WriteSample(int16_t value) {
  if (!m_out.IsOpen()) return false;
  uint8_t b[2];
  wavebytes::PutLe16(b, static_cast<uint16_t>(value));
  if (!m_out.Write(b, 2)) {
    m_dataBytes = 0;
    m_writeFailed = true;
    return false;
  }
  m_dataBytes += 2;
  return true;
}

bool CWave::CloseCaptureFile(bool withMetadata) {
  if (!m_out.IsOpen()) return false;
  m_id3Written = false;
  if (withMetadata && !WriteMetadata(nullptr)) {
    // The tag itself could not be written: WriteMetadata has dropped the file.
    return false;
  }
  const uint64_t length = m_out.Position();  // [bytes] the whole file
  bool ok = !m_writeFailed && length >= 44;
  if (ok && m_id3Written) {
    // The last byte of the "id3 " chunk is its pad byte or the end of its last frame's
    // terminator: zero by format.
    const uint8_t zero = 0;
    ok = m_out.Seek(length - 1) && m_out.Write(&zero, 1);
  }
  ok = ok && m_out.Seek(m_dataSizePos) && WriteU32(m_dataBytes);
  ok = ok && m_out.Seek(m_riffSizePos) && WriteU32(static_cast<uint32_t>(length - 8));
  // Only a whole file takes the target's place; otherwise the earlier file stays.
  ok = ok && m_out.Commit();
  if (!ok && m_out.IsOpen()) m_out.Discard();  // a failed step has dropped it already
  m_writeFailed = false;
  return ok;
}

// ---- reader ----

int CWave::ReadWave(const char* path) {
  ClearReaderResults();
  std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) return kReadDone;
  CBoundedReader in(file);  // closes the file on every return

  uint8_t header[12];
  if (in.Read(header, 12) != 12) return kReadShort;
  std::memcpy(m_riffId, header, 4);
  m_riffSize = wavebytes::GetLe32(header + 4);
  std::memcpy(m_riffType, header + 8, 4);
  if (!wavebytes::IdEquals(m_riffId, "RIFF") || !wavebytes::IdEquals(m_riffType, "WAVE")) {
    return kReadNotWave;
  }
  const int result = ReadChunks(in);
  // Every return leaves the tag count matching the tag record, so the tags of a file that
  // failed half-way, or of an earlier file, are never taken for this file's.
  if (result != kReadDone) {
    ClearWaveInfo(m_info);
    return result;
  }
  m_nTagCount = CountTagFields();
  return kReadDone;
}

void CWave::ClearReaderResults() {
  ClearWaveInfo(m_info);
  m_nTagCount = 0;
  std::memset(m_riffId, 0, sizeof m_riffId);
  std::memset(m_riffType, 0, sizeof m_riffType);
  std::memset(m_fmtId, 0, sizeof m_fmtId);
  m_riffSize = m_fmtSize = m_sampleRate = m_byteRate = m_factSampleCount = 0;
  m_formatTag = m_channels = m_blockAlign = m_bitsPerSample = 0;
  m_extensionSize = m_extensionValue = 0;
  m_extensibleFormat.clear();
  m_extensibleFormat.shrink_to_fit();
}

// The chunks in file order: the format chunk, which must come before the samples, and "fact"
// and the tags of "LIST" and "id3 " wherever they stand (other programs put JUNK, LIST or bext
// chunks before the format). The walk follows the size fields exactly (no pad byte after an
// odd size). After the format, a chunk that claims more than the RIFF size or more than the rest
// of the file ends the walk; before it, the file holds no format and the read is short.
int CWave::ReadChunks(CBoundedReader& in) {
  bool formatRead = false;
  uint8_t id[4];
  while (in.Read(id, 4) == 4) {
    uint32_t size = 0;
    if (!in.ReadU32(&size)) break;
    if (!formatRead && wavebytes::IdPrefixEquals(id, "fmt", 3)) {
      std::memcpy(m_fmtId, id, 4);
      m_fmtSize = size;
      const int format = ReadFormatChunk(in);
      if (format != kReadDone) return format;
      formatRead = true;
      continue;
    }
    if (!formatRead && wavebytes::IdEquals(id, "data")) return kReadNotWave;
    if (size > m_riffSize || size > in.Left()) break;
    if (wavebytes::IdEquals(id, "fact")) {
      if (size >= 4 && !in.ReadU32(&m_factSampleCount)) return kReadShort;
    } else if (wavebytes::IdEquals(id, "LIST") || wavebytes::IdEquals(id, "id3 ")) {
      std::vector<uint8_t> chunk;
      try {
        chunk.assign(static_cast<size_t>(size) + 16, 0);
      } catch (const std::bad_alloc&) {
        return kReadNoMemory;
      }
      if (in.Read(chunk.data(), size) != size) break;
      if (wavebytes::IdEquals(id, "LIST")) {
        if (size >= 4 && (wavebytes::IdEquals(chunk.data(), "INFO") ||
                          wavebytes::IdEquals(chunk.data(), "adtl"))) {
          ParseInfoList(chunk.data() + 4, size - 4);
        }
      } else if (size >= 3 && std::memcmp(chunk.data(), "ID3", 3) == 0) {
        ParseId3Tag(chunk.data(), size);
      }
    } else if (!in.Skip(size)) {
      break;  // "data" and every other chunk are passed over, never read
    }
  }
  return formatRead ? kReadDone : kReadShort;
}

// The format chunk's content after its header (m_fmtSize bytes): its 16 basic bytes as they
// stand, and whatever it holds beyond them consumed exactly.
int CWave::ReadFormatChunk(CBoundedReader& in) {
  uint8_t basic[16];
  if (in.Read(basic, 16) != 16) return kReadShort;
  m_formatTag = wavebytes::GetLe16(basic);
  m_channels = wavebytes::GetLe16(basic + 2);
  m_sampleRate = wavebytes::GetLe32(basic + 4);
  m_byteRate = wavebytes::GetLe32(basic + 8);
  m_blockAlign = wavebytes::GetLe16(basic + 12);
  m_bitsPerSample = wavebytes::GetLe16(basic + 14);
  if (m_fmtSize <= 16) return kReadDone;

  const uint32_t extra = m_fmtSize - 16;
  // A format chunk longer than the file can only end in a short read: say so before allocating
  // or reading anything for it.
  if (extra > in.Left()) return kReadShort;
  if (m_formatTag == WaveFormat::kExtensible) {
    try {
      m_extensibleFormat.resize(static_cast<size_t>(m_fmtSize) + 8);
    } catch (const std::bad_alloc&) {
      return kReadNoMemory;
    }
    std::memcpy(m_extensibleFormat.data(), m_fmtId, 4);
    wavebytes::PutLe32(m_extensibleFormat.data() + 4, m_fmtSize);
    std::memcpy(m_extensibleFormat.data() + 8, basic, 16);
    return in.Read(m_extensibleFormat.data() + 24, extra) == extra ? kReadDone : kReadShort;
  }
  uint32_t rest = extra;
  if (extra >= 4) {
    if (!in.ReadU16(&m_extensionSize) || !in.ReadU16(&m_extensionValue)) return kReadShort;
    rest -= 4;
  } else if (extra == 2) {
    if (!in.ReadU16(&m_extensionSize)) return kReadShort;
    rest -= 2;
  }
  return in.Skip(rest) ? kReadDone : kReadShort;
}

}  // namespace quorvel
