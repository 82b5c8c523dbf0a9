// PrintCurve and the Print button end to end: printed to a PDF file through a scripted chooser
// and rendered back with pdftoppm; cancelled and failing jobs; the real print dialog; the title.
#include "print/print_curve.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTimer>
#include <cstring>
#include <fstream>

#include "tests/base/scripted_messages.h"
#include "tests/print/print_test_support.h"

namespace quorvel {
namespace {

// Prints to a PDF file on A4 with 10 mm margins, or cancels; notes how the printer came.
struct CScriptedChooser : IPrinterChooser {
  explicit CScriptedChooser(const std::string& pdf, bool prints = true)
      : file(pdf), print(prints) {}
  bool ChoosePrinter(QPrinter& printer) override {
    ++asked;
    prepared = {printer.pageLayout().orientation() == QPageLayout::Landscape, printer.fromPage(),
                printer.toPage(), printer.docName().toStdString()};
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    origin = printer.pageLayout().paintRectPoints().topLeft();
    return print && file.ChoosePrinter(printer);
  }
  CPdfFileChooser file;
  bool print;
  int asked = 0;
  std::tuple<bool, int, int, std::string> prepared;
  QPointF origin;  // of the printable area [points]
};

TEST(PrintCurve, PrintsTheTitleBandAndTheCurveOnOneLandscapePdfPage) {
  CPaintedGraph painted;
  const QImage shown = painted.Paint();
  std::strcpy(painted.shared.m_szWavPath, "/home/ann/Wav/kitchen speaker.wav");
  const CTempFolder folder;
  const std::string pdf = folder / "curve.pdf";
  CScriptedChooser chooser(pdf);
  CScriptedMessages messages;
  ASSERT_TRUE(PrintShownGraph(painted.graph, messages, chooser)) << messages.All();
  EXPECT_EQ(messages.All(), "");
  EXPECT_EQ(chooser.prepared, std::make_tuple(true, 1, 1, std::string("Quorvel")));
  EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
  EXPECT_EQ(PdfInfo(pdf, "Title"), "Quorvel");
  EXPECT_EQ(PdfInfo(pdf, "Page size"), "842 x 595 pts (A4)");
  // drawn in lines and text: no picture on the page (pdfimages lists a header of two lines)
  EXPECT_EQ(quorvel::Run("pdfimages -list '" + pdf + "' | tail -n +3"), "");
  EXPECT_NE(quorvel::Run("pdffonts '" + pdf + "'").find("LiberationMono"), std::string::npos);

  // rendered at 200 dpi: picture pixel (x, y) lies at the printable area's corner
  // + (120 + E x, 240 + E y) / 6, the printer drawing at 1200 dpi on 277 printable mm
  const QImage page = RenderPdf(pdf, 200);
  const double scale = 0.966 * 277.0 / 25.4 * 1200 / kAreaWidth;
  const auto At = [&](double x, double y) {
    return chooser.origin / 0.36 + QPointF(120 + scale * x, 240 + scale * y) / 6;
  };
  // the title centred in the band above the graph
  const QRect band = QRectF(At(0, 0), At(kAreaWidth, 40)).toRect().adjusted(2, 2, -2, -2);
  EXPECT_NEAR(BoundingBox(page, IsDark, band).center().x(), At(kAreaWidth / 2.0, 0).x(), 3.0);
  EXPECT_TRUE(IsRgb(page.pixel(band.left() + 3, band.center().y()), 255, 245, 220));
  // the curve across the plot on its row in the graph, within 3 pixels (1.5 picture pixels)
  // as poppler rounds and smooths the stretched picture
  const QRect inGraph = BoundingBox(shown, IsRed);
  const QRect curve = BoundingBox(page, IsRed);
  EXPECT_NEAR(curve.left(), At(inGraph.left(), 0).x(), 3.0);
  EXPECT_NEAR(curve.right(), At(inGraph.right() + 1, 0).x(), 3.0);
  EXPECT_NEAR(curve.center().y(), At(0, 40 + inGraph.center().y() + 0.5).y(), 3.0);

  // the caption as tall beside the picture as on screen: its 16-pixel cell times E [points]
  const QRegularExpressionMatch word =
      QRegularExpression(R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">Response<)re")
          .match(QString::fromStdString(quorvel::Run("pdftotext -bbox '" + pdf + "' -")));
  ASSERT_TRUE(word.hasMatch());
  const double cell = 16 * scale * 72 / 1200;  // about 11.4 points
  EXPECT_NEAR(word.captured(2).toDouble() - word.captured(1).toDouble(), cell, 0.2 * cell);
}

TEST(PrintCurve, NothingPaintedCancelledOrUnwritableEndsWithoutAPage) {
  const CTempFolder folder;
  CScriptedMessages messages;
  CPaintedGraph unpainted;
  CScriptedChooser chooser(folder / "none.pdf");
  EXPECT_FALSE(PrintShownGraph(unpainted.graph, messages, chooser));
  EXPECT_FALSE(PrintCurve("x", unpainted.graph, messages, chooser));
  EXPECT_EQ(chooser.asked, 0);

  CPaintedGraph painted;
  painted.Paint();
  CScriptedChooser cancel(folder / "cancelled.pdf", false);
  EXPECT_TRUE(PrintCurve("x", painted.graph, messages, cancel));
  EXPECT_EQ(cancel.asked, 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "cancelled.pdf"));
  EXPECT_EQ(messages.All(), "");

  std::ofstream(folder / "file") << "not a folder";
  CScriptedChooser unwritable(folder / "file/curve.pdf");
  EXPECT_FALSE(PrintCurve("x", painted.graph, messages, unwritable));
  EXPECT_EQ(messages.All(), std::string(kMsgPrintJob) + "\n");
}

TEST(PrintCurve, PrintDialogOpensLandscapeOnPageOneOnlyAndCancelPrintsNothing) {
  CPaintedGraph painted;
  painted.Paint();
  std::tuple<bool, int, int, int, int, bool> seen;
  QTimer poll;  // answers the modal dialog once it shows
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    poll.stop();
    seen = {dialog->printer()->pageLayout().orientation() == QPageLayout::Landscape,
            dialog->minPage(),
            dialog->maxPage(),
            dialog->fromPage(),
            dialog->toPage(),
            dialog->testOption(QAbstractPrintDialog::PrintToFile)};
    dialog->reject();
  });
  poll.start(10);
  CScriptedMessages messages;
  CPrintDialogChooser dialog;
  EXPECT_TRUE(PrintCurve("x", painted.graph, messages, dialog));
  EXPECT_EQ(messages.All(), "");
  EXPECT_EQ(seen, std::make_tuple(true, 1, 1, 1, 1, true));  // a PDF file is offered too
}

TEST(PrintCurve, TitleIsTheCaptureNameOrQuorvel) {
  const std::pair<const char*, const char*> cases[] = {
      {"/home/ann/Wav/kitchen speaker.wav", "kitchen speaker"},
      {"/home/ann/.local/share/Quorvel/Wav", "Wav"},  // the capture folder, before any file
      {"C:\\Data\\Wav\\take.2.wav", "take.2"},
      {"/x/Wav/B\xc3\xbchne.wav", "B\xc3\xbchne"},
      {"ab", "ab"},
      {"a", "Quorvel"},
      {"", "Quorvel"},
  };
  for (const auto& [path, title] : cases) EXPECT_EQ(PrintTitle(path), title) << path;
}

}  // namespace
}  // namespace quorvel
