#include "measurement/recording.h"

namespace quorvel {

std::vector<int16_t> Recording::Channel(int channel) const {
  if (channels == 1) return channel == 0 ? samples : std::vector<int16_t>();
  std::vector<int16_t> out;
  if (channel < 0 || channel >= channels) return out;
  out.reserve(Frames());
  for (std::size_t i = static_cast<std::size_t>(channel); i < samples.size();
       i += static_cast<std::size_t>(channels)) {
    out.push_back(samples[i]);
  }
  return out;
}

}  // namespace quorvel
