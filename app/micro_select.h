#pragma once

#include <QDialog>
#include <QImage>

#include "calibration/chart_preview.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quorvel {

class CGraphCanvas;
class CGraphical;
class CMicroListProc;
class CRadioListBox;
class IUserMessages;

// CMicroSelect: the "Microphone selection" dialog. The user chooses the chart folder ("Select "),
// picks a microphone from the charts found in it, sees the chart drawn over 20 Hz..20 kHz and
// -30..+20 dB, and ends with "OK, Apply" (the selected chart is remembered as "MicroSelected"),
// "Cancel" (no selection, nothing remembered, not applied) or the title bar's close (the
// selection and "MicroSelected" stay). A chart that cannot be loaded, or whose curve lies at
// the bottom of the scale, is refused with kMsgChartNotValid and the dialog stays open.
//
// The dialog works on CMicroListProc's chart lists; messages and the folder chooser go through
// IUserMessages; the preview is drawn with the response graph's palette and font.
// User-interface thread only.
class CMicroSelect : public QDialog {
 public:
  static constexpr const char* kNoFolderText = "Select a Directory";

  CMicroSelect(CMicroListProc& proc, IUserMessages& messages, CGraphical& graph,
               QWidget* parent = nullptr);
  ~CMicroSelect() override;

  // The dialog's own size (730 x 235 dialog units) and its preview area's (540 x 188): the
  // preview's geometry is laid out in the area's own pixels.
  [[nodiscard]] static QSize NaturalSize();
  [[nodiscard]] static QSize PreviewSize();
  // The least the dialog is made on a small screen (the preview shrinks with it).
  [[nodiscard]] static QSize LeastSize();
  // Another size for the dialog, to fit a small screen: the preview and its frame take the
  // difference, the list its height, the buttons keep to the bottom (and "Cancel" to the right).
  void SetDialogSize(const QSize& size);

  // The dialog's state after initialisation: "CalibFiles" read, the list filled, the remembered
  // microphone selected and previewed. Called by the constructor.
  void OnInitDialog();

  // Fills the list from a new scan of the chart folder; returns the number of entries.
  int FillChartList();
  // "Select ": the folder chooser, then the new folder's list.
  void OnSelectFolder();
  // A new entry of the list was chosen.
  void OnSelChangeChartList();
  // Loads and checks the preview of chart index (nothing for a negative index).
  void LoadPreviewFor(int index);

  // Draws the preview into the off-screen picture at the given size (made once, at the first
  // paint's size) and returns it.
  const QImage& PaintPreview(int width, int height);
  // Draws the preview for an area of width x height pixels onto a canvas.
  void DrawPreview(CGraphCanvas& canvas, int width, int height);
  const ChartPreview& Preview() const { return m_preview; }

  CRadioListBox* ChartList() const { return m_listCharts; }
  QLineEdit* FolderBox() const { return m_folderBox; }
  QLabel* NameLabel() const { return m_nameLabel; }
  QPushButton* SelectButton() const { return m_selectButton; }
  QPushButton* OkButton() const { return m_okButton; }
  QPushButton* CancelButton() const { return m_cancelButton; }

  // "OK, Apply", "Cancel" (and Escape), the close from the title bar.
  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  CMicroListProc& m_proc;
  IUserMessages& m_messages;
  CGraphical& m_graph;
  ChartPreview m_preview;
  QImage m_bitmap;
  bool m_closing = false;  // the title bar's close is under way

  QPushButton* m_selectButton = nullptr;
  QLineEdit* m_folderBox = nullptr;
  QLabel* m_nameLabel = nullptr;
  CRadioListBox* m_listCharts = nullptr;
  QGroupBox* m_group = nullptr;
  QWidget* m_previewArea = nullptr;
  QPushButton* m_okButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
};

// Opens the selection dialog over parent and sets the calibration state from its end: applied
// after "OK, Apply" with a chart selected, not applied otherwise. Returns whether the calibration
// is applied. The main window's calibration button calls it while the calibration is not
// applied, with a size that fits its screen (an invalid size: the dialog's own).
bool RunMicrophoneSelection(CMicroListProc& proc, IUserMessages& messages, CGraphical& graph,
                            QWidget* parent = nullptr, const QSize& size = QSize());

}  // namespace quorvel
