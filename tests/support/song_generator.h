// Large songs for benchmarks: a conductor track with tempo changes and tracks of notes with
// running status, controllers, pitch bend and lyrics (and markers when asked).
#pragma once

#include <cstdint>

#include "midi_builder.h"

namespace swtest {

Bytes makeSong(int tracks, int notesPerTrack, uint32_t seed, bool markers = false);

// The same kind of song with `tempoChanges` tempo events spread evenly over the whole song
// (and a change between 4/4 and 3/4 every 512 of them), for the costs that grow with the maps.
Bytes makeSongWithTempoChanges(int tracks, int notesPerTrack, int tempoChanges, uint32_t seed);

}  // namespace swtest
