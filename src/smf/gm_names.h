// General MIDI names: the 128 programs, their 16 groups of eight and the drum kits, shared
// by the format conversion (named channel tracks) and the event editor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sw::gm {

inline constexpr size_t kProgramCount = 128;
inline constexpr size_t kGroupCount = 16;
inline constexpr size_t kDrumKitCount = 10;

// Program numbers of the drum kits, in the order of drumKitNames().
inline constexpr std::array<uint8_t, kDrumKitCount> kDrumKitPrograms = {0, 8, 16, 24, 25, 32, 40, 48, 56, 127};

const std::array<const char*, kProgramCount>& programNames();
const std::array<const char*, kGroupCount>& groupNames();
const std::array<const char*, kDrumKitCount>& drumKitNames();

// nullptr outside 0..127.
const char* programName(int program);
// The group of a program (program / 8); nullptr outside 0..127.
const char* groupName(int program);
// The kit selected by a program on a drum channel; nullptr when the program is no kit.
const char* drumKitName(int program);

}  // namespace sw::gm
