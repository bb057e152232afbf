#include "sysex/gs_parameters.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>

#include "base/string_format.h"

namespace sw {

namespace {

// How the data of a parameter is shown; v is its first data byte.
enum class Shown {
  Value,         // v
  Centred,       // v - 64
  Semitones,     // "%d semitones" of v - 64
  Spaced,        // " %d" of v
  Named,         // v, then " (%s)" with the name of v when there is one
  ValueAndPart,  // "%d (%d)": v and the part number of v
  RawData,       // "(Raw data)"
  MasterTune,    // four nibbles, in tenths of a cent from -100.0
  ToneNumber,    // bank and program bytes
  FineOffset,    // two nibbles, in tenths of a hertz from -12.8
  ScaleTuning,   // twelve bytes, one per note of the octave
  PatchName,     // the data characters, editable with a fixed length
  Letters,       // the data characters, editable up to a maximum length
  MapName,       // the data characters, up to a NUL
};

struct Parameter {
  uint32_t address;  // the low address byte(s) within the reader's block
  const char* label;
  Shown shown = Shown::Value;
  bool editable = false;
  int min = 0;  // typed range of an editable value
  int max = 0;
  std::span<const char* const> names = {};
};

constexpr uint32_t kPatchNameLength = 16;
constexpr uint32_t kLettersMaxLength = 32;
constexpr size_t kMapNameMaxLength = 31;

constexpr const char* kReverbMacros[] = {"Room 1", "Room 2", "Room 3", "Hall 1",
                                         "Hall 2", "Plate",  "Delay",  "Panning Delay"};
constexpr const char* kChorusMacros[] = {"Chorus 1", "Chorus 2", "Chorus 3",    "Chorus 4",
                                         "Feedback Chorus", "Flanger", "Short Delay", "Short Delay (FB)"};
constexpr const char* kDisplayedParameters[] = {"Standard", "LEVEL", "PAN", "REVERB", "CHORUS", "K.SHIFT", "MIDI CH"};

// 40 00 xx
constexpr Parameter kSystemParameters[] = {
    {0x00, "MASTER TUNE (-100.0/+100.0)", Shown::MasterTune},
    {0x04, "MASTER VOLUME (0-127)", Shown::Value, true, 0, 127},
    {0x05, "MASTER KEY SHIFT (-24/+24)", Shown::Semitones, true, -24, 24},
    {0x06, "MASTER PAN (1-127)", Shown::Value, true, 1, 127},
    {0x7F, "GS MODE SET (0,127)"},
};

// 40 01 xx; 10-1F is the voice reserve of each part.
constexpr Parameter kPatchParameters[] = {
    {0x00, "PATCH NAME", Shown::PatchName, true},
    {0x30, "REVERB MACRO (0-7)", Shown::Named, true, 0, 7, kReverbMacros},
    {0x31, "REVERB CHARACTER (0-7)", Shown::Value, true, 0, 7},
    {0x32, "REVERB PRE_LFP (0-7)", Shown::Value, true, 0, 7},
    {0x33, "REVERB LEVEL (0-127)", Shown::Value, true, 0, 127},
    {0x34, "REVERB TIME (0-127)", Shown::Value, true, 0, 127},
    {0x35, "REVERB DELAY FEEDBACK (0-127)", Shown::Value, true, 0, 127},
    {0x36, "REVERB SEND LEVEL TO CHORUS (0-127)", Shown::Value, true, 0, 127},
    {0x38, "CHORUS MACRO (0-7)", Shown::Named, true, 0, 7, kChorusMacros},
    {0x39, "CHORUS PRE_LFP (0-7)", Shown::Value, true, 0, 7},
    {0x3A, "CHORUS LEVEL (0-127)", Shown::Value, true, 0, 127},
    {0x3B, "CHORUS FEEDBACK (0-127)", Shown::Value, true, 0, 127},
    {0x3C, "CHORUS DELAY (0-127)", Shown::Value, true, 0, 127},
    {0x3D, "CHORUS RATE (0-127)", Shown::Value, true, 0, 127},
    {0x3E, "CHORUS DEPTH (0-127)", Shown::Value, true, 0, 127},
    {0x3F, "CHORUS SEND LEVEL TO REVERB (0-127)", Shown::Value, true, 0, 127},
};
constexpr Parameter kVoiceReserve = {0x10, "Part %2d VOICE RESERVE (0-28)"};

// 40 1n xx, after the "Part %d " prefix.
constexpr Parameter kPartParameters1[] = {
    {0x00, "TONE NUMBER - CC0 (0-127)", Shown::ToneNumber},
    {0x02, "Rx. CHANNEL (1-16, 0 = OFF)"},
    {0x03, "Rx. PITCH BEND (0 = OFF / 1 = ON)"},
    {0x04, "Rx. CH PRESSURE (0 = OFF / 1 = ON)"},
    {0x05, "Rx. PROGRAM CHANGE (0 = OFF / 1 = ON)"},
    {0x06, "Rx. CONTROL CHANGE (0 = OFF / 1 = ON)"},
    {0x07, "Rx. POLY PRESSURE (0 = OFF / 1 = ON)"},
    {0x08, "Rx. NOTE MESSAGE (0 = OFF / 1 = ON)"},
    {0x09, "Rx. RPN (0 = OFF / 1 = ON)"},
    {0x0A, "Rx. NRPN (0 = OFF / 1 = ON)"},
    {0x0B, "Rx. MODULATION (0 = OFF / 1 = ON)"},
    {0x0C, "Rx. VOLUME (0 = OFF / 1 = ON)"},
    {0x0D, "Rx. PANPOT (0 = OFF / 1 = ON)"},
    {0x0E, "Rx. EXPRESSION (0 = OFF / 1 = ON)"},
    {0x0F, "Rx. HOLD (0 = OFF / 1 = ON)"},
    {0x10, "Rx. PORTAMENTO (0 = OFF / 1 = ON)"},
    {0x11, "Rx. SOSTENUTO (0 = OFF / 1 = ON)"},
    {0x12, "Rx. SOFT (0 = OFF / 1 = ON)"},
    {0x13, "MONO/POLY MODE (0 = Mono, 1 = Poly)"},
    {0x14, "ASSIGN MODE (0 = SINGLE, 1 = LIMITED-MULTI, 2 = FULL-MULTI)"},
    {0x15, "USE FOR RHYTHM PART (0 = OFF, 1 = MAP1, 2 = MAP2)"},
    {0x16, "PITCH KEY SHIFT (-24/+24)", Shown::Semitones},
    {0x17, "PITCH OFFSET FINE (-12.0/+12.0)", Shown::FineOffset},
    {0x19, "LEVEL (0-127)"},
    {0x1A, "VELOCITY SENSE DEPTH (0-127)"},
    {0x1B, "VELOCITY SENSE OFFSET (0-127)"},
    {0x1C, "PANPOT (-63 = LEFT / +63 = RIGHT, -64 = RANDOM)", Shown::Centred},
    {0x1D, "KEY RANGE LOW (0-127)"},
    {0x1E, "KEY RANGE HIGH (0-127)"},
    {0x1F, "CC1 CONTROLLER NUMBER (0-95)"},
    {0x20, "CC2 CONTROLLER NUMBER (0-95)"},
    {0x21, "CHORUS SEND LEVEL (0-127)"},
    {0x22, "REVERB SEND LEVEL (0-127)"},
    {0x23, "Rx. BANK SELECT (0 = OFF / 1 = ON)"},
    {0x30, "TONE MODIFY 1 Vibrato Rate (-50/+50)", Shown::Centred},
    {0x31, "TONE MODIFY 2 Vibrato depth (-50/+50)", Shown::Centred},
    {0x32, "TONE MODIFY 3 TVF cutoff freq. (-50/+50)", Shown::Centred},
    {0x33, "TONE MODIFY 4 TVF resonance (-50/+50)", Shown::Centred},
    {0x34, "TONE MODIFY 5 TVF & TVA Env. attack (-50/+50)", Shown::Centred},
    {0x35, "TONE MODIFY 6 TVF & TVA Env. decay (-50/+50)", Shown::Centred},
    {0x36, "TONE MODIFY 7 TVF & TVA Env. release (-50/+50)", Shown::Centred},
    {0x37, "TONE MODIFY 8 Vibrato delay (-50/+50)", Shown::Centred},
    {0x40, "SCALE TUNING (-64/+63)", Shown::ScaleTuning},
};

// 40 2n xx: the high nibble of xx names the controller source, the low nibble the parameter.
constexpr const char* kControllerSources[] = {"MOD", "BEND", "CAf", "PAf", "CC1", "CC2"};
constexpr int kBendSource = 1;
constexpr Parameter kBendPitchControl = {0x00, "PITCH CONTROL (0/+24)", Shown::Semitones};
constexpr Parameter kPartParameters2[] = {
    {0x00, "PITCH CONTROL (-24/+24)", Shown::Semitones},
    {0x01, "TVF CUTOFF CONTROL (-64/+63)", Shown::Centred},
    {0x02, "AMPLITUDE CONTROL (-64/+63)", Shown::Centred},
    {0x03, "LFO1 RATE CONTROL (-64/+63)", Shown::Centred},
    {0x04, "LFO1 PITCH DEPTH (0-127)"},
    {0x05, "LFO1 TVF DEPTH (0-127)"},
    {0x06, "LFO1 TVA DEPTH (0-127)"},
    {0x07, "LFO2 RATE CONTROL (-64/+63)", Shown::Centred},
    {0x08, "LFO2 PITCH DEPTH (0-127)"},
    {0x09, "LFO2 TVF DEPTH (0-127)"},
    {0x0A, "LFO2 TVA DEPTH (0-127)"},
};

// 41 mp kk: p (the low nibble of the middle byte) is the parameter; labels take the note kk.
constexpr Parameter kDrumSetupParameters[] = {
    {0x0, "DRUM MAP NAME", Shown::MapName},
    {0x1, "DRUM PLAY NOTE NUMBER (0-127)"},
    {0x2, "DRUM NOTE %d LEVEL (0-127)"},
    {0x3, "DRUM NOTE %d ASSIGN GROUP NUMBER (0-127)"},
    {0x4, "DRUM NOTE %d PANPOT (-64 = RANDOM, -63 = LEFT, 63 = RIGHT)", Shown::Centred},
    {0x5, "DRUM NOTE %d REVERB SEND LEVEL (0-127)"},
    {0x6, "DRUM NOTE %d CHORUS SEND LEVEL (0-127)", Shown::Spaced},
    {0x7, "DRUM NOTE %d Rx. NOTE OFF (0-1)"},
    {0x8, "DRUM NOTE %d Rx. NOTE ON (0-127)"},
};

// Model 45, the three address bytes 10 xx yy; 10 11 1n is the mute of each block.
constexpr Parameter kDisplayParameters[] = {
    {0x100000, "DISPLAYED LETTER", Shown::Letters, true},
    {0x100100, "DISPLAYED DOT DATA", Shown::RawData},
    {0x100800, "DISPLAY TYPE", Shown::RawData},
    {0x100801, "PEAK HOLD TYPE"},
    {0x100810, "DISPLAYED PARAMETER (0-6)", Shown::Named, false, 0, 0, kDisplayedParameters},
    {0x101000, "Select Block (Part)", Shown::ValueAndPart},
    {0x101001, "Minus One (0-1)"},
    {0x101002, "Solo (Part Monitor) (0-1)"},
    {0x101100, "ALL Mute (0-1)"},
};
constexpr Parameter kBlockMute = {0x101110, "Block %d (Part %d) Mute"};

template <size_t N>
const Parameter* find(const Parameter (&table)[N], uint32_t address) {
  for (const Parameter& parameter : table)
    if (parameter.address == address) return &parameter;
  return nullptr;
}

// A label of the tables that takes numbers: its "%d" and "%2d" conversions are filled in
// order, without handing the table text to printf as a format.
std::string filledLabel(const char* label, std::initializer_list<int> numbers) {
  std::string out;
  auto number = numbers.begin();
  for (const char* c = label; *c; ++c) {
    if (c[0] == '%' && c[1] == 'd' && number != numbers.end()) {
      out += std::to_string(*number++);
      ++c;
    } else if (c[0] == '%' && c[1] == '2' && c[2] == 'd' && number != numbers.end()) {
      out += format("%2d", *number++);
      c += 2;
    } else {
      out += *c;
    }
  }
  return out;
}

// The address and data bytes of a message: everything before the checksum and F7. Reads
// past them answer -1, so the checksum is never taken for an address or data byte.
SysexBytes addressAndData(const SysexBytes& bytes) {
  return SysexBytes(bytes.bytes(), bytes.size() >= 2 ? bytes.size() - 2 : 0);
}

// Describes one parameter whose data starts at `position` in `bytes` (address and data
// only); values whose bytes are not all there are not shown and cannot be edited.
void describe(const Parameter& parameter, std::string label, const SysexBytes& bytes, size_t position,
              SysexFields& fields) {
  fields.type = std::move(label);
  const size_t end = bytes.size();
  auto has = [&](size_t count) { return position + count <= end; };
  auto at = [&](size_t index) { return bytes.at(position + index); };
  if (!has(1)) return;
  const int v = at(0);

  switch (parameter.shown) {
    case Shown::Value: fields.text = std::to_string(v); break;
    case Shown::Centred: fields.text = std::to_string(v - 64); break;
    case Shown::Semitones: fields.text = format("%d semitones", v - 64); break;
    case Shown::Spaced: fields.text = format(" %d", v); break;
    case Shown::Named:
      fields.text = std::to_string(v);
      if (size_t(v) < parameter.names.size()) fields.text += format(" (%s)", parameter.names[size_t(v)]);
      break;
    case Shown::ValueAndPart: fields.text = format("%d (%d)", v, GSParameters::partNumber(v)); break;
    case Shown::RawData: fields.text = "(Raw data)"; break;
    case Shown::MasterTune:
      if (has(4)) {
        int tune = at(0) * 4096 + at(1) * 256 + at(2) * 16 + at(3);
        fields.text = format("%6.1f cent", (tune - 1024) / 10.0);
      }
      break;
    case Shown::ToneNumber:
      if (has(2)) fields.text = format("%d, PC (1-128): %d", v, at(1));
      break;
    case Shown::FineOffset:
      if (has(2)) fields.text = format("%5.1f Hz", (v * 16 + at(1) - 128) / 10.0);
      break;
    case Shown::ScaleTuning:
      if (has(12))
        fields.text = format(
            "C %d cent, C#: %d cent, D: %d cent, D#: %d cent, E: %d cent, F: %d cent, F#: %d cent, "
            "G: %d cent, G#: %d cent, A: %d cent, A#: %d cent, B: %d cent",
            at(0) - 64, at(1) - 64, at(2) - 64, at(3) - 64, at(4) - 64, at(5) - 64, at(6) - 64, at(7) - 64,
            at(8) - 64, at(9) - 64, at(10) - 64, at(11) - 64);
      break;
    case Shown::PatchName:
    case Shown::Letters: {
      // The characters end before the checksum, or before a byte with its top bit set: such
      // a byte cannot stand inside a message on the wire, so the decoder reports the message
      // as malformed and an edited text that needs one is refused.
      size_t stop = position;
      while (stop < end && bytes.at(stop) < 0x80) ++stop;
      fields.textRange = {uint32_t(position), uint32_t(stop - position)};
      fields.carriesCharacters = true;
      if (parameter.shown == Shown::PatchName)
        fields.fixedTextLength = kPatchNameLength;
      else
        fields.maxTextLength = kLettersMaxLength;
      break;  // the decoder fills the text from the range
    }
    case Shown::MapName:
      for (size_t i = 0; i < kMapNameMaxLength && has(i + 1) && at(i) != 0; ++i) fields.text += char(at(i));
      fields.carriesCharacters = true;
      break;
  }

  if (parameter.editable && parameter.shown != Shown::PatchName && parameter.shown != Shown::Letters) {
    fields.byteValueOffset = uint32_t(position);
    fields.byteValueMin = parameter.min;
    fields.byteValueMax = parameter.max;
    const bool centred = parameter.shown == Shown::Centred || parameter.shown == Shown::Semitones;
    fields.byteValueBias = centred ? 64 : 0;
  }
}

}  // namespace

void GSParameters::readSystemParameters(const SysexBytes& message, size_t offset, SysexFields& fields) {
  const SysexBytes bytes = addressAndData(message);
  const int xx = bytes.at(offset);
  if (xx < 0) return;
  if (const Parameter* parameter = find(kSystemParameters, uint32_t(xx)))
    describe(*parameter, parameter->label, bytes, offset + 1, fields);
}

void GSParameters::readPatchParameters(const SysexBytes& message, size_t offset, SysexFields& fields) {
  const SysexBytes bytes = addressAndData(message);
  const int xx = bytes.at(offset);
  if (xx < 0) return;
  if ((xx & 0xF0) == 0x10) {
    describe(kVoiceReserve, filledLabel(kVoiceReserve.label, {partNumber(xx)}), bytes, offset + 1, fields);
  } else if (const Parameter* parameter = find(kPatchParameters, uint32_t(xx))) {
    describe(*parameter, parameter->label, bytes, offset + 1, fields);
  }
}

void GSParameters::readPartParameters1(int part, const SysexBytes& message, size_t offset, SysexFields& fields) {
  const SysexBytes bytes = addressAndData(message);
  const int xx = bytes.at(offset);
  if (xx < 0) return;
  std::string prefix = format("Part %d ", part);
  if (const Parameter* parameter = find(kPartParameters1, uint32_t(xx)))
    describe(*parameter, prefix + parameter->label, bytes, offset + 1, fields);
  else
    fields.type = std::move(prefix);
}

void GSParameters::readPartParameters2(int part, const SysexBytes& message, size_t offset, SysexFields& fields) {
  const SysexBytes bytes = addressAndData(message);
  const int xx = bytes.at(offset);
  if (xx < 0) return;
  const int source = xx >> 4;
  if (source >= int(std::size(kControllerSources))) {  // no controller source: the part only
    fields.type = format("Part %d ", part);
    return;
  }
  std::string prefix = format("Part %d %s ", part, kControllerSources[source]);
  const int low = xx & 0x0F;
  const Parameter* parameter = source == kBendSource && low == 0 ? &kBendPitchControl : find(kPartParameters2, uint32_t(low));
  if (parameter)
    describe(*parameter, prefix + parameter->label, bytes, offset + 1, fields);
  else
    fields.type = std::move(prefix);
}

void GSParameters::readDrumSetupParameters(const SysexBytes& message, size_t offset, SysexFields& fields) {
  const SysexBytes bytes = addressAndData(message);
  const int mp = bytes.at(offset);
  const int note = bytes.at(offset + 1);
  if (mp < 0 || note < 0) return;
  if (const Parameter* parameter = find(kDrumSetupParameters, uint32_t(mp & 0x0F)))
    describe(*parameter, filledLabel(parameter->label, {note}), bytes, offset + 2, fields);
}

void GSParameters::readIndividualParameters(const SysexBytes& message, size_t offset, SysexFields& fields) {
  const SysexBytes bytes = addressAndData(message);
  const int a = bytes.at(offset + 1), b = bytes.at(offset + 2), c = bytes.at(offset + 3);
  if (a < 0 || b < 0 || c < 0) return;
  const uint32_t address = uint32_t(a << 16 | b << 8 | c);
  if ((address & 0xFFFFF0) == kBlockMute.address) {
    const int block = c & 0x0F;
    describe(kBlockMute, filledLabel(kBlockMute.label, {block, partNumber(block)}), bytes, offset + 4, fields);
  } else if (const Parameter* parameter = find(kDisplayParameters, address)) {
    describe(*parameter, parameter->label, bytes, offset + 4, fields);
  }
}

}  // namespace sw
