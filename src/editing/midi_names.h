// The name lists the event editor offers: event kinds, meta-event kinds, controllers, General
// MIDI programs, program groups, drum kits and percussion keys. Keys and names of a list run
// in step. The General MIDI program, group and kit names are those of smf/gm_names.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

struct MidiNames {
  // Status bytes of the kinds of event (0x80 ... 0xE0, 0xF0, 0xFF) and their names.
  static const std::vector<uint8_t>& eventKeys();
  static const std::vector<std::string>& eventNames();
  // Meta types the editor can create or show by name, and their names.
  static const std::vector<uint8_t>& metaEventKeys();
  static const std::vector<std::string>& metaEventNames();
  // 128 controller names ("Controller 3" where a number has no name).
  static const std::vector<std::string>& controllers();
  // The 16 program groups of eight ("Piano", "Chromatic Percussion", ...).
  static const std::vector<std::string>& gmGroups();
  // The 128 General MIDI program names, program 0 first.
  static const std::vector<std::string>& gmNames();

  // The drum kit a program selects on a drum channel; nullptr when the program is no kit.
  static const char* gmDrumName(int program);
  // The percussion sound of a key on a drum channel (keys 27-87); nullptr for other keys.
  static const char* percussionName(uint8_t key);
  // nullptr where the number has no name.
  static const char* eventName(uint8_t status);
  static const char* metaEventName(uint8_t type);

  // A status or meta type named by the user: a list name compared without case, spaces,
  // hyphens and underscores ("note on", "Note-On", "noteon"), one of the short names below
  // or a number (decimal or 0x hex). -1 when the text names none.
  //   kinds: noteoff, noteon, keypressure (aftertouch), control (cc), program, pressure,
  //          pitchbend (bend), sysex, meta
  //   meta:  seqnumber, text, copyright, trackname (name), instrument, lyric, marker, cue,
  //          programname, device, prefix, port, eot, tag, tempo, smpte, timesig, keysig,
  //          sequencer (xf)
  static int eventKeyFromName(std::string_view text);
  static int metaEventKeyFromName(std::string_view text);
};

}  // namespace sw
