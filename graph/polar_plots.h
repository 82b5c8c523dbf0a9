#pragma once
// The pictures of an off-axis series (measurement/polar_series.h): the directivity map (angle
// up, log frequency across, the level as the level scale's colour) and the polar plot (the
// level over the angle at chosen frequencies), one panel per plane the series holds.
// User-interface thread (or quorvel-cli's main thread); a QGuiApplication must exist.
#include <QPainter>
#include <QRect>
#include <string>
#include <vector>

#include "base/result.h"

#include "measurement/polar_series.h"

namespace quorvel {

inline constexpr int kPolarMapWidth = 1065;
inline constexpr int kPolarMapPanelHeight = 400;  // per plane
inline constexpr int kPolarPlotPanelSize = 560;   // per plane, square

// The map of one plane: 36 dB of levels, re the 0 degree level at each frequency when
// normalized, else below the series' highest level.
void PaintDirectivityMap(QPainter& painter, const QRect& rect, const PolarSeries& series,
                         PolarPlane plane, bool normalized);
// The polar plot of one plane: 0 degrees up, positive angles clockwise, rings every 6 dB over
// 36 dB, one curve per frequency in the series palette.
void PaintPolarPlot(QPainter& painter, const QRect& rect, const PolarSeries& series,
                    PolarPlane plane, const std::vector<double>& frequenciesHz, bool normalized);

// The off-axis curves of one plane overlaid: each angle's level over log frequency (re the 0
// degree level at each frequency when normalized), named by its angle, in the overlay's palette.
void PaintOffAxisOverlay(QPainter& painter, const QRect& rect, const PolarSeries& series,
                         PolarPlane plane, bool normalized);

// The planes the series holds, horizontal first.
[[nodiscard]] std::vector<PolarPlane> SeriesPlanes(const PolarSeries& series);

// The pictures, a panel per plane (the map's stacked, the polar plots side by side), written as
// SavePlotPicture writes (graph/plot_frame.h).
[[nodiscard]] Result<void> SaveDirectivityMap(const std::string& path, const PolarSeries& series,
                                              bool normalized);
[[nodiscard]] Result<void> SavePolarPlot(const std::string& path, const PolarSeries& series,
                                         const std::vector<double>& frequenciesHz, bool normalized);

// The overlay, a panel per plane stacked, kOverlayPictureWidth x kOverlayPictureHeight each.
[[nodiscard]] Result<void> SaveOffAxisOverlay(const std::string& path, const PolarSeries& series,
                                              bool normalized);

}  // namespace quorvel
