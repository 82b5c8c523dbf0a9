// GUI tests of the microphone selection dialog (offscreen platform, the real dialog driven with
// Qt Test's input events) with a scripted
// folder chooser and message box: the list filled from a chosen folder, a selection previewed
// and drawn, a refused chart with its message, and what "OK, Apply", "Cancel" and the title
// bar's close leave behind; and the folder browser itself with a plain folder, a link and a
// cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/micro_select.h"
#include "base/memory_preferences.h"
#include "base/preferences.h"
#include "base/shared_state.h"
#include "calibration/chart_folder_browser.h"
#include "calibration/chart_preview_render.h"
#include "calibration/micro_list_proc.h"
#include "calibration/radio_list_box.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "tests/base/scripted_messages.h"

namespace quorvel {

namespace {

int RowOf(CRadioListBox* list, const QString& name) {
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->text() == name) return i;
  }
  return -1;
}

class MicroSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_folder = m_dir.path().toStdString();
    Write("Mic & Co.txt", "20 -30\n20000 20\n");  // straight across the whole scale
    Write("Flat.frd", "20 0\n20000 0\n");
    Write("Quiet.txt", "20 -40\n20000 -35\n");  // at the bottom of the scale: refused
    Write("SPL.txt", "20 93\n20000 95\n");      // absolute levels: refused
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(m_folder + "/" + name, std::ios::binary) << text;
  }

  QTemporaryDir m_dir;
  std::string m_folder;
};

TEST_F(MicroSelectTest, SelectsPreviewsAndApplies) {
  CSharedState state;
  CMemoryPreferences preferences;
  CScriptedMessages messages;
  CGraphical graph(state);
  CMicroListProc proc(state, preferences, messages, graph);

  CMicroSelect dialog(proc, messages, graph);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Microphone selection"));
  EXPECT_EQ(dialog.FolderBox()->text(), QStringLiteral("Select a Directory"));
  EXPECT_EQ(dialog.ChartList()->count(), 0);

  // "Select ": the chooser starts on the (empty) chart folder with its caption
  messages.ChooseNext(m_folder);
  QTest::mouseClick(dialog.SelectButton(), Qt::LeftButton);
  EXPECT_EQ(messages.Choosers(),
            std::vector<std::string>{"|Folder where the Microphone Charts are located"});
  EXPECT_EQ(dialog.ChartList()->count(), 4);  // unusable charts are listed too
  EXPECT_EQ(dialog.FolderBox()->text(), QString::fromStdString(m_folder));
  EXPECT_EQ(preferences.StoredText(kPrefCalibFiles), m_folder);
  EXPECT_TRUE(RowOf(dialog.ChartList(), QStringLiteral("Mic & Co")) >= 0);  // "&" kept as it is

  // a selection is previewed: a two-pixel red line through the rows
  const int mic = RowOf(dialog.ChartList(), QStringLiteral("Mic & Co"));
  dialog.ChartList()->setCurrentRow(mic);
  EXPECT_EQ(proc.SelectedChart(), mic);
  EXPECT_EQ(dialog.NameLabel()->text(), QStringLiteral("Mic & Co"));
  const QImage& picture = dialog.PaintPreview(810, 305);
  ASSERT_FALSE(picture.isNull());
  const int ch = picture.height();
  const QRgb red = qRgb(255, 0, 0);
  for (int i = 1; i < 749; i += 37) {
    const int row = dialog.Preview().rows[size_t(i)];
    EXPECT_EQ(picture.pixel(30 + i, ch - 22 - row), red);
    EXPECT_EQ(picture.pixel(30 + i, ch - 23 - row), red);
  }
  EXPECT_EQ(picture.pixel(30, ch - 100), qRgb(0, 0, 0));        // level axis
  EXPECT_EQ(picture.pixel(400, ch - 22), qRgb(0, 0, 0));        // frequency axis
  EXPECT_EQ(picture.pixel(280, ch - 150), qRgb(240, 60, 240));  // 200 Hz line
  EXPECT_EQ(picture.pixel(0, 0), qRgb(128, 128, 128));          // frame
  EXPECT_EQ(picture.pixel(795, 5), qRgb(255, 245, 220));        // background
  EXPECT_TRUE(messages.Messages().empty());

  // a chart at the bottom of the scale is refused; the name above the list stays
  dialog.ChartList()->setCurrentRow(RowOf(dialog.ChartList(), QStringLiteral("Quiet")));
  EXPECT_EQ(messages.Messages().size(), size_t(1));
  EXPECT_EQ(messages.Messages()[0],
            std::string("The response curve of the selected microphone is not valid"));
  EXPECT_EQ(proc.SelectedChart(), -1);
  EXPECT_EQ(dialog.NameLabel()->text(), QStringLiteral("Mic & Co"));
  // and so is an absolute chart (dB SPL), as every front end refuses it
  dialog.ChartList()->setCurrentRow(RowOf(dialog.ChartList(), QStringLiteral("SPL")));
  EXPECT_EQ(messages.Messages().size(), size_t(2));
  // no curve is drawn without a selection
  const QImage& plain = dialog.PaintPreview(810, 305);
  int redPixels = 0;
  for (int y = 0; y < plain.height(); ++y) {
    for (int x = 0; x < plain.width(); ++x) redPixels += plain.pixel(x, y) == red ? 1 : 0;
  }
  EXPECT_EQ(redPixels, 0);

  // "OK, Apply" remembers the selected chart
  const int flat = RowOf(dialog.ChartList(), QStringLiteral("Flat"));
  dialog.ChartList()->setCurrentRow(flat);
  EXPECT_EQ(dialog.Preview().rows[0], 149);  // 0 dB
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
  EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), std::string("Flat"));
  EXPECT_EQ(proc.SelectedChart(), flat);
}

