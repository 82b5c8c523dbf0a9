// CMicroSelect: the microphone selection dialog, laid out as its template (dialog units at base
// units 6 x 13: x*6/4, y*13/8 pixels).
#include "app/micro_select.h"

#include <QCloseEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QString>
#include <string>

#include "base/user_messages.h"
#include "calibration/chart_folder_browser.h"
#include "calibration/chart_preview_render.h"
#include "calibration/micro_list_proc.h"
#include "calibration/radio_list_box.h"
#include "graph/dialog_font.h"
#include "graph/graph_resources.h"
#include "graph/painter_canvas.h"
#include "graph/pixel_canvas.h"

namespace quorvel {

namespace {

QRect Dlu(int x, int y, int width, int height) {
  return QRect(x * 6 / 4, y * 13 / 8, width * 6 / 4, height * 13 / 8);
}

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// The preview inside "Microphone Freqency Response": shows the dialog's off-screen preview,
// drawn again at every paint. At another
// size, or on a screen of another scale, the preview is drawn again at the area's size in the
// screen's own pixels, its own pixels mapped onto them.
class ChartPreviewArea : public QWidget {
 public:
  ChartPreviewArea(CMicroSelect* dialog, QWidget* parent) : QWidget(parent), m_dialog(dialog) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    const QSize own = CMicroSelect::PreviewSize();
    const QImage& picture = m_dialog->PaintPreview(own.width(), own.height());
    if (picture.isNull()) return;
    QPainter painter(this);
    const double ratio = devicePixelRatioF();
    if (size() == own && ratio == 1.0) {
      painter.drawImage(0, 0, picture);
      return;
    }
    PaintAtDeviceResolution(painter, size(), ratio, own.width(), own.height(), m_screenPicture,
                            [this, own](CGraphCanvas& canvas) {
                              m_dialog->DrawPreview(canvas, own.width(), own.height());
                            });
  }

 private:
  CMicroSelect* m_dialog;
  QImage m_screenPicture;  // the preview at the area's size in device pixels
};

}  // namespace

CMicroSelect::CMicroSelect(CMicroListProc& proc, IUserMessages& messages, CGraphical& graph,
                           QWidget* parent)
    : QDialog(parent), m_proc(proc), m_messages(messages), m_graph(graph) {
  setWindowTitle(QStringLiteral("Microphone selection"));
  // The template's font, 8 points at 96 dots an inch, which its dialog units are measured in.
  setFont(DialogFont());

  auto* label = new QLabel(QStringLiteral("Microphone Chart Directory"), this);
  label->setGeometry(Dlu(8, 10, 89, 8));
  // a pixel wider than its box in Liberation Sans: the label keeps to its width
  label->setFont(FittingFont(font(), label->text(), label->width()));
  m_selectButton = new QPushButton(QStringLiteral("Select "), this);
  m_selectButton->setGeometry(Dlu(99, 8, 68, 14));
  m_selectButton->setAutoDefault(false);
  m_folderBox = new QLineEdit(this);  // shows the folder; what is typed there is not read
  m_folderBox->setGeometry(Dlu(7, 25, 160, 14));
  m_nameLabel = new QLabel(this);
  m_nameLabel->setGeometry(Dlu(7, 44, 160, 11));
  m_nameLabel->setTextFormat(Qt::PlainText);
  m_listCharts = new CRadioListBox(this);
  // "Freqency" as the dialog has always spelled it: the tool's own text, kept on purpose.
  m_group = new QGroupBox(QStringLiteral("Microphone Freqency Response"), this);
  m_previewArea = new ChartPreviewArea(this, this);
  m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  m_cancelButton->setAutoDefault(false);
  m_okButton = new QPushButton(QStringLiteral("OK, Apply"), this);
  m_okButton->setDefault(true);
  SetDialogSize(NaturalSize());
  // tooltips, short, in the help page's words
  m_selectButton->setToolTip(QStringLiteral("Opens a folder chooser for the chart folder"));
  m_folderBox->setToolTip(QStringLiteral("The chart folder"));
  m_listCharts->setToolTip(
      QStringLiteral("Every usable chart of the folder: a click or an "
                     "arrow key selects one"));
  m_previewArea->setToolTip(
      QStringLiteral("The selected chart, from 20 Hz to 20 kHz and from "
                     "-30 dB to +20 dB"));
  m_okButton->setToolTip(
      QStringLiteral("Remembers the selected microphone and applies the calibration"));
  m_cancelButton->setToolTip(
      QStringLiteral("Forgets the selected microphone; no calibration is applied"));

  connect(m_selectButton, &QPushButton::clicked, this, [this] { OnSelectFolder(); });
  // Only a selection (a click, an arrow key) picks a chart: the focus that Tab brings into the
  // list moves its current row without selecting anything.
  connect(m_listCharts, &QListWidget::itemSelectionChanged, this,
          [this] { OnSelChangeChartList(); });
  connect(m_okButton, &QPushButton::clicked, this, [this] { accept(); });
  connect(m_cancelButton, &QPushButton::clicked, this, [this] { reject(); });

  OnInitDialog();
}

CMicroSelect::~CMicroSelect() = default;

QSize CMicroSelect::NaturalSize() {
  return Dlu(0, 0, 730, 235).size();
}

QSize CMicroSelect::LeastSize() {
  return NaturalSize() - QSize(150, 60);
}

QSize CMicroSelect::PreviewSize() {
  return Dlu(180, 16, 540, 188).size();
}

