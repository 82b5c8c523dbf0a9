#include "print/printer.h"

namespace quorvel {

CPrinter::~CPrinter() = default;

}  // namespace quorvel
