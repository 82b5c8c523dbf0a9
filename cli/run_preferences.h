#pragma once

#include <map>
#include <string>

#include "control/capture_files.h"

// The preferences a capture-file load or save reads and writes, kept for this run only:
// quorvel-cli leaves the window's stored preferences alone.
class CRunPreferences : public ICapturePreferences {
 public:
  std::string ReadText(const char* name, const char* defaultValue) override {
    const auto it = m_values.find(name);
    return it == m_values.end() ? defaultValue : it->second;
  }
  void WriteText(const char* name, const std::string& value) override { m_values[name] = value; }

 private:
  std::map<std::string, std::string> m_values;
};
