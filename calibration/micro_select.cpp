// CMicroSelect: the microphone selection dialog, laid out as its template (dialog units at base
// units 6 x 13: x*6/4, y*13/8 pixels).
#include "calibration/micro_select.h"

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
#include "graph/graph_resources.h"

namespace quorvel {

namespace {

QRect Dlu(int x, int y, int width, int height) {
  return QRect(x * 6 / 4, y * 13 / 8, width * 6 / 4, height * 13 / 8);
}

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// The preview inside "Microphone Freqency Response": shows the dialog's off-screen preview,
// drawn again at every paint.
class ChartPreviewArea : public QWidget {
 public:
  ChartPreviewArea(CMicroSelect* dialog, QWidget* parent) : QWidget(parent), m_dialog(dialog) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    const QImage& picture = m_dialog->PaintPreview(width(), height());
    if (picture.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, picture);
  }

 private:
  CMicroSelect* m_dialog;
};

}  // namespace

CMicroSelect::CMicroSelect(CMicroListProc& proc, IUserMessages& messages, CGraphical& graph,
                           QWidget* parent)
    : QDialog(parent), m_proc(proc), m_messages(messages), m_graph(graph) {
  setWindowTitle(QStringLiteral("Microphone selection"));
  // The template's font, 8 points at 96 dots an inch, which its dialog units are measured in.
  QFont font = this->font();
  font.setPixelSize(11);
  setFont(font);
  setFixedSize(Dlu(0, 0, 730, 235).size());

  auto* label = new QLabel(QStringLiteral("Microphone Chart Directory"), this);
  label->setGeometry(Dlu(8, 10, 89, 8));
  // the template's font is narrower than most on Linux: the label keeps to its width
  QFont narrow = font;
  narrow.setStretch(QFont::Condensed);
  label->setFont(narrow);
  m_selectButton = new QPushButton(QStringLiteral("Select "), this);
  m_selectButton->setGeometry(Dlu(99, 8, 68, 14));
  m_selectButton->setAutoDefault(false);
  m_folderBox = new QLineEdit(this);  // shows the folder; what is typed there is not read
  m_folderBox->setGeometry(Dlu(7, 25, 160, 14));
  m_nameLabel = new QLabel(this);
  m_nameLabel->setGeometry(Dlu(7, 44, 160, 11));
  m_nameLabel->setTextFormat(Qt::PlainText);
  m_listCharts = new CRadioListBox(this);
  m_listCharts->setGeometry(Dlu(7, 55, 160, 175));
  // "Freqency" as the dialog has always spelled it: the tool's own text, kept on purpose.
  auto* group = new QGroupBox(QStringLiteral("Microphone Freqency Response"), this);
  group->setGeometry(Dlu(175, 5, 550, 204));
  m_previewArea = new ChartPreviewArea(this, this);
  m_previewArea->setGeometry(Dlu(180, 16, 540, 188));
  m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  m_cancelButton->setGeometry(Dlu(619, 214, 88, 16));
  m_cancelButton->setAutoDefault(false);
  m_okButton = new QPushButton(QStringLiteral("OK, Apply"), this);
  m_okButton->setGeometry(Dlu(203, 214, 88, 16));
  m_okButton->setDefault(true);

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
  const CGraphResources& resources = GraphResources(m_graph);
  DrawPreviewFrame(m_bitmap, resources);
  if (m_proc.SelectedChart() >= 0 && !DrawPreviewCurve(m_bitmap, resources, m_preview.rows)) {
    m_proc.SelectChart(-1);
  }
  return m_bitmap;
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
                            QWidget* parent) {
  CMicroSelect dialog(proc, messages, graph, parent);
  // OK with no chart selected applies nothing
  const bool applied = dialog.exec() == QDialog::Accepted && proc.SelectedChart() >= 0;
  proc.SetCalibrationApplied(applied);
  return applied;
}

}  // namespace quorvel
