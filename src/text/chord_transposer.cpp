#include "text/chord_transposer.h"

#include <algorithm>
#include <optional>
#include <string>

#include "smf/midi_sequence.h"
#include "sysex/sysex.h"
#include "text/chord_name.h"
#include "text/xf_chord.h"

namespace sw {

namespace {

constexpr uint16_t kMidisoft = 0x2024;
constexpr uint8_t kYamaha = 0x43;

std::string payloadText(const MidiEvent& event) {
  return std::string(reinterpret_cast<const char*>(event.metaData()), event.metaDataSize());
}

void setPayloadText(MidiEvent& event, const std::string& text) {
  event.setMetaData(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

// CR LF, then every other LF, become CR.
std::string normalizedLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += '\r';
      ++i;
    } else {
      out += text[i] == '\n' ? '\r' : text[i];
    }
  }
  return out;
}

// The chord spelled transposed without spaces ("Bbm7"), nothing when the text is no chord.
std::optional<std::string> compactTransposed(const std::string& text, int semitones) {
  std::optional<ChordName> chord = parseChordLenient(text);
  if (!chord) return std::nullopt;
  return spellChord(*chord, semitones, true);
}

}  // namespace

bool ChordTransposer::transpose(MidiEvent& event, int semitones) const {
  if (event.isSysex()) return transposeSysex(event, semitones);
  if (event.isMeta(meta::kSequencerSpecific)) {
    std::optional<XFChord> chord = XFChord::fromMetaEvent(event);
    if (!chord || !chord->isValid()) return false;
    std::optional<ChordName> name = parseChordLenient(chord->string());
    if (!name) return false;
    XFChord moved(spellChord(*name, semitones));
    event.setData(moved.data().data(), uint32_t(moved.data().size()));
    return true;
  }
  if (event.isMeta(meta::kLyric) || (event.isMeta(meta::kText) && (event.ticks() != 0 || words_.isSyllable(event))))
    return transposeText(event, semitones);
  return false;
}

bool ChordTransposer::transposeSysex(MidiEvent& event, int semitones) const {
  Sysex sysex = Sysex::fromEvent(event);
  std::string text;
  if (!sysex.sID() && sysex.extendedID() == kMidisoft) {
    // F0 00 20 24 xx type text F7: a chord is type 1; line feeds in its text do not count.
    std::vector<uint8_t> message = sysex.MIDIData();
    if (message.size() < 7 || message[5] != 1) return false;
    for (size_t i = 6; i < message.size() && message[i] != 0xF7; ++i)
      if (message[i] != 0x0A) text += char(message[i]);
  } else if (sysex.sID() == kYamaha && sysex.type() == "XG Chord Control Code") {
    text = sysex.text();
  } else {
    return false;
  }
  std::optional<std::string> moved = compactTransposed(text, semitones);
  if (!moved || !sysex.setText(*moved)) return false;
  event.setData(sysex.data().data(), uint32_t(sysex.data().size()));
  return true;
}

bool ChordTransposer::transposeText(MidiEvent& event, int semitones) const {
  std::string copy = normalizedLineBreaks(payloadText(event));
  std::string chordText;
  bool found = false;
  if (!copy.empty() && copy[0] == '%') {
    chordText = copy.substr(1);
    found = true;
  } else if (event.isMeta(meta::kText) && !copy.empty() && (copy[0] == '<' || copy[0] == '@')) {
    return false;
  } else if (event.isMeta(meta::kText) && !isSyllable(event)) {
    std::optional<ChordName> chord = parseChordStrict(copy);
    if (!chord) return false;
    setPayloadText(event, spellChord(*chord, semitones));
    return true;
  } else if (event.isMeta(meta::kText) && !copy.empty() && (copy[0] == '\\' || copy[0] == '/')) {
    std::erase_if(copy, [](char c) { return c == '\r' || c == '\n' || c == '/' || c == '\\'; });
    if (!copy.empty() && copy[0] == '%') {
      chordText = copy.substr(1);
      found = true;
    }
  }
  if (!found) return false;
  std::optional<ChordName> chord = parseChordLenient(chordText);
  if (!chord) return false;
  setPayloadText(event, "%" + spellChord(*chord, semitones));
  return true;
}

}  // namespace sw
