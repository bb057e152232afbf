#include "playback/midi_messages.h"

#include <algorithm>
#include <cmath>

namespace sw::midi {

std::array<uint8_t, 8> masterVolumeMessage(float volume) {
  double v = std::isfinite(volume) ? std::clamp(double(volume), 0.0, 1.0) : 0.0;
  auto value = uint8_t(std::sqrt(v) * 127.0);
  return {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, value, 0xF7};
}

}  // namespace sw::midi
