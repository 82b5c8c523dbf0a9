#pragma once

namespace quorvel {

// The engine hands every curve point to the response graph through this interface, so the
// engine never depends on the graph (or on any user-interface type).
class ICurveListener {
 public:
  virtual ~ICurveListener() = default;

  // Called on the analysing thread (the capture thread, or the play thread during a replay)
  // once per analysis block from the (49 + D)th block after the sync on (point_timing.h); never
  // blocks or allocates. Returns true once per curve, when the call finds the curve already
  // holding all its points: the engine then fixes the recording's length (m_capturedCount) and
  // calls CurveEnded.
  virtual bool AddPoint(double levelDb) = 0;

  // The end of the curve, once the recording's length is in place: whoever learns of the end
  // finds the length there. Same thread and rules as AddPoint.
  virtual void CurveEnded() {}
};

}  // namespace quorvel
