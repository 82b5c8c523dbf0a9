// The two metadata chunks a capture file carries after its samples: a "LIST"/"INFO" chunk and
// an "id3 " chunk holding an ID3v2.3 tag; their building, and the parsers that fill WaveInfo.

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "base/util.h"
#include "base/util_unicode.h"
#include "files/wave_bytes.h"
#include "files/wave_file.h"

namespace quorvel {

namespace {

constexpr size_t kSlotChars = WaveInfo::kSlotBytes - 1;  // 1023

void PutBytes(std::vector<uint8_t>& out, const void* data, size_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + count);
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  wavebytes::PutLe32(b, v);
  PutBytes(out, b, 4);
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  wavebytes::PutBe32(b, v);
  PutBytes(out, b, 4);
}

// One INFO subchunk: id, size S = text length + 1 rounded up to even, text, terminator, pad.
void PutInfoText(std::vector<uint8_t>& out, const char* id, const std::string& text) {
  if (text.empty()) return;
  const size_t s = (text.size() + 2) & ~static_cast<size_t>(1);
  PutBytes(out, id, 4);
  PutLe32(out, static_cast<uint32_t>(s));
  PutBytes(out, text.data(), text.size());
  out.resize(out.size() + (s - text.size()), 0);
}

// Appends the UTF-8 text as UTF-16 little-endian units; returns the number of units. A byte
// that does not start a valid UTF-8 sequence is taken as the Latin-1 character of that value.
size_t PutUtf16Le(std::vector<uint8_t>& out, const std::string& text) {
  size_t units = 0;
  auto put = [&](uint32_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
    ++units;
  };
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t b = s[i];
    uint32_t cp = b;
    size_t len = 1;
    if (b >= 0xC2 && b <= 0xF4) {
      const size_t need = b < 0xE0 ? 2 : (b < 0xF0 ? 3 : 4);
      bool valid = i + need <= n;
      for (size_t k = 1; valid && k < need; ++k) valid = (s[i + k] & 0xC0) == 0x80;
      if (valid) {
        cp = need == 2 ? (b & 0x1Fu) : (need == 3 ? (b & 0x0Fu) : (b & 0x07u));
        for (size_t k = 1; k < need; ++k) cp = (cp << 6) | (s[i + k] & 0x3Fu);
        const uint32_t least = need == 2 ? 0x80 : (need == 3 ? 0x800 : 0x10000);
        valid = cp >= least && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
      }
      if (valid) {
        len = need;
      } else {
        cp = b;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
    i += len;
  }
  return units;
}

// ID3 text frame: 10-byte header, then the content.
void PutFrame(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& content) {
  PutBytes(out, id, 4);
  PutBe32(out, static_cast<uint32_t>(content.size()));
  out.push_back(0);
  out.push_back(0);
  PutBytes(out, content.data(), content.size());
}

// 01, FF FE, the text as UTF-16LE, 00 00: 2n + 5 bytes.
void PutUtf16Frame(std::vector<uint8_t>& out, const char* id, const std::string& text) {
  if (text.empty()) return;
  std::vector<uint8_t> content{1, 0xFF, 0xFE};
  PutUtf16Le(content, text);
  content.push_back(0);
  content.push_back(0);
  PutFrame(out, id, content);
}

// 00, the text, 00: m + 2 bytes.
void PutLatinFrame(std::vector<uint8_t>& out, const char* id, const std::string& text) {
  std::vector<uint8_t> content{0};
  PutBytes(content, text.data(), text.size());
  content.push_back(0);
  PutFrame(out, id, content);
}

// Leading decimal digits of text (at most maxDigits of them), 0 when there are none. Large
// values are held at INT32_MAX.
int32_t LeadingNumber(const char* text, size_t maxDigits = 64) {
  uint64_t value = 0;
  for (size_t i = 0; i < maxDigits && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
  }
  return static_cast<int32_t>(value);
}

// Copies text into a slot, cut to at most 1023 bytes without splitting a UTF-8 sequence.
void StoreSlot(char* slot, const char* text) {
  size_t len = std::strlen(text);
  if (len > kSlotChars) {
    len = kSlotChars;
    while (len > 0 && (static_cast<uint8_t>(text[len]) & 0xC0) == 0x80) --len;
  }
  std::memcpy(slot, text, len);
  slot[len] = '\0';
}

// A single-byte text as UTF-8: every byte is one character, the Latin-1 character of its
// number, or for 0x80..0x9F (control codes in Latin-1) the Windows-1252 character that a text
// written on Windows means by it. At most CUtil::kTextWorkSize bytes, cut at whole characters.
std::string SingleByteTextToUtf8(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    const char32_t c = util_detail::Cp1252ToUnicode(static_cast<uint8_t>(*p));
    char encoded[4];
    const size_t n = util_detail::EncodeUtf8(c, encoded);
    if (out.size() + n > CUtil::kTextWorkSize) break;
    out.append(encoded, n);
  }
  return out;
}

// A decoded ID3 text. Encoding 0 is what ID3v2.3 defines it to be, a single-byte Latin-1 text:
// trimmed, each byte one character (SingleByteTextToUtf8). UTF-8 is not tried first: a Latin-1
// text may hold byte pairs that also read as UTF-8 (C3 A9 is "A tilde, copyright sign", not
// "e acute"), and this tool itself writes nothing but ASCII digits with encoding 0. Encoding 1
// goes through TextToAnsi (UTF-16 with or without byte-order mark); the ID3v2.4 encodings 2
// (UTF-16BE) and 3 (UTF-8) are decoded as what they are. The source is handed over as a bounded
// copy so nothing past the frame is read.
std::string DecodeId3Text(uint8_t encoding, const uint8_t* src, size_t count) {
  std::vector<char> out(CUtil::kTextWorkSize + 1, '\0');
  if (count == 0) return std::string();
  if (encoding == 0) {
    std::vector<char> trimmed(count + 1, '\0');
    CUtil::CopyTrimmed(trimmed.data(), count, reinterpret_cast<const char*>(src));
    return SingleByteTextToUtf8(trimmed.data());
  } else if (encoding == 3) {
    // UTF-8 (ID3v2.4): its terminator is one zero byte, which must not be taken for UTF-16.
    CUtil::Utf8ToAnsi(src, out.data(), out.size(), count);
  } else if (encoding == 2) {
    // UTF-16 big-endian without a byte-order mark (ID3v2.4): given the mark it lacks.
    std::vector<uint8_t> marked{0xFE, 0xFF};
    marked.insert(marked.end(), src, src + count);
    CUtil::TextToAnsi(out.data(), out.size(), marked.data(), marked.size());
  } else {
    CUtil::TextToAnsi(out.data(), out.size(), src, count);
  }
  return std::string(out.data());
}

// Length of a text of the given encoding up to its terminator (one zero byte for encodings 0
// and 3, a zero 16-bit unit for the UTF-16 encodings 1 and 2), and the length of terminator
// found (0 when the text runs to the end of the bytes).
size_t TerminatedLength(uint8_t encoding, const uint8_t* p, size_t count, size_t* termLength) {
  if (encoding == 0 || encoding == 3) {
    for (size_t i = 0; i < count; ++i) {
      if (p[i] == 0) {
        *termLength = 1;
        return i;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < count; i += 2) {
      if (p[i] == 0 && p[i + 1] == 0) {
        *termLength = 2;
        return i;
      }
    }
  }
  *termLength = 0;
  return count;
}

bool IsBlankText(const std::string& text) {
  return CUtil::IsBlank(text.c_str());
}

// Rule A: a blank text changes nothing; otherwise the text replaces the slot's content when it
// is at least as long as what the slot holds.
void StoreByRuleA(char* slot, const std::string& text) {
  if (IsBlankText(text)) return;
  const size_t len = text.size() > kSlotChars ? kSlotChars : text.size();
  if (len >= std::strlen(slot)) StoreSlot(slot, text.c_str());
}

// Frames the tag reader understands; only they end the parse when their size is too large.
bool IsKnownFrame(const uint8_t* id) {
  static const char* const kFrames[] = {
      "TALB", "TOAL", "TSOA", "TIT2", "TIT3", "TPE1", "TPE2", "TCON", "TCOM", "COMM", "TYER",
      "TORY", "TDRC", "TDRL", "TRCK", "TPOS", "TCOP", "TPUB", "TENC", "TSSE", "TXXX", "POPM"};
  for (const char* frame : kFrames) {
    if (wavebytes::IdEquals(id, frame)) return true;
  }
  return false;
}

}  // namespace

// ---- writing ----

std::vector<uint8_t> CWave::BuildMetadata() {
  m_title = m_szTitle;
  m_artist = m_szArtist;
  m_album = m_szAlbum;
  m_comment = m_szComment;

  // The year of the moment of saving, in local time.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char stamp[64] = {};
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  if (localtime_r(&now, &local) != nullptr &&
      std::strftime(stamp, sizeof stamp, "%Y:%m:%d:%H:%M", &local) > 0 &&
      std::sscanf(stamp, "%4d:%2d:%2d:%2d:%2d", &year, &month, &day, &hour, &minute) >= 1) {
    m_year = year;
  } else {
    m_year = 0;
  }
  m_trackTotal = 0;

  const std::vector<uint8_t> list = BuildInfoList();
  const std::vector<uint8_t> tag = BuildId3Tag();
  if (list.empty() || tag.empty()) return {};  // nothing is written
  std::vector<uint8_t> out;
  try {
    out.reserve(list.size() + 8 + tag.size());
    PutBytes(out, list.data(), list.size());
    PutBytes(out, "id3 ", 4);
    PutLe32(out, static_cast<uint32_t>(tag.size()));
    PutBytes(out, tag.data(), tag.size());
  } catch (const std::bad_alloc&) {
    return {};
  }
  // The last byte of the "id3 " chunk is its pad byte or the end of its last frame's
  // terminator: zero by format.
  out.back() = 0;
  return out;
}

std::vector<uint8_t> CWave::BuildInfoList() const {
  std::vector<uint8_t> out;
  try {
    out.reserve(m_title.size() + m_artist.size() + m_album.size() + m_comment.size() + 4096);
    PutBytes(out, "LIST", 4);
    PutLe32(out, 0);  // patched below
    PutBytes(out, "INFO", 4);
    PutInfoText(out, "IPRD", m_album);
    PutInfoText(out, "IART", m_artist);
    PutInfoText(out, "INAM", m_title);
    char number[32];
    if (m_track > 0) {
      std::snprintf(number, sizeof number, "%d", m_track);
      PutInfoText(out, "ITRK", number);
    }
    if (m_year > 0) {
      std::snprintf(number, sizeof number, "%d", m_year);
      PutInfoText(out, "ICRD", number);
    }
    PutInfoText(out, "ICMT", m_comment);
  } catch (const std::bad_alloc&) {
    return {};
  }
  wavebytes::PutLe32(out.data() + 4, static_cast<uint32_t>(out.size() - 8));
  return out;
}

std::vector<uint8_t> CWave::BuildId3Tag() const {
  std::vector<uint8_t> out;
  try {
    out.reserve(2 * (m_title.size() + m_artist.size() + m_album.size() + m_comment.size()) + 1024);
    PutBytes(out, "ID3", 3);
    out.push_back(3);  // major version
    out.push_back(0);  // revision
    out.push_back(0);  // flags
    PutBe32(out, 0);   // synchsafe size, patched below
    PutUtf16Frame(out, "TIT2", m_title);
    PutUtf16Frame(out, "TPE1", m_artist);
    PutUtf16Frame(out, "TALB", m_album);
    char number[32];
    if (m_year > 0) {
      std::snprintf(number, sizeof number, "%d", m_year);
      PutLatinFrame(out, "TYER", number);
    }
    if (m_track > 0) {
      if (m_trackTotal > 0) {
        std::snprintf(number, sizeof number, "%d/%d", m_track, m_trackTotal);
      } else {
        std::snprintf(number, sizeof number, "%d", m_track);
      }
      PutLatinFrame(out, "TRCK", number);
    }
    if (!m_comment.empty()) {
      // 01, "eng", an empty description FF FE 00 00, FF FE, the comment, 00 00: 2n + 12 bytes.
      std::vector<uint8_t> content{1, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE};
      PutUtf16Le(content, m_comment);
      content.push_back(0);
      content.push_back(0);
      PutFrame(out, "COMM", content);
    }
    if (out.size() % 2 != 0) out.push_back(0);  // the pad byte keeps the chunk even
  } catch (const std::bad_alloc&) {
    return {};
  }
  wavebytes::PutSynchsafe32(out.data() + 6, static_cast<uint32_t>(out.size() - 10));
  return out;
}

// ---- reading ----

void CWave::ParseInfoList(const uint8_t* data, size_t count) {
  ClearWaveInfo(m_info);
  if (data == nullptr) return;
  size_t pos = 0;
  // Subchunk sizes are followed exactly; an unknown subchunk is scanned one byte at a time.
  while (pos + 8 < count) {
    const uint8_t* id = data + pos;
    char* slot = nullptr;
    int32_t* number = nullptr;
    if (wavebytes::IdEquals(id, "INAM")) {
      slot = m_info.title;
    } else if (wavebytes::IdEquals(id, "IART")) {
      slot = m_info.artist;
    } else if (wavebytes::IdEquals(id, "IPRD")) {
      slot = m_info.album;
    } else if (wavebytes::IdEquals(id, "IGNR")) {
      slot = m_info.genre;
    } else if (wavebytes::IdEquals(id, "ICMT")) {
      slot = m_info.comment;
    } else if (wavebytes::IdEquals(id, "ICOP") || wavebytes::IdEquals(id, "ISFT")) {
      slot = m_info.rights;
    } else if (wavebytes::IdEquals(id, "ICRD")) {
      number = &m_info.year;
    } else if (wavebytes::IdEquals(id, "ITRK")) {
      number = &m_info.track;
    }
    if (slot == nullptr && number == nullptr) {
      ++pos;
      continue;
    }
    const size_t s = wavebytes::GetLe32(data + pos + 4);
    const size_t room = count - pos - 8;  // bytes the list still holds after this header
    const size_t largest = slot != nullptr ? 1024 : 16;
    if (s > count || s > largest || s > room) {
      pos += 4;
      continue;
    }
    const uint8_t* content = data + pos + 8;
    if (slot != nullptr) {
      if (CUtil::IsBlank(slot)) {
        char text[1040];
        CUtil::Utf8ToAnsi(content, text, sizeof text, s);
        StoreSlot(slot, text);
      }
    } else if (*number == 0) {
      char digits[17] = {};
      std::memcpy(digits, content, s);
      *number = LeadingNumber(digits, 4);  // ICRD: the first 4 bytes; ITRK: at most 4 digits
    }
    pos += 8 + s;
  }
  if (CUtil::IsBlank(m_info.title)) {
    CUtil::CopyText(m_info.title, CUtil::kPathBufferSize + 1, m_info.comment);
  }
}

bool CWave::ParseId3Tag(const uint8_t* tag, size_t limit) {
  if (tag == nullptr || limit < 10) return false;
  const size_t size = wavebytes::GetSynchsafe32(tag + 6);  // without the 10-byte header
  if (size > limit) return false;
  // The frames fill the size bytes after the header; a tag cut short by its chunk is read as
  // far as the chunk goes.
  const size_t end = size + 10 < limit ? size + 10 : limit;
  size_t pos = 10;
  while (pos + 10 <= end) {
    const uint8_t* id = tag + pos;
    const size_t contentSize = wavebytes::GetBe32(tag + pos + 4);
    const bool known = IsKnownFrame(id);
    if (contentSize > end - pos - 10) {
      // A frame that claims more than the tag holds ends the parse; what was stored stays.
      return !known;
    }
    if (known && contentSize > 0) {
      HandleId3Frame(id, tag + pos + 10, contentSize);
    }
    pos += 10 + contentSize;
  }
  return true;
}

void CWave::HandleId3Frame(const uint8_t* id, const uint8_t* content, size_t size) {
  using wavebytes::IdEquals;
  const uint8_t encoding = content[0];
  const uint8_t* body = content + 1;
  const size_t bodySize = size - 1;

  if (IdEquals(id, "TALB") || IdEquals(id, "TOAL") || IdEquals(id, "TSOA")) {
    StoreByRuleA(m_info.album, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TIT2")) {
    StoreByRuleA(m_info.title, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TIT3")) {
    StoreByRuleA(m_info.subtitle, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TPE1")) {
    StoreByRuleA(m_info.artist, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TPE2")) {
    StoreByRuleA(m_info.band, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TCON")) {
    StoreByRuleA(m_info.genre, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TCOM")) {
    StoreByRuleA(m_info.composer, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "COMM")) {
    if (size < 4) return;  // encoding and language
    const uint8_t* desc = content + 4;
    const size_t rest = size - 4;
    size_t term = 0;
    const size_t descLength = TerminatedLength(encoding, desc, rest, &term);
    std::string text = DecodeId3Text(encoding, desc, descLength);
    const std::string comment =
        DecodeId3Text(encoding, desc + descLength + term, rest - descLength - term);
    text = text.empty() ? comment : text + "-" + comment;
    StoreByRuleA(m_info.comment, text);
  } else if (IdEquals(id, "TYER") || IdEquals(id, "TORY") || IdEquals(id, "TDRC") ||
             IdEquals(id, "TDRL")) {
    const int32_t year = LeadingNumber(DecodeId3Text(encoding, body, bodySize).c_str());
    if (year != 0) m_info.year = year;  // the last such frame wins
  } else if (IdEquals(id, "TRCK") || IdEquals(id, "TPOS")) {
    const bool isTrack = IdEquals(id, "TRCK");
    int32_t& first = isTrack ? m_info.track : m_info.disc;
    int32_t& second = isTrack ? m_info.trackTotal : m_info.discTotal;
    const std::string text = DecodeId3Text(encoding, body, bodySize);
    const int32_t a = LeadingNumber(text.c_str());
    const size_t slash = text.find('/');
    const int32_t b = slash == std::string::npos ? 0 : LeadingNumber(text.c_str() + slash + 1);
    if (a != 0 && first == 0) first = a;  // the first such frame wins
    if (b != 0 && second == 0) second = b;
  } else if (IdEquals(id, "TCOP")) {
    if (CUtil::IsBlank(m_info.rights)) {
      StoreSlot(m_info.rights, DecodeId3Text(encoding, body, bodySize).c_str());
    }
  } else if (IdEquals(id, "TPUB")) {
    StoreByRuleA(m_info.rights, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TENC")) {
    StoreByRuleA(m_info.encoder, DecodeId3Text(encoding, body, bodySize));
  } else if (IdEquals(id, "TSSE")) {
    const std::string text = DecodeId3Text(encoding, body, bodySize);
    if (CUtil::IsBlank(m_info.encoder) && !IsBlankText(text))
      StoreSlot(m_info.encoder, text.c_str());
  } else if (IdEquals(id, "TXXX")) {
    size_t term = 0;
    const size_t descLength = TerminatedLength(encoding, body, bodySize, &term);
    const std::string desc = DecodeId3Text(encoding, body, descLength);
    const std::string value =
        DecodeId3Text(encoding, body + descLength + term, bodySize - descLength - term);
    if (CUtil::CompareNoCase(desc.c_str(), "PERFORMER") == 0) {
      if (CUtil::IsBlank(m_info.performer)) StoreByRuleA(m_info.performer, value);
    } else if (CUtil::CompareNoCase(desc.c_str(), "COMPOSER") == 0) {
      if (CUtil::IsBlank(m_info.composer)) StoreByRuleA(m_info.composer, value);
    } else if (CUtil::CompareNoCase(desc.c_str(), "TOTALTRACKS") == 0) {
      const int32_t total = LeadingNumber(value.c_str());
      if (total != 0) m_info.trackTotal = total;
    } else if (CUtil::CompareNoCase(desc.c_str(), "RATING") == 0) {
      const int32_t rating = LeadingNumber(value.c_str());
      if (m_info.rating == 0 && rating != 0) m_info.rating = rating;
    }
  } else if (IdEquals(id, "POPM")) {
    // The e-mail (at most 254 characters, up to its terminator), then the rating byte.
    size_t emailLength = 0;
    while (emailLength < size && content[emailLength] != 0) ++emailLength;
    if (emailLength >= size) return;  // no terminator, so no rating byte either
    char email[256] = {};
    std::memcpy(email, content, emailLength < 254 ? emailLength : 254);
    char upper[256] = {};
    CUtil::ToAsciiUpper(upper, sizeof upper, email);
    if (std::strstr(upper, "MEDIA PLAYER") == nullptr || emailLength + 1 >= size) return;
    const uint8_t byte = content[emailLength + 1];
    if (byte == 0) return;
    // The player's own steps: 1, 64, 128, 196 and 255 are one to five stars.
    m_info.rating = byte >= 224 ? 5 : (byte >= 196 ? 4 : (byte >= 128 ? 3 : (byte >= 64 ? 2 : 1)));
  }
}

int CWave::CountTagFields() const {
  const char* const slots[] = {m_info.title,     m_info.album,    m_info.artist,  m_info.band,
                               m_info.performer, m_info.composer, m_info.comment, m_info.rights,
                               m_info.encoder,   m_info.genre};
  int count = 0;
  for (const char* slot : slots) {
    if (slot[0] != '\0') ++count;
  }
  const int32_t numbers[] = {m_info.year, m_info.track,     m_info.trackTotal,
                             m_info.disc, m_info.discTotal, m_info.rating};
  for (int32_t n : numbers) {
    if (n > 0) ++count;
  }
  return count;
}

}  // namespace quorvel
