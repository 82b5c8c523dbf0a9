#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>
#include <utility>

#include "control/settings/spl_calibration.h"

class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace quorvel {

class CQuorvelCore;

// The SPL calibrations in the window's settings file, group "SplCalibration" beside the
// preferences (the file quorvel-cli spl-calibrate writes too). A file that cannot be written is
// refused with its reason, as is every write while the preferences live in memory only
// (notWritable: CPreferences::NotWritable, which also covers a file that could not be parsed);
// nothing is stored in memory only.
class CWindowSplStore final : public ISplCalibrationStore {
 public:
  explicit CWindowSplStore(std::string notWritable = "") : m_notWritable(std::move(notWritable)) {}
  std::optional<std::string> Load(const std::string& key) override;
  Result<void> Store(const std::string& key, const std::string& text) override;

 private:
  std::string m_notWritable;
};

// "Calibrate SPL...": the calibrator's level and frequency, Record (3 s of the input in use at
// the gain set), then the offset stored for that input, channel and gain, or what was heard
// instead. The input is taken over while it records and closed after.
class CSplCalibrateDialog : public QDialog {
  Q_OBJECT

 public:
  // settingsNotWritable: why the preferences cannot be stored (empty: they can).
  CSplCalibrateDialog(CQuorvelCore& core, int inputIndex, SplInput input, QWidget* parent,
                      std::string settingsNotWritable = "");
  ~CSplCalibrateDialog() override;

  QDoubleSpinBox* Reference() const { return m_reference; }
  QDoubleSpinBox* Frequency() const { return m_frequency; }
  QPushButton* RecordButton() const { return m_record; }
  QLabel* Result() const { return m_result; }
  // A recording runs.
  bool Busy() const { return m_recorder != nullptr; }

 protected:
  void reject() override;

 private:
  void Record();
  void Poll();

  CQuorvelCore& m_core;
  int m_inputIndex;
  SplInput m_input;
  std::string m_settingsNotWritable;
  QDoubleSpinBox* m_reference = nullptr;
  QDoubleSpinBox* m_frequency = nullptr;
  QPushButton* m_record = nullptr;
  QLabel* m_result = nullptr;
  QTimer m_poll;
  std::unique_ptr<CSplRecorder> m_recorder;
  int m_polls = 0;
};

}  // namespace quorvel
