#pragma once

// The graph area as the window shows it. The graph's geometry (plot, axes, labels, the marker's
// hit zone) is laid out in the pixels of an area of its own size, 1065 x 455: its logical
// pixels. The window shows that area at any size, each logical pixel stretched to
// shownWidth / logicalWidth across and shownHeight / logicalHeight down; mouse positions come
// back through ToLogical, in this one place, so that the marker reads the same frequency on a
// maximised window as on the graph's own size. Plain arithmetic, any thread.

namespace quorvel {

struct LogicalPoint {
  int x = 0;
  int y = 0;
};

class CGraphView {
 public:
  // logicalWidth x logicalHeight: the graph's own size; shownWidth x shownHeight: the size the
  // window gives it [window pixels]. An empty size on either side shows the graph as it is.
  CGraphView(int logicalWidth, int logicalHeight, double shownWidth, double shownHeight);

  // Window pixels per logical pixel, across and down.
  [[nodiscard]] double ScaleX() const { return m_scaleX; }
  [[nodiscard]] double ScaleY() const { return m_scaleY; }
  // True when the graph is shown at its own size.
  [[nodiscard]] bool AtOwnSize() const { return m_scaleX == 1.0 && m_scaleY == 1.0; }
  // The logical pixel under a position of the shown area [window pixels from its top-left
  // corner]; a position outside the area gives a logical pixel outside the graph.
  [[nodiscard]] LogicalPoint ToLogical(double x, double y) const;

 private:
  double m_scaleX = 1.0;
  double m_scaleY = 1.0;
};

}  // namespace quorvel
