// The window at QT_SCALE_FACTOR 1, 1.25 (on 1366 x 768) and 2, as CTest runs these: the graph's
// labels read their own digits, a maximised window's marker reads the frequency under the mouse,
// every button lies on the screen, the coloured buttons' captions stand out under a dark theme.
#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <vector>

#include "app/colour_button.h"
#include "app/graph_area.h"
#include "app/help_window.h"
#include "base/point_frequency.h"
#include "base/shared_state.h"
#include "control/window/text_contrast.h"
#include "graph/curve_image_export.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

using WindowScaleTest = GuiTest;

// A label as the graph lays it out: its baseline on a row, right-aligned or centred at x.
struct Label {
  std::string text;
  int x;
  int baseline;
  bool centred;
};

// The label at scale 1, scaled (its font by the smaller scale), in a picture of `box`.
QImage ScaledReference(QFont font, const Label& label, QPointF scale, const QRect& box) {
  QImage image(box.size(), QImage::Format_RGB32);
  image.fill(PaletteColor(kColorBackground));
  font.setPixelSize(
      static_cast<int>(std::lround(font.pixelSize() * std::min(scale.x(), scale.y()))));
  QPainter painter(&image);
  painter.setFont(font);
  const QString text = QString::fromStdString(label.text);
  const int advance = painter.fontMetrics().horizontalAdvance(text);
  painter.drawText(static_cast<int>(std::floor(label.x * scale.x() + 0.5)) - box.x() -
                       (label.centred ? advance / 2 : advance),
                   static_cast<int>(std::floor(label.baseline * scale.y() + 0.5)) - box.y(), text);
  return image.convertToFormat(QImage::Format_Grayscale8);
}

// Mean difference of two grey pictures of one size [grey levels].
double Distance(const QImage& a, const QImage& b) {
  double sum = 0.0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x)
      sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
  }
  return sum / (a.width() * a.height());
}

TEST_F(WindowScaleTest, TheGridLabelsReadTheirOwnDigits) {
  OpenWindow();  // its graph area as the screen lets it be: smaller on a small screen
  const QImage shown = Dialog().GraphArea()->grab().toImage();
  const QPointF scale(static_cast<double>(shown.width()) / kGraphAreaWidth,
                      static_cast<double>(shown.height()) / kGraphAreaHeight);
  // the level labels right-aligned at x 27, the frequency labels centred on their ticks
  std::vector<Label> labels;
  for (int i = 0; i < kLevelRowCount; i += 3) {
    char text[32];
    FormatLevelLabel(text, sizeof text, -90.0 + 2 * i);
    labels.push_back({text, 27, kGraphAreaHeight - LevelRowHeight(i) + 4, false});
  }
  FrequencyTick ticks[kMaxFrequencyTicks];
  for (int i = 0; i < BuildFrequencyTicks(20.0, 20000.0, ticks); ++i) {
    if (ticks[i].labelled) {
      labels.push_back({CGraphical::FormatAxisNumber(6, ticks[i].frequency), ticks[i].x,
                        kGraphAreaHeight - 8, true});
    }
  }
  // Each label as shown looks like itself at scale 1, scaled, and less like any other label of
  // its length in its place.
  const QFont& font = GraphResources(Graph()).m_fontSmall;
  for (const Label& label : labels) {
    const int width = 6 * static_cast<int>(label.text.size()) + 2;
    const QRectF own(label.centred ? label.x - width / 2 : label.x + 1 - width,
                     label.baseline - QFontMetrics(font).ascent(), width, 14);
    const QRect box(QPoint(static_cast<int>(std::lround(own.x() * scale.x())),
                           static_cast<int>(std::lround(own.y() * scale.y()))),
                    QSize(static_cast<int>(std::lround(own.width() * scale.x())),
                          static_cast<int>(std::lround(own.height() * scale.y()))));
    const QImage mine = shown.copy(box).convertToFormat(QImage::Format_Grayscale8);
    const double self = Distance(mine, ScaledReference(font, label, scale, box));
    EXPECT_LT(self, 8.0) << label.text << " at " << scale.x();
    for (const Label& other : labels) {
      if (other.text.size() != label.text.size() || other.text == label.text) continue;
      const Label there{other.text, label.x, label.baseline, label.centred};
      EXPECT_LT(self, Distance(mine, ScaledReference(font, there, scale, box)))
          << label.text << " reads like " << other.text << " at " << scale.x();
    }
  }
}

