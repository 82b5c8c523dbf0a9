#pragma once

#include <string>
#include <utility>

#include "graph/graphical.h"

class QPrinter;
class QWidget;

namespace quorvel {

class IUserMessages;
class Measurement;

// The messages of printing (OK boxes).
inline constexpr char kMsgPrinterNotFound[] =
    "Could not find the printer. Check installed printers.";
inline constexpr char kMsgPrintJob[] = "Printing error occured. Unable to find printer.";

// The printer chooser: the print dialog in the window; tests and front ends without a window
// choose without asking. User-interface thread.
class IPrinterChooser {
 public:
  virtual ~IPrinterChooser() = default;

  // Lets the user choose where the job goes. printer comes prepared for the page: landscape,
  // pages 1 to 1, document name "Quorvel", the printer's own resolution. Returns false when
  // the user cancels; otherwise printer holds the choice. May block until the user answers.
  [[nodiscard]] virtual bool ChoosePrinter(QPrinter& printer) = 0;
};

// The platform's print dialog (QPrintDialog, modal over parent): any printer of the system, or a
// PDF file, with the page range 1 to 1 offered and nothing else to print.
class CPrintDialogChooser final : public IPrinterChooser {
 public:
  explicit CPrintDialogChooser(QWidget* parent = nullptr) : m_parent(parent) {}
  [[nodiscard]] bool ChoosePrinter(QPrinter& printer) override;

 private:
  QWidget* m_parent;
};

// Prints to a PDF file without asking (GUI tests, front ends without a window).
class CPdfFileChooser final : public IPrinterChooser {
 public:
  explicit CPdfFileChooser(std::string path) : m_path(std::move(path)) {}
  [[nodiscard]] bool ChoosePrinter(QPrinter& printer) override;

 private:
  std::string m_path;
};

// The title printed above the graph for the capture path wavPath (UTF-8): its last name without
// folder and extension when it has at least 2 characters, otherwise "Quorvel". Before any
// capture file was saved or loaded, the path is the capture folder, whose last name it gives.
[[nodiscard]] std::string PrintTitle(const char* wavPath);

// Prints the graph as the graph area shows it, with title in the band above it and the caption
// below, on one page of the printer the user chooses, drawn at the printer's resolution (the
// print picture of print/print_page.h: lines and text, so a PDF file is sharp at any zoom).
// Returns true when the page was printed or the user cancelled the chooser; false without a
// message when the graph has not been painted yet; false after a message (through messages)
// when the chosen printer is not a valid printer of the system (kMsgPrinterNotFound), or the job
// cannot be started or finished (kMsgPrintJob, e.g. a PDF file that cannot be written).
// User-interface thread; a QApplication must exist for the print dialog. view (may be null: the
// shared state's) is what the graph shows (graph/graphical.h).
[[nodiscard]] bool PrintCurve(const std::string& title, CGraphical& graph, IUserMessages& messages,
                              IPrinterChooser& chooser, const CGraphical::View* view = nullptr);

// The Print button: nothing (false) while the graph has not been painted; otherwise PrintCurve
// with the title of the graph's capture path (PrintTitle of m_szWavPath), whose result it
// returns. With the window's current measurement (may be null: none), its curve is printed over
// the range it was measured over, with its caption, in the range fields' display range.
bool PrintShownGraph(CGraphical& graph, IUserMessages& messages, IPrinterChooser& chooser,
                     const Measurement* measurement = nullptr);

}  // namespace quorvel
