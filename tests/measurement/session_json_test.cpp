// session.json both ways: every field comes back as it was written, under any locale, and a
// damaged file opens what it can and names what it could not.
#include "measurement/session_json.h"

#include <gtest/gtest.h>

#include <string>

#include "measurement/session_json_fields.h"
#include "tests/base/decimal_comma_locale.h"
#include "tests/measurement/session_test_folder.h"

namespace quorvel {
namespace {

using sessiontest::Joined;

constexpr char kFolder[] = "/data/Sessions/2026-12-10 153012";

SessionDocument EveryField() {
  const std::string in = kFolder;
  SessionDocument document;
  document.entries = {
      {"m1",
       in + "/Quorvel Capture 2026-12-10 153012.wav",
       {"Left \"woofer\"", {0xe6, 0x9f, 0x00}, true, "line 1\nline \"2\"\t\\ end", -3.25},
       1796916612},  // date -u -d 2026-12-10T15:30:12Z +%s
      {"m2", in + "/takes/Mikrofon ü 東京.wav", {"Ü 2", {1, 2, 3}, false, "", 0.1}, std::nullopt},
      {"m7",
       "/elsewhere/b\xff\xfe"
       "ad.wav",
       {"outside", {255, 255, 255}, true, "n", 1e-9},
       0}};
  document.derived = {
      {"d1", DerivedKind::kAverageVector, false, {"m1", "m2", "m7"}, {"vector", {}, true, "", 2}},
      {"d2", DerivedKind::kAverageDb, true, {"m1", "m2"}, {"dB", {9, 8, 7}, false, "x", 0}},
      {"d3", DerivedKind::kAveragePower, true, {"m2", "m7"}, {"power", {}, true, "", -1}},
      {"d4", DerivedKind::kDifference, true, {"d1", "m7"}, {"A - B", {}, true, "", 0}},
      {"d5",
       DerivedKind::kEqualised,
       true,
       {"m1"},
       {"m1 + EQ", {}, true, "", 0},
       "Preamp: -4.2 dB\nFilter 1: ON PK Fc 120.0 Hz Gain -5.3 dB Q 2.100\n"}};
  document.view = {12,           4.5,  -30.5,           12, 200, 2000.5, LevelCurve::kResponse,
                   {"m2", "d4"}, "d1", ViewCurve::kLive};
  return document;
}

TEST(SessionJson, EveryFieldComesBackAndPathsKeepTheirBytes) {
  const SessionDocument document = EveryField();
  const std::string text = SessionJsonText(document, kFolder);
  EXPECT_TRUE(IsValidUtf8(text));
  // Inside the folder relative, outside absolute; a path that is not UTF-8 by its bytes.
  EXPECT_NE(text.find("\"path\": \"Quorvel Capture 2026-12-10 153012.wav\""), std::string::npos);
  EXPECT_NE(text.find("\"path\": \"takes/Mikrofon ü 東京.wav\""), std::string::npos);
  EXPECT_NE(text.find("\"path\": \"/elsewhere/b\xEF\xBF\xBD\xEF\xBF\xBD"
                      "ad.wav\""),
            std::string::npos);
  EXPECT_NE(text.find("\"path_bytes\": \"2f656c736577686572652f62fffe61642e776176\""),
            std::string::npos);
  EXPECT_NE(text.find("\"made\": \"2026-12-10T15:30:12Z\""), std::string::npos);
  EXPECT_NE(text.find("\"smoothing\": \"1/12\""), std::string::npos);
  EXPECT_NE(text.find("\"colour\": \"#e69f00\""), std::string::npos);
  const SessionReading reading = ReadSessionJson(text, kFolder);
  EXPECT_EQ(Joined(reading.problems), "");
  EXPECT_FALSE(reading.damaged);
  EXPECT_TRUE(reading.document == document);
}

TEST(SessionJson, NumbersIgnoreADecimalCommaLocale) {
  const SessionDocument document = EveryField();
  const std::string written = SessionJsonText(document, kFolder);
  QUORVEL_IN_DECIMAL_COMMA_LOCALE(scope);
  EXPECT_EQ(SessionJsonText(document, kFolder), written);
  EXPECT_NE(written.find("\"offset_db\": -3.25"), std::string::npos);
  const SessionReading reading = ReadSessionJson(written, kFolder);
  EXPECT_EQ(Joined(reading.problems), "");
  EXPECT_TRUE(reading.document == document);
}

TEST(SessionJson, ADamagedFileOpensWhatItCanAndSaysWhatItCouldNot) {
  const std::string a = R"({"id":"m1","path":"a.wav","name":"A","colour":"#000000","shown":true,
                          "note":"","offset_db":0,"made":null})";
  const std::string b = R"({"id":"m2","path":"/o/b.wav","name":"B","colour":"#000000",
                          "shown":true,"note":"","offset_db":0,"made":null})";
  const std::string view = R"("view":{"smoothing":"none","gate_ms":0,"level_db":{"min":-90,"max":0},
      "frequency_hz":{"min":20,"max":20000},"level_curve":"live","phase":[],"reference":""})";
  auto session = [&](const std::string& entries, const std::string& derived = "") {
    return R"({"version":1,"entries":[)" + entries + R"(],"derived":[)" + derived + "]," + view +
           "}";
  };
  std::string noCaptures = "{}";
  for (int i = 1; i < 150; ++i) noCaptures += ",{}";
  const struct {
    std::string text;
    std::string problem;  // a line the reading must give
    size_t entries, derived;
    bool damaged;
  } cases[] = {
      {"{\"version\": 1,\n \"entries\": [\n", "session.json is not valid JSON at line 3, column 1",
       0, 0, true},
      {"[1, 2]", "session.json holds an array, not a session", 0, 0, true},
      {"{\"version\":1,\"entries\":[\"\xff\"]}", "is not valid JSON at line 1, column 26", 0, 0,
       true},
      {session(a + "," + b), "", 2, 0, false},
      {session(a + "," + b).replace(11, 1, "7"), "session.json: its format version 7 is newer", 2,
       0, true},
      {session(a).replace(1, 12, ""), "session.json: it has no format version", 1, 0, true},
      {session(R"({"id":"m1","path":"a.wav"})"),
       "session.json: entry 1 has no name, colour, shown, note, offset_db, made; their defaults "
       "are taken",
       1, 0, false},
      {session(a + ",{\"id\":\"m2\"}," + b), "session.json: entry 2 names no capture; left out", 2,
       0, true},
      {session(a + ",{\"id\":\"m2\",\"path\":\"x\\u0000.wav\"}"), "names a capture with a NUL", 1,
       0, true},
      {session(a + "," + a), "entry 2 has the id \"m1\" of an earlier trace; it is now \"m2\"", 2,
       0, true},
      {session(a + ",7"), "session.json: entry 2 is a number, not an object; left out", 1, 0, true},
      {session(a.substr(0, a.size() - 1) + R"(,"shown":"yes"})"),
       "entry 1: \"shown\" is a string, not true or false; its default is taken", 1, 0, true},
      {session(R"({"id":"m1","path":"a.wav","colour":"blue"})"),
       "entry 1: the colour \"blue\" is not of the form #rrggbb", 1, 0, true},
      {session(R"({"id":"m1","path_bytes":"2fz","path":"/p.wav","made":"2026-02-30T00:00:00Z"})"),
       "entry 1: its \"path_bytes\" are not a path in hexadecimal; its \"path\" is taken", 1, 0,
       true},
      {session(R"({"id":"m1","path":"a.wav","made":"2026-02-30T00:00:00Z"})"),
       "its time made is \"2026-02-30T00:00:00Z\", not a time", 1, 0, true},
      {session(a + "," + b, R"({"id":"d1","kind":"difference","sources":["m1","m9"]})"),
       "derived trace 1 names \"m9\", which is neither a measurement nor a derived trace before "
       "it; left out",
       2, 0, true},
      {session(a + "," + b, R"({"id":"d1","kind":"difference","sources":["m1","m2","m1"]})"),
       "derived trace 1 names \"m1\" twice", 2, 0, true},
      {session(a + "," + b, R"({"id":"d1","kind":"average_db","sources":["m1"]})"),
       "derived trace 1 has 1 sources where an average takes 2 or more; left out", 2, 0, true},
      {session(a + "," + b,
               R"({"id":"d1","kind":"average_db","sources":["m1","d2"]},
                  {"id":"d2","kind":"difference","sources":["m1","m2"]})"),
       "derived trace 1 names \"d2\", which is neither", 2, 1, true},
      {session(a + "," + b, R"({"id":"d1","kind":"equalised","sources":["m1"]})"),
       "derived trace 1 holds no equaliser; left out", 2, 0, true},
      {session(a + "," + b, R"({"id":"d1","kind":"median","sources":["m1","m2"]})"),
       "derived trace 1 is of the unknown kind \"median\"; left out", 2, 0, true},
      {session(a).replace(session(a).find("\"none\""), 6, "\"1/5\""),
       "the view: the smoothing \"1/5\" is none of", 1, 0, true},
      {session(a).replace(session(a).find("-90"), 3, "10"),
       "the view: \"level_db\" is no range from a \"min\" to a larger \"max\"; -90 to 0 dB is "
       "taken",
       1, 0, true},
      {session(a).replace(session(a).find("\"reference\":\"\""), 14, "\"reference\":\"m5\""),
       "the view's reference \"m5\" is not in the session", 1, 0, true},
      {session(a).replace(session(a).find("\"reference\""), 0, "\"curve\":\"polar\","),
       "the view: the curve \"polar\" is none of \"level\", \"phase\" and \"live\"", 1, 0, true},
      {R"({"version":1,"entries":{}})", "its entries are an object, not an array", 0, 0, true},
      {session(noCaptures), "session.json: 50 more problems are not listed", 0, 0, true},
      {session("{\"id\":\"m1\",\"path\":\"a\",\"x\":" + std::string(16, '[') + "\"[\"" +
               std::string(16, ']') + "}"),
       "session.json nests deeper than the 16 levels a session has", 0, 0, true},
  };
  for (const auto& c : cases) {
    const SessionReading reading = ReadSessionJson(c.text, kFolder);
    const std::string problems = Joined(reading.problems);
    if (c.problem.empty()) {
      EXPECT_EQ(problems, "") << c.text;
    } else {
      EXPECT_NE(problems.find(c.problem), std::string::npos) << c.text << "\ngave:\n" << problems;
    }
    EXPECT_EQ(reading.document.entries.size(), c.entries) << c.text;
    EXPECT_EQ(reading.document.derived.size(), c.derived) << c.text;
    EXPECT_EQ(reading.damaged, c.damaged) << c.text << "\n" << problems;
    // written before the plot's curve was kept, or with one unknown: the levels
    EXPECT_EQ(reading.document.view.curve, ViewCurve::kLevel) << c.text;
    EXPECT_TRUE(IsValidUtf8(problems)) << problems;
    EXPECT_LE(reading.problems.size(), kMostListedProblems + 1);
  }
}

}  // namespace
}  // namespace quorvel
