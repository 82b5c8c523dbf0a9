#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/curve_listener.h"
#include "engine/point_timing.h"

namespace quorvel {

class CGraphCanvas;
struct ImageSave;
struct CSharedState;
struct CGraphResources;

// CGraphical: the response graph. One object for the whole run holds the measured response
// curve (1001 levels in dB over a logarithmic frequency axis), its smoothed copy and the marker
// point, and paints a list of curves over its scales: that live curve, and the finished curves
// drawn behind it (Curves). Its caption is composed and written by graph/graph_caption.h. The
// correction a microphone chart supplies is the running measurement's (its resolved chart), handed
// over when the run starts.
//
// The class is split over two libraries so that its header and the curve store stay free of Qt:
//   quorvel_curve (plain C++): construction, the curve store and the list of curves
//     (graph/response_curve.cpp), FormatAxisNumber (graph/axis_format.cpp); the scales live in
//     graph/graph_scales.h.
//   quorvel_graph_render (QtGui): PaintGraph, DrawGrid, DrawLevelLabels, the curves and
//     SaveCurveImage (graph/graph_render.cpp, graph/graph_resources.cpp). The pens, brushes,
//     fonts and the off-screen picture live in CGraphResources (graph/graph_resources.h), made
//     on first use by the render library and owned through m_pResources, whose deleter the
//     render library supplies. Code that draws with the palette (level meter, chart preview,
//     printing) or copies the picture to the screen (GraphPicture, SnapshotBitmap) includes
//     graph/graph_resources.h; front ends without a window save pictures with RenderCurveImage
//     (graph/curve_image_export.h).
//
// Threads: AddPoint runs on the analysing thread (the capture thread, or the play thread in a
// replay); everything else runs on the user-interface thread (or quorvel-cli's main thread),
// which also draws from m_points while AddPoint fills it. There is no lock: AddPoint stores the
// level before it advances m_count (release), and each entry is an atomic double, so a paint
// that runs meanwhile sees every point either empty or whole. AddPoint tells nobody: it raises
// m_pointsAdded and m_curvesCompleted, which the front end polls on its own thread.
class CGraphical : public ICurveListener {
 public:
  static constexpr int kCurveCapacity = 1020;  // entries of m_points, m_smoothed, a correction
  static constexpr int kLastPoint = kPointsPerCurve - 1;  // a complete curve: points 0..1000
  static constexpr int kKernelSize = 15;
  static constexpr double kEmptyLevel = -200.0;     // marks an empty entry [dB]
  static constexpr double kNoSignalLevel = -90.0;   // at or below: no signal [dB]
  static constexpr size_t kMaxCaptionLength = 517;  // longer captions are not drawn [characters]

  // shared: the program's shared flags, ranges and caption (must outlive the graph).
  explicit CGraphical(CSharedState& shared);
  ~CGraphical() override;
  CGraphical(const CGraphical&) = delete;
  CGraphical& operator=(const CGraphical&) = delete;

  CSharedState& Shared() const { return m_shared; }

  // ---- curve store (graph/response_curve.cpp) ----

  // Stores the next level of the curve, less the live correction's entry for its index when
  // there is one, and raises m_pointsAdded. Called on the analysing thread once per analysis
  // block; never blocks, locks, allocates or waits. When the curve already
  // holds its 1001 points, the first call after that sets m_bCurveEndNotified and returns true
  // (the engine then fixes the recording's length and calls CurveEnded); later calls do nothing
  // until m_bCurveEndNotified is cleared again.
  bool AddPoint(double levelDb) override;
  // Raises m_curvesCompleted. Analysing thread (or the user-interface thread once the analysis
  // has stopped); never blocks.
  void CurveEnded() override;

