// Small MIDI files for the application's tests, made with the shared byte builder.
#pragma once

#include <string>

#include "midi_builder.h"

namespace apptest {

// Track 1: name "Conductor", tempo, 4/4, an unnamed meta type 0x60. Track 2: name "Piano",
// program 0, volume 100, pan 64, notes C3 and D3 (a quarter each, velocity 100), lyrics
// "Hel" and "lo". Note-offs are hidden in the editor, so 12 rows show.
inline swtest::Bytes song() {
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, 0x03, "Conductor").tempo(0, 500000).timeSignature(0, 4, 2).meta(0, 0x60, {1}).endOfTrack();
  file.track()
      .text(0, 0x03, "Piano")
      .program(0, 0, 0)
      .control(0, 0, 7, 100)
      .control(0, 0, 10, 64)
      .text(0, 0x05, "Hel")
      .noteOn(0, 0, 60, 100)
      .noteOff(480, 0, 60)
      .text(0, 0x05, "lo")
      .noteOn(0, 0, 62, 100)
      .noteOff(480, 0, 62)
      .endOfTrack();
  return file.bytes();
}

}  // namespace apptest

namespace apptest {

// Lyrics in ISO Latin 1 on a sung line and a second line: "Caf\xE9 " (tick 0), "au " and
// "lait\r" together (tick 480), "Bonne" (960) and " nuit" (1440); a title in Latin 1 too; one note
// per syllable on channel 1, a quarter each, 120 BPM.
inline swtest::Bytes latinSong() {
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, 0x03, "Chanson d'\xE9t\xE9").tempo(0, 500000).timeSignature(0, 4, 2).endOfTrack();
  file.track()
      .text(0, 0x05, "Caf\xE9 ")
      .noteOn(0, 0, 60, 100)
      .noteOff(480, 0, 60)
      .text(0, 0x05, "au ")
      .text(0, 0x05, "lait\r")
      .noteOn(0, 0, 62, 100)
      .noteOff(480, 0, 62)
      .text(0, 0x05, "Bonne")
      .noteOn(0, 0, 64, 100)
      .noteOff(480, 0, 64)
      .text(0, 0x05, " nuit")
      .noteOn(0, 0, 65, 100)
      .noteOff(480, 0, 65)
      .endOfTrack();
  return file.bytes();
}

}  // namespace apptest
