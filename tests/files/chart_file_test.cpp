// Tests of LoadChart on real chart files: the shapes users bring, compared with an independent
// reading of the rules; known curves (flat, a straight line in log frequency, descending); the
// file size limits, text-mode bytes, files that are not charts, and a failed load leaving the
// curve untouched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/chart_file.h"
#include "tests/files/chart_reference.h"

namespace fs = std::filesystem;

namespace {

using Curve = std::array<double, quorvel::kChartCurveSize>;

class ChartFolder {
 public:
  ChartFolder() {
    static std::atomic<int> counter{0};
    m_path = fs::temp_directory_path() /
             ("quorvel_chart_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(m_path);
  }
  ~ChartFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const fs::path file = m_path / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }
  std::string Path() const { return m_path.string(); }

 private:
  fs::path m_path;
};

// LoadChart into a curve pre-filled with a marker value, so that an untouched curve shows.
bool Load(const std::string& path, double fmin, double fmax, Curve* curve) {
  curve->fill(123.0);
  return quorvel::LoadChart(path, fmin, fmax, *curve);
}

TEST(ChartFile, RealWorldShapesMatchTheReference) {
  ChartFolder folder;
  const double ranges[][2] = {{20.0, 20000.0}, {100.0, 5000.0}, {1000.0, 1000.0}};
  for (const auto& sample : charttest::ChartSamples()) {
    const std::string path = folder.Write(std::string(sample.name) + ".txt", sample.bytes);
    const auto points = charttest::ReferencePoints(sample.bytes);
    ASSERT_EQ(points.has_value(), sample.usable) << sample.name;
    for (const auto& range : ranges) {
      Curve curve;
      ASSERT_EQ(Load(path, range[0], range[1], &curve), sample.usable) << sample.name;
      if (!sample.usable) {
        EXPECT_EQ(curve[0], 123.0) << sample.name << ": a refused chart leaves the curve alone";
        continue;
      }
      const auto expected = charttest::ReferenceCurve(*points, range[0], range[1]);
      for (size_t k = 0; k < curve.size(); ++k) {
        ASSERT_NEAR(curve[k], expected[k], 1e-9) << sample.name << " entry " << k;
      }
    }
  }
}

// Curves known without any reading rule: entry k lies at 20*1000^(k/999) Hz.
TEST(ChartFile, KnownCurves) {
  ChartFolder folder;
  Curve curve;
  // Flat.
  ASSERT_TRUE(Load(folder.Write("flat.txt", "10 -3\n100000 -3\n"), 20, 20000, &curve));
  for (size_t k = 0; k < 1002; ++k) EXPECT_DOUBLE_EQ(curve[k], -3.0) << k;
  for (size_t k = 1002; k < curve.size(); ++k) EXPECT_EQ(curve[k], 0.0) << k;
  // 0 dB at 20 Hz to 30 dB at 20 kHz: straight in log frequency, 30*k/999 at entry k.
  ASSERT_TRUE(Load(folder.Write("line.frd", "20 0\n20000 30\n"), 20, 20000, &curve));
  for (int k = 0; k < 1000; ++k) EXPECT_NEAR(curve[size_t(k)], 30.0 * k / 999.0, 1e-9) << k;
  EXPECT_DOUBLE_EQ(curve[1000], curve[999]);
  EXPECT_DOUBLE_EQ(curve[1001], curve[999]);
  // Held ends: 2 dB below 200 Hz, 4 dB above 2 kHz.
  ASSERT_TRUE(Load(folder.Write("ends.txt", "200 2\n2000 4\n"), 20, 20000, &curve));
  EXPECT_DOUBLE_EQ(curve[0], 2.0);
  EXPECT_DOUBLE_EQ(curve[332], 2.0);  // 199 Hz
  EXPECT_NEAR(curve[500], 3.0, 0.01);
  EXPECT_DOUBLE_EQ(curve[667], 4.0);  // 2010 Hz
  EXPECT_DOUBLE_EQ(curve[999], 4.0);
  // Descending, used as it stands: the first level below the first frequency, the last above.
  ASSERT_TRUE(Load(folder.Write("down.txt", "1000 5\n100 -5\n"), 20, 20000, &curve));
  for (int k = 0; k < 1000; ++k) {
    const double f = 20.0 * std::pow(1000.0, k / 999.0);
    EXPECT_DOUBLE_EQ(curve[size_t(k)], f < 1000.0 ? 5.0 : -5.0) << k;
  }
  // fmin equal to fmax: 1000 equal values, the level at that frequency.
  ASSERT_TRUE(Load(folder.Write("one.txt", "100 0\n10000 20\n"), 1000, 1000, &curve));
  for (size_t k = 0; k < 1002; ++k) EXPECT_NEAR(curve[k], 10.0, 1e-12) << k;
}

TEST(ChartFile, SizeLimitsAndTextBytes) {
  ChartFolder folder;
  Curve curve;
  // 128000 bytes, padded with comment lines after the data, is read; one more byte is not.
  std::string text = "20 -6\r\n20000 6\r\n";
  while (text.size() < 128000)
    text += std::string(std::min<size_t>(60, 127999 - text.size()), '#') + "\n";
  ASSERT_EQ(text.size(), 128000u);
  EXPECT_TRUE(Load(folder.Write("max.txt", text), 20, 20000, &curve));
  EXPECT_DOUBLE_EQ(curve[999], 6.0);
  EXPECT_FALSE(Load(folder.Write("over.txt", text + "#"), 20, 20000, &curve));
  EXPECT_EQ(curve[0], 123.0);

  const struct {
    const char* name;
    std::string bytes;
    bool usable;
    double last;  // entry 999 when usable
  } cases[] = {
      {"empty.txt", "", false, 0},
      {"ctrlz.txt", "20 1\x1A\n20000 9\n", true, 1.0},
      {"ctrlz_first.txt",
       "\x1A"
       "20 1\n",
       false, 0},
      {"nul_first.txt",
       std::string("\0"
                   "20 1\n",
                   6),
       false, 0},
      {"lone_cr.txt", "20 1\r20000 2\r", true, 2.0},  // a lone CR ends a line
      {"utf16le_no_bom.txt", std::string{'2', 0, '0', 0, ' ', 0, '1', 0, '\n', 0}, false, 0},
      {"overflowing.txt", "10 1e308\n100000 -1e308\n", false, 0},  // infinite in between
      // +-60 dB at most, over the range read: 80 dB at 5 Hz lies below it
      {"sixty.txt", "5 80\n20 60\n200 0\n20000 -60\n", true, -60.0},
      {"above_sixty.txt", "20 60.01\n20000 0\n", false, 0},
      {"bom_only.txt", "\xEF\xBB\xBF", false, 0},
  };
  for (const auto& c : cases) {
    const bool loaded = Load(folder.Write(c.name, c.bytes), 20, 20000, &curve);
    EXPECT_EQ(loaded, c.usable) << c.name;
    if (loaded) {
      EXPECT_DOUBLE_EQ(curve[999], c.last) << c.name;
    }
  }
}

TEST(ChartFile, TextModeBytes) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"20 1\r\n30 2\r\n", "20 1\n30 2\n"},
      {"20 1\r30 2\r", "20 1\n30 2\n"},  // a lone CR ends a line too
      {"20\r\r\n", "20\n\n"},
      {std::string{'2', 0, '0', 0}, ""},  // UTF-16, without or with a byte-order mark
      {std::string{'\xFF', '\xFE', '2', 0}, ""},
      {"20 1\n\x1A"
       "30 2\n",
       "20 1\n"},
      {std::string("20 1\n\0"
                   "30 2\n",
                   11),
       "20 1\n"},
      {"\xEF\xBB\xBF"
       "20 1\n",
       "20 1\n"},
      {"20 \xEF\xBB\xBF"
       "1\n",
       "20 \xEF\xBB\xBF"
       "1\n"},  // only at the start
      {"\xEF\xBB", "\xEF\xBB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(quorvel::ChartTextOfBytes(c.bytes.data(), c.bytes.size()), c.text) << c.bytes;
  }
}

TEST(ChartFile, NotAChartFile) {
  ChartFolder folder;
  Curve curve;
  EXPECT_FALSE(Load(folder.Path() + "/missing.txt", 20, 20000, &curve));
  EXPECT_FALSE(Load(folder.Path(), 20, 20000, &curve));  // a folder
  const std::string fifo = folder.Path() + "/pipe.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(Load(fifo, 20, 20000, &curve));  // refused without waiting for a writer
  const std::string good = folder.Write("good.txt", "20 1\n20000 2\n");
  EXPECT_FALSE(Load(good, 0.0, 20000, &curve));  // no usable range
  EXPECT_FALSE(Load(good, 20, std::nan(""), &curve));
  EXPECT_EQ(curve[0], 123.0);
  EXPECT_TRUE(Load(good, 20, 20000, &curve));
}

}  // namespace
