#pragma once

// The response graph tells its owner about the curve through this interface. Both notices come
// from the analysing thread (the capture thread, or the play thread during a replay) inside
// CGraphical::AddPoint, so an implementation must not block, wait for the user-interface
// thread, or allocate: the window queues them to its own thread, quorvel-cli and the measurement
// sequence set atomics that their own thread polls.
class ICurveEvents {
 public:
  virtual ~ICurveEvents() = default;

  // A point was stored: the graph wants a repaint. Called on the analysing thread; must not
  // block.
  virtual void OnPointAdded() = 0;

  // The curve holds its 1001 points and the next block found it full. Called once per
  // measurement (until m_bCurveEndNotified is cleared again), on the analysing thread, after
  // the engine's m_capturedCount has been set from m_recordCount; must not block. The handler
  // (stop the capture, rotate the record track) runs later on its own thread.
  virtual void OnCurveComplete() = 0;
};
