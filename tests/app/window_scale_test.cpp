// The window on a desktop of any scale (CTest runs these at QT_SCALE_FACTOR 1, 1.25 and 2): the
// graph's labels read their own digits at the screen's resolution, a maximised window's marker
// reads the frequency under the mouse, every button lies on the screen (1366 x 768 at 1.25), and
// the coloured buttons' captions stand out from their faces under a dark theme.
#include <QAbstractButton>
#include <QFontMetrics>
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
#include "control/text_contrast.h"
#include "graph/curve_image_render.h"
#include "graph/graph_resources.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"
#include "tests/app/gui_test_support.h"

namespace quorvel {

namespace {

using WindowScaleTest = GuiTest;

// A label of the graph as it lays it out in its own pixels: its text with its baseline on a
// row, right-aligned or centred at x.
struct Label {
  std::string text;
  int x;
  int baseline;
  bool centred;
};

// The label as the graph lays it out at scale 1 (its font, alignment and colours), scaled:
// its place by `scale` across and down, its font's size by the smaller of the two, in a picture
// of `box` (device pixels).
QImage ScaledReference(const QFont& font, const Label& label, QPointF scale, const QRect& box) {
  QImage image(box.size(), QImage::Format_RGB32);
  image.fill(PaletteColor(kColorBackground));
  QFont scaled = font;
  scaled.setPixelSize(
      static_cast<int>(std::lround(font.pixelSize() * std::min(scale.x(), scale.y()))));
  QPainter painter(&image);
  painter.setFont(scaled);
  painter.setPen(Qt::black);
  const QString text = QString::fromStdString(label.text);
  const int advance = QFontMetrics(scaled).horizontalAdvance(text);
  const int x = static_cast<int>(std::floor(label.x * scale.x() + 0.5));
  painter.drawText(QPoint(x - (label.centred ? advance / 2 : advance) - box.x(),
                          static_cast<int>(std::floor(label.baseline * scale.y() + 0.5)) - box.y()),
                   text);
  painter.end();
  return image.convertToFormat(QImage::Format_Grayscale8);
}

// How unlike a picture (with a pixel around it) is a reference a pixel smaller each way: the
// least mean difference over the places within that pixel [grey levels].
double Distance(const QImage& shown, const QImage& reference) {
  double best = 1e9;
  for (int dy = 0; dy <= 2; ++dy) {
    for (int dx = 0; dx <= 2; ++dx) {
      double sum = 0.0;
      for (int y = 0; y < reference.height(); ++y) {
        for (int x = 0; x < reference.width(); ++x) {
          sum += std::abs(qGray(shown.pixel(x + dx, y + dy)) - qGray(reference.pixel(x, y)));
        }
      }
      best = std::min(best, sum / (reference.width() * reference.height()));
    }
  }
  return best;
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
  const int tickCount = BuildFrequencyTicks(20.0, 20000.0, ticks);
  for (int i = 0; i < tickCount; ++i) {
    if (ticks[i].labelled) {
      labels.push_back({CGraphical::FormatAxisNumber(6, ticks[i].frequency), ticks[i].x,
                        kGraphAreaHeight - 8, true});
    }
  }

  // Each label as shown looks like its own text at scale 1, scaled, and less like the text of
  // any other label of its length in its place; and it is drawn at the screen's resolution,
  // not enlarged from the picture.
  const QFont& font = GraphResources(Graph()).m_fontSmall;
  const int ascent = QFontMetrics(font).ascent();
  const QImage& picture = GraphPicture(Graph());
  for (const Label& label : labels) {
    const int width = 6 * static_cast<int>(label.text.size()) + 2;
    const QRect own(label.centred ? label.x - width / 2 : label.x + 1 - width,
                    label.baseline - ascent, width, 14);
    const QRect box(static_cast<int>(std::lround(own.x() * scale.x())),
                    static_cast<int>(std::lround(own.y() * scale.y())),
                    static_cast<int>(std::lround(own.width() * scale.x())),
                    static_cast<int>(std::lround(own.height() * scale.y())));
    const QImage mine =
        shown.copy(box.adjusted(-1, -1, 1, 1)).convertToFormat(QImage::Format_Grayscale8);
    const double self = Distance(mine, ScaledReference(font, label, scale, box));
    EXPECT_LT(self, 8.0) << label.text << " at " << scale.x();
    for (const Label& other : labels) {
      if (other.text.size() != label.text.size() || other.text == label.text) continue;
      Label there = label;
      there.text = other.text;
      EXPECT_LT(self, Distance(mine, ScaledReference(font, there, scale, box)))
          << label.text << " reads like " << other.text << " at " << scale.x();
    }
    if (box.size() != own.size()) {
      const QImage enlarged =
          picture.copy(own).scaled(box.size()).convertToFormat(QImage::Format_Grayscale8);
      EXPECT_NE(mine.copy(1, 1, box.width(), box.height()), enlarged) << label.text;
    }
  }
}

// A mouse event at a position of the area given to the pixel's fraction, as a fine pointer
// gives it.
void SendMouse(QWidget* widget, QEvent::Type type, const QPointF& at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

TEST_F(WindowScaleTest, AMaximisedWindowsMarkerReadsTheFrequencyUnderTheMouse) {
  OpenWindow();
  Graph().ClearCurve();
  for (int k = 0; k <= CGraphical::kLastPoint; ++k) Graph().AddPoint(-30.0);
  Shared().m_curveFmin = 20.0;
  Shared().m_curveFmax = 20000.0;
  Dialog().showMaximized();
  CGraphArea* area = Dialog().GraphArea();
  const QSize own(kGraphAreaWidth, kGraphAreaHeight);
  if (!ProcessUntil([&] { return area->size() != own; }, 2000)) {
    Dialog().setGeometry(Dialog().screen()->availableGeometry());  // no window manager (Xvfb)
  }
  ASSERT_NE(area->size(), own);

  // the point of 998 Hz, 566 thousandths of the way from 20 Hz to 20 kHz, in the middle of its
  // column as the area shows it
  const int point = 565;
  const double sx = area->width() / static_cast<double>(kGraphAreaWidth);
  const double sy = area->height() / static_cast<double>(kGraphAreaHeight);
  const QPointF start((kPlotLeft + 100 + 0.5) * sx, 200.5 * sy);
  const QPointF target((kPlotLeft + point + 0.5) * sx, 250.5 * sy);
  SendMouse(area, QEvent::MouseButtonPress, start);
  SendMouse(area, QEvent::MouseMove, target);
  SendMouse(area, QEvent::MouseButtonRelease, target);
  area->repaint();  // the drawing reads the marker's frequency
  EXPECT_EQ(Graph().m_cursorIndex, point);
  EXPECT_NEAR(Graph().m_cursorFreq, PointFrequency(point + 1, 20.0, 20000.0), 0.5);
}

// Every point of a widget's rectangle on the available area of its screen.
void ExpectOnScreen(const QWidget* widget, const QString& name) {
  const QRect area = widget->screen()->availableGeometry();
  const QRect rect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
  EXPECT_TRUE(area.contains(rect))
      << name.toStdString() << ": " << rect.x() << "," << rect.y() << " " << rect.width() << "x"
      << rect.height() << " on " << area.width() << "x" << area.height();
}

TEST_F(WindowScaleTest, EveryButtonLiesOnTheScreenAndSoDoTheHelpAndMicrophoneWindows) {
  OpenWindow();
  for (const QAbstractButton* button : Dialog().findChildren<QAbstractButton*>()) {
    ExpectOnScreen(button, button->text());
  }
  const std::string page = (m_folder / "Quorvel.html").string();
  std::ofstream(page) << "<html><body><h1>Quorvel Help</h1></body></html>";
  std::snprintf(Shared().m_szHelpFile, sizeof Shared().m_szHelpFile, "%s", page.c_str());
  Click(Dialog().HelpButton());
  ASSERT_NE(Dialog().HelpWindow(), nullptr);
  ExpectOnScreen(Dialog().HelpWindow(), "help window");
  bool shown = false;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    shown = true;
    for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
      ExpectOnScreen(button, "microphone dialog: " + button->text());
    }
    QMetaObject::invokeMethod(dialog, "reject");
  });
  Click(Dialog().CalibrationButton());
  EXPECT_TRUE(shown);
}

