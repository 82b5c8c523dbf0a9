#include "app/spl_calibrate_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "app/qt_preferences.h"
#include "base/number_text.h"
#include "base/util.h"
#include "control/quorvel_core.h"
#include "control/run/measurement_sequence.h"
#include "control/settings/settings_file.h"
#include "engine/audio_engine.h"

namespace quorvel {

namespace {

constexpr int kPollMs = 100;
// The longest wait for the recording: 3.5 s of it and a device slow to start [polls].
constexpr int kMaxPolls = 150;

QString Key(const std::string& key) {
  return QString(kSplSettingsGroup) + "/" + QString::fromStdString(key);
}

}  // namespace

std::optional<std::string> CWindowSplStore::Load(const std::string& key) {
  const QString file = CPreferences::FileName();
  if (InspectSettingsFile(file.toStdString()) != SettingsFileKind::kRegular) return std::nullopt;
  const QSettings settings(file, QSettings::IniFormat);
  const QVariant stored = settings.value(Key(key));
  if (settings.status() != QSettings::NoError || !stored.isValid()) return std::nullopt;
  return stored.toString().toStdString();
}

Result<void> CWindowSplStore::Store(const std::string& key, const std::string& text) {
  const QString file = CPreferences::FileName();
  const std::string path = file.toStdString();
  const SettingsFileKind kind = InspectSettingsFile(path);
  std::string words = !m_notWritable.empty()                ? m_notWritable
                      : kind == SettingsFileKind::kOther    ? NotARegularFileWords(path)
                      : kind == SettingsFileKind::kTooLarge ? path + " is larger than 1 MB"
                                                            : SettingsFileAccessWords(path);
  if (words.empty()) {
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(Key(key), QString::fromStdString(text));
    settings.sync();
    if (settings.status() != QSettings::NoError) words = path + ": could not be written";
  }
  if (!words.empty()) return Failure{words};
  return {};
}

CSplCalibrateDialog::CSplCalibrateDialog(CQuorvelCore& core, int inputIndex, SplInput input,
                                         QWidget* parent, std::string settingsNotWritable)
    : QDialog(parent),
      m_core(core),
      m_inputIndex(inputIndex),
      m_input(std::move(input)),
      m_settingsNotWritable(std::move(settingsNotWritable)) {
  setWindowTitle("Calibrate SPL");
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetMinimumSize);  // grows with the result's lines
  auto* intro = new QLabel(
      QString::fromStdString("Hold the calibrator to the microphone of \"" + m_input.device +
                             "\" (gain " + FormatFixed(m_input.gainDb, 1) +
                             " dB), switch it on, then Record: 3 s of its tone are recorded."),
      this);
  intro->setWordWrap(true);
  const int line = fontMetrics().lineSpacing();
  intro->setMinimumSize(40 * fontMetrics().averageCharWidth(), 3 * line);
  layout->addWidget(intro);
  auto* form = new QFormLayout();
  m_reference = new QDoubleSpinBox(this);
  m_reference->setRange(1.0, 199.9);
  m_reference->setDecimals(1);
  m_reference->setValue(94.0);
  m_reference->setSuffix(" dB SPL");
  m_reference->setToolTip("The calibrator's level: 94, 104, 114 dB SPL or what it is set to");
  form->addRow("Calibrator level:", m_reference);
  m_frequency = new QDoubleSpinBox(this);
  m_frequency->setRange(20.0, 20000.0);
  m_frequency->setDecimals(1);
  m_frequency->setValue(kDefaultCalibratorHz);
  m_frequency->setSuffix(" Hz");
  m_frequency->setToolTip("The calibrator's tone");
  form->addRow("Frequency:", m_frequency);
  layout->addLayout(form);
  m_result = new QLabel(this);
  m_result->setWordWrap(true);
  m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_result->setMinimumHeight(4 * line);
  layout->addWidget(m_result);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  m_record = buttons->addButton("Record", QDialogButtonBox::ActionRole);
  m_record->setToolTip("Record 3 s of the calibrator and store the input's offset to dB SPL");
  connect(m_record, &QPushButton::clicked, this, &CSplCalibrateDialog::Record);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSplCalibrateDialog::reject);
  layout->addWidget(buttons);
  m_poll.setInterval(kPollMs);
  connect(&m_poll, &QTimer::timeout, this, &CSplCalibrateDialog::Poll);
}

CSplCalibrateDialog::~CSplCalibrateDialog() {
  if (m_recorder) static_cast<void>(m_recorder->Finish());
}

void CSplCalibrateDialog::reject() {
  // A recording under way is ended first: the input is closed, nothing is stored.
  m_poll.stop();
  if (m_recorder) static_cast<void>(m_recorder->Finish());
  m_recorder.reset();
  QDialog::reject();
}

void CSplCalibrateDialog::Record() {
  if (m_recorder) return;
  m_recorder = std::make_unique<CSplRecorder>(m_core.Audio(), m_core.Sequence());
  if (!m_recorder->Start(m_inputIndex, m_input.gainDb,
                         InputChannelNamed(m_input.channel))) {  // the message was shown
    m_recorder.reset();
    m_result->setText("The input could not be opened.");
    return;
  }
  m_record->setEnabled(false);
  m_result->setText("Recording the calibrator...");
  m_polls = 0;
  m_poll.start();
}

void CSplCalibrateDialog::Poll() {
  if (!m_recorder->Done() && ++m_polls < kMaxPolls) return;
  m_poll.stop();
  const std::vector<int16_t> samples = m_recorder->Finish();
  m_recorder.reset();
  m_record->setEnabled(true);
  if (samples.size() < static_cast<size_t>(kSplRecordSeconds * CAudio::kSampleRate)) {
    m_result->setText(
        QString::fromStdString(CUtil::FormatString(kMsgInputSilent, m_input.device.c_str())));
    return;
  }
  const SplCalibration calibration =
      JudgeCalibration(samples, m_reference->value(), m_frequency->value());
  std::string text = calibration.message;
  if (calibration.accepted) {
    CWindowSplStore store(m_settingsNotWritable);
    const quorvel::Result<void> stored = StoreSplOffset(store, m_input, calibration.offsetDb);
    text += stored ? "; stored for this input, channel and gain."
                   : "\nCould not store the SPL calibration\n" + stored.Message();
  }
  m_result->setText(QString::fromStdString(text));
}

}  // namespace quorvel
