// The metadata chunks: the "LIST"/"INFO" chunk and the ID3v2.3 tag built from the tag texts,
// and the two parsers that fill WaveInfo.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/wave_file.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

using wavetest::Be32;
using wavetest::Bytes;
using wavetest::GetLe32;
using wavetest::operator+;

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// UTF-16LE bytes of an ASCII text.
Bytes Utf16(const std::string& ascii) {
  Bytes out;
  for (char c : ascii) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

// One ID3v2.3 frame: id, plain big-endian content size, two flag bytes, content.
Bytes Frame(const std::string& id, const Bytes& content) {
  return Text(id) + Be32(static_cast<uint32_t>(content.size())) + Bytes{0, 0} + content;
}

// An ID3v2.3 tag around the frames, its size as a synchsafe integer.
Bytes Tag(const Bytes& frames) {
  const auto size = static_cast<uint32_t>(frames.size());
  Bytes tag{'I',
            'D',
            '3',
            3,
            0,
            0,
            static_cast<uint8_t>((size >> 21) & 0x7F),
            static_cast<uint8_t>((size >> 14) & 0x7F),
            static_cast<uint8_t>((size >> 7) & 0x7F),
            static_cast<uint8_t>(size & 0x7F)};
  return tag + frames;
}

// A text frame of encoding 0.
Bytes Latin(const std::string& id, const std::string& text) {
  return Frame(id, Bytes{0} + Text(text));
}

// A text frame of encoding 1 (UTF-16 with byte-order mark and terminator).
Bytes Wide(const std::string& id, const std::string& text) {
  return Frame(id, Bytes{1, 0xFF, 0xFE} + Utf16(text) + Bytes{0, 0});
}

// An INFO subchunk with its terminator and pad byte.
Bytes Info(const std::string& id, const std::string& text) {
  Bytes content = Text(text);
  content.push_back(0);
  if (content.size() % 2 != 0) content.push_back(0);
  return Text(id) + wavetest::Le32(static_cast<uint32_t>(content.size())) + content;
}

class MetadataTest : public ::testing::Test {
 protected:
  void SetExampleTags() {
    m_wave.m_title = "20.00-20000.00 Hz";
    m_wave.m_artist = "Quorvel";
    m_wave.m_album = "capture";
    m_wave.m_comment.clear();
    m_wave.m_year = 2024;
    m_wave.m_track = 0;
  }
  void ParseList(const Bytes& subchunks) {
    m_wave.ParseInfoList(subchunks.data(), subchunks.size());
  }
  bool ParseTag(const Bytes& tag) { return m_wave.ParseId3Tag(tag.data(), tag.size()); }

  CWave m_wave;
};

// ---- building ----

TEST_F(MetadataTest, InfoListOfTheExampleTagsIs84Bytes) {
  SetExampleTags();
  const Bytes list = m_wave.BuildInfoList();
  ASSERT_EQ(list.size(), 84u);
  const Bytes expected = Text("LIST") + wavetest::Le32(76) + Text("INFO") + Text("IPRD") +
                         wavetest::Le32(8) + Text("capture") + Bytes{0} + Text("IART") +
                         wavetest::Le32(8) + Text("Quorvel") + Bytes{0} + Text("INAM") +
                         wavetest::Le32(18) + Text("20.00-20000.00 Hz") + Bytes{0} + Text("ICRD") +
                         wavetest::Le32(6) + Text("2024") + Bytes{0, 0};
  EXPECT_EQ(list, expected);
}

TEST_F(MetadataTest, Id3TagOfTheExampleTagsIs134BytesWithOnePadByte) {
  SetExampleTags();
  const Bytes tag = m_wave.BuildId3Tag();
  ASSERT_EQ(tag.size(), 134u);
  EXPECT_EQ(Bytes(tag.begin(), tag.begin() + 10), (Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 124}));
  const Bytes expected =
      Tag(Wide("TIT2", "20.00-20000.00 Hz") + Wide("TPE1", "Quorvel") + Wide("TALB", "capture") +
          Frame("TYER", Bytes{0} + Text("2024") + Bytes{0}) + Bytes{0});
  EXPECT_EQ(tag, expected);
  // Frame content sizes 39, 19, 19 and 6.
  EXPECT_EQ(tag[17], 39);
  EXPECT_EQ(tag[10 + 49 + 7], 19);
  EXPECT_EQ(tag[10 + 49 + 29 + 7], 19);
  EXPECT_EQ(tag[10 + 49 + 29 + 29 + 7], 6);
  EXPECT_EQ(tag.back(), 0);
  // Read back alone, every frame counts, the last one (TYER) included.
  EXPECT_TRUE(ParseTag(tag));
  EXPECT_STREQ(m_wave.m_info.title, "20.00-20000.00 Hz");
  EXPECT_STREQ(m_wave.m_info.artist, "Quorvel");
  EXPECT_STREQ(m_wave.m_info.album, "capture");
  EXPECT_EQ(m_wave.m_info.year, 2024);
  EXPECT_EQ(m_wave.CountTagFields(), 4);
}

