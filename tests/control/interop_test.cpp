// Capture files against real tools: what Quorvel writes is read correctly by sox (format,
// length, samples), exiftool (RIFF INFO) and mutagen (ID3 frames); WAV files made by sox are
// accepted or refused with the load rules' messages. A missing tool skips its test.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/memory_preferences.h"
#include "base/shared_state.h"
#include "control/captures/capture_files.h"
#include "engine/audio_engine.h"
#include "files/wave_file.h"
#include "tests/control/capture_test_support.h"
#include "tests/files/wave_builder.h"

namespace quorvel {

namespace {

using wavetest::Bytes;
using wavetest::Chunk;
using wavetest::operator+;

constexpr int32_t kRecordingSamples = 1000500;
const char* const kMicrophone =
    "Micr\xC3\xB3"
    "fono \xC3\x91"
    "and\xC3\xBA";  // "Micrófono Ñandú"

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs a shell command; returns its exit status and its standard output in *out.
int RunShell(const std::string& command, std::string* out = nullptr) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  if (out != nullptr) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveCommand(const char* name) {
  return RunShell(std::string("command -v ") + name + " >/dev/null 2>&1") == 0;
}

// A Python interpreter that can import mutagen, or empty.
std::string PythonWithMutagen() {
  for (const char* candidate : {"python3", "/usr/bin/python3"}) {
    if (RunShell(std::string(candidate) + " -c 'import mutagen' >/dev/null 2>&1") == 0)
      return candidate;
  }
  return "";
}

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

struct LoadOutcome {
  bool ok = false;
  LoadedCaptureFile file;
};

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

class InteropTest : public ::testing::Test {
 protected:
  InteropTest()
      : m_audio(std::make_unique<CAudio>()), m_ctx{*m_audio,   m_state, m_wave,
                                                   m_messages, m_prefs, nullptr} {}

  // A finished capture of a 1 kHz tone whose level rises, saved with the microphone in force.
  std::string SaveQuorvelCapture() {
    for (int32_t i = 0; i < kRecordingSamples; ++i) {
      const double level = 1000.0 + 20000.0 * i / kRecordingSamples;
      const auto sample =
          static_cast<int16_t>(std::lround(level * std::sin(2 * M_PI * 1000.0 * i / 48000.0)));
      m_audio->PushFrame(sample * 65536, 0);
    }
    m_audio->TakeRecordingAsCapture();
    Measurement::Parts parts;
    parts.fmin = 50.0;
    parts.fmax = 15000.0;
    auto recording = std::make_shared<Recording>();
    recording->samples.assign(m_audio->Recording().begin(), m_audio->Recording().end());
    parts.recording = std::move(recording);
    m_state.m_chartNames = {kMicrophone};
    m_state.m_chartPaths = {"/charts/mic.txt"};
    m_state.m_nSelectedChart.store(0);
    m_state.m_bCalibrationApplied.store(1);
    const std::string path = m_dir.File("quorvel_capture.wav");
    EXPECT_TRUE(SaveMeasurementCapture(m_ctx.Reading(), Measurement(std::move(parts)), path));
    EXPECT_TRUE(m_messages.Messages().empty());
    return path;
  }

  // A sine made by sox: rate, channels, bits, seconds.
  std::string SoxFile(const std::string& name, int rate, int channels, int bits, double seconds) {
    const std::string path = m_dir.File(name + ".wav");
    char args[256];
    std::snprintf(args, sizeof args, " -D -n -r %d -c %d -b %d %s synth %.3f sine 1000 vol 0.5",
                  rate, channels, bits, Quote(path).c_str(), seconds);
    EXPECT_EQ(RunShell(std::string("sox") + args + " 2>&1"), 0) << args;
    return path;
  }

  // Loads the file; returns the message shown, or "" when it was accepted without one.
  std::string Load(const std::string& path, LoadOutcome* loaded = nullptr) {
    m_messages.Clear();
    LoadedCaptureFile result;
    const bool ok = LoadCaptureFile(m_ctx, path, &result);
    if (loaded != nullptr) *loaded = {ok, result};
    const std::vector<std::string> shown = m_messages.Messages();
    return shown.empty() ? std::string() : shown.back();
  }

