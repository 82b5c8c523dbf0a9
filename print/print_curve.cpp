// PrintCurve: the graph as shown, with its title band and caption, on one page of the printer
// the user chooses in Qt PrintSupport's print dialog (a printer queue or a PDF file).
#include "print/print_curve.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <cstring>

#include "base/shared_state.h"
#include "base/user_messages.h"
#include "base/util.h"
#include "graph/graph_resources.h"
#include "graph/graphical.h"
#include "measurement/measurement.h"
#include "print/print_page.h"

namespace quorvel {

namespace {

constexpr char kDocumentName[] = "Quorvel";
constexpr char kDefaultTitle[] = "Quorvel";

}  // namespace

bool CPrintDialogChooser::ChoosePrinter(QPrinter& printer) {
  QPrintDialog dialog(&printer, m_parent);
  dialog.setMinMax(1, 1);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);  // with printing to a file
  return dialog.exec() == QDialog::Accepted;
}

bool CPdfFileChooser::ChoosePrinter(QPrinter& printer) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(
      QString::fromUtf8(m_path.data(), static_cast<qsizetype>(m_path.size())));
  return true;
}

std::string PrintTitle(const char* wavPath) {
  if (wavPath == nullptr || strnlen(wavPath, 2) < 2) return kDefaultTitle;
  return CUtil::StripExtension(CUtil::FileNameOfPath(wavPath));
}

bool PrintCurve(const std::string& title, CGraphical& graph, IUserMessages& messages,
                IPrinterChooser& chooser, const CGraphical::View* view) {
  // nothing painted yet: nothing shown to print
  if (GraphPicture(graph).isNull()) return false;

  // At the high resolution Qt draws the page of every Linux printer (and of a PDF file) through
  // its PDF engine at 1200 dpi: the fixed 120 x 240 pixel offset stays a small margin, and the
  // picture fits the printable width, on every page size in use.
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setDocName(QString::fromLatin1(kDocumentName));
  printer.setFromTo(1, 1);
  printer.setPrintRange(QPrinter::PageRange);
  if (!chooser.ChoosePrinter(printer)) return true;  // cancelled
  if (!printer.isValid()) {
    // the chosen queue is gone from the system
    messages.ShowMessage(kMsgPrinterNotFound);
    return false;
  }

  const PrintableArea area = PrintableAreaOf(printer);
  QPainter painter;
  if (!painter.begin(&printer)) {
    messages.ShowMessage(kMsgPrintJob);
    return false;
  }
  DrawPrintPage(painter, graph,
                QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())), area,
                GraphResources(graph).m_fontMedium, view);
  if (!painter.end()) {
    messages.ShowMessage(kMsgPrintJob);
    return false;
  }
  return true;
}

bool PrintShownGraph(CGraphical& graph, IUserMessages& messages, IPrinterChooser& chooser,
                     const Measurement* measurement) {
  if (GraphPicture(graph).isNull()) return false;
  const std::string title = PrintTitle(graph.Shared().m_szWavPath);
  if (measurement == nullptr) return PrintCurve(title, graph, messages, chooser);
  const CSharedState& shared = graph.Shared();
  const CGraphical::View view{shared.m_fmin, shared.m_fmax, measurement->Fmin(),
                              measurement->Fmax(), &measurement->Caption()};
  return PrintCurve(title, graph, messages, chooser, &view);
}

}  // namespace quorvel