TEST_F(MetadataTest, CommentAddsIcmtAndCommWithEmptyDescription) {
  SetExampleTags();
  m_wave.m_comment = "Mic 1";
  const Bytes list = m_wave.BuildInfoList();
  ASSERT_EQ(list.size(), 84u + 14u);
  EXPECT_EQ(Bytes(list.begin() + 84, list.end()),
            Text("ICMT") + wavetest::Le32(6) + Text("Mic 1") + Bytes{0});
  const Bytes tag = m_wave.BuildId3Tag();
  // 133 bytes, then COMM: 10 + 22, then one pad byte.
  ASSERT_EQ(tag.size(), 133u + 32u + 1u);
  const Bytes comm = Frame(
      "COMM", Bytes{1, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE} + Utf16("Mic 1") + Bytes{0, 0});
  EXPECT_EQ(comm.size(), 32u);
  EXPECT_EQ(Bytes(tag.begin() + 133, tag.end() - 1), comm);
}

TEST_F(MetadataTest, InfoSubchunkSizesRoundUpToEven) {
  m_wave.m_title = "abc";    // S = 4
  m_wave.m_artist = "abcd";  // S = 6
  m_wave.m_year = 0;
  const Bytes list = m_wave.BuildInfoList();
  ASSERT_EQ(list.size(), 12u + 12u + 14u);
  EXPECT_EQ(GetLe32(list, 16), 6u);  // IART first
  EXPECT_EQ(GetLe32(list, 30), 4u);  // then INAM
  EXPECT_EQ(GetLe32(list, 4), list.size() - 8);
}

TEST_F(MetadataTest, TrackFramesAppearOnlyWhenAboveZero) {
  SetExampleTags();
  m_wave.m_track = 3;
  m_wave.m_trackTotal = 12;
  const Bytes list = m_wave.BuildInfoList();
  const std::string listText(list.begin(), list.end());
  EXPECT_NE(listText.find(std::string("ITRK\x02\0\0\0"
                                      "3\0",
                                      10)),
            std::string::npos);
  const Bytes tag = m_wave.BuildId3Tag();
  const std::string tagText(tag.begin(), tag.end());
  EXPECT_NE(tagText.find(std::string("TRCK\0\0\0\x06\0\0\0"
                                     "3/12\0",
                                     15)),
            std::string::npos);
  EXPECT_LT(tagText.find("TYER"), tagText.find("TRCK"));
}

// ---- the INFO parser ----

