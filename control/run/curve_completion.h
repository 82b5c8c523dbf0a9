#pragma once

namespace quorvel {

class CAudio;
class CGraphical;

// A replay whose samples run out after the curve's last point counts as complete
// (engine/point_timing.h, CurveWholeAtSamplesEnd), and it is taken as complete here as the
// curve store would have: the end is noted once (m_bCurveEndNotified), the recording's length
// becomes the captured count and m_curvesCompleted rises, so that Save Audio File can save it.
//
// Call once the analysing thread has stopped feeding the curve (the replay's samples have run
// out). Returns true when the curve is complete, whether it was already or is now taken as
// such; false when it holds fewer than 1001 points. User-interface thread (quorvel-cli's main
// thread).
bool TakeWholeCurveAsComplete(CAudio& audio, CGraphical& graph);

// The samples loaded into the engine analysed as a replay analyses them, but at full speed and
// without an output device (quorvel-cli analyze): fmin..fmax [Hz] becomes the range of the
// curve and of the display, the curve is emptied, the points are timed for a sweep from fmin,
// and a curve that holds its 1001 points when the samples run out is complete
// (TakeWholeCurveAsComplete). Returns whether it is. Main thread, while no measurement runs.
bool AnalyzeLoadedSamples(CAudio& audio, CGraphical& graph, double fmin, double fmax);

}  // namespace quorvel
