// GUI tests of the microphone selection dialog (Qt Test, offscreen platform) with a scripted
// folder chooser and message box: the list filled from a chosen folder, a selection previewed
// and drawn, a refused chart with its message, and what "OK, Apply", "Cancel" and the title
// bar's close leave behind; and the folder browser itself with a plain folder, a link and a
// cancel.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/memory_preferences.h"
#include "base/preferences.h"
#include "base/shared_state.h"
#include "base/user_messages.h"
#include "calibration/chart_folder_browser.h"
#include "calibration/micro_list_proc.h"
#include "calibration/micro_select.h"
#include "calibration/radio_list_box.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

class ScriptedMessages : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, const std::string& /*caption*/) override {
    shown.push_back(text);
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseOpenFile(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool ChooseFolder(const std::string& startFolder, const std::string& caption,
                    std::string* path) override {
    chooserStart = startFolder;
    chooserCaption = caption;
    if (folder.empty()) return false;
    *path = folder;
    return true;
  }
  std::vector<std::string> shown;
  std::string folder;  // empty: the chooser is cancelled
  std::string chooserStart;
  std::string chooserCaption;
};

class Button : public ICalibrationButton {
 public:
  void SetCalibrationButton(bool applied) override { states.push_back(applied); }
  std::vector<bool> states;
};

int RowOf(CRadioListBox* list, const QString& name) {
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->text() == name) return i;
  }
  return -1;
}

}  // namespace

class MicroSelectTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  std::string m_folder;

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(m_folder + "/" + name, std::ios::binary) << text;
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.path().toStdString();
    Write("Mic & Co.txt", "20 -30\n20000 20\n");  // straight across the whole scale
    Write("Flat.frd", "20 0\n20000 0\n");
    Write("Quiet.txt", "20 -40\n20000 -35\n");  // at the bottom of the scale: refused
  }

  void SelectsPreviewsAndApplies() {
    CSharedState state;
    CMemoryPreferences preferences;
    ScriptedMessages messages;
    Button button;
    CGraphical graph(state);
    CMicroListProc proc(state, preferences, messages, graph);
    proc.SetButton(&button);

    CMicroSelect dialog(proc, messages, graph);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Microphone selection"));
    QCOMPARE(dialog.FolderBox()->text(), QStringLiteral("Select a Directory"));
    QCOMPARE(dialog.ChartList()->count(), 0);

    // "Select ": the chooser starts on the (empty) chart folder with its caption
    messages.folder = m_folder;
    QTest::mouseClick(dialog.SelectButton(), Qt::LeftButton);
    QCOMPARE(messages.chooserCaption,
             std::string("Folder where the Microphone Charts are located"));
    QCOMPARE(messages.chooserStart, std::string());
    QCOMPARE(dialog.ChartList()->count(), 3);
    QCOMPARE(dialog.FolderBox()->text(), QString::fromStdString(m_folder));
    QCOMPARE(preferences.StoredText(kPrefCalibFiles), m_folder);
    QVERIFY(RowOf(dialog.ChartList(), QStringLiteral("Mic & Co")) >= 0);  // "&" kept as it is

    // a selection is previewed: a two-pixel red line through the rows
    const int mic = RowOf(dialog.ChartList(), QStringLiteral("Mic & Co"));
    dialog.ChartList()->setCurrentRow(mic);
    QCOMPARE(proc.SelectedChart(), mic);
    QCOMPARE(dialog.NameLabel()->text(), QStringLiteral("Mic & Co"));
    const QImage& picture = dialog.PaintPreview(810, 305);
    QVERIFY(!picture.isNull());
    const int ch = picture.height();
    const QRgb red = qRgb(255, 0, 0);
    for (int i = 1; i < 749; i += 37) {
      const int row = dialog.Preview().rows[size_t(i)];
      QCOMPARE(picture.pixel(30 + i, ch - 22 - row), red);
      QCOMPARE(picture.pixel(30 + i, ch - 23 - row), red);
    }
    QCOMPARE(picture.pixel(30, ch - 100), qRgb(0, 0, 0));        // level axis
    QCOMPARE(picture.pixel(400, ch - 22), qRgb(0, 0, 0));        // frequency axis
    QCOMPARE(picture.pixel(280, ch - 150), qRgb(240, 60, 240));  // 200 Hz line
    QCOMPARE(picture.pixel(0, 0), qRgb(128, 128, 128));          // frame
    QCOMPARE(picture.pixel(795, 5), qRgb(255, 245, 220));        // background
    QVERIFY(messages.shown.empty());

    // a chart at the bottom of the scale is refused; the name above the list stays
    dialog.ChartList()->setCurrentRow(RowOf(dialog.ChartList(), QStringLiteral("Quiet")));
    QCOMPARE(messages.shown.size(), size_t(1));
    QCOMPARE(messages.shown[0],
             std::string("The response curve of the selected microphone is not valid"));
    QCOMPARE(proc.SelectedChart(), -1);
    QCOMPARE(dialog.NameLabel()->text(), QStringLiteral("Mic & Co"));
    // no curve is drawn without a selection
    const QImage& plain = dialog.PaintPreview(810, 305);
    int redPixels = 0;
    for (int y = 0; y < plain.height(); ++y) {
      for (int x = 0; x < plain.width(); ++x) redPixels += plain.pixel(x, y) == red ? 1 : 0;
    }
    QCOMPARE(redPixels, 0);

    // "OK, Apply" remembers the selected chart
    const int flat = RowOf(dialog.ChartList(), QStringLiteral("Flat"));
    dialog.ChartList()->setCurrentRow(flat);
    QCOMPARE(dialog.Preview().rows[0], 149);  // 0 dB
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(preferences.StoredText(kPrefMicroSelected), std::string("Flat"));
    QCOMPARE(proc.SelectedChart(), flat);
  }

  void CancelAndCloseEndings() {
    CSharedState state;
    CMemoryPreferences preferences;
    preferences.WriteString("CalibFiles", m_folder);
    preferences.WriteString("MicroSelected", "flat");
    ScriptedMessages messages;
    Button button;
    CGraphical graph(state);
    CMicroListProc proc(state, preferences, messages, graph);
    proc.SetButton(&button);

    // opened with a remembered microphone: listed, selected and previewed at once
    {
      CMicroSelect dialog(proc, messages, graph);
      const int flat = RowOf(dialog.ChartList(), QStringLiteral("Flat"));
      QCOMPARE(proc.SelectedChart(), flat);
      QCOMPARE(dialog.ChartList()->currentRow(), flat);
      QCOMPARE(dialog.NameLabel()->text(), QStringLiteral("Flat"));
      QCOMPARE(dialog.Preview().rows[10], 149);
      // the title bar's close leaves the selection and "MicroSelected" as they are
      dialog.show();
      dialog.close();
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
      QCOMPARE(proc.SelectedChart(), flat);
      QCOMPARE(preferences.StoredText(kPrefMicroSelected), std::string("flat"));
      QVERIFY(button.states.empty());
    }
    // "Cancel": no selection, nothing remembered, not applied
    {
      state.m_bCalibrationApplied.store(1);
      CMicroSelect dialog(proc, messages, graph);
      QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
      QCOMPARE(proc.SelectedChart(), -1);
      QCOMPARE(preferences.StoredText(kPrefMicroSelected), std::string());
      QCOMPARE(state.m_bCalibrationApplied.load(), 0);
      QCOMPARE(button.states, std::vector<bool>{false});
    }
    // the entry point: OK with a chart selected gives the applied state; Tab into the list
    // selects nothing, so OK then applies nothing; the title bar's close applies nothing
    for (const int end : {0, 1, 2}) {
      const bool ok = end == 0;
      preferences.WriteString("MicroSelected", ok ? "flat" : "");
      bool tabbedIn = end != 1;
      QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<CMicroSelect*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr && (end != 1 || QTest::qWaitForWindowActive(dialog)));
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
      QCOMPARE(RunMicrophoneSelection(proc, messages, graph), ok);
      QVERIFY(tabbedIn);
      QCOMPARE(state.m_bCalibrationApplied.load(), ok ? 1 : 0);
      QCOMPARE(button.states.back(), ok);
    }
  }

  void FolderBrowser() {
    const QString root = m_dir.path() + QStringLiteral("/browse");
    QVERIFY(QDir().mkpath(root + QStringLiteral("/plain")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/elsewhere")));
    QVERIFY(QFile::link(root + QStringLiteral("/elsewhere"), root + QStringLiteral("/link")));

    // confirm with the given entry selected (empty: cancel); the caption is checked too
    const auto browse = [&](const QString& select, std::string* chosen) {
      QTimer::singleShot(0, [select] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(),
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
    QVERIFY(!browse(QString(), &chosen));
    QCOMPARE(chosen, std::string("unchanged"));
    QVERIFY(browse(root + QStringLiteral("/plain"), &chosen));
    QCOMPARE(chosen, (root + QStringLiteral("/plain")).toStdString());
    // a link to a folder does not change the chosen folder: the starting one stays
    QVERIFY(browse(root + QStringLiteral("/link"), &chosen));
    QCOMPARE(chosen, root.toStdString());
  }
};

}  // namespace quorvel

QTEST_MAIN(quorvel::MicroSelectTest)
#include "micro_select_test.moc"