TEST_F(WindowScaleTest, AMaximisedWindowsMarkerReadsTheFrequencyUnderTheMouse) {
  OpenWindow();
  Graph().ClearCurve();
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) Graph().AddPoint(-30.0);
  Dialog().showMaximized();
  CGraphArea* area = Dialog().GraphArea();
  const QSize own(kGraphAreaWidth, kGraphAreaHeight);
  if (!ProcessUntil([&] { return area->size() != own; }, 2000)) {
    Dialog().setGeometry(Dialog().screen()->availableGeometry());  // no window manager (Xvfb)
  }
  ASSERT_NE(area->size(), own);
  // a press, as a fine pointer gives it, in the middle of the column of the point of 998 Hz
  // (566 thousandths of the way from 20 Hz to 20 kHz) as the area shows it
  const int point = 565;
  const QPointF at((kPlotLeft + point + 0.5) * area->width() / kGraphAreaWidth,
                   250.5 * area->height() / kGraphAreaHeight);
  for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, area->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {});
    QCoreApplication::sendEvent(area, &event);
  }
  area->repaint();  // the drawing reads the marker's frequency
  EXPECT_EQ(Graph().m_cursorIndex, point);
  EXPECT_NEAR(Graph().m_cursorFreq, PointFrequency(point + 1, 20.0, 20000.0), 0.5);
}

// A widget wholly on the available area of its screen.
bool OnScreen(const QWidget* widget) {
  return widget->screen()->availableGeometry().contains(
      QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
}

// Every button of a window on the screen.
void ExpectButtonsOnScreen(const QWidget* window) {
  for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    EXPECT_TRUE(OnScreen(button)) << button->text().toStdString();
  }
}

TEST_F(WindowScaleTest, EveryButtonLiesOnTheScreenAndSoDoTheHelpAndMicrophoneWindows) {
  OpenWindow();
  ExpectButtonsOnScreen(&Dialog());
  const std::string page = (m_folder / "Quorvel.html").string();
  std::ofstream(page) << "<html><body><h1>Quorvel Help</h1></body></html>";
  std::snprintf(Shared().m_szHelpFile, sizeof Shared().m_szHelpFile, "%s", page.c_str());
  Click(Dialog().HelpButton());
  ASSERT_NE(Dialog().HelpWindow(), nullptr);
  EXPECT_TRUE(OnScreen(Dialog().HelpWindow()));
  bool shown = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget(); dialog != nullptr) {
      shown = true;
      ExpectButtonsOnScreen(dialog);
      QMetaObject::invokeMethod(dialog, "reject");
    }
  });
  Click(Dialog().CalibrationButton());
  EXPECT_TRUE(shown);
}

// Each label's text, as wide and as tall as its font makes it, fits the label's box.
void ExpectLabelsFit(const QWidget* window) {
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    const QSize text = label->fontMetrics().size(0, label->text());
    EXPECT_LE(text.width(), label->contentsRect().width()) << label->text().toStdString();
    EXPECT_LE(text.height(), label->contentsRect().height()) << label->text().toStdString();
  }
}

TEST_F(WindowScaleTest, EveryLabelOfTheWindowAndTheMicrophoneDialogFitsItsBox) {
  OpenWindow();
  EXPECT_EQ(QFontInfo(Dialog().font()).family().toStdString(), "Liberation Sans");
  ExpectLabelsFit(&Dialog());
  int dialogs = 0;
  QTimer::singleShot(0, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget(); dialog != nullptr) {
      dialogs += 1;
      ExpectLabelsFit(dialog);
      QMetaObject::invokeMethod(dialog, "reject");
    }
  });
  Click(Dialog().CalibrationButton());
  EXPECT_EQ(dialogs, 1);
}

TEST_F(WindowScaleTest, TheColourButtonsCaptionsStandOutFromTheirFacesUnderADarkTheme) {
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Button, QColor(53, 53, 53));
  dark.setColor(QPalette::ButtonText, QColor(255, 255, 255));
  QApplication::setPalette(dark);
  OpenWindow();
  QApplication::setPalette(light);  // the window keeps the faces it took
  for (const bool on : {false, true}) {
    Dialog().SetStartButton(on);
    Dialog().SetInputButton(on);
    Dialog().SetCalibrationButton(on);
    Dialog().SetSmoothButton(on);
    for (CColourButton* button : Dialog().findChildren<CColourButton*>()) {
      // the caption's strongest contrast with the face, inside the bevel
      const QImage image = button->grab().toImage();
      const QColor face = button->Face();
      const int bevel = static_cast<int>(std::ceil(3 * image.devicePixelRatio()));
      double contrast = 1.0;
      for (int y = bevel; y < image.height() - bevel; ++y) {
        for (int x = bevel; x < image.width() - bevel; ++x) {
          const QColor p = image.pixelColor(x, y);
          contrast = std::max(contrast, ContrastRatio({face.red(), face.green(), face.blue()},
                                                      {p.red(), p.green(), p.blue()}));
        }
      }
      EXPECT_GE(contrast, 4.5) << button->text().toStdString() << " on "
                               << face.name().toStdString();
    }
  }
}

}  // namespace

}  // namespace quorvel
