#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quorvel {

// CUtil: the small path, file, text and number operations every part of Quorvel calls.
//
// Narrow texts are zero-terminated UTF-8 (the Linux narrow encoding); byte-level rules such as
// PrintableLength and the look-alike table of ToAsciiUpper work on single bytes. Paths accept
// both "/" and "\" as separators. Wide texts are UTF-16 in char16_t.
//
// Result buffers: StripExtension, FileNameOfPath, DirectoryOfPath and ToWidePath return a
// pointer into a buffer of their own that is overwritten by the next call of the same operation
// on the same thread (the buffers are thread_local, so a call on one thread never overwrites a
// result another thread is reading). Copy a result before calling the same operation again.
//
// Every operation is meant for the user-interface thread; none of them keeps state between
// calls other than these result buffers. CUtil has no data members: the application owns one
// instance and every operation is static.
class CUtil {
 public:
  // Sizes of the result buffers and the length limits the operations keep. [bytes or units]
  static constexpr size_t kMaxPath = 260;             // longest path ToWidePath accepts
  static constexpr size_t kStripExtensionSize = 260;  // StripExtension result buffer
  static constexpr size_t kFileNameSize = 260;        // FileNameOfPath result buffer
  static constexpr size_t kDirectorySize = 520;       // DirectoryOfPath result buffer
  static constexpr size_t kWidePathSize = 520;        // ToWidePath result buffer [UTF-16 units]
  static constexpr size_t kPathBufferSize = 520;      // the program's path and name buffers
  static constexpr size_t kExeDirectorySize = 259;    // smallest GetExeDirectory output
  static constexpr size_t kCheckFileNameSize = 1024;  // CheckFileName output buffer
  static constexpr size_t kFormatSize = 4096;         // FormatText destination and work buffer
  static constexpr size_t kMaxCopyText = 520;         // most characters CopyText ever copies
  static constexpr int kMaxBoundedLength = 0xFFFFF;   // BoundedLength never reports more
  static constexpr int kMaxPrintableLength = 4095;    // PrintableLength never reports more
  static constexpr size_t kTextWorkSize = 16384;      // TextToAnsi work buffer

  CUtil() = default;
  virtual ~CUtil();

  // ---- path and file operations (util_path.cpp) ----

  // Writes the folder of the running executable (no trailing separator) into out, which holds
  // at least kExeDirectorySize bytes; at most 258 characters are copied. Returns the length of
  // the executable's full file name, or 0 (out untouched) when it cannot be found.
  static int GetExeDirectory(char* out);

  // The name cut at its last "." when something printable follows the dot; otherwise the whole
  // name. Only a dot after the last separator counts. At most 259 characters are kept.
  [[nodiscard]] static const char* StripExtension(const char* name);

  // The part after the last separator; without one, the part after the last ":"; otherwise the
  // whole text (extension kept). At most 259 characters are kept.
  [[nodiscard]] static const char* FileNameOfPath(const char* path);

  // The path cut at its last separator (no trailing separator); the separator itself when it is
  // the path's first character ("/a.wav" gives "/"); empty for a path without a separator or a
  // null path. At most 519 characters are kept.
  [[nodiscard]] static const char* DirectoryOfPath(const char* path);

  // The part after the last separator, cut before its last "."; empty when the path has no
  // separator at all.
  [[nodiscard]] static std::string FileTitleOfPath(const std::string& path);

  // Size of the file in bytes, 0 when it does not exist or is not a regular file; sizes above
  // 0xFFFFFFFF report 0xFFFFFFFF.
  [[nodiscard]] static uint32_t FileSizeOf(const char* fileName);

  // Scans folder and its subfolders (depth first, in the order the file system returns the
  // entries) and appends to *list every file whose extension (".txt", any case) is one of
  // extensions and whose full path is not in the list yet. Returns how many files it appended
  // from the folder itself; files of subfolders are appended but not counted.
  static int ListFilesByExtension(const std::string& folder, std::vector<std::string>* list,
                                  const std::vector<std::string>& extensions);

  // The path with its separators normalised to the platform separator, as UTF-16; null when the
  // path is null or longer than kMaxPath characters.
  [[nodiscard]] static const char16_t* ToWidePath(const char* path);

  // Writes into out (kCheckFileNameSize bytes) a copy of path (at most 1023 characters) with
  // every character a file name may not hold replaced, and returns the number of such
  // characters in the whole path; -1 when out or path is null; 0 for an empty path. Refused on
  // Windows: control bytes 0x01..0x1F, '"', '<', '>', '*', '?', '|' and a ':' that no separator
  // follows. On Linux a name may hold any byte but "/" and NUL, so nothing is replaced.
  static int CheckFileName(char* out, const char* path);

  // fopen(path, mode) when CheckFileName finds nothing to replace; otherwise null.
  [[nodiscard]] static FILE* OpenFileChecked(const char* path, const char* mode);

  // ---- text operations (util_text.cpp) ----

