// Writing lyrics and chords into a sequence in one uniform dialect: every lyric, chord and
// karaoke marker is removed, then the words become lyric meta events (a CR lyric event after
// each line) and the chords text events or XF chord events.
#pragma once

#include <vector>

#include "smf/midi_sequence.h"
#include "text/sync_array.h"
#include "text/xf_chord_manager.h"

namespace sw {

// Removes Midisoft messages (and the highlight controllers 31, 98, 99 on the first channel
// before the last of them), XG chord messages, text events after tick 0 and "@K" text events
// at tick 0, lyric events with data, and XF chord events.
void removeLyricsAndChords(MidiSequence& sequence);
// The events removeLyricsAndChords removes, flagged by position (1 for each of them).
std::vector<uint8_t> lyricAndChordEvents(const MidiSequence& sequence);

// Removes, then writes the lyric items as lyric events and the chord items as text events
// ("C m7") or, with useXGChordsFormat, XF chord events, all on `trackNum`. A chord that has
// no XF form stops chord writing when `error` is given (no chord at all is written, the
// lyrics stay, the error tells why, the result is false); without `error` it is skipped.
// The chord aliases come from `manager`, the shared one when none is given. Throws
// std::out_of_range, before changing anything, when the track is not in the sequence.
bool setLyrics(MidiSequence& sequence, const DSyncArray& lyrics, const DSyncArray& chords, bool useXGChordsFormat,
               int trackNum, XFChordError* error = nullptr, const XFChordManager* manager = nullptr);
// The same without removing anything first, for a sequence that holds no lyrics or chords.
bool addLyricsAndChords(MidiSequence& sequence, const DSyncArray& lyrics, const DSyncArray& chords,
                        bool useXGChordsFormat, int trackNum, XFChordError* error = nullptr,
                        const XFChordManager* manager = nullptr);

// Removes, then writes the lyric texts in the encoding (lossy, never before tick 1) on
// `preferredTrack` and the chord texts as UTF-8 text events on track 0. Throws
// std::out_of_range, before changing anything, when the track is not in the sequence.
void setLyrics(MidiSequence& sequence, const TSyncArray& lyrics, const TSyncArray& chords, StringEncoding encoding,
               int preferredTrack);

}  // namespace sw