// The preview and its frame take what the dialog gains or loses; the list follows its height,
// the two buttons its bottom edge and "Cancel" its right edge.
void CMicroSelect::SetDialogSize(const QSize& size) {
  const QSize natural = NaturalSize();
  const int dx = size.width() - natural.width();
  const int dy = size.height() - natural.height();
  setFixedSize(size);
  m_listCharts->setGeometry(Dlu(7, 55, 160, 175).adjusted(0, 0, 0, dy));
  m_group->setGeometry(Dlu(175, 5, 550, 204).adjusted(0, 0, dx, dy));
  m_previewArea->setGeometry(Dlu(180, 16, 540, 188).adjusted(0, 0, dx, dy));
  m_cancelButton->setGeometry(Dlu(619, 214, 88, 16).translated(dx, dy));
  m_okButton->setGeometry(Dlu(203, 214, 88, 16).translated(0, dy));
}

void CMicroSelect::OnInitDialog() {
  m_preview = ChartPreview();
  m_proc.ReadChartFolder();
  m_proc.SelectChart(-1);
  if (FillChartList() <= 0) m_proc.SelectChart(-1);
  const int selected = m_proc.SelectedChart();
  if (selected >= 0) {
    const QSignalBlocker blocker(m_listCharts);
    m_listCharts->setCurrentRow(selected);
    LoadPreviewFor(selected);
  }
  update();
}

int CMicroSelect::FillChartList() {
  {
    const QSignalBlocker blocker(m_listCharts);
    m_listCharts->clear();
  }
  m_proc.SelectChart(-1);
  m_proc.ScanCharts();
  const int count = m_proc.ChartCount();
  for (int i = 0; i < count; ++i) m_listCharts->addItem(Text(m_proc.ChartName(i)));
  if (count > 0) {
    m_folderBox->setText(Text(m_proc.ChartFolder()));
  } else {
    m_folderBox->setText(QString::fromLatin1(kNoFolderText));
    m_proc.SelectChart(-1);
  }
  m_folderBox->update();
  const int selected = m_proc.SelectedChart();
  if (selected >= 0) {
    const QSignalBlocker blocker(m_listCharts);
    m_listCharts->setCurrentRow(selected);
    m_nameLabel->setText(Text(m_proc.ChartName(selected)));
  }
  return count;
}

void CMicroSelect::OnSelectFolder() {
  std::string chosen;
  if (!m_messages.ChooseFolder(m_proc.ChartFolder(), kChartFolderCaption, &chosen)) {
    return;
  }
  m_proc.SetChartFolder(chosen);
  FillChartList();
  if (m_proc.SelectedChart() >= 0) LoadPreviewFor(m_proc.SelectedChart());
  update();
  m_previewArea->update();
}

void CMicroSelect::OnSelChangeChartList() {
  const QList<QListWidgetItem*> selected = m_listCharts->selectedItems();
  const int row = selected.isEmpty() ? -1 : m_listCharts->row(selected.first());
  m_proc.SelectChart(row < 0 ? -1 : row);
  LoadPreviewFor(m_proc.SelectedChart());
  update();
  m_previewArea->update();
}

void CMicroSelect::LoadPreviewFor(int index) {
  if (index < 0) return;
  switch (LoadPreview(m_proc.ChartPath(index), &m_preview)) {
    case PreviewStatus::kNotLoaded:
    case PreviewStatus::kNotValid:
      // the list keeps the highlighted entry, the name above it its earlier text
      m_proc.SelectChart(-1);
      m_messages.ShowMessage(kMsgChartNotValid);
      return;
    case PreviewStatus::kValid:
      m_proc.SelectChart(index);
      m_nameLabel->setText(Text(m_proc.ChartName(index)));
      return;
  }
}

const QImage& CMicroSelect::PaintPreview(int width, int height) {
  if (m_bitmap.isNull()) {
    if (width <= 0 || height <= 0) return m_bitmap;
    m_bitmap = QImage(width, height, QImage::Format_RGB32);  // made once per dialog
    if (m_bitmap.isNull()) return m_bitmap;
  }
  QPainter painter(&m_bitmap);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setBackgroundMode(Qt::TransparentMode);
  CPixelCanvas canvas(m_bitmap, m_bitmap.height(), &painter);
  DrawPreview(canvas, m_bitmap.width(), m_bitmap.height());
  return m_bitmap;
}

void CMicroSelect::DrawPreview(CGraphCanvas& canvas, int width, int height) {
  DrawPreviewFrame(canvas, width, height, GraphResources(m_graph));
  if (m_proc.SelectedChart() >= 0 && !DrawPreviewCurve(canvas, height, m_preview.rows)) {
    m_proc.SelectChart(-1);
  }
}

void CMicroSelect::accept() {
  m_proc.RememberSelection();
  QDialog::accept();
}

void CMicroSelect::reject() {
  if (!m_closing) m_proc.ForgetSelection();
  QDialog::reject();
}

void CMicroSelect::closeEvent(QCloseEvent* event) {
  // Closed from the title bar: the selection and "MicroSelected" stay as they are.
  m_closing = true;
  QDialog::closeEvent(event);
  m_closing = false;
}

bool RunMicrophoneSelection(CMicroListProc& proc, IUserMessages& messages, CGraphical& graph,
                            QWidget* parent, const QSize& size) {
  CMicroSelect dialog(proc, messages, graph, parent);
  if (size.isValid() && size != CMicroSelect::NaturalSize()) dialog.SetDialogSize(size);
  // OK with no chart selected applies nothing
  const bool applied = dialog.exec() == QDialog::Accepted && proc.SelectedChart() >= 0;
  proc.SetCalibrationApplied(applied);
  return applied;
}

}  // namespace quorvel
