// CGraphical's curve store: construction, the list of curves, AddPoint, ClearCurve, UpdateHasCurve,
// smoothing and the chart preview's level scale. No Qt here; the drawing lives in
// quorvel_graph_render.
#include <cmath>

#include "base/shared_state.h"
#include "graph/graph_scales.h"
#include "graph/graphical.h"

namespace quorvel {

namespace {

// The 15-tap smoothing window before normalisation (symmetric about the eighth tap).
constexpr double kSmoothingWindow[CGraphical::kKernelSize] = {
    0.00807591155, 0.0274209939, 0.0508733019, 0.0761575326, 0.100306414,
    0.12024124,    0.133388713,  0.137987256,  0.133388713,  0.12024124,
    0.100306414,   0.0761575326, 0.0508733019, 0.0274209939, 0.00807591155};

constexpr int kKernelHalf = CGraphical::kKernelSize / 2;  // 7

}  // namespace

CGraphical::CGraphical(CSharedState& shared) : m_shared(shared) {
  for (auto& point : m_points) point.store(kEmptyLevel, std::memory_order_relaxed);
  for (double& v : m_smoothed) v = 0.0;
  for (double& v : m_kernel) v = 0.0;
  m_curves.resize(1);
  m_curves[0].live = true;
}

CGraphical::~CGraphical() = default;

void CGraphical::SetCurvesBehind(std::vector<Curve> curves) {
  m_curves.resize(1);  // the live curve stays first
  for (Curve& curve : curves) {
    curve.live = false;
    m_curves.push_back(std::move(curve));
  }
}

bool CGraphical::AddPoint(double levelDb) {
  const int32_t count = m_count.load(std::memory_order_acquire);
  if (count > kLastPoint) {
    // The curve is full: its end is noted once. exchange() makes the once-only test atomic
    // even if the user-interface thread clears the flag meanwhile.
    return m_shared.m_bCurveEndNotified.exchange(1, std::memory_order_acq_rel) == 0;
  }
  if (count < 0) return false;  // only a direct write by the window could make it so
  double v = levelDb;
  const double* correction = m_liveCorrection.load(std::memory_order_acquire);
  if (correction != nullptr) v -= correction[count];
  // the entry first, then the count: a paint never sees a counted point it cannot read
  m_points[count].store(v, std::memory_order_relaxed);
  m_count.store(count + 1, std::memory_order_release);
  m_pointsAdded.fetch_add(1, std::memory_order_release);
  return false;
}

void CGraphical::CurveEnded() {
  m_curvesCompleted.fetch_add(1, std::memory_order_acq_rel);
}

void CGraphical::ClearCurve() {
  for (auto& point : m_points) point.store(kEmptyLevel, std::memory_order_relaxed);
  m_count.store(0, std::memory_order_release);
  m_hasCurve.store(0, std::memory_order_relaxed);
  m_cursorIndex = 0;
}

int CGraphical::UpdateHasCurve() {
  for (const auto& point : m_points) {
    if (point.load(std::memory_order_relaxed) > kNoSignalLevel) {
      m_hasCurve.store(1, std::memory_order_relaxed);
      return 1;
    }
  }
  m_hasCurve.store(0, std::memory_order_relaxed);
  return 0;
}

void CGraphical::BuildSmoothingKernel() {
  double sum = 0.0;
  for (double w : kSmoothingWindow) sum += w;  // 1.1709154699
  for (int j = 0; j < kKernelSize; ++j) m_kernel[j] = kSmoothingWindow[j] / sum;
}

void CGraphical::Smooth() {
  BuildSmoothingKernel();
  double points[kLastPoint + 1];
  for (int i = 0; i <= kLastPoint; ++i) points[i] = m_points[i].load(std::memory_order_relaxed);
  SmoothLevels(points, m_smoothed);
}

void CGraphical::SmoothLevels(const double* levels, double* smoothed) const {
  // A copy of points 0..1000 with seven extension values on each side:
  // before point 0 the points 7..13 mirrored (x(-i) = point 6 + i), beyond point 1000 the curve
  // mirrored about its last point (x(1000 + i) = point 1000 - i).
  double x[kLastPoint + 1 + 2 * kKernelHalf];
  for (int i = 0; i <= kLastPoint; ++i) x[i + kKernelHalf] = levels[i];
  for (int i = 1; i <= kKernelHalf; ++i) {
    x[kKernelHalf - i] = x[kKernelHalf + 6 + i];
    x[kKernelHalf + kLastPoint + i] = x[kKernelHalf + kLastPoint - i];
  }
  for (int k = 0; k <= kLastPoint; ++k) {
    double sum = 0.0;
    for (int j = 0; j < kKernelSize; ++j) sum += m_kernel[j] * x[k + j];
    smoothed[k] = sum;
  }
}

int CGraphical::ChartLevelToRow(double levelDb) {
  // the chart preview draws 50 dB (-30..+20) over 249 rows
  double v = levelDb;
  if (std::isnan(v)) v = -30.0;
  if (v < -30.0) v = -30.0;
  if (v > 20.0) v = 20.0;
  int row = RoundHalfAway((v + 30.0) * 249.0 / 50.0);
  if (row < 0) row = 0;
  if (row > 404) row = 404;
  return row;
}

}  // namespace quorvel
