#include "editing/midi_names.h"

#include <cctype>
#include <cstdlib>
#include <utility>

#include "smf/event_description.h"
#include "smf/gm_names.h"

namespace sw {

namespace {

const std::vector<std::pair<uint8_t, const char*>> kEvents = {
    {0x80, "Note Off"},        {0x90, "Note On"},          {0xA0, "Key Pressure"},
    {0xB0, "Control Change"},  {0xC0, "Program Change"},   {0xD0, "Channel Pressure"},
    {0xE0, "Pitch Bend"},      {0xF0, "System Exclusive"}, {0xFF, "Meta Event"},
};

const std::vector<std::pair<uint8_t, const char*>> kMetaEvents = {
    {0x00, "Sequence Number"}, {0x01, "Text"},           {0x02, "Copyright"},
    {0x03, "Track Name"},      {0x04, "Instrument Name"}, {0x05, "Lyric"},
    {0x06, "Marker"},          {0x07, "Cue Point"},       {0x08, "Program Name"},
    {0x09, "Device Name"},     {0x20, "Channel Prefix"},  {0x21, "Port"},
    {0x2F, "End of Track"},    {0x4B, "Tag"},             {0x51, "Tempo"},
    {0x54, "SMPTE Offset"},    {0x58, "Time Signature"},  {0x59, "Key Signature"},
    {0x7F, "Sequencer Specific"},
};

const std::vector<std::pair<const char*, uint8_t>> kEventAliases = {
    {"noteoff", 0x80}, {"noteon", 0x90},   {"keypressure", 0xA0}, {"aftertouch", 0xA0},
    {"control", 0xB0}, {"cc", 0xB0},       {"program", 0xC0},     {"pressure", 0xD0},
    {"pitchbend", 0xE0}, {"bend", 0xE0},   {"sysex", 0xF0},       {"meta", 0xFF},
};

const std::vector<std::pair<const char*, uint8_t>> kMetaAliases = {
    {"seqnumber", 0x00}, {"text", 0x01},       {"copyright", 0x02}, {"trackname", 0x03}, {"name", 0x03},
    {"instrument", 0x04}, {"lyric", 0x05},     {"marker", 0x06},    {"cue", 0x07},       {"programname", 0x08},
    {"device", 0x09},    {"prefix", 0x20},     {"port", 0x21},      {"eot", 0x2F},       {"tag", 0x4B},
    {"tempo", 0x51},     {"smpte", 0x54},      {"timesig", 0x58},   {"keysig", 0x59},    {"sequencer", 0x7F},
    {"xf", 0x7F},
};

// Keys 27 to 87.
const char* const kDrumNames[61] = {
    "High Q", "Slap", "Scratch Push", "Scratch Pull", "Sticks", "Square Click", "Metronome Click",
    "Metronome Bell", "Acoustic Bass Drum", "Bass Drum 1", "Side Stick", "Acoustic Snare", "Hand Clap",
    "Electric Snare", "Low Floor Tom", "Closed Hi-Hat", "High Floor Tom", "Pedal Hi-Hat", "Low Tom",
    "Open Hi-Hat", "Low-Mid Tom", "Hi-Mid Tom", "Crash Cymbal 1", "High Tom", "Ride Cymbal 1",
    "Chinese Cymbal", "Ride Bell", "Tambourine", "Splash Cymbal", "Cowbell", "Crash Cymbal 2", "Vibraslap",
    "Ride Cymbal 2", "Hi Bongo", "Low Bongo", "Mute Hi Conga", "Open Hi Conga", "Low Conga", "High Timbale",
    "Low Timbale", "High Agogo", "Low Agogo", "Cabasa", "Maracas", "Short Whistle", "Long Whistle",
    "Short Guiro", "Long Guiro", "Claves", "Hi Wood Block", "Low Wood Block", "Mute Cuica", "Open Cuica",
    "Mute Triangle", "Open Triangle", "Shaker", "Jingle Bell", "Belltree", "Castanets", "Mute Surdo",
    "Open Surdo"};

std::vector<uint8_t> keysOf(const std::vector<std::pair<uint8_t, const char*>>& table) {
  std::vector<uint8_t> out;
  for (const auto& entry : table) out.push_back(entry.first);
  return out;
}

std::vector<std::string> namesOf(const std::vector<std::pair<uint8_t, const char*>>& table) {
  std::vector<std::string> out;
  for (const auto& entry : table) out.push_back(entry.second);
  return out;
}

// Lower case without spaces, hyphens and underscores.
std::string folded(std::string_view text) {
  std::string out;
  for (unsigned char c : text)
    if (c != ' ' && c != '-' && c != '_' && c != '\t') out += char(std::tolower(c));
  return out;
}

int numberFrom(const std::string& text, int limit) {
  if (text.empty()) return -1;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, text.rfind("0x", 0) == 0 ? 16 : 10);
  if (*end != '\0' || value < 0 || value > limit) return -1;
  return int(value);
}

int keyFromName(std::string_view text, const std::vector<std::pair<uint8_t, const char*>>& table,
                const std::vector<std::pair<const char*, uint8_t>>& aliases, int limit) {
  const std::string wanted = folded(text);
  for (const auto& [key, name] : table)
    if (folded(name) == wanted) return key;
  for (const auto& [alias, key] : aliases)
    if (wanted == alias) return key;
  return numberFrom(wanted, limit);
}

const char* nameIn(const std::vector<std::pair<uint8_t, const char*>>& table, uint8_t key) {
  for (const auto& [k, name] : table)
    if (k == key) return name;
  return nullptr;
}

}  // namespace

const std::vector<uint8_t>& MidiNames::eventKeys() {
  static const auto keys = keysOf(kEvents);
  return keys;
}

const std::vector<std::string>& MidiNames::eventNames() {
  static const auto names = namesOf(kEvents);
  return names;
}

const std::vector<uint8_t>& MidiNames::metaEventKeys() {
  static const auto keys = keysOf(kMetaEvents);
  return keys;
}

const std::vector<std::string>& MidiNames::metaEventNames() {
  static const auto names = namesOf(kMetaEvents);
  return names;
}

const std::vector<std::string>& MidiNames::controllers() {
  static const auto names = [] {
    std::vector<std::string> out;
    for (int c = 0; c < 128; ++c) out.push_back(controllerName(uint8_t(c)));
    return out;
  }();
  return names;
}

const std::vector<std::string>& MidiNames::gmGroups() {
  static const std::vector<std::string> names(gm::groupNames().begin(), gm::groupNames().end());
  return names;
}

const std::vector<std::string>& MidiNames::gmNames() {
  static const std::vector<std::string> names(gm::programNames().begin(), gm::programNames().end());
  return names;
}

const char* MidiNames::gmDrumName(int program) { return gm::drumKitName(program); }

const char* MidiNames::percussionName(uint8_t key) { return key >= 27 && key <= 87 ? kDrumNames[key - 27] : nullptr; }

const char* MidiNames::eventName(uint8_t status) { return nameIn(kEvents, status); }

const char* MidiNames::metaEventName(uint8_t type) { return nameIn(kMetaEvents, type); }

int MidiNames::eventKeyFromName(std::string_view text) {
  int key = keyFromName(text, kEvents, kEventAliases, 0xFF);
  if (key < 0x80) return -1;
  if (key < 0xF0) return key & 0xF0;
  return key == 0xF0 || key == 0xFF ? key : -1;
}

int MidiNames::metaEventKeyFromName(std::string_view text) { return keyFromName(text, kMetaEvents, kMetaAliases, 0x7F); }

}  // namespace sw
