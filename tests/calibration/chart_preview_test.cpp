// Tests of the chart preview's rows and validity rule on real chart files: a straight line over
// the whole scale, clamping, a flat 0 dB chart, charts at the bottom of the scale, and the
// 10-column rule on its own.
#include "calibration/chart_preview.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using quorvel::ChartPreview;
using quorvel::PreviewStatus;

std::string WriteChart(const std::string& name, const std::string& text) {
  const fs::path path =
      fs::temp_directory_path() / ("quorvel_preview_" + std::to_string(getpid()) + "_" + name);
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

TEST(ChartPreview, RowsOfRealCharts) {
  // -30 dB at 20 Hz to +20 dB at 20 kHz: column i sits at curve step e = i*4/3 of 999, so its
  // row is e*249/999 rounded.
  ChartPreview preview;
  const std::string line = WriteChart("line.txt", "20 -30\n20000 20\n");
  ASSERT_EQ(quorvel::LoadPreview(line, &preview), PreviewStatus::kValid);
  for (int i = 0; i < 750; ++i) {
    const double e = i * 4.0 / 3.0;
    EXPECT_EQ(preview.rows[size_t(i)], std::lround(e * 249.0 / 999.0)) << i;
  }
  EXPECT_EQ(preview.rows[750], preview.rows[749]);
  EXPECT_EQ(preview.rows[751], preview.rows[749]);
  EXPECT_EQ(preview.rows[752], -1);

  const struct {
    const char* name;
    const char* text;
    PreviewStatus status;
    int row0;  // row of column 0 and of every column when the chart is flat
  } cases[] = {
      {"flat0.txt", "20 0\n20000 0\n", PreviewStatus::kValid, 149},
      {"loud.txt", "20 35\n20000 35\n", PreviewStatus::kValid, 249},  // clamped to the top
      {"floor.txt", "20 -29.95\n20000 -29.95\n", PreviewStatus::kNotValid, 0},
      {"deep.txt", "20 -60\n20000 -60\n", PreviewStatus::kNotValid, 0},
      {"just_above.txt", "20 -29.85\n20000 -29.85\n", PreviewStatus::kValid, 1},
  };
  for (const auto& c : cases) {
    ChartPreview p;
    const std::string path = WriteChart(c.name, c.text);
    EXPECT_EQ(quorvel::LoadPreview(path, &p), c.status) << c.name;
    for (int i = 0; i < 750; ++i) ASSERT_EQ(p.rows[size_t(i)], c.row0) << c.name << " " << i;
    fs::remove(path);
  }

  // A chart that cannot be loaded leaves the earlier rows alone.
  const std::string comments = WriteChart("comments.txt", "* no data\n");
  EXPECT_EQ(quorvel::LoadPreview(comments, &preview), PreviewStatus::kNotLoaded);
  EXPECT_EQ(preview.rows[749], 249);
  fs::remove(comments);
  fs::remove(line);
}

TEST(ChartPreview, TenRaisedColumnsRule) {
  std::array<int, quorvel::kPreviewRowEntries> rows{};
  rows.fill(-1);
  for (int i = 0; i < 750; ++i) rows[size_t(i)] = 0;
  EXPECT_FALSE(quorvel::PreviewRowsValid(rows));
  for (int i = 740; i < 749; ++i) rows[size_t(i)] = 1;
  EXPECT_FALSE(quorvel::PreviewRowsValid(rows));  // 9 columns
  rows[749] = 249;
  EXPECT_TRUE(quorvel::PreviewRowsValid(rows));  // 10 columns
  rows[3] = 250;
  EXPECT_FALSE(quorvel::PreviewRowsValid(rows));
  rows[3] = -1;
  EXPECT_FALSE(quorvel::PreviewRowsValid(rows));
}

}  // namespace