TEST_F(MetadataTest, InfoParserFillsEveryField) {
  ParseList(Info("INAM", "Title") + Info("IART", "Artist") + Info("IPRD", "Album") +
            Info("IGNR", "Genre") + Info("ICMT", "Comment") + Info("ICOP", "Copyright") +
            Info("ICRD", "2019-05-04") + Info("ITRK", "7"));
  const WaveInfo& info = m_wave.m_info;
  EXPECT_STREQ(info.title, "Title");
  EXPECT_STREQ(info.artist, "Artist");
  EXPECT_STREQ(info.album, "Album");
  EXPECT_STREQ(info.genre, "Genre");
  EXPECT_STREQ(info.comment, "Comment");
  EXPECT_STREQ(info.rights, "Copyright");
  EXPECT_EQ(info.year, 2019);
  EXPECT_EQ(info.track, 7);
  EXPECT_EQ(m_wave.CountTagFields(), 8);
}

TEST_F(MetadataTest, InfoParserTakesTheCommentAsTitleWhenTitleIsMissing) {
  ParseList(Info("IART", "a") + Info("ICMT", "x"));
  EXPECT_STREQ(m_wave.m_info.title, "x");
  EXPECT_EQ(m_wave.CountTagFields(), 3);
}

TEST_F(MetadataTest, InfoParserKeepsTheFirstTextAndClearsTheRecord) {
  m_wave.m_info.rating = 3;
  std::strcpy(m_wave.m_info.band, "old");
  ParseList(Info("INAM", "first") + Info("INAM", "second") + Info("ISFT", "soft") +
            Info("ICOP", "copy"));
  EXPECT_STREQ(m_wave.m_info.title, "first");
  EXPECT_STREQ(m_wave.m_info.rights, "soft");
  EXPECT_EQ(m_wave.m_info.rating, 0);
  EXPECT_STREQ(m_wave.m_info.band, "");
}

TEST_F(MetadataTest, InfoParserStepsOverOversizedAndUnknownSubchunks) {
  // A size beyond the list moves on by 4 bytes; an unknown id is scanned byte by byte, so a
  // known id inside its content is found.
  Bytes bad = Text("INAM") + wavetest::Le32(5000) + Text("zzzz");
  Bytes unknown = Text("IXYZ") + wavetest::Le32(10) + Info("IART", "inside");
  ParseList(bad + unknown);
  EXPECT_STREQ(m_wave.m_info.title, "");
  EXPECT_STREQ(m_wave.m_info.artist, "inside");
  // A size within the count but beyond what is left after the header is stepped over too.
  Bytes tail = Info("IGNR", "g") + Text("IART") + wavetest::Le32(12) + Text("abc");
  ParseList(tail);
  EXPECT_STREQ(m_wave.m_info.genre, "g");
  EXPECT_STREQ(m_wave.m_info.artist, "");
  // Numbers larger than 16 bytes are stepped over.
  ParseList(Text("ICRD") + wavetest::Le32(18) + Bytes(18, '1'));
  EXPECT_EQ(m_wave.m_info.year, 0);
  // Lists too short for one header.
  m_wave.ParseInfoList(nullptr, 100);
  const Bytes tiny = Text("INAM");
  m_wave.ParseInfoList(tiny.data(), tiny.size());
  EXPECT_EQ(m_wave.CountTagFields(), 0);
}

TEST_F(MetadataTest, InfoTextsAreTrimmedAndCutTo1023Characters) {
  ParseList(Info("IART", "  spaced  ") + Info("IPRD", std::string(1022, 'a')));
  EXPECT_STREQ(m_wave.m_info.artist, "spaced");
  EXPECT_EQ(std::strlen(m_wave.m_info.album), 1022u);
}

// ---- the ID3 parser ----

TEST_F(MetadataTest, Id3RuleAKeepsTheLongerText) {
  ParseList(Info("INAM", "ABC"));
  EXPECT_TRUE(ParseTag(Tag(Latin("TIT2", "AB"))));
  EXPECT_STREQ(m_wave.m_info.title, "ABC");
  EXPECT_TRUE(ParseTag(Tag(Latin("TIT2", "XYZ"))));  // as long: replaces
  EXPECT_STREQ(m_wave.m_info.title, "XYZ");
  EXPECT_TRUE(ParseTag(Tag(Latin("TIT2", "ABCD"))));
  EXPECT_STREQ(m_wave.m_info.title, "ABCD");
  EXPECT_TRUE(ParseTag(Tag(Latin("TIT2", "   "))));  // blank: nothing
  EXPECT_STREQ(m_wave.m_info.title, "ABCD");
}

