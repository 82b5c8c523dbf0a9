#pragma once

namespace quorvel {

// The engine hands every curve point to the response graph through this interface, so the
// engine never depends on the graph (or on any user-interface type).
class ICurveListener {
 public:
  virtual ~ICurveListener() = default;

  // Called on the analysing thread (the capture thread, or the play thread during a replay)
  // once per analysis block from the (49 + D)th block after the sync on (point_timing.h); never
  // blocks or allocates.
  virtual void AddPoint(double levelDb) = 0;
};

}  // namespace quorvel