  wavetest::ScratchFolder m_dir;
  std::unique_ptr<CAudio> m_audio;
  CSharedState m_state;
  CWave m_wave;
  CScriptedMessages m_messages;
  CMemoryPreferences m_prefs;
  CaptureFileContext m_ctx;
};

// ---- Quorvel's files read by the tools ----

TEST_F(InteropTest, SoxReadsFormatLengthAndSamples) {
  if (!HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
  const std::string path = SaveQuorvelCapture();
  std::string out;
  ASSERT_EQ(RunShell("sox --i " + Quote(path) + " 2>&1", &out), 0) << out;
  EXPECT_NE(out.find("Channels       : 1"), std::string::npos) << out;
  EXPECT_NE(out.find("Sample Rate    : 48000"), std::string::npos) << out;
  EXPECT_NE(out.find("Precision      : 16-bit"), std::string::npos) << out;
  EXPECT_NE(out.find("= 1000500 samples"), std::string::npos) << out;
  EXPECT_NE(out.find("16-bit Signed Integer PCM"), std::string::npos) << out;
  // The samples sox decodes are the recording, value for value.
  const std::string raw = m_dir.File("decoded.raw");
  ASSERT_EQ(
      RunShell("sox " + Quote(path) + " -t raw -e signed-integer -b 16 -L " + Quote(raw) + " 2>&1",
               &out),
      0)
      << out;
  const Bytes decoded = wavetest::ReadBytes(raw);
  ASSERT_EQ(decoded.size(), 2u * kRecordingSamples);
  EXPECT_EQ(std::memcmp(decoded.data(), m_audio->Recording().data(), decoded.size()), 0);
}

TEST_F(InteropTest, ExiftoolReadsTheInfoList) {
  if (!HaveCommand("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  const std::string path = SaveQuorvelCapture();
  std::string out;
  // INFO texts carry no encoding of their own; Quorvel's are UTF-8.
  ASSERT_EQ(RunShell("exiftool -charset RIFF=UTF8 -T -RIFF:Title -RIFF:Artist -RIFF:Product "
                     "-RIFF:DateCreated -RIFF:Comment " +
                         Quote(path) + " 2>&1",
                     &out),
            0)
      << out;
  const std::vector<std::string> fields = Split(Trim(out), '\t');
  ASSERT_EQ(fields.size(), 5u) << out;
  EXPECT_EQ(fields[0], "50.00-15000.00 Hz");
  EXPECT_EQ(fields[1], "Quorvel");
  EXPECT_EQ(fields[2], "quorvel_capture");
  EXPECT_EQ(fields[3], std::to_string(CurrentYear()));
  EXPECT_EQ(fields[4], kMicrophone);
}

TEST_F(InteropTest, MutagenReadsTheId3FramesAsUtf16) {
  const std::string python = PythonWithMutagen();
  if (python.empty()) GTEST_SKIP() << "python3 with mutagen is not installed";
  const std::string path = SaveQuorvelCapture();
  // Every frame as written (no translation to ID3v2.4), then the title as mutagen's own WAVE
  // reader finds it.
  const std::string script =
      "import io, sys\n"
      "from mutagen.id3 import ID3\n"
      "from mutagen.wave import WAVE\n"
      "data = open(sys.argv[1], 'rb').read()\n"
      "at = data.find(b'id3 ')\n"
      "size = int.from_bytes(data[at + 4:at + 8], 'little')\n"
      "tags = ID3()\n"
      "tags.load(io.BytesIO(data[at + 8:at + 8 + size]), translate=False)\n"
      "print('VERSION\\t%d.%d' % tags.version[:2])\n"
      "for key, frame in tags.items():\n"
      "    extra = ('\\t%s\\t[%s]' % (frame.lang, frame.desc)) if key.startswith('COMM') else ''\n"
      "    print('%s\\t%d\\t%s%s' % (frame.FrameID, int(frame.encoding), frame.text[0], extra))\n"
      "print('WAVE\\t%s' % WAVE(sys.argv[1]).tags['TIT2'].text[0])\n";
  const std::string scriptPath = m_dir.File("read_id3.py");
  wavetest::WriteBytes(scriptPath, Bytes(script.begin(), script.end()));
  std::string out;
  ASSERT_EQ(RunShell(python + " " + Quote(scriptPath) + " " + Quote(path) + " 2>&1", &out), 0)
      << out;
  std::map<std::string, std::vector<std::string>> frames;
  for (const std::string& line : Split(out, '\n')) {
    const std::vector<std::string> parts = Split(line, '\t');
    if (!parts.empty()) frames[parts[0]] = parts;
  }
  ASSERT_EQ(frames.count("VERSION"), 1u) << out;
  EXPECT_EQ(frames["VERSION"][1], "2.3");
  const std::map<std::string, std::string> texts = {{"TIT2", "50.00-15000.00 Hz"},
                                                    {"TPE1", "Quorvel"},
                                                    {"TALB", "quorvel_capture"},
                                                    {"COMM", kMicrophone}};
  for (const auto& [id, text] : texts) {
    ASSERT_GE(frames[id].size(), 3u) << id << "\n" << out;
    EXPECT_EQ(frames[id][1], "1") << id << ": UTF-16 with byte-order mark";
    EXPECT_EQ(frames[id][2], text) << id;
  }
  ASSERT_EQ(frames["COMM"].size(), 5u) << out;
  EXPECT_EQ(frames["COMM"][3], "eng");
  EXPECT_EQ(frames["COMM"][4], "[]");  // empty description
  ASSERT_GE(frames["TYER"].size(), 3u) << out;
  EXPECT_EQ(frames["TYER"][1], "0");
  EXPECT_EQ(frames["TYER"][2], std::to_string(CurrentYear()));
  ASSERT_GE(frames["WAVE"].size(), 2u) << out;
  EXPECT_EQ(frames["WAVE"][1], "50.00-15000.00 Hz");
}

// ---- files made by sox, loaded ----

TEST_F(InteropTest, SoxFilesOfTheRightFormatAreAccepted) {
  if (!HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
  LoadOutcome loaded;
  EXPECT_EQ(Load(SoxFile("sox mono", 48000, 1, 16, 21.0), &loaded), "");
  ASSERT_TRUE(loaded.ok);
  EXPECT_DOUBLE_EQ(loaded.file.fmin, 20.0);
  EXPECT_DOUBLE_EQ(loaded.file.fmax, 20000.0);
  EXPECT_EQ(loaded.file.name, "sox mono");
  EXPECT_STREQ(m_state.m_szGraphCaption, "Playing File \"sox mono\"");
  EXPECT_EQ(m_audio->Loaded().size(), 21u * 48000);
}

TEST_F(InteropTest, SoxFilesOfOtherFormatsAreRefusedWithTheirMessages) {
  if (!HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
  EXPECT_EQ(Load(SoxFile("short", 48000, 1, 16, 10.0)),
            "Sorry this file is too short to be a valid 'Quorvel' file...");
  EXPECT_EQ(Load(SoxFile("long", 48000, 1, 16, 23.0)),
            "Sorry this file is too big to be a valid 'Quorvel' file...");
  EXPECT_EQ(Load(SoxFile("stereo", 48000, 2, 16, 10.5)),
            "Sorry this file is not convenient for 'Quorvel'...");
  EXPECT_EQ(Load(SoxFile("cd rate", 44100, 1, 16, 23.0)),
            "Sorry this file is not convenient for 'Quorvel'...");
  EXPECT_EQ(Load(SoxFile("24 bit", 48000, 1, 24, 14.0)),
            "Sorry this file is not convenient for 'Quorvel'...");
  EXPECT_EQ(m_audio->Loaded().data(), nullptr);
}

TEST_F(InteropTest, ExtensibleFileOfLibsndfileIsAcceptedSampleForSample) {
  if (!HaveCommand("sox") || !HaveCommand("sndfile-convert")) GTEST_SKIP() << "no sndfile-convert";
  const std::string plain = SoxFile("plain", 48000, 1, 16, 21.0);
  const std::string extensible = m_dir.File("extensible.wavex");
  ASSERT_EQ(RunShell("sndfile-convert -pcm16 " + Quote(plain) + " " + Quote(extensible)), 0);
  ASSERT_EQ(wavetest::ReadBytes(extensible).at(20), 0xFE);  // WAVE_FORMAT_EXTENSIBLE
  EXPECT_EQ(Load(extensible), "");
  ASSERT_EQ(m_audio->Loaded().size(), 21u * 48000);
  EXPECT_EQ(0, std::memcmp(m_audio->Loaded().data(), &wavetest::ReadBytes(plain)[44], 2016000));
}

TEST_F(InteropTest, SoxFileWithAListChunkNeedsTheToolAsArtist) {
  if (!HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
  const Bytes sox = wavetest::ReadBytes(SoxFile("plain", 48000, 1, 16, 21.0));
  ASSERT_GT(sox.size(), 44u);
  const auto withList = [&](const std::string& name, const Bytes& subchunks) {
    Bytes file = sox + Chunk("LIST", Bytes{'I', 'N', 'F', 'O'} + subchunks);
    const uint32_t riff = static_cast<uint32_t>(file.size() - 8);
    for (int i = 0; i < 4; ++i)
      file[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(riff >> (8 * i));
    const std::string path = m_dir.File(name);
    wavetest::WriteBytes(path, file);
    return path;
  };
  const auto text = [](const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    if (b.size() % 2 != 0) b.push_back(0);
    return b;
  };
  EXPECT_EQ(Load(withList("commented.wav", Chunk("ICMT", text("made by sox")))),
            "Sorry this file is not a genuine 'Quorvel' wav file...");
  LoadOutcome loaded;
  EXPECT_EQ(Load(withList("ours.wav", Chunk("IART", text("Quorvel")) +
                                          Chunk("INAM", text("200.00-4000.00 Hz"))),
                 &loaded),
            "");
  ASSERT_TRUE(loaded.ok);
  EXPECT_DOUBLE_EQ(loaded.file.fmin, 200.0);
  EXPECT_DOUBLE_EQ(loaded.file.fmax, 4000.0);
  EXPECT_EQ(loaded.file.name, "ours");
}

TEST_F(InteropTest, DataChunksOfTwoSoxFilesAreJoinedInOrder) {
  if (!HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
  const std::string a = SoxFile("first", 48000, 1, 16, 10.5);
  const std::string path = m_dir.File("second.wav");
  ASSERT_EQ(RunShell("sox -D -n -r 48000 -c 1 -b 16 " + Quote(path) +
                     " synth 10.5 sine 300 vol 0.3 2>&1"),
            0);
  const Bytes first = wavetest::ReadBytes(a);
  const Bytes second = wavetest::ReadBytes(path);
  ASSERT_EQ(std::string(first.begin() + 36, first.begin() + 40), "data");
  ASSERT_EQ(std::string(second.begin() + 36, second.begin() + 40), "data");
  const Bytes joined = Bytes(first.begin(), first.end()) + Bytes(second.begin() + 36, second.end());
  Bytes file = joined;
  const uint32_t riff = static_cast<uint32_t>(file.size() - 8);
  for (int i = 0; i < 4; ++i)
    file[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(riff >> (8 * i));
  const std::string both = m_dir.File("both.wav");
  wavetest::WriteBytes(both, file);
  EXPECT_EQ(Load(both), "");
  ASSERT_EQ(m_audio->Loaded().size(), 2u * 504000);
  EXPECT_EQ(std::memcmp(m_audio->Loaded().data(), first.data() + 44, 2 * 504000), 0);
  EXPECT_EQ(std::memcmp(m_audio->Loaded().data() + 504000, second.data() + 44, 2 * 504000), 0);
}

TEST_F(InteropTest, SoxFileTaggedByMutagenIsReadInBothId3Versions) {
  if (!HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
  const std::string python = PythonWithMutagen();
  if (python.empty()) GTEST_SKIP() << "python3 with mutagen is not installed";
  for (int version : {3, 4}) {
    const std::string path = SoxFile("tagged v2." + std::to_string(version), 48000, 1, 16, 21.0);
    const std::string script =
        "import sys\n"
        "from mutagen.wave import WAVE\n"
        "from mutagen.id3 import TIT2, TPE1, COMM\n"
        "w = WAVE(sys.argv[1])\n"
        "w.add_tags()\n"
        "w.tags.add(TIT2(encoding=3, text='125.00-8000.00 Hz'))\n"
        "w.tags.add(TPE1(encoding=3, text='Quorvel \\u00e9dition'))\n"
        "w.tags.add(COMM(encoding=3, lang='eng', desc='', text='Mic \\u00d1'))\n"
        "w.save(v2_version=int(sys.argv[2]))\n";
    const std::string scriptPath = m_dir.File("tag.py");
    wavetest::WriteBytes(scriptPath, Bytes(script.begin(), script.end()));
    std::string out;
    ASSERT_EQ(RunShell(python + " " + Quote(scriptPath) + " " + Quote(path) + " " +
                           std::to_string(version) + " 2>&1",
                       &out),
              0)
        << out;
    LoadOutcome loaded;
    EXPECT_EQ(Load(path, &loaded),
              "Sorry, could not find microphone \"Mic \xC3\x91\" for calibration")
        << "ID3v2." << version;
    ASSERT_TRUE(loaded.ok) << "ID3v2." << version;
    EXPECT_DOUBLE_EQ(loaded.file.fmin, 125.0);
    EXPECT_DOUBLE_EQ(loaded.file.fmax, 8000.0);
    EXPECT_STREQ(m_wave.m_info.artist,
                 "Quorvel \xC3\xA9"
                 "dition");
  }
}

}  // namespace

}  // namespace quorvel