TEST_F(MetadataTest, Id3YearTakesTheLastFrameAndTrackTheFirst) {
  EXPECT_TRUE(ParseTag(Tag(Latin("TYER", "1999") + Latin("TDRC", "2005-01-01"))));
  EXPECT_EQ(m_wave.m_info.year, 2005);
  EXPECT_TRUE(ParseTag(Tag(Latin("TORY", "1980") + Latin("TDRL", "abc"))));
  EXPECT_EQ(m_wave.m_info.year, 1980);
  EXPECT_TRUE(ParseTag(Tag(Latin("TRCK", "3/12") + Latin("TRCK", "5/9") + Wide("TPOS", "2/4"))));
  EXPECT_EQ(m_wave.m_info.track, 3);
  EXPECT_EQ(m_wave.m_info.trackTotal, 12);
  EXPECT_EQ(m_wave.m_info.disc, 2);
  EXPECT_EQ(m_wave.m_info.discTotal, 4);
}

TEST_F(MetadataTest, Id3CommentJoinsDescriptionAndText) {
  EXPECT_TRUE(ParseTag(
      Tag(Frame("COMM", Bytes{0} + Text("eng") + Text("Mic") + Bytes{0} + Text("Shure")))));
  EXPECT_STREQ(m_wave.m_info.comment, "Mic-Shure");
  ClearWaveInfo(m_wave.m_info);
  // UTF-16: the terminator is a zero unit at an even offset, so "A" + 00 00 is not cut early.
  EXPECT_TRUE(
      ParseTag(Tag(Frame("COMM", Bytes{1} + Text("eng") + Bytes{0xFF, 0xFE} + Utf16("A") +
                                     Bytes{0, 0, 0xFF, 0xFE} + Utf16("Text") + Bytes{0, 0}))));
  EXPECT_STREQ(m_wave.m_info.comment, "A-Text");
  ClearWaveInfo(m_wave.m_info);
  EXPECT_TRUE(ParseTag(Tag(Frame("COMM", Bytes{1} + Text("eng") + Bytes{0xFF, 0xFE, 0, 0} +
                                             Bytes{0xFF, 0xFE} + Utf16("only") + Bytes{0, 0}))));
  EXPECT_STREQ(m_wave.m_info.comment, "only");
}

TEST_F(MetadataTest, Id3FillsEverySlotFromItsFrames) {
  const Bytes frames = Wide("TIT2", "Title") + Latin("TIT3", "Sub") + Latin("TALB", "Album") +
                       Latin("TPE1", "Artist") + Latin("TPE2", "Band") + Latin("TCON", "Genre") +
                       Latin("TCOM", "Composer") + Latin("TCOP", "Copy") + Latin("TENC", "Enc") +
                       Latin("TXXX", std::string("PERFORMER") + '\0' + "Perf") +
                       Latin("TXXX", std::string("totaltracks") + '\0' + "14") +
                       Latin("TXXX", std::string("RATING") + '\0' + "4") + Latin("TYER", "2001") +
                       Frame("APIC", Bytes(40, 0xEE));
  EXPECT_TRUE(ParseTag(Tag(frames)));
  const WaveInfo& info = m_wave.m_info;
  EXPECT_STREQ(info.title, "Title");
  EXPECT_STREQ(info.subtitle, "Sub");
  EXPECT_STREQ(info.album, "Album");
  EXPECT_STREQ(info.artist, "Artist");
  EXPECT_STREQ(info.band, "Band");
  EXPECT_STREQ(info.genre, "Genre");
  EXPECT_STREQ(info.composer, "Composer");
  EXPECT_STREQ(info.rights, "Copy");
  EXPECT_STREQ(info.encoder, "Enc");
  EXPECT_STREQ(info.performer, "Perf");
  EXPECT_EQ(info.trackTotal, 14);
  EXPECT_EQ(info.rating, 4);
  EXPECT_EQ(info.year, 2001);
  // title, album, artist, band, performer, composer, rights, encoder, genre, year, total, rating
  EXPECT_EQ(m_wave.CountTagFields(), 12);
}

