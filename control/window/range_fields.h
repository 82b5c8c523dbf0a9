#pragma once

#include <string>

#include "base/preferences.h"
#include "base/shared_state.h"

namespace quorvel {

class CGraphical;
class ICaptureView;
class IPreferences;
class IUserMessages;

// The frequency range of the sweep: the two read-only fields "f. min" and "f. max" below the
// graph, stepped by their up-down arrows through a fixed table of 25 frequencies, validated
// (allowed intervals, at least one decade) and stored in the preferences at every change.
// Widening the range beyond the range of the curve on screen asks whether to discard the curve.
//
// The limits live in CSharedState::m_fmin and m_fmax, which the graph draws its axis over; the
// field texts live here and the window shows them (ICaptureView::SetRangeFieldTexts).
// User-interface thread only.

// The only values the arrows step through [Hz].
inline constexpr int kFrequencyStepCount = 25;
inline constexpr double kFrequencySteps[kFrequencyStepCount] = {
    2,   4,   6,   8,    10,   14,   20,   40,   60,   80,    100,   140,  200,
    400, 600, 800, 1000, 1400, 2000, 4000, 6000, 8000, 10000, 14000, 20000};

// A limit as its field shows it: "%g Hz" below 1000 Hz, "%g kHz" of the value / 1000 from
// 1000 Hz on ("800 Hz", "1 kHz", "14 kHz"); the same whatever the user's locale.
[[nodiscard]] std::string FormatFrequencyField(double hz);

// The reset question for a curve measured over curveFmin..curveFmax [Hz], "%lg" formatted
// whatever the user's locale.
[[nodiscard]] std::string ResetCurveQuestion(double curveFmin, double curveFmax);

// Index of the first step within 0.001 of value; the last index (24) when there is none.
[[nodiscard]] int FindStep(double value);

// The checks of a range, in order; the first four return at once:
//   1. fmax not within 19..20001 (NaN included): fmax = 20000;
//   2. fmin not within 1.9..2001 (NaN included): fmin = 20;
//   3. fmax not one of the steps: fmax = the first step at or above it (20000 when none);
//   4. fmin above fmax / 10 + 0.1 (less than a decade): fmin = fmax / 10, or when that falls
//      below the first step, fmax = 10 x the old fmin instead.
// True when nothing had to change. fmin is never required to be a step.
[[nodiscard]] bool ValidateRange(double* fmin, double* fmax);

class CRangeFields {
 public:
  CRangeFields(CSharedState& shared, IPreferences& preferences, ICaptureView& view,
               CGraphical& graph, IUserMessages& messages);
  CRangeFields(const CRangeFields&) = delete;
  CRangeFields& operator=(const CRangeFields&) = delete;

  // The dialog's set-up: the limits from the preferences ("Fmin", "Fmax"), shown validated;
  // when they still do not validate, both are stored once more.
  void Initialise();

  // Each parses its field's text (kHz in any letter case means thousands), validates the range,
  // shows a corrected range, stores the preferences and returns the limit [Hz].
  double ReadFminField() { return ReadField(false); }
  double ReadFmaxField() { return ReadField(true); }
  // Set a limit, validate when asked (showing and storing the other limit when it changed),
  // store it and show it.
  void SetFminField(bool validate, double value) { SetField(false, value, validate); }
  void SetFmaxField(double value, bool validate) { SetField(true, value, validate); }
  // ValidateRange on the shown limits.
  bool ValidateRange();

  // The up-down arrows: up steps to a higher frequency. Narrowing a shown curve's range never
  // asks; widening it beyond the curve's own range asks ResetCurveQuestion: Yes clears the curve
  // and keeps the new limit, No returns to the curve's own limit. The graph is repainted unless
  // nothing happened.
  void OnFminSpin(bool up);
  void OnFmaxSpin(bool up);

 private:
  // The two limits alike: fmax when `upper`, else fmin.
  double& Limit(bool upper) { return upper ? m_shared.m_fmax : m_shared.m_fmin; }
  std::string& Text(bool upper) { return upper ? m_fmaxText : m_fminText; }
  static const char* Pref(bool upper) { return upper ? kPrefFmax : kPrefFmin; }
  double ReadField(bool upper);
  void SetField(bool upper, double value, bool validate);
  void ShowTexts();
  // Yes: the curve is discarded.
  bool AskResetCurve();

  CSharedState& m_shared;
  IPreferences& m_preferences;
  ICaptureView& m_view;
  CGraphical& m_graph;
  IUserMessages& m_messages;
  std::string m_fminText;
  std::string m_fmaxText;
};

}  // namespace quorvel
