// Writes the seed corpora of the fuzz targets: files and chunks as this tool writes them, and a
// few foreign and damaged variants. Usage: fuzz_seed_corpus OUTPUT_FOLDER
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/wave_file.h"
#include "tests/files/chart_reference.h"

using namespace quorvel;

namespace {

using Bytes = std::vector<uint8_t>;

void Put(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes Get(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  for (const char* sub : {"wave", "info", "id3", "samples", "chart"}) {
    std::filesystem::create_directories(root / sub);
  }

  // A small capture file with every tag this tool writes.
  const std::filesystem::path tagged = root / "wave" / "tagged.wav";
  CWave wave;
  if (!wave.CreateCaptureFile(tagged.c_str())) return 1;
  for (int i = 0; i < 64; ++i) {
    if (!wave.WriteSample(static_cast<int16_t>(i * 512 - 16000))) return 1;
  }
  std::strcpy(wave.m_szTitle, "20.00-20000.00 Hz");
  std::strcpy(wave.m_szArtist, "Quorvel");
  std::strcpy(wave.m_szAlbum, "capture");
  std::strcpy(wave.m_szComment,
              "Micr\xC3\xB3"
              "fono 1");
  if (!wave.CloseCaptureFile(true)) return 1;
  const Bytes file = Get(tagged);
  Put(root / "samples" / "tagged.wav", file);

  // The same without tags, and with two data chunks.
  Bytes plain(file.begin(), file.begin() + 44 + 128);
  PutLe32(plain, 4, static_cast<uint32_t>(plain.size() - 8));
  Put(root / "wave" / "plain.wav", plain);
  Put(root / "samples" / "plain.wav", plain);
  Bytes two = plain;
  two.insert(two.end(), plain.begin() + 36, plain.end());
  PutLe32(two, 4, static_cast<uint32_t>(two.size() - 8));
  Put(root / "samples" / "two_data.wav", two);

  // As other programs write the same layout: a JUNK chunk before the format (space kept for a
  // larger header), and the extensible format with the PCM sub-format.
  Bytes junk(plain.begin(), plain.begin() + 12);
  const uint8_t junkHeader[8] = {'J', 'U', 'N', 'K', 28, 0, 0, 0};
  junk.insert(junk.end(), junkHeader, junkHeader + 8);
  junk.resize(junk.size() + 28, 0);
  junk.insert(junk.end(), plain.begin() + 12, plain.end());
  PutLe32(junk, 4, static_cast<uint32_t>(junk.size() - 8));
  Bytes extensible(plain.begin(), plain.begin() + 36);
  PutLe32(extensible, 16, 40);
  extensible[20] = 0xFE;
  extensible[21] = 0xFF;
  const uint8_t extension[24] = {22, 0, 16,   0, 4,    0, 0, 0,    1, 0,    0,    0,
                                 0,  0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  extensible.insert(extensible.end(), extension, extension + 24);
  extensible.insert(extensible.end(), plain.begin() + 36, plain.end());
  PutLe32(extensible, 4, static_cast<uint32_t>(extensible.size() - 8));
  for (const char* folder : {"wave", "samples"}) {
    Put(root / folder / "junk_first.wav", junk);
    Put(root / folder / "extensible.wav", extensible);
  }

  // The chunks alone, for the parsers.
  const Bytes list = wave.BuildInfoList();
  Put(root / "info" / "info.bin", Bytes(list.begin() + 12, list.end()));
  Put(root / "id3" / "tag.bin", wave.BuildId3Tag());
  wave.m_track = 4;
  wave.m_trackTotal = 9;
  Put(root / "id3" / "tag_track.bin", wave.BuildId3Tag());
  Put(root / "info" / "info_track.bin", [&] {
    const Bytes l = wave.BuildInfoList();
    return Bytes(l.begin() + 12, l.end());
  }());

  // A tag with a foreign layout: frames of other encodings, a user text and a rating.
  const char foreign[] =
      "ID3\x03\x00\x00\x00\x00\x00\x40"
      "TXXX\x00\x00\x00\x0C\x00\x00\x00RATING\x00"
      "42\x00\x00"
      "COMM\x00\x00\x00\x0D\x00\x00\x00"
      "engMic\x00Shure"
      "POPM\x00\x00\x00\x09\x00\x00"
      "a@b.c\x00\x80\x00\x00";
  Put(root / "id3" / "foreign.bin", Bytes(foreign, foreign + sizeof foreign - 1));

  // Calibration charts in the shapes users bring them, cut to the fuzzers' input length.
  for (const auto& sample : charttest::ChartSamples()) {
    const std::string bytes = sample.bytes.substr(0, 8192);
    Put(root / "chart" / (std::string(sample.name) + ".txt"), Bytes(bytes.begin(), bytes.end()));
  }
  return 0;
}
