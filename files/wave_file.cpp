#include "files/wave_file.h"

#include <cstdint>
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
  // A file still open is written out without metadata; there is nobody left to tell of a
  // failure, and a failed close leaves the earlier file of that name in place.
  if (m_out.IsOpen()) static_cast<void>(CloseCaptureFile(false));
}

// ---- writer ----

namespace {

// The most samples a file can hold with its tags: the RIFF size is a 32-bit count of bytes.
constexpr size_t kMostSamples = (0xFFFFFFFFu - 36u - 65536u) / 2u;

}  // namespace

bool CWave::CreateCaptureFile(const char* path) {
  // A file left unfinished by a failed write is dropped: it never takes the target's place.
  m_out.Discard();
  m_pending.clear();
  m_pending.shrink_to_fit();
  m_writeChannels = 1;

  char mended[1024];
  if (path == nullptr || CUtil::CheckFileName(mended, path) != 0) return false;
  // The file goes to a temporary file that replaces the target only once it is whole; a named
  // pipe is written into, and one without a reader is refused at once.
  return m_out.Open(path);
}

bool CWave::WriteSample(int16_t value) {
  return WriteSamples(&value, 1);
}

bool CWave::WriteSamples(const int16_t* values, size_t count) {
  if (!m_out.IsOpen()) return false;
  // The samples wait for CloseCaptureFile, which writes the file in one pass with its sizes
  // known: nothing is patched afterwards, so a pipe can take it.
  bool kept = count <= kMostSamples - m_pending.size();
  try {
    if (kept) m_pending.insert(m_pending.end(), values, values + count);
  } catch (const std::bad_alloc&) {
    kept = false;
  }
  if (!kept) {
    m_out.Discard();
    m_pending.clear();
    m_pending.shrink_to_fit();
  }
  return kept;
}

bool CWave::CloseCaptureFile(bool withMetadata) {
  if (!m_out.IsOpen()) return false;
  const std::vector<uint8_t> metadata = withMetadata ? BuildMetadata() : std::vector<uint8_t>();
  const uint64_t dataBytes = 2 * static_cast<uint64_t>(m_pending.size());
  const uint64_t riffSize = 36 + dataBytes + metadata.size();
  bool ok = riffSize <= UINT32_MAX &&
            WriteHeader(static_cast<uint32_t>(riffSize), static_cast<uint32_t>(dataBytes)) &&
            WritePendingSamples();
  ok = ok && (metadata.empty() || m_out.Write(metadata.data(), metadata.size()));
  // Only a whole file takes the target's place; otherwise the earlier file stays.
  ok = ok && m_out.Commit();
  if (!ok && m_out.IsOpen()) m_out.Discard();  // a failed step has dropped it already
  m_pending.clear();
  m_pending.shrink_to_fit();
  return ok;
}

bool CWave::WriteHeader(uint32_t riffSize, uint32_t dataBytes) {
  // PCM, 1 channel, 48000 Hz, 96000 bytes per second, block align 2, 16 bits; or 2 channels,
  // 192000 bytes per second, block align 4.
  uint8_t kFormat[16] = {1, 0, 1, 0, 0x80, 0xBB, 0, 0, 0x00, 0x77, 0x01, 0, 2, 0, 16, 0};
  if (m_writeChannels == 2) {
    wavebytes::PutLe16(kFormat + 2, 2);
    wavebytes::PutLe32(kFormat + 8, 192000);
    wavebytes::PutLe16(kFormat + 12, 4);
  }
  return m_out.Write("RIFF", 4) && WriteU32(riffSize) && m_out.Write("WAVEfmt ", 8) &&
         WriteU32(16) && m_out.Write(kFormat, sizeof kFormat) && m_out.Write("data", 4) &&
         WriteU32(dataBytes);
}

bool CWave::WriteU32(uint32_t value) {
  uint8_t b[4];
  wavebytes::PutLe32(b, value);
  return m_out.Write(b, 4);
}

bool CWave::WritePendingSamples() {
  uint8_t block[8192];
  size_t filled = 0;
  for (const int16_t sample : m_pending) {
    wavebytes::PutLe16(block + filled, static_cast<uint16_t>(sample));
    filled += 2;
    if (filled == sizeof block) {
      if (!m_out.Write(block, filled)) return false;
      filled = 0;
    }
  }
  return filled == 0 || m_out.Write(block, filled);
}

// ---- reader ----

int CWave::ReadWave(const char* path) {
  return ReadWaveStream(path != nullptr ? std::fopen(path, "rb") : nullptr);
}

int CWave::ReadWaveStream(std::FILE* file) {
  ClearReaderResults();
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
