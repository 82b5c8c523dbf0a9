// The frequency range fields: the 25 steps, the field texts, the validation and the up-down
// arrows with the reset question.
#include "control/window/range_fields.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "control/run/capture_view.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

constexpr int kLastStep = kFrequencyStepCount - 1;

// value as "%g" writes it in the C locale: std::to_chars never looks at the user's locale.
std::string FormatG(double value) {
  char buffer[64];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  if (result.ec != std::errc()) return "0";
  return std::string(buffer, result.ptr);
}

bool Near(double a, double b, double tolerance) {
  return std::fabs(a - b) < tolerance;
}

}  // namespace

std::string FormatFrequencyField(double hz) {
  if (hz < 1000.0) return FormatG(hz) + " Hz";
  return FormatG(hz / 1000.0) + " kHz";
}

std::string ResetCurveQuestion(double curveFmin, double curveFmax) {
  return "The frequency range of this curve goes from " + FormatG(curveFmin) + "Hz to " +
         FormatG(curveFmax) + "Hz\nDo you want to reset the capture ?";
}

int FindStep(double value) {
  for (int i = 0; i < kFrequencyStepCount; ++i) {
    if (Near(kFrequencySteps[i], value, 0.001)) return i;
  }
  return kLastStep;
}

bool ValidateRange(double* fmin, double* fmax) {
  // Written as "not within" so that a NaN (a damaged settings file) is out of range too.
  if (!(*fmax >= 19.0 && *fmax <= 20001.0)) {
    *fmax = 20000.0;
    return false;
  }
  if (!(*fmin >= 1.9 && *fmin <= 2001.0)) {
    *fmin = 20.0;
    return false;
  }
  bool unchanged = true;
  bool onStep = false;
  for (const double step : kFrequencySteps) onStep = onStep || Near(step, *fmax, 0.001);
  if (!onStep) {
    // An upper limit off the steps comes only from the preferences or a loaded file: it takes
    // the first step at or above it.
    double replacement = kFrequencySteps[kLastStep];
    for (const double step : kFrequencySteps) {
      if (step >= *fmax) {
        replacement = step;
        break;
      }
    }
    *fmax = replacement;
    unchanged = false;
  }
  if (*fmin > *fmax / 10.0 + 0.1) {
    const double oldFmin = *fmin;
    *fmin = *fmax / 10.0;
    if (*fmin < kFrequencySteps[0]) {
      *fmin = oldFmin;
      *fmax = oldFmin * 10.0;
    }
    return false;
  }
  return unchanged;
}

CRangeFields::CRangeFields(CSharedState& shared, IPreferences& preferences, ICaptureView& view,
                           CGraphical& graph, IUserMessages& messages)
    : m_shared(shared),
      m_preferences(preferences),
      m_view(view),
      m_graph(graph),
      m_messages(messages) {}

void CRangeFields::ShowTexts() {
  m_view.SetRangeFieldTexts(m_fminText, m_fmaxText);
}

bool CRangeFields::ValidateRange() {
  return quorvel::ValidateRange(&m_shared.m_fmin, &m_shared.m_fmax);
}

void CRangeFields::Initialise() {
  m_shared.m_fmin = m_preferences.ReadDouble(kPrefFmin, kDefaultFmin);
  m_shared.m_fmax = m_preferences.ReadDouble(kPrefFmax, kDefaultFmax);
  SetFmaxField(m_shared.m_fmax, true);
  SetFminField(true, m_shared.m_fmin);
  if (!ValidateRange()) {
    m_preferences.WriteDouble(kPrefFmin, m_shared.m_fmin);
    m_preferences.WriteDouble(kPrefFmax, m_shared.m_fmax);
  }
}

void CRangeFields::SetField(bool upper, double value, bool validate) {
  Limit(upper) = value;
  if (validate && !ValidateRange()) {
    m_preferences.WriteDouble(Pref(!upper), Limit(!upper));
    SetField(!upper, Limit(!upper), false);
  }
  m_preferences.WriteDouble(Pref(upper), Limit(upper));
  Text(upper) = FormatFrequencyField(Limit(upper));
  ShowTexts();
}

double CRangeFields::ReadField(bool upper) {
  Limit(upper) = CUtil::ParseFrequency(Text(upper).substr(0, 63).c_str());
  if (!ValidateRange()) {
    m_preferences.WriteDouble(Pref(!upper), Limit(!upper));
    SetField(upper, Limit(upper), false);
    SetField(!upper, Limit(!upper), false);
  }
  m_preferences.WriteDouble(Pref(upper), Limit(upper));
  return Limit(upper);
}

bool CRangeFields::AskResetCurve() {
  if (!m_messages.AskYesNo(ResetCurveQuestion(m_shared.m_curveFmin, m_shared.m_curveFmax))) {
    return false;
  }
  m_shared.m_curveFmin = 0.0;
  m_shared.m_curveFmax = 0.0;
  m_graph.ClearCurve();
  m_view.RequestGraphRepaint();
  return true;
}

void CRangeFields::OnFminSpin(bool up) {
  const bool shown = m_graph.UpdateHasCurve() != 0;
  ReadFminField();
  ReadFmaxField();
  const int i = FindStep(m_shared.m_fmin);
  if (up) {
    // exactly one decade: the lower limit cannot rise
    if (Near(kFrequencySteps[i], m_shared.m_fmax / 10.0, 0.01)) return;
    if (i < kLastStep) SetFminField(true, kFrequencySteps[i + 1]);
  } else if (i > 0) {
    const double lower = kFrequencySteps[i - 1];
    SetFminField(true, lower);
    if (shown && m_shared.m_curveFmin > lower) {
      const double curveFmin = m_shared.m_curveFmin;
      SetFminField(true, AskResetCurve() ? lower : curveFmin);
    }
  }
  m_view.RequestGraphRepaint();
}

void CRangeFields::OnFmaxSpin(bool up) {
  const bool shown = m_graph.UpdateHasCurve() != 0;
  ReadFminField();
  ReadFmaxField();
  const int i = FindStep(m_shared.m_fmax);
  if (up) {
    if (i < kLastStep) {
      const double higher = kFrequencySteps[i + 1];
      SetFmaxField(higher, true);
      if (shown && m_shared.m_curveFmax < higher) {
        const double curveFmax = m_shared.m_curveFmax;
        SetFmaxField(AskResetCurve() ? higher : curveFmax, true);
      }
    }
  } else if (i > 0) {
    // exactly one decade: the upper limit cannot fall
    if (Near(kFrequencySteps[i], m_shared.m_fmin * 10.0, 0.01)) return;
    SetFmaxField(kFrequencySteps[i - 1], true);
  }
  m_view.RequestGraphRepaint();
}

}  // namespace quorvel