  // The correction AddPoint subtracts from point k: correction[k] of kCurveCapacity entries
  // (the running measurement's resolved chart for its range), or none (null). Taken once when a
  // run starts, so a calibration switched on or off meanwhile never leaves a half-corrected
  // curve; the caller keeps the entries alive until the next call. User-interface thread,
  // before the run feeds the curve.
  void SetLiveCorrection(const double* correction) {
    m_liveCorrection.store(correction, std::memory_order_release);
  }
  [[nodiscard]] const double* LiveCorrection() const {
    return m_liveCorrection.load(std::memory_order_acquire);
  }

  // Empties the curve: every entry -200.0, m_count, m_hasCurve and m_cursorIndex 0.
  // User-interface thread, while no measurement feeds the curve.
  void ClearCurve();

  // m_hasCurve = 1 when some entry of m_points is above -90 dB, else 0; returns it.
  int UpdateHasCurve();

  // Fills m_kernel with the 15-tap smoothing window, normalised to a sum of 1.
  void BuildSmoothingKernel();

  // Fills m_smoothed[0..1000] with m_points smoothed by the 15-tap kernel. Before point 0 the
  // window reads points 7..13 mirrored (x(-1) = point 7 ... x(-7) = point 13); beyond point
  // 1000 it reads the curve mirrored about its last point (x(1000 + i) = point 1000 - i), so a
  // constant curve stays constant and the last points are smoothed with the curve's own shape.
  void Smooth();
  // The same smoothing of any whole curve: levels[0..1000] into smoothed[0..1000], by the kernel
  // BuildSmoothingKernel made.
  void SmoothLevels(const double* levels, double* smoothed) const;

  // Row of the microphone dialog's chart preview for a level: -30..+20 dB over rows 0..249.
  [[nodiscard]] static int ChartLevelToRow(double levelDb);

  // ---- the list of curves the graph paints ----

  // A curve the graph paints: its levels over the range it was measured with, in its colour.
  // The live one is the curve the store fills (m_points, or m_smoothed while smoothing is on):
  // drawn last, with the marker, a silent point taking its pen down to the x axis. Every other
  // one is a finished curve drawn behind it, smoothed as the live one is; a display of another
  // range shows the point nearest each pixel's frequency, and a silent point or a frequency the
  // curve does not cover leaves a gap.
  struct Curve {
    double fmin = 0.0;  // the range it was measured over [Hz]
    double fmax = 0.0;
    std::vector<double> levels;  // point k at PointFrequency(k, fmin, fmax) [dB]
    uint32_t rgb = 0;            // 0xRRGGBB
    bool live = false;           // the curve store's own
  };

  // The curves the graph paints: the live one first, then the finished ones behind it, first
  // drawn first (underneath). The live entry holds what the last paint drew (its points and the
  // view's curve range); before the first paint its levels are empty. User-interface thread.
  [[nodiscard]] const std::vector<Curve>& Curves() const { return m_curves; }
  // Replaces the finished curves behind the live one (entries 1.. of the list; none is live).
  // Without any, the graph is drawn exactly as it always was. User-interface thread.
  void SetCurvesBehind(std::vector<Curve> curves);

  // ---- labels (graph/axis_format.cpp) ----

  // An axis label of at most width characters (one more for a negative value), e.g. 20 -> "20",
  // 1234567 in width 6 -> "1234e3", 2.5 -> "2.5", 0.000123 -> "0.0001".
  [[nodiscard]] static std::string FormatAxisNumber(int width, double value);
  // The same into out (outBytes bytes, always terminated, cut when too small).
  static void FormatAxisNumber(char* out, size_t outBytes, int width, double value);

  // ---- drawing (quorvel_graph_render, graph/graph_render.cpp) ----

  // The ranges a paint shows: the displayed one (the range fields') and the one the curve was
  // measured over [Hz]; and the caption drawn at the top (null: the shared state's).
  struct View {
    double fmin = 20.0;
    double fmax = 20000.0;
    double curveFmin = 0.0;
    double curveFmax = 0.0;
    const std::string* caption = nullptr;
  };

