#pragma once

#include <cstdint>

namespace quorvel {

// The tag record that reading a WAV file fills from its "LIST"/"INFO" chunk and its "id3 "
// chunk. Texts are zero-terminated narrow texts (UTF-8 on Linux); an empty slot is the empty
// text. A number of 0 means absent.
struct WaveInfo {
  static constexpr int kSlotBytes = 1024;  // at most 1023 characters and the terminator

  char title[kSlotBytes];      // INAM; TIT2
  char subtitle[kSlotBytes];   // TIT3 (not counted)
  char album[kSlotBytes];      // IPRD; TALB, TOAL, TSOA
  char artist[kSlotBytes];     // IART; TPE1
  char band[kSlotBytes];       // TPE2
  char performer[kSlotBytes];  // TXXX "PERFORMER"
  char composer[kSlotBytes];   // TCOM; TXXX "COMPOSER"
  char comment[kSlotBytes];    // ICMT; COMM
  char rights[kSlotBytes];     // ICOP, ISFT; TCOP, TPUB
  char encoder[kSlotBytes];    // TENC, TSSE
  char genre[kSlotBytes];      // IGNR; TCON

  int32_t year;        // ICRD; TYER, TORY, TDRC, TDRL
  int32_t track;       // ITRK; TRCK before "/"
  int32_t trackTotal;  // TRCK after "/"; TXXX "TOTALTRACKS"
  int32_t disc;        // TPOS before "/"
  int32_t discTotal;   // TPOS after "/"
  int32_t rating;      // POPM; TXXX "RATING"
};

// Empties every slot and sets every number to 0.
void ClearWaveInfo(WaveInfo& info);

}  // namespace quorvel
