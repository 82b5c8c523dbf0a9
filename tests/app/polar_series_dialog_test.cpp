// "Polar Series" from the main window's menu, on the simulated loudspeaker: a short series with a
// prompt before each angle saves its captures by their names, and its views draw and export.
#include "app/polar_series_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QTabWidget>

#include "app/polar_series_views.h"
#include "control/polar/polar_angles.h"
#include "control/workbench/workbench_session.h"
#include "graph/polar_plots.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

// The view drawn on a white picture, and how many of its pixels are not white.
QImage Drawn(const CPolarSeriesViews& views, CPolarSeriesViews::View view, int* inked) {
  QImage image(900, 600, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  views.PaintView(painter, image.rect(), view);
  painter.end();
  *inked = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) *inked += image.pixel(x, y) != 0xffffffff ? 1 : 0;
  }
  return image;
}

using PolarSeriesDialogTest = GuiTest;

TEST_F(PolarSeriesDialogTest, ASeriesRunsFromTheMenuSavesItsCapturesAndDrawsItsViews) {
  OpenWindow();
  std::unique_ptr<QMenu> menu(Dialog().CreateWindowMenu());
  for (QAction* action : menu->actions()) {
    if (action->text() == CQuorvelDlg::kPolarEntry) action->trigger();
  }
  auto* polar = Dialog().findChild<CPolarSeriesDialog*>();
  ASSERT_NE(polar, nullptr);
  const std::string folder = (m_folder / "series").string();
  std::filesystem::create_directories(folder);
  polar->NameEdit()->setText("woofer");
  polar->AnglesEdit()->setText("0, 45");
  polar->FolderEdit()->setText(QString::fromStdString(folder));

  ASSERT_TRUE(polar->StartSeries(false)) << m_messages.All();
  ASSERT_TRUE(ProcessUntil([&] {
    const PolarRunState state = polar->Run().State();
    return state != PolarRunState::kTurn && state != PolarRunState::kMeasuring;
  }));
  ASSERT_EQ(polar->Run().State(), PolarRunState::kDone) << m_messages.All();
  const std::vector<std::string> shown = m_messages.Messages();
  EXPECT_NE(std::find(shown.begin(), shown.end(), TurnPrompt(45)), shown.end());
  EXPECT_TRUE(IsWholeCapture(folder + "/woofer hor 0.wav"));
  EXPECT_TRUE(IsWholeCapture(folder + "/woofer hor 45.wav"));
  ASSERT_EQ(polar->AngleList()->count(), 2);
  EXPECT_EQ(polar->AngleList()->item(1)->text(), "hor 45: saved");
  // the series' captures joined the session's list once it stopped
  const std::vector<SessionEntry>& entries = m_core->Workbench().List().Document().entries;
  ASSERT_EQ(entries.size(), 2U) << m_messages.All();
  EXPECT_EQ(entries[1].capturePath, folder + "/woofer hor 45.wav");

  // the views of the series read back from its captures, each its own picture
  CPolarSeriesViews* views = polar->Views();
  ASSERT_EQ(views->Series().responses.size(), 2U) << m_messages.All();
  int inked[3] = {};
  const QImage map = Drawn(*views, CPolarSeriesViews::View::kMap, &inked[0]);
  const QImage plot = Drawn(*views, CPolarSeriesViews::View::kPolar, &inked[1]);
  const QImage overlay = Drawn(*views, CPolarSeriesViews::View::kOverlay, &inked[2]);
  for (const int count : inked) EXPECT_GT(count, 900 * 600 / 20);
  EXPECT_NE(map, plot);
  EXPECT_NE(plot, overlay);
  views->NormalizedBox()->setChecked(true);
  int normalizedInk = 0;
  EXPECT_NE(Drawn(*views, CPolarSeriesViews::View::kMap, &normalizedInk), map);

  const std::string png = (m_folder / "map.png").string();
  m_messages.ChooseNext(png);
  ASSERT_TRUE(views->ExportCurrent()) << m_messages.All();
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(),
            QSize(kPolarMapWidth, kPolarMapPanelHeight));

  // a resume with everything there measures nothing
  ASSERT_TRUE(polar->StartSeries(true));
  EXPECT_EQ(polar->Run().State(), PolarRunState::kDone);
  EXPECT_TRUE(polar->Run().SavedPaths().empty());
  EXPECT_EQ(polar->AngleList()->item(0)->text(), "hor 0: kept (its capture was whole)");
}

}  // namespace

}  // namespace quorvel