TEST_F(MetadataTest, Id3RightsAndEncoderRules) {
  EXPECT_TRUE(ParseTag(Tag(Latin("TCOP", "C1") + Latin("TCOP", "C2 longer") + Latin("TSSE", "S") +
                           Latin("TENC", "E"))));
  EXPECT_STREQ(m_wave.m_info.rights, "C1");  // TCOP only into a blank slot
  EXPECT_STREQ(m_wave.m_info.encoder, "E");  // TSSE filled it, TENC replaced by rule A
  EXPECT_TRUE(ParseTag(Tag(Latin("TPUB", "Publisher") + Latin("TSSE", "later"))));
  EXPECT_STREQ(m_wave.m_info.rights, "Publisher");
  EXPECT_STREQ(m_wave.m_info.encoder, "E");
}

TEST_F(MetadataTest, Id3PopularimeterOfTheMediaPlayerSetsTheRating) {
  const auto popm = [](const std::string& email, uint8_t rating) {
    return Frame("POPM", Text(email) + Bytes{0, rating, 0, 0, 0, 1});
  };
  EXPECT_TRUE(ParseTag(Tag(popm("someone@example.org", 255))));
  EXPECT_EQ(m_wave.m_info.rating, 0);
  EXPECT_TRUE(ParseTag(Tag(popm("Windows Media Player 9 Series", 0))));
  EXPECT_EQ(m_wave.m_info.rating, 0);
  int last = 0;
  for (int byte : {1, 63, 64, 127, 128, 195, 196, 223, 224, 255}) {
    m_wave.m_info.rating = 0;
    EXPECT_TRUE(ParseTag(Tag(popm("Windows Media Player 9 Series", static_cast<uint8_t>(byte)))));
    EXPECT_GE(m_wave.m_info.rating, last) << byte;
    EXPECT_GE(m_wave.m_info.rating, 1);
    EXPECT_LE(m_wave.m_info.rating, byte >= 224 ? 5 : 4) << byte;
    last = m_wave.m_info.rating;
  }
  EXPECT_EQ(last, 5);
}

TEST_F(MetadataTest, Id3SizesBeyondTheTagEndTheParse) {
  // The tag size larger than the chunk.
  Bytes tag = Tag(Latin("TIT2", "x"));
  EXPECT_FALSE(m_wave.ParseId3Tag(tag.data(), tag.size() - 1));
  // A known frame claiming more than the tag holds: parse ends, earlier frames stay.
  Bytes frames = Latin("TPE1", "kept") + Text("TIT2") + Be32(0x7FFFFFFF) + Bytes{0, 0, 0, 'a'};
  ClearWaveInfo(m_wave.m_info);
  EXPECT_FALSE(ParseTag(Tag(frames)));
  EXPECT_STREQ(m_wave.m_info.artist, "kept");
  EXPECT_STREQ(m_wave.m_info.title, "");
  // An unknown frame of that size ends it too, quietly.
  frames =
      Latin("TPE1", "kept") + Text("ABCD") + Be32(0xFFFFFFFF) + Bytes{0, 0} + Latin("TIT2", "lost");
  EXPECT_TRUE(ParseTag(Tag(frames)));
  EXPECT_STREQ(m_wave.m_info.title, "");
  // Headers too short, empty frames, zero padding.
  EXPECT_FALSE(m_wave.ParseId3Tag(tag.data(), 9));
  EXPECT_TRUE(ParseTag(Tag(Frame("TIT2", {}) + Bytes(40, 0))));
}

