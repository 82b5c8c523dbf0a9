#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "files/wave_info.h"

namespace quorvel {

class CBoundedReader;

// CWave: the one object that writes and reads RIFF/WAVE files.
//
// Writing a capture file: CreateCaptureFile, the samples (WriteSample, WriteSamples), fill the
// four text buffers, then CloseCaptureFile(true). The file is 16-bit PCM mono at 48000 Hz;
// closing it with metadata appends a "LIST"/"INFO" chunk and an "id3 " chunk (ID3v2.3) after
// the samples. The samples are held until CloseCaptureFile, which writes the whole file in one
// pass, its sizes known before the header is written: nothing is patched by seeking back, so a
// named pipe or a terminal takes the same bytes as a file.
//
// Reading: ReadWave walks the chunks of a file and fills the tag record m_info and its field
// count m_nTagCount (both cleared first, so after any return the count is that of the record:
// 0 for a file that could not be opened or read); the samples themselves are read by
// ReadCaptureSamples (files/capture_samples.h). Every size field read from a file is checked
// against what the file (or the buffer holding the chunk) really holds before it is used for a
// read, a skip or an allocation.
//
// All operations run on the user-interface thread; the object is not safe for concurrent use.
class CWave {
 public:
  static constexpr int kTextBytes = 520;

  // ReadWave result codes.
  static constexpr int kReadDone = 1;      // read completed, or the file could not be opened
  static constexpr int kReadNotWave = 2;   // not "RIFF"/"WAVE", or the first chunk is not "fmt"
  static constexpr int kReadShort = 4;     // a header or format read came up short
  static constexpr int kReadNoMemory = 7;  // a buffer could not be allocated

  CWave();
  virtual ~CWave();
  CWave(const CWave&) = delete;
  CWave& operator=(const CWave&) = delete;

  // ---- writer ----
  // Starts the file: the target is opened the way CAtomicFile saves (a temporary file beside
  // it that replaces it only when CloseCaptureFile has written it whole; a named pipe without
  // a reader is refused at once). A file left unfinished by a failure is dropped, and the
  // earlier file of that name stays. A path holding a character that a file name may not hold
  // is refused and nothing is created.
  [[nodiscard]] bool CreateCaptureFile(const char* path);
  // Appends signed 16-bit samples to the recording of the open file. False (and the file
  // dropped) when no file is open or the samples cannot be held.
  [[nodiscard]] bool WriteSample(int16_t value);
  // The channels of the open file's samples (interleaved): 1 (the default each create sets)
  // or 2, the measurement and its timing reference.
  void SetCaptureChannels(uint16_t channels) { m_writeChannels = channels == 2 ? 2 : 1; }
  [[nodiscard]] bool WriteSamples(const int16_t* values, size_t count);
  // Writes the file: the 44-byte header with its final RIFF and data sizes, the samples
  // (little-endian), and the metadata chunks when withMetadata is set; then puts it in place of
  // the target. Returns false when no file was open or when any write, the flush, the close or
  // the rename failed: nothing has then replaced the target.
  [[nodiscard]] bool CloseCaptureFile(bool withMetadata);
  // True while a file created by CreateCaptureFile is open (a failed write drops it).
  bool IsWriting() const { return m_out.IsOpen(); }
  // The path and the system's reason of the last failed create, write or close ("/w/a.wav: No
  // space left on device"); empty when the system gave none.
  const std::string& FailureWords() const { return m_out.FailureWords(); }

  // ---- metadata (files/wave_metadata.cpp) ----
  // The metadata chunks as they follow the samples: the "LIST" chunk, then the "id3 " chunk
  // (its id, its size T and the tag). Takes the four tag texts from their buffers and the year
  // from the local clock (m_year) first. Empty when either chunk cannot be built: the file then
  // carries no metadata.
  [[nodiscard]] std::vector<uint8_t> BuildMetadata();
  // The complete "LIST"/"INFO" chunk built from m_title, m_artist, m_album, m_comment, m_track
  // and m_year. Empty when it cannot be built.
  [[nodiscard]] std::vector<uint8_t> BuildInfoList() const;
  // The complete ID3v2.3 tag (without the "id3 " chunk header), of even length.
  [[nodiscard]] std::vector<uint8_t> BuildId3Tag() const;
  // Fills m_info from the bytes that follow the list type "INFO" or "adtl".
  void ParseInfoList(const uint8_t* data, size_t count);
  // Fills m_info from an ID3v2 tag held in a buffer of limit bytes.
  bool ParseId3Tag(const uint8_t* tag, size_t limit);
  // Number of non-empty text slots (subtitle excepted) plus numbers above 0 of m_info.
  [[nodiscard]] int CountTagFields() const;

  // ---- reader ----
  // Walks the file's chunks; returns kReadDone, kReadNotWave, kReadShort or kReadNoMemory.
  [[nodiscard]] int ReadWave(const char* path);
  // The same walk over a stream opened for reading (a file, or bytes already read held by
  // fmemopen), which it closes in every case; a null stream is a file that could not be opened.
  [[nodiscard]] int ReadWaveStream(std::FILE* file);

  // ---- tag texts to write (filled by the caller before CloseCaptureFile) ----
  char m_szTitle[kTextBytes];
  char m_szArtist[kTextBytes];
  char m_szAlbum[kTextBytes];
  char m_szComment[kTextBytes];
  // Copies of the buffers taken when metadata is written; read by the builders.
  std::string m_title;
  std::string m_artist;
  std::string m_album;
  std::string m_comment;
  int32_t m_year = 0;        // 0 or less: absent
  int32_t m_track = 0;       // 0 for every file this tool writes
  int32_t m_trackTotal = 0;  // 0 or less: absent

  // ---- reader results ----
  char m_riffId[4];
  uint32_t m_riffSize = 0;
  char m_riffType[4];
  char m_fmtId[4];
  uint32_t m_fmtSize = 0;
  uint16_t m_formatTag = 0;
  uint16_t m_channels = 0;
  uint32_t m_sampleRate = 0;
  uint32_t m_byteRate = 0;
  uint16_t m_blockAlign = 0;
  uint16_t m_bitsPerSample = 0;
  uint16_t m_extensionSize = 0;             // the format extension size, when present
  uint16_t m_extensionValue = 0;            // the 16-bit value after it, when present
  std::vector<uint8_t> m_extensibleFormat;  // the whole format chunk of a 0xFFFE format
  uint32_t m_factSampleCount = 0;
  WaveInfo m_info;
  int m_nTagCount = 0;

 private:
  // The parts of ReadWave: the reader results cleared, the chunk walk, the format chunk.
  void ClearReaderResults();
  int ReadChunks(CBoundedReader& in);
  int ReadFormatChunk(CBoundedReader& in);
  bool WriteHeader(uint32_t riffSize, uint32_t dataBytes);
  bool WriteU32(uint32_t value);
  bool WritePendingSamples();
  // Stores one ID3 frame the reader understands (content: size bytes, size >= 1).
  void HandleId3Frame(const uint8_t* id, const uint8_t* content, size_t size);

  CAtomicFile m_out;
  uint16_t m_writeChannels = 1;
  std::vector<int16_t> m_pending;  // the samples of the open file, written by CloseCaptureFile
};

}  // namespace quorvel