// 250 pixels a decade: 8000 Hz lies 24 pixels left of 10000 Hz, less than their half widths (12
// + 15 pixels at 6 pixels a character); every other neighbour has room
TEST(PreviewLabels, EightThousandGivesWayToTenThousand) {
  std::vector<double> shown;
  for (const PreviewLabel& label : PreviewFrequencyLabels()) shown.push_back(label.frequency);
  EXPECT_EQ(shown, (std::vector<double>{20, 40, 60, 80, 100, 140, 200, 400, 600, 800, 1000, 1400,
                                        2000, 4000, 6000, 10000, 14000, 20000}));
}

// Under a light and a dark palette, the names' strokes and the unchecked entry's radio mark
// stand far from the list's background in lightness; the names keep RGB(8,0,0) where it reads.
TEST(RadioListBox, NamesAndMarksReadUnderALightAndADarkPalette) {
  QPalette dark;
  dark.setColor(QPalette::Base, QColor(35, 38, 41));
  dark.setColor(QPalette::Text, QColor(252, 252, 252));
  dark.setColor(QPalette::Window, QColor(49, 54, 59));  // the styles outline marks darker
  for (const bool isDark : {false, true}) {
    CRadioListBox list;
    if (isDark) list.setPalette(dark);
    list.resize(240, 80);
    list.addItems({QStringLiteral("Measurement mic"), QStringLiteral("Other")});
    list.setCurrentRow(0);
    list.show();
    const int base = list.palette().color(QPalette::Base).lightness();
    const auto Count = [&](QRect box, int apart, QRgb only = 0) {
      const QImage shown = list.viewport()->grab(box).toImage();
      int n = 0;
      for (int i = 0; i < shown.width() * shown.height(); ++i) {
        const QColor p = shown.pixelColor(i % shown.width(), i / shown.width());
        n += only != 0 ? p.rgb() == only : std::abs(p.lightness() - base) > apart;
      }
      return n;
    };
    const QRect name = list.visualItemRect(list.item(0)).adjusted(20, 0, 0, 0);
    QRect mark = list.visualItemRect(list.item(1));
    mark.setWidth(mark.height());
    EXPECT_GT(Count(name, 150), 20) << isDark;
    EXPECT_GT(Count(mark, 60), 8) << isDark;
    EXPECT_EQ(Count(name, 0, qRgb(8, 0, 0)) > 0, !isDark);
  }
}

