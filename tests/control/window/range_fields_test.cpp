// The frequency range fields: their texts, the validation of stored and stepped ranges, the
// arrows at the ends of the table and of a decade, and the reset question with a curve shown.
#include "control/window/range_fields.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "base/memory_preferences.h"
#include "base/shared_state.h"
#include "graph/graphical.h"
#include "tests/base/scripted_messages.h"
#include "tests/control/recording_window.h"

namespace quorvel {

namespace {

struct Rig {
  Rig(const char* storedFmin, const char* storedFmax) {
    if (storedFmin != nullptr) preferences.WriteString(kPrefFmin, storedFmin);
    if (storedFmax != nullptr) preferences.WriteString(kPrefFmax, storedFmax);
    fields.Initialise();
  }
  // A curve measured over curveFmin..curveFmax on screen.
  void ShowCurve(double curveFmin, double curveFmax) {
    for (int k = 0; k <= CGraphical::kLastPoint; ++k) graph.AddPoint(-20.0);
    shared.m_curveFmin = curveFmin;
    shared.m_curveFmax = curveFmax;
  }

  CSharedState shared;
  CGraphical graph{shared};
  CMemoryPreferences preferences;
  CRecordingWindow window;
  CScriptedMessages messages;
  CRangeFields fields{shared, preferences, window, graph, messages};
};

TEST(RangeFields, ShowHertzBelowAThousandAndKilohertzFromThereOn) {
  const struct {
    double hz;
    const char* text;
  } cases[] = {{800, "800 Hz"},     {2, "2 Hz"},       {1000, "1 kHz"},
               {1400, "1.4 kHz"},   {14000, "14 kHz"}, {20000, "20 kHz"},
               {999.5, "999.5 Hz"}, {20.5, "20.5 Hz"}, {12345, "12.345 kHz"}};
  for (const auto& c : cases) EXPECT_EQ(FormatFrequencyField(c.hz), c.text) << c.hz;
  // the same in a locale with a decimal comma
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    EXPECT_EQ(FormatFrequencyField(1400), "1.4 kHz");
    EXPECT_EQ(ResetCurveQuestion(12.5, 10000),
              "The frequency range of this curve goes from 12.5Hz to 10000Hz\nDo you want to "
              "reset the capture ?");
    std::setlocale(LC_NUMERIC, "C");
  }
}

TEST(RangeFields, StoredRangesAreValidatedInOrder) {
  const struct {
    const char* fmin;  // stored texts; null: none stored
    const char* fmax;
    double shownFmin;
    double shownFmax;
  } cases[] = {
      {nullptr, nullptr, 20, 20000},                 // first run: the defaults
      {"80.000000", "200.000000", 20, 200},          // less than a decade: fmin = fmax / 10
      {"20.000000", "10.000000", 20, 20000},         // fmax below 19 is replaced first
      {"1.000000", "200.000000", 20, 200},           // fmin below 1.9: 20
      {"1500.000000", "10000.000000", 1000, 10000},  // a decade below fmax
      {"20.000000", "15000.000000", 20, 20000},      // fmax off the steps: the next step up
      {"40.000000", "150.000000", 20, 200},          // ... then a decade below it, in one check
      {"2.000000", "12.000000", 2, 20000},           // fmax too low again
      {"abc", "20000", 20, 20000},                   // no number: 0, corrected to 20
      {"nan", "inf", 20, 20000},                     // not finite: the defaults, stored
  };
  for (const auto& c : cases) {
    Rig rig(c.fmin, c.fmax);
    const std::string where = std::string(c.fmin ? c.fmin : "-") + " " + (c.fmax ? c.fmax : "-");
    // the range as the next validation of the fields leaves it
    rig.fields.ReadFmaxField();
    rig.fields.ReadFminField();
    EXPECT_DOUBLE_EQ(rig.shared.m_fmin, c.shownFmin) << where;
    EXPECT_DOUBLE_EQ(rig.shared.m_fmax, c.shownFmax) << where;
    EXPECT_EQ(rig.window.fminText, FormatFrequencyField(c.shownFmin)) << where;
    EXPECT_EQ(rig.window.fmaxText, FormatFrequencyField(c.shownFmax)) << where;
    // every read stored the limits it shows, as "%lf" text
    EXPECT_DOUBLE_EQ(ParsePreferenceDouble(rig.preferences.StoredText(kPrefFmin)), c.shownFmin);
    EXPECT_DOUBLE_EQ(ParsePreferenceDouble(rig.preferences.StoredText(kPrefFmax)), c.shownFmax);
  }
}

TEST(RangeFields, ValidationIsTrueOnlyWhenNothingChanged) {
  const struct {
    double fmin, fmax;
    bool unchanged;
    double fminAfter, fmaxAfter;
  } cases[] = {
      {20, 20000, 1, 20, 20000},
      {2000, 20000, 1, 2000, 20000},
      {200.05, 2000, 1, 200.05, 2000},
      {200.2, 2000, 0, 200, 2000},
      {10, 20002, 0, 10, 20000},
      {1.8, 200, 0, 20, 200},
      {2, 19, 0, 2, 20},
      {5, 30, 0, 4, 40},
      {3, 19.9995, 0, 3, 30},  // a decade below fmax would fall under 2 Hz: fmax moves up instead
      {std::nan(""), 20000, 0, 20, 20000},  // not a number is out of range
      {20, std::nan(""), 0, 20, 20000},
      {-INFINITY, 200, 0, 20, 200},
  };
  for (const auto& c : cases) {
    double fmin = c.fmin;
    double fmax = c.fmax;
    EXPECT_EQ(ValidateRange(&fmin, &fmax), c.unchanged) << c.fmin << " " << c.fmax;
    EXPECT_DOUBLE_EQ(fmin, c.fminAfter) << c.fmin << " " << c.fmax;
    EXPECT_DOUBLE_EQ(fmax, c.fmaxAfter) << c.fmin << " " << c.fmax;
  }
}

TEST(RangeFields, ArrowsStepThroughTheTableWithinADecade) {
  const struct {
    const char* fmin;
    const char* fmax;
    bool minArrow;  // true: the f. min arrows, false: the f. max arrows
    bool up;
    double fminAfter;
    double fmaxAfter;
  } cases[] = {
      {"2000", "20000", true, true, 2000, 20000},    // exactly a decade: f. min cannot rise
      {"2000", "20000", false, false, 2000, 20000},  // nor f. max fall
      {"2", "20000", true, false, 2, 20000},         // the first step: nothing lower
      {"20", "20000", false, true, 20, 20000},       // the last step: nothing higher
      {"20", "20000", true, true, 40, 20000},       {"20", "20000", true, false, 14, 20000},
      {"20", "20000", false, false, 20, 14000},     {"80", "800", false, true, 80, 1000},
      {"600", "8000", true, true, 800, 8000},       {"800", "8000", true, true, 800, 8000},
  };
  for (const auto& c : cases) {
    Rig rig(c.fmin, c.fmax);
    if (c.minArrow) {
      rig.fields.OnFminSpin(c.up);
    } else {
      rig.fields.OnFmaxSpin(c.up);
    }
    const std::string where = std::string(c.fmin) + ".." + c.fmax + (c.minArrow ? " min" : " max") +
                              (c.up ? " up" : " down");
    EXPECT_DOUBLE_EQ(rig.shared.m_fmin, c.fminAfter) << where;
    EXPECT_DOUBLE_EQ(rig.shared.m_fmax, c.fmaxAfter) << where;
    EXPECT_EQ(rig.window.fminText, FormatFrequencyField(c.fminAfter)) << where;
    EXPECT_EQ(rig.window.fmaxText, FormatFrequencyField(c.fmaxAfter)) << where;
    EXPECT_TRUE(rig.messages.Questions().empty()) << where;
  }
}

TEST(RangeFields, WideningBeyondAShownCurveAsksWhetherToResetIt) {
  const char* question =
      "The frequency range of this curve goes from 100Hz to 10000Hz\nDo you want to reset the "
      "capture ?";
  const struct {
    bool minArrow;
    bool up;
    bool answer;
    double fminAfter;
    double fmaxAfter;
    bool asked;
    bool curveKept;
  } cases[] = {
      {true, false, false, 100, 10000, true, true},   // No: back to the curve's own limit
      {true, false, true, 80, 10000, true, false},    // Yes: the curve goes, the limit stays
      {true, true, false, 140, 10000, false, true},   // narrowing asks nothing
      {false, true, false, 100, 10000, true, true},   // f. max beyond the curve: No
      {false, true, true, 100, 14000, true, false},   // Yes
      {false, false, false, 100, 8000, false, true},  // narrowing
  };
  for (const auto& c : cases) {
    Rig rig("100", "10000");
    rig.ShowCurve(100, 10000);
    rig.messages.AnswerNext(c.answer);
    if (c.minArrow) {
      rig.fields.OnFminSpin(c.up);
    } else {
      rig.fields.OnFmaxSpin(c.up);
    }
    const std::string where = std::string(c.minArrow ? "min" : "max") + (c.up ? " up" : " down") +
                              (c.answer ? " yes" : " no");
    EXPECT_DOUBLE_EQ(rig.shared.m_fmin, c.fminAfter) << where;
    EXPECT_DOUBLE_EQ(rig.shared.m_fmax, c.fmaxAfter) << where;
    EXPECT_EQ(rig.messages.Questions().size(), c.asked ? 1u : 0u) << where;
    if (c.asked) {
      EXPECT_EQ(rig.messages.Questions()[0], question) << where;
    }
    EXPECT_EQ(rig.graph.UpdateHasCurve(), c.curveKept ? 1 : 0) << where;
    EXPECT_DOUBLE_EQ(rig.shared.m_curveFmin, c.curveKept ? 100.0 : 0.0) << where;
    EXPECT_GT(rig.window.graphRepaints, 0) << where;
  }
}

TEST(RangeFields, FieldTextsAreReadBackInHertz) {
  Rig rig("20", "20000");
  EXPECT_EQ(rig.window.fmaxText, "20 kHz");
  EXPECT_DOUBLE_EQ(rig.fields.ReadFmaxField(), 20000.0);
  rig.fields.SetFminField(true, 1400);
  EXPECT_EQ(rig.window.fminText, "1.4 kHz");
  EXPECT_DOUBLE_EQ(rig.fields.ReadFminField(), 1400.0);
  EXPECT_EQ(rig.preferences.StoredText(kPrefFmin), "1400.000000");
}

}  // namespace

}  // namespace quorvel
