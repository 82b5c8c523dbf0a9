#pragma once

#include <string>

#include "control/settings/spl_calibration.h"

namespace quorvel {

// The SPL calibrations in the window's settings file (group "SplCalibration" of
// ~/.config/Velkar/Quorvel.conf), the one thing quorvel-cli writes there: spl-calibrate stores an
// offset, the --spl options read them. The file is read only when it is a regular file of at
// most 1 MB that parses (else nothing is found); it is written only then too, or made when
// missing, whole or not at all (QSettings writes a new file and renames it over the old one),
// and never kept aside or mended: the window does that when it starts. Main thread.
class CStoredSplCalibrations final : public ISplCalibrationStore {
 public:
  std::optional<std::string> Load(const std::string& key) override;
  Result<void> Store(const std::string& key, const std::string& text) override;
  // The settings file's path.
  [[nodiscard]] static std::string Path();

 private:
  // Load found the file unparsable. QSettings parses a file once per process and says so only
  // to the first object that reads it: Store trusts what Load saw.
  bool m_unparsable = false;
};

class CliOptions;

// The SPL scale of a command over capture files (analyze, response, overlay, average): without
// --spl none. A capture does not name the input it was recorded on, so --spl takes the
// calibration of --input NAME at --gain DB, each by default the window's remembered input
// ("AudioInPeripheral") and gain ("AudioInGain"): a capture saved from the window was recorded
// there; the channel is the one the window measures that input on ("InputChannel/NAME"). kExitOk,
// or kExitBadArguments after the message (no input known, or no calibration for it, named).
[[nodiscard]] int CaptureSplScale(const CliOptions& options, const char* usage, SplScale* scale);

}  // namespace quorvel
