#pragma once

#include "base/memory_preferences.h"
#include "cli/console_messages.h"
#include "control/quorvel_core.h"

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

}  // namespace quorvel
