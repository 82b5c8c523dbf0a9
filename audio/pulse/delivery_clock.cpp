// The lag of a record stream's deliveries behind the clock, judged slice by slice.
#include "audio/pulse/delivery_clock.h"

#include <algorithm>

namespace quorvel {

void CDeliveryClock::Restart(uint32_t rate) {
  *this = CDeliveryClock();
  m_rate = rate != 0 ? rate : 48000;
}

uint64_t CDeliveryClock::Delivered(uint64_t frames, uint64_t nowUs) {
  if (!m_started) {
    m_started = true;
    m_startUs = nowUs;
    m_sliceStartUs = nowUs;
    m_delivered = frames;
    m_sliceLeast = -static_cast<int64_t>(frames);
    return 0;
  }
  m_delivered += frames;
  const uint64_t elapsedUs = nowUs > m_startUs ? nowUs - m_startUs : 0;
  const auto passed = static_cast<int64_t>(elapsedUs * m_rate / 1000000u);
  const int64_t lag = passed - static_cast<int64_t>(m_delivered);
  // A delivery after a long silence closes the slice that was running, and starts one at once.
  if (nowUs - m_sliceStartUs >= kSliceUs) {
    CloseSlice();
    m_sliceStartUs = nowUs;
    m_sliceLeast = lag;
  } else {
    m_sliceLeast = std::min(m_sliceLeast, lag);
  }
  const uint64_t lost = m_lost;
  m_lost = 0;
  return lost;
}

void CDeliveryClock::CloseSlice() {
  std::move_backward(m_least, m_least + kSlices - 1, m_least + kSlices);
  m_least[0] = m_sliceLeast;
  m_closed = std::min(m_closed + 1, kSlices);
  if (m_closed < 3) return;
  const int64_t before = *std::min_element(m_least + 2, m_least + m_closed);
  const int64_t lost = std::min(m_least[0], m_least[1]) - before;
  // The frames' scale is the stream's rate: a tenth of a second whatever the rate.
  const int64_t limit = kLossFrames * static_cast<int64_t>(m_rate) / 48000;
  if (lost <= limit) return;
  m_lost += static_cast<uint64_t>(lost);
  // Counted once: the earlier slices now stand where the stream stands.
  for (int i = 2; i < m_closed; ++i) m_least[i] += lost;
}

}  // namespace quorvel
