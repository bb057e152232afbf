// The fixed messages every output sends, byte for byte, and the controller messages built
// from them.
#pragma once

#include <array>
#include <cstdint>

namespace sw::midi {

inline constexpr std::array<uint8_t, 6> kGMSystemOn{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
inline constexpr std::array<uint8_t, 11> kGSReset{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
inline constexpr std::array<uint8_t, 9> kXGSystemOn{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};

inline constexpr uint8_t kNoteOff = 0x80;
inline constexpr uint8_t kNoteOn = 0x90;
inline constexpr uint8_t kPolyPressure = 0xA0;
inline constexpr uint8_t kControlChange = 0xB0;
inline constexpr uint8_t kProgramChange = 0xC0;
inline constexpr uint8_t kChannelPressure = 0xD0;
inline constexpr uint8_t kPitchBend = 0xE0;

// Controllers the outputs act on.
inline constexpr uint8_t kDataEntryMSB = 6;
inline constexpr uint8_t kVolume = 7;
inline constexpr uint8_t kPan = 10;
inline constexpr uint8_t kBankSelectLSB = 32;
inline constexpr uint8_t kDataEntryLSB = 38;
inline constexpr uint8_t kSustain = 64;
inline constexpr uint8_t kSostenuto = 66;
inline constexpr uint8_t kReverbSend = 91;
inline constexpr uint8_t kChorusSend = 93;
inline constexpr uint8_t kNRPNLSB = 98;
inline constexpr uint8_t kNRPNMSB = 99;
inline constexpr uint8_t kRPNLSB = 100;
inline constexpr uint8_t kRPNMSB = 101;
inline constexpr uint8_t kAllSoundOff = 120;
inline constexpr uint8_t kResetAllControllers = 121;
inline constexpr uint8_t kAllNotesOff = 123;

// The universal Master Volume message: F0 7F 7F 04 01 00 vv F7 with vv = trunc(sqrt(v) x 127).
std::array<uint8_t, 8> masterVolumeMessage(float volume);

}  // namespace sw::midi
