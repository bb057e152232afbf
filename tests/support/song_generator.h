// Large songs for benchmarks: a conductor track with tempo changes and tracks of notes with
// running status, controllers, pitch bend and lyrics (and markers when asked).
#pragma once

#include <cstdint>

#include "midi_builder.h"

namespace swtest {

Bytes makeSong(int tracks, int notesPerTrack, uint32_t seed, bool markers = false);

}  // namespace swtest
