// The graph's caption: what the curve is, and which microphone's chart corrects it.
#include "graph/graph_caption.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/shared_state.h"

namespace quorvel {

namespace {

TEST(GraphCaptionTest, NamesTheSubjectAndTheAppliedChartsMicrophone) {
  CSharedState shared;
  shared.m_chartNames = {"Mic 1", "Mic 7"};
  using S = CaptionSubject;
  // subject, selected chart, correction applied, file name, caption
  const std::vector<std::tuple<S, int, bool, std::string, std::string>> cases = {
      {S::kCapture, 1, true, "", "Quorvel Capture with microphone \"Mic 7\""},
      {S::kCapture, 1, false, "", "Quorvel Capture"},
      {S::kCapture, -1, true, "", "Quorvel Capture"},
      {S::kCapture, 2, true, "", "Quorvel Capture"},  // not one of the list's charts
      {S::kReplay, 0, true, "kitchen", "Playing \"kitchen\" captured with microphone \"Mic 1\""},
      {S::kReplay, 0, false, "kitchen", "Playing File \"kitchen\""},
      {S::kReplay, -1, true, "take 2", "Playing File \"take 2\""},
  };
  for (const auto& [subject, chart, applied, name, caption] : cases) {
    shared.m_nSelectedChart = chart;
    EXPECT_EQ(ComposeGraphCaption(shared, subject, applied, name), caption) << caption;
  }
}

TEST(GraphCaptionTest, TheBufferKeepsTheTextUpToItsSizeAndItsFirstZeroByte) {
  CSharedState shared;
  for (const auto& [text, kept] : std::vector<std::pair<std::string, std::string>>{
           {"Quorvel Capture", "Quorvel Capture"},
           {std::string(3000, 'A'), std::string(2047, 'A')},
           {std::string("wait\0ing", 8), "wait"}}) {
    SetGraphCaption(shared, text);
    EXPECT_EQ(GraphCaption(shared), kept);
  }
}

}  // namespace

}  // namespace quorvel
