#include "control/workbench/workbench_palette.h"

#include "graph/trace_palette.h"

namespace quorvel {

uint32_t WorkbenchColourAt(int index) {
  const TraceRgb rgb = TraceLookAt(index).colour;
  return (uint32_t{rgb.red} << 16) | (uint32_t{rgb.green} << 8) | uint32_t{rgb.blue};
}

}  // namespace quorvel
