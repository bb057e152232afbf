// Reading the words and chord names of a karaoke sequence, whatever dialect carries them:
// Soft Karaoke text events, lyric or text events marked with "<", plain lyric events, or
// lines in Midisoft system-exclusive messages. Everything stays raw bytes; decoding comes
// later through the sync items with the encoding the user chose.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/four_char_code.h"
#include "smf/midi_event.h"
#include "smf/midi_sequence.h"
#include "text/sync_array.h"

namespace sw {

// The karaoke dialect found; 0 when none was recognised.
inline constexpr FourCharCode kSoftKaraokeType = fourCC("SK  ");   // Soft Karaoke text events
inline constexpr FourCharCode kLineMarkKaraokeType = fourCC("SO  ");  // "<" marks a line
inline constexpr FourCharCode kLyricKaraokeType = fourCC("T1  ");  // plain lyric events
inline constexpr FourCharCode kMidisoftKaraokeType = fourCC("MS  ");  // Midisoft sysex lines

// The line state of Midisoft messages during one extraction.
struct MSStateRec {
  int16_t pendingLines = 0;   // lines received and not yet timed
  uint8_t lastLineType = 0;   // type of the last lyric line message (4 to 7)
  uint8_t lastType = 0;       // type of the last Midisoft message or highlight (8)
};

// A system-exclusive event from Midisoft (manufacturer 00 20 24) with room for a message type.
bool isMidisoftSysex(const MidiEvent& event);
// Every CR LF pair becomes CR, then every other LF becomes CR.
void normalizeLineBreaks(std::string& text);

// Text events that start with "@K" at tick 0, or with "\" or "/" later, in a sequence with
// fewer than 6 lyric events.
bool isSoftKaraoke(const MidiSequence& sequence);

// Where the Soft Karaoke words of a file lie, whatever its lyric events.
struct SoftKaraokeWords {
  bool present = false;  // text events that start with "@K" at tick 0, or with "\" or "/" later
  uint8_t track = 0;     // the words track
  // A text event of the words: on the words track, not an "@" header, at any tick.
  bool isSyllable(const MidiEvent& event) const;
};
// The words track holds the most "/" and "\" marks; among equals, the track with the "@"
// headers of the words ("@L", "@T"), then one with any "@" header, then the first.
SoftKaraokeWords findSoftKaraokeWords(const MidiSequence& sequence);

// The number of words of the items joined: runs of bytes between spaces and line breaks.
size_t countWords(const DSyncArray& items);

// The lyrics as data items split into lines, and the chords (each with the chord flag) when
// `chords` is given. Returns the number of lyric bytes found; with no `lyrics` it returns 0
// and touches nothing. The dialect goes to `karaokeType` when given.
uint32_t getLyricsDSyncs(const MidiSequence& sequence, DSyncArray* lyrics, DSyncArray* chords,
                         FourCharCode* karaokeType = nullptr);
class UTF8Validator;

// What one extraction hands over; every member may be absent.
struct LyricsScanOptions {
  DSyncArray* lyrics = nullptr;          // the items, split into lines
  DSyncArray* chords = nullptr;          // chords are collected only with this
  FourCharCode* karaokeType = nullptr;
  bool thinChords = true;                // drop the chords of a quick burst but its last
  // The bytes `lyrics` would hold, joined in order, without building the items: fed to the
  // validator and appended to the string.
  UTF8Validator* validator = nullptr;
  std::string* joined = nullptr;
  const SoftKaraokeWords* words = nullptr;  // found by the caller already; else found here
};
// getLyricsDSyncs with a choice of results; returns the lyric byte count.
uint32_t scanLyrics(const MidiSequence& sequence, const LyricsScanOptions& options);

// The bytes of all lyric items joined (no chords).
std::string lyrics(const MidiSequence& sequence);

// Adds one lyric item (the text up to its first NUL) unless the text is empty or made only of
// "?", spaces and CRs with at least one "?" -- but a single "?" right after a word is its
// question mark and stays. Returns the bytes taken, 0 when rejected.
uint32_t appendString(std::string_view text, DSyncArray& syncs, int32_t delay);
// Adds the chord, spelled canonically without spaces, when the text parses as a chord name;
// a chord already last in the array at the same delay is replaced. Nothing without an array.
void appendChordString(std::string_view text, DSyncArray* syncs, int32_t delay, bool strictChecking);
// Feeds one Midisoft message or highlight controller to the line state: lyric lines are
// appended to `syncs`, a sync message or highlight times the pending ones. Returns true when
// it timed pending lines.
bool appendMidiSoftSysex(const MidiEvent& event, DSyncArray& syncs, MSStateRec& state);

}  // namespace sw