TEST_F(MicroSelectTest, CancelAndCloseEndings) {
  CSharedState state;
  CMemoryPreferences preferences;
  preferences.WriteString("CalibFiles", m_folder);
  preferences.WriteString("MicroSelected", "flat");
  CScriptedMessages messages;
  CGraphical graph(state);
  CMicroListProc proc(state, preferences, messages, graph);

  // opened with a remembered microphone: listed, selected and previewed at once
  {
    CMicroSelect dialog(proc, messages, graph);
    const int flat = RowOf(dialog.ChartList(), QStringLiteral("Flat"));
    EXPECT_EQ(proc.SelectedChart(), flat);
    EXPECT_EQ(dialog.ChartList()->currentRow(), flat);
    EXPECT_EQ(dialog.NameLabel()->text(), QStringLiteral("Flat"));
    EXPECT_EQ(dialog.Preview().rows[10], 149);
    // the title bar's close leaves the selection and "MicroSelected" as they are
    dialog.show();
    dialog.close();
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
    EXPECT_EQ(proc.SelectedChart(), flat);
    EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), std::string("flat"));
    EXPECT_EQ(state.m_bCalibrationApplied.load(), 0);
  }
  // "Cancel": no selection, nothing remembered, not applied
  {
    state.m_bCalibrationApplied.store(1);
    CMicroSelect dialog(proc, messages, graph);
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
    EXPECT_EQ(proc.SelectedChart(), -1);
    EXPECT_EQ(preferences.StoredText(kPrefMicroSelected), std::string());
    EXPECT_EQ(state.m_bCalibrationApplied.load(), 0);
  }
  // the entry point: OK with a chart selected gives the applied state; Tab into the list
  // selects nothing, so OK then applies nothing; the title bar's close applies nothing
  for (const int end : {0, 1, 2}) {
    const bool ok = end == 0;
    preferences.WriteString("MicroSelected", ok ? "flat" : "");
    bool tabbedIn = end != 1;
    QTimer::singleShot(0, [&] {
      auto* dialog = dynamic_cast<CMicroSelect*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog != nullptr && (end != 1 || QTest::qWaitForWindowActive(dialog)));
      for (int tab = 0; !tabbedIn && tab < 8; ++tab) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        tabbedIn = QApplication::focusWidget() == dialog->ChartList();
      }
      if (end == 2) {
        dialog->close();
      } else {
        dialog->accept();
      }
    });
    EXPECT_EQ(RunMicrophoneSelection(proc, messages, graph), ok);
    EXPECT_TRUE(tabbedIn);
    EXPECT_EQ(state.m_bCalibrationApplied.load(), ok ? 1 : 0);
  }
}

TEST_F(MicroSelectTest, FolderBrowser) {
  const QString root = m_dir.path() + QStringLiteral("/browse");
  EXPECT_TRUE(QDir().mkpath(root + QStringLiteral("/plain")));
  EXPECT_TRUE(QDir().mkpath(root + QStringLiteral("/elsewhere")));
  EXPECT_TRUE(QFile::link(root + QStringLiteral("/elsewhere"), root + QStringLiteral("/link")));

  // confirm with the given entry selected (empty: cancel); the caption is checked too
  const auto browse = [&](const QString& select, std::string* chosen) {
    QTimer::singleShot(0, [select] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog != nullptr);
      EXPECT_EQ(dialog->windowTitle(),
                QStringLiteral("Folder where the Microphone Charts are located"));
      if (select.isEmpty()) {
        dialog->reject();
        return;
      }
      dialog->selectFile(select);
      static_cast<QDialog*>(dialog)->accept();
    });
    return BrowseForFolder(nullptr, root.toStdString(), kChartFolderCaption, chosen);
  };
  std::string chosen = "unchanged";
  EXPECT_TRUE(!browse(QString(), &chosen));
  EXPECT_EQ(chosen, std::string("unchanged"));
  EXPECT_TRUE(browse(root + QStringLiteral("/plain"), &chosen));
  EXPECT_EQ(chosen, (root + QStringLiteral("/plain")).toStdString());
  // a link to a folder does not change the chosen folder: the starting one stays
  EXPECT_TRUE(browse(root + QStringLiteral("/link"), &chosen));
  EXPECT_EQ(chosen, root.toStdString());
}

}  // namespace

}  // namespace quorvel