TEST_F(WindowScaleTest, TheColourButtonsCaptionsStandOutFromTheirFacesUnderAnyTheme) {
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base}) {
    dark.setColor(role, QColor(53, 53, 53));
  }
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
    dark.setColor(role, QColor(255, 255, 255));
  }
  for (const QPalette& palette : {light, dark}) {
    QApplication::setPalette(palette);
    OpenWindow();
    for (const bool on : {false, true}) {
      Dialog().SetStartButton(on);
      Dialog().SetInputButton(on);
      Dialog().SetCalibrationButton(on);
      Dialog().SetSmoothButton(on);
      for (CColourButton* button : {Dialog().StartButton(), Dialog().InputButton(),
                                    Dialog().CalibrationButton(), Dialog().SmoothButton()}) {
        // the caption's strongest contrast with the face, inside the bevel
        const QImage image = button->grab().toImage();
        const QColor face = button->Face();
        const int bevel = static_cast<int>(std::ceil(3 * image.devicePixelRatio()));
        double contrast = 1.0;
        for (int y = bevel; y < image.height() - bevel; ++y) {
          for (int x = bevel; x < image.width() - bevel; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            contrast =
                std::max(contrast, ContrastRatio({face.red(), face.green(), face.blue()},
                                                 {pixel.red(), pixel.green(), pixel.blue()}));
          }
        }
        EXPECT_GE(contrast, 4.5) << button->text().toStdString() << " on "
                                 << face.name().toStdString();
      }
    }
    m_dialog.reset();
    m_core.reset();
  }
  QApplication::setPalette(light);
}

}  // namespace

}  // namespace quorvel