TEST_F(MetadataTest, Id3TextFramesRoundTripThroughUtf16WithNonAsciiLetters) {
  m_wave.m_title = "Mesure — salle";
  m_wave.m_artist = "Quorvel";
  m_wave.m_album = "Prüfung ½";
  m_wave.m_comment = "Micrófono Ñandú 🎤";
  m_wave.m_year = 2030;
  const Bytes tag = m_wave.BuildId3Tag();
  ASSERT_EQ(tag.size() % 2, 0u);
  ClearWaveInfo(m_wave.m_info);
  EXPECT_TRUE(ParseTag(tag));
  EXPECT_STREQ(m_wave.m_info.title, "Mesure — salle");
  EXPECT_STREQ(m_wave.m_info.album, "Prüfung ½");
  EXPECT_STREQ(m_wave.m_info.comment, "Micrófono Ñandú 🎤");
  EXPECT_EQ(m_wave.m_info.year, 2030);
  // The INFO list carries the same texts as they are.
  const Bytes list = m_wave.BuildInfoList();
  m_wave.ParseInfoList(list.data() + 12, list.size() - 12);
  EXPECT_STREQ(m_wave.m_info.comment, "Micrófono Ñandú 🎤");
  EXPECT_STREQ(m_wave.m_info.album, "Prüfung ½");
  EXPECT_EQ(m_wave.m_info.year, 2030);
}

TEST_F(MetadataTest, Id3Latin1TextBecomesUtf8) {
  EXPECT_TRUE(ParseTag(Tag(Frame("TPE1", Bytes{0, 'C', 'a', 'f', 0xE9}))));
  EXPECT_STREQ(m_wave.m_info.artist, "Caf\xC3\xA9");
  // Every byte of an encoding-0 text is one Latin-1 character, also where two of them would
  // read as one UTF-8 character: C3 A9 is "A tilde" and "copyright sign".
  EXPECT_TRUE(ParseTag(Tag(Frame("TIT2", Bytes{0, 'x', 0xC3, 0xA9, 'y'}))));
  EXPECT_STREQ(m_wave.m_info.title, "x\xC3\x83\xC2\xA9y");
  // 0x80 .. 0x9F are the Windows-1252 characters a text written on Windows means by them.
  EXPECT_TRUE(ParseTag(Tag(Frame("TALB", Bytes{0, 0x80, '5', 0x96, 'X'}))));
  EXPECT_STREQ(m_wave.m_info.album,
               "\xE2\x82\xAC"
               "5\xE2\x80\x93X");  // euro, en dash
  // Zero bytes before the text are skipped with the other blanks.
  EXPECT_TRUE(ParseTag(Tag(Frame("TPE2", Bytes{0, 0, 0, ' ', 'B', 'a', 'n', 'd', 0}))));
  EXPECT_STREQ(m_wave.m_info.band, "Band");
}

TEST_F(MetadataTest, Id3v24EncodingsAreDecoded) {
  // UTF-8 with its one-byte terminator, and UTF-16 big-endian without a mark.
  EXPECT_TRUE(
      ParseTag(Tag(Frame("TPE1", Bytes{3} + Text("Quorvel \xC3\xA9") + Bytes{0}) +
                   Frame("TALB", Bytes{2, 0, 'A', 0, 'b', 0, 0}) +
                   Frame("COMM", Bytes{3} + Text("eng") + Bytes{0} + Text("Mic") + Bytes{0}))));
  EXPECT_STREQ(m_wave.m_info.artist, "Quorvel \xC3\xA9");
  EXPECT_STREQ(m_wave.m_info.album, "Ab");
  EXPECT_STREQ(m_wave.m_info.comment, "Mic");
}

TEST_F(MetadataTest, LongTextsAreCutToTheSlot) {
  EXPECT_TRUE(ParseTag(Tag(Latin("TALB", std::string(3000, 'q')))));
  EXPECT_EQ(std::strlen(m_wave.m_info.album), 1023u);
}

}  // namespace

}  // namespace quorvel
