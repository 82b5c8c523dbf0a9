#pragma once

#include "base/memory_preferences.h"
#include "base/shared_state.h"
#include "calibration/micro_list_proc.h"
#include "cli/console_messages.h"
#include "control/captures/capture_files.h"
#include "control/quorvel_core.h"
#include "files/wave_file.h"
#include "graph/graphical.h"

namespace quorvel {

// What every quorvel-cli command works on: the console for messages, preferences kept for this
// run only (the window's stored preferences stay untouched), and the core. This is the one
// place where quorvel-cli makes its core. Main thread only.
class CCliSession {
 public:
  // kNone for the commands that play nothing (sweep, analyze).
  explicit CCliSession(AudioChoice choice) : m_core(choice, m_preferences, m_messages) {}
  CCliSession(const CCliSession&) = delete;
  CCliSession& operator=(const CCliSession&) = delete;

  CQuorvelCore& Core() { return m_core; }
  CConsoleMessages& Messages() { return m_messages; }
  CMemoryPreferences& Preferences() { return m_preferences; }

 private:
  CConsoleMessages m_messages;
  CMemoryPreferences m_preferences;
  CQuorvelCore m_core;  // last made, first gone: it holds the two above
};

// What a command that only reads capture files and charts works on: the console, preferences
// for this run only and the chart lists, with no engine (no core). Main thread only.
class CCliReading {
 public:
  CCliReading() = default;
  CCliReading(const CCliReading&) = delete;
  CCliReading& operator=(const CCliReading&) = delete;

  CConsoleMessages& Messages() { return m_messages; }
  CMemoryPreferences& Preferences() { return m_preferences; }
  CaptureReadContext Reading() {
    return CaptureReadContext{m_shared, m_wave, m_messages, m_preferences, &m_charts};
  }

 private:
  CConsoleMessages m_messages;
  CMemoryPreferences m_preferences;
  CSharedState m_shared;
  CWave m_wave;
  CGraphical m_chartCurve{m_shared};  // where the chart lists resample a microphone's chart
  CMicroListProc m_charts{m_shared, m_preferences, m_messages, m_chartCurve};
};

}  // namespace quorvel
