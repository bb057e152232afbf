// Names of the registered MIDI manufacturer IDs.
#pragma once

#include <cstdint>
#include <string>

namespace sw {

// The name of a one-byte ID (0x01-0x7F); empty when the ID is not in the table.
const char* manufacturerName(uint8_t id);
// The name of a three-byte ID 00 hi lo given as (hi << 8) | lo; empty when unknown.
const char* extendedManufacturerName(uint16_t extendedID);

// "Unknown manufacturer ID: 0x%02X" and "Unknown manufacturer ID: 0x%02X%02X" (ID byte 0
// followed by the two extended bytes).
std::string unknownManufacturerText(uint8_t id);
std::string unknownExtendedManufacturerText(uint16_t extendedID);

}  // namespace sw