  // Length of the text; 0 for null; never more than kMaxBoundedLength.
  [[nodiscard]] static int BoundedLength(const char* text);

  // Number of leading characters from 0x20 to 0x7E (at most kMaxPrintableLength); 0 for null.
  // A result above 0 means the text holds something worth storing.
  [[nodiscard]] static int PrintableLength(const char* text);

  // True for a null or empty text or one made only of spaces (first 4096 characters).
  [[nodiscard]] static bool IsBlank(const char* text);

  // Copies src into dst and terminates it. The two-argument form writes into a path buffer of
  // kPathBufferSize bytes (at most 519 characters); the sized form copies at most
  // min(dstSize - 1, kMaxCopyText) characters. Returns the number of characters copied; nothing
  // happens (0) when dst or src is null or dstSize is 0.
  static int CopyText(char* dst, const char* src);
  static int CopyText(char* dst, size_t dstSize, const char* src);

  // Appends src to dst, keeping the whole text within kPathBufferSize bytes (two-argument form)
  // or dstSize bytes; nothing happens when either pointer is null.
  static void AppendText(char* dst, const char* src);
  static void AppendText(char* dst, size_t dstSize, const char* src);

  // Skips leading bytes of 0x20 or below (zero bytes included) within the first count bytes of
  // src, copies until a zero byte or until count bytes of src are consumed, terminates, and
  // removes trailing bytes of 0x20 or below. src holds at least count bytes; dst at least
  // count + 1. Null pointers: nothing happens.
  static void CopyTrimmed(char* dst, size_t count, const char* src);

  // Case-blind comparisons (ASCII letters): the difference of the first unequal pair of
  // upper-cased characters, 0 when equal. CompareNoCase looks at no more than 520 characters,
  // CompareNoCaseN at no more than n; both stop after a terminator.
  [[nodiscard]] static int CompareNoCase(const char* a, const char* b);
  [[nodiscard]] static int CompareNoCaseN(const char* a, const char* b, size_t n);

  // Position of the first case-blind occurrence of pattern in text; -1 when absent or either
  // text is null; 0 for an empty pattern.
  [[nodiscard]] static int FindNoCase(const char* text, const char* pattern);

  // printf-style formatting through a kFormatSize work buffer. The short form writes into a
  // destination of kFormatSize bytes; the sized form never writes more than dstSize bytes.
  // Both terminate the destination and return the formatter's result (the full length the text
  // would have had, negative on a format error).
  static int FormatText(char* dst, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  static int FormatText(char* dst, size_t dstSize, const char* fmt, ...)
      __attribute__((format(printf, 3, 4)));
  // The same as a string of at most kFormatSize - 1 bytes.
  [[nodiscard]] static std::string FormatString(const char* fmt, ...)
      __attribute__((format(printf, 1, 2)));

  // ---- encodings (util_encoding.cpp) ----

  // Converts a tag text of count bytes to UTF-8 into dst (dstSize bytes, terminated): UTF-16
  // with a big- or little-endian byte-order mark, UTF-16LE without a mark (recognised by a zero
  // byte), or UTF-8 through Utf8ToAnsi. Never reads past count bytes. Returns the number of
  // bytes written without the terminator.
  static int TextToAnsi(char* dst, size_t dstSize, const uint8_t* src, size_t count);

  // Decodes at most count bytes of UTF-8 into dst (dstSize bytes, terminated), trimmed of
  // leading and trailing blanks and control bytes. The text ends at a zero byte, a byte below
  // 0x20 or 0x7F. Valid UTF-8 passes unchanged except U+00A0 (no-break space), which becomes a
  // space; a byte that does not start a valid UTF-8 sequence is taken as a Windows-1252
  // character and written as its UTF-8 form, so older Latin-1 tags stay readable.
  static void Utf8ToAnsi(const uint8_t* src, char* dst, size_t dstSize, size_t count);

  // Writes the upper-cased ASCII look-alike of text into dst (dstSize bytes, terminated): bytes
  // below 0x20 become "_", ASCII letters are upper-cased, bytes of 0x80 or above become their
  // Windows-1252 look-alike (AsciiLookAlike). Returns the number of characters written.
  static int ToAsciiUpper(char* dst, size_t dstSize, const char* text);

  // The ASCII look-alike of one byte: the byte itself below 0x80, otherwise the entry of the
  // Windows-1252 look-alike table (accented letters keep their case: 0xE9 gives 'e').
  [[nodiscard]] static char AsciiLookAlike(unsigned char byte);

  // ---- number operations (util_text.cpp) ----

  // A frequency in Hz read from text such as "1,5 kHz" (1500) or "250" (250); 0 when the text
  // does not start with a number. The decimal separator may be "." or ",".
  [[nodiscard]] static double ParseFrequency(const char* text);

  // The value rounded for graph and chart labels: three significant digits below 1000, a
  // multiple of 10 above; 0 for magnitudes below 0.01; halves round away from zero.
  [[nodiscard]] static double RoundForLabel(double value);
};

}  // namespace quorvel