  // Draws the whole graph into the off-screen picture for a graph area of width x height
  // pixels: background, axes, frequency and level grid with labels, marker, curve, and the
  // view's caption (m_szGraphCaption of the shared state without one). The picture is made on the
  // first paint at that size and keeps it for the rest of the run. Returns false (and draws
  // nothing) for an empty area. User-interface thread. The first form shows the ranges of the
  // shared state, as the window does.
  [[nodiscard]] bool PaintGraph(int width, int height);
  [[nodiscard]] bool PaintGraph(int width, int height, const View& view);

  // Draws the same graph for an area of width x height pixels onto a canvas of the caller's
  // (graph/graph_canvas.h): a window at another size or scale of the screen draws it there in
  // the graph's own pixels, mapped onto its own. The off-screen picture is left as it is.
  // Returns false (and draws nothing) for an empty area. User-interface thread. The first form
  // shows the ranges of the shared state.
  [[nodiscard]] bool PaintGraph(CGraphCanvas& canvas, int width, int height);
  [[nodiscard]] bool PaintGraph(CGraphCanvas& canvas, int width, int height, const View& view);

  // Saves the last painted picture as a PNG or BMP file chosen by the path's extension
  // (graph/curve_image_export.h: whether it was written, and why not). User-interface thread.
  [[nodiscard]] ImageSave SaveCurveImage(const std::string& path);

  struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
  };

 private:
  // The ranges of the shared state, as the window shows them.
  [[nodiscard]] View SharedView() const;
  void DrawGrid(double fmin, double fmax);
  void DrawLevelLabels(double bottom, double top);
  // The live entry of the list takes the stored points as a paint of view shows them.
  void TakeLivePoints(const View& view);
  void DrawLiveCurve(const Curve& curve, const View& view);
  void DrawCurveBehind(const Curve& curve, const View& view);

  CSharedState& m_shared;
  std::vector<Curve> m_curves;  // the live curve first, then the ones behind it
  std::atomic<const double*> m_liveCorrection{nullptr};  // the running curve's, or none

 public:
  // The drawing resources; made and freed by the render library, which supplies the deleter.
  using ResourcesPtr = std::unique_ptr<CGraphResources, void (*)(CGraphResources*)>;

  // ---- notices, raised on the analysing thread and polled by the front end ----
  std::atomic<uint32_t> m_pointsAdded{0};      // one more for every stored point (repaint)
  std::atomic<uint32_t> m_curvesCompleted{0};  // one more when a curve is found complete

  // ---- drawing fields ----
  ResourcesPtr m_pResources{nullptr, nullptr};  // pens, brushes, fonts, off-screen picture
  Rect m_rect;                                  // graph area at the last paint
  int32_t m_height = 0;                         // its height [pixels]
  int32_t m_width = 0;                          // its width [pixels]
  int32_t m_plotPoints = 0;                     // point steps across the plot, 1000
  int32_t m_levelRows = 0;                      // major level lines of the last grid (15)

  // ---- curve fields ----
  std::atomic<int32_t> m_count{0};               // levels stored in m_points (0..1001)
  std::atomic<double> m_points[kCurveCapacity];  // the curve [dB]; -200.0 = empty
  double m_smoothed[kCurveCapacity];             // the smoothed curve, filled by Smooth [dB]
  double m_kernel[kKernelSize];                  // the smoothing kernel
  int32_t m_cursorIndex = 0;                     // marker point index; 0 or less: no marker
  int32_t m_cursorY = -1;                        // height of the marker at the last paint [pixels]
  double m_dbScale = 0.0;                        // pixels per dB (4.5 once drawn)
  double m_levelTop = 0.0;                       // level of the top label row [dB]
  double m_levelBottom = -90.0;                  // level of the bottom label row [dB]
  double m_cursorFreq = 0.0;                     // marker frequency, written by the drawing [Hz]
  double m_cursorLevel = 0.0;                    // marker level, written by the drawing [dB]
  std::atomic<int32_t> m_hasCurve{0};            // some stored level is above -90 dB
};

}  // namespace quorvel
