#pragma once

namespace quorvel {

// CPrinter: the application object owns one for the whole run. It holds nothing; the printing
// itself is the free operation PrintCurve (print/print_curve.h).
class CPrinter {
 public:
  CPrinter() = default;
  virtual ~CPrinter();
};

}  // namespace quorvel
