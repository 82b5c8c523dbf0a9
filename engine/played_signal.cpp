// CAudio's account of where the played signal lies in the recording. The play thread knows at
// which of the output's frames the signal's first sample plays; the capture thread ties the
// output's frames to the frames it takes, each time it has caught up with the device. Their
// sum, less the frames taken before the recording's first kept sample, is the signal's place in
// the recording. No lock, allocation or blocking call on either thread.
#include <cstdint>
#include <optional>

#include "engine/audio_engine.h"

namespace quorvel {

// Capture thread, every packet taken. The frames taken run ahead of the output's position by
// the offset between what plays and what is recorded at the same moment, less what the capture
// side has not taken yet: the largest offset seen is the one with nothing left waiting. A
// position that has not moved since the last look (a server that tells it now and then, an
// output that does not play) says nothing new.
void CAudio::NoteCaptureLead() {
  if (m_outputStarted.load(std::memory_order_acquire) == 0) return;
  uint64_t position = 0;
  if (!m_services->GetOutputPosition(&position) || position == m_lastOutputPosition) return;
  m_lastOutputPosition = position;
  const int64_t lead =
      m_intakeCount.load(std::memory_order_relaxed) - static_cast<int64_t>(position);
  if (lead > m_captureLead.load(std::memory_order_relaxed)) {
    m_captureLead.store(lead, std::memory_order_release);
  }
}

// Play thread, as a buffer takes the signal's first sample, `frame` frames into it. The buffers
// queued before it play first, whenever the output plays (it may be held until the input's
// floor is measured): the sample's place is counted in the output's frames, not in time.
void CAudio::NoteSignalStart(int frame) {
  m_signalStartNoted = true;
  m_signalStartFrame.store(m_framesQueued + frame, std::memory_order_release);
}

std::optional<int64_t> CAudio::PlayedSignalStart() const {
  const int64_t recordStart = m_recordStartIntake.load(std::memory_order_acquire);
  if (recordStart < 0) return std::nullopt;
  const int64_t frame = m_signalStartFrame.load(std::memory_order_acquire);
  const int64_t lead = m_captureLead.load(std::memory_order_acquire);
  // An output that never told its position leaves the place unknown.
  if (frame < 0 || lead == kNoLead) return std::nullopt;
  return frame + lead - recordStart;
}

}  // namespace quorvel
