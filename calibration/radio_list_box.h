#pragma once

#include <QListWidget>

namespace quorvel {

// CRadioListBox: the chart list of the microphone selection dialog. Each entry shows a radio
// mark, checked for the selected entry, followed by the chart's name; names are drawn as they
// are, so an "&" shows as a character and never as an access-key mark.
class CRadioListBox : public QListWidget {
 public:
  explicit CRadioListBox(QWidget* parent = nullptr);
  ~CRadioListBox() override;
};

}  // namespace quorvel
