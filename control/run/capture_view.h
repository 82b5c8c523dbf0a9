#pragma once

#include <string>

namespace quorvel {

// The start/stop button's captions.
inline constexpr char kStartCaptionIdle[] = "+ S T A R T +\nC A P T U R E";
inline constexpr char kStartCaptionCapturing[] = "- S T O P -\nC A P T U R E";

// What capture control needs of a window: the state of its capture buttons, the texts of the
// range fields and a repaint of the graph. The window implements it (and may extend it); the
// control logic calls it and is tested against a recording double. Every call comes on the
// user-interface thread, never blocks and only changes what the user sees.
class ICaptureView {
 public:
  virtual ~ICaptureView() = default;

  // The start/stop button: enabled or greyed out (while a loaded file replays).
  virtual void EnableStartButton(bool enabled) = 0;
  // The start/stop button's state, repainted at once: idle reads kStartCaptionIdle on its green
  // face RGB(180, 255, 180), unchecked; capturing reads kStartCaptionCapturing on the red face
  // RGB(255, 180, 180), checked.
  virtual void SetStartButton(bool capturing) = 0;
  // The input button: open reads "Close Input Peripheral", checked; closed reads "Open Input
  // Peripheral", unchecked.
  virtual void SetInputButton(bool open) = 0;
  // The calibration button: applied reads "Microphone\nCalibration applied" on RGB(255, 180,
  // 180), checked; not applied reads "Select Microphone\nCalibration" on the neutral face,
  // unchecked.
  virtual void SetCalibrationButton(bool applied) = 0;
  // The texts shown in the "f. min" and "f. max" range fields.
  virtual void SetRangeFieldTexts(const std::string& fminText, const std::string& fmaxText) = 0;
  // The graph is to be painted again (once, on the window's next paint).
  virtual void RequestGraphRepaint() = 0;
};

}  // namespace quorvel
