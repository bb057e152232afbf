#include "sysex/manufacturers.h"

#include <cstdio>
#include <iterator>

namespace sw {

namespace {

struct Entry {
  uint16_t id;
  const char* name;
};

// One-byte IDs: the American group 01-1F, the European group 20-3F, the Japanese group
// 40-5F and the special IDs 7D-7F. IDs without a name here are reported as unknown.
constexpr Entry kOneByte[] = {
    {0x01, "Sequential Circuits"},
    {0x02, "IDP"},
    {0x03, "Voyetra Turtle Beach"},
    {0x04, "Moog Music"},
    {0x05, "Passport Designs"},
    {0x06, "Lexicon"},
    {0x07, "Kurzweil / Young Chang"},
    {0x08, "Fender"},
    {0x09, "MIDI9"},
    {0x0A, "AKG Acoustics"},
    {0x0B, "Voyce Music"},
    {0x0C, "WaveFrame"},
    {0x0D, "ADA Signal Processors"},
    {0x0E, "Garfield Electronics"},
    {0x0F, "Ensoniq"},
    {0x10, "Oberheim / Gibson Labs"},
    {0x11, "Apple"},
    {0x12, "Grey Matter Response"},
    {0x13, "Digidesign"},
    {0x14, "Palmtree Instruments"},
    {0x15, "JLCooper Electronics"},
    {0x16, "Lowrey Organ Company"},
    {0x17, "Adams-Smith"},
    {0x18, "E-mu"},
    {0x19, "Harmony Systems"},
    {0x1A, "ART"},
    {0x1B, "Baldwin"},
    {0x1C, "Eventide"},
    {0x1D, "Inventronics"},
    {0x1E, "Key Concepts"},
    {0x1F, "Clarity"},
    {0x20, "Passac"},
    {0x21, "Proel Labs (SIEL)"},
    {0x22, "Synthaxe"},
    {0x23, "Stepp"},
    {0x24, "Hohner"},
    {0x25, "Twister"},
    {0x26, "Ketron (Solton)"},
    {0x27, "Jellinghaus MS"},
    {0x28, "Southworth Music Systems"},
    {0x29, "PPG"},
    {0x2A, "JEN"},
    {0x2B, "Solid State Logic Organ Systems"},
    {0x2C, "Audio Veritrieb-P. Struven"},
    {0x2D, "Neve"},
    {0x2E, "Soundtracs"},
    {0x2F, "Elka"},
    {0x30, "Dynacord"},
    {0x31, "Viscount International"},
    {0x32, "Drawmer"},
    {0x33, "Clavia Digital Instruments"},
    {0x34, "Audio Architecture"},
    {0x35, "Generalmusic"},
    {0x36, "Cheetah Marketing"},
    {0x37, "C.T.M."},
    {0x38, "Simmons UK"},
    {0x39, "Soundcraft Electronics"},
    {0x3A, "Steinberg Media Technologies"},
    {0x3B, "Wersi"},
    {0x3C, "AVAB Niethammer"},
    {0x3D, "Digigram"},
    {0x3E, "Waldorf Electronics"},
    {0x3F, "Quasimidi"},
    {0x40, "Kawai"},
    {0x41, "Roland"},
    {0x42, "Korg"},
    {0x43, "Yamaha"},
    {0x44, "Casio"},
    {0x46, "Kamiya Studio"},
    {0x47, "Akai"},
    {0x48, "Victor Company of Japan"},
    {0x4B, "Fujitsu"},
    {0x4C, "Sony"},
    {0x4E, "Teac"},
    {0x50, "Matsushita Electric"},
    {0x51, "Fostex"},
    {0x52, "Zoom"},
    {0x54, "Matsushita Communication Industrial"},
    {0x55, "Suzuki Musical Instruments"},
    {0x56, "Fuji Sound"},
    {0x57, "Acoustic Technical Laboratory"},
    {0x59, "Faith"},
    {0x5A, "Internet Corporation"},
    {0x5C, "Seekers"},
    {0x5F, "SD Card Association"},
    {0x7D, "Non-Commercial"},
    {0x7E, "Universal Non-Real Time"},
    {0x7F, "Universal Real Time"},
};

// Three-byte IDs 00 hi lo, keyed by (hi << 8) | lo.
constexpr Entry kThreeByte[] = {
    {0x0001, "Time/Warner Interactive"},
    {0x0007, "Digital Music Corp."},
    {0x0009, "New England Digital"},
    {0x000E, "Alesis"},
    {0x001B, "Peavey Electronics"},
    {0x003B, "Mark Of The Unicorn"},
    {0x0041, "Microsoft"},
    {0x200B, "Farfisa"},
    {0x201F, "TC Electronic"},
    {0x2024, "Midisoft"},
    {0x2029, "Focusrite/Novation"},
    {0x2032, "Behringer"},
    {0x2033, "Access"},
    {0x203C, "Elektron"},
    {0x206B, "Arturia"},
};

template <size_t N>
const char* lookup(const Entry (&table)[N], uint16_t id) {
  for (const Entry& e : table)
    if (e.id == id) return e.name;
  return "";
}

}  // namespace

const char* manufacturerName(uint8_t id) { return id < 0x80 ? lookup(kOneByte, id) : ""; }

const char* extendedManufacturerName(uint16_t extendedID) { return lookup(kThreeByte, extendedID); }

std::string unknownManufacturerText(uint8_t id) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "Unknown manufacturer ID: 0x%02X", unsigned(id));
  return buffer;
}

std::string unknownExtendedManufacturerText(uint16_t extendedID) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "Unknown manufacturer ID: 0x%02X%02X", 0u, unsigned(extendedID));
  return buffer;
}

}  // namespace sw
