// A MIDI transport offering destinations with stable identifiers and timestamped sends: the
// ALSA sequencer on Linux, a fake in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"

namespace sw {

// A destination reference as the transport hands it out; 0 means none (the synthesizer).
using MIDIEndpointRef = uint32_t;

struct MidiEndpoint {
  MIDIEndpointRef ref = 0;
  // Derived from the client and port names, so it survives restarts and renumbering.
  uint32_t uniqueID = 0;
  std::string name;     // "Client Port", or the client name alone when the two agree
  std::string address;  // the transport's own address, "client:port" for ALSA
};

class MidiTransport {
 public:
  virtual ~MidiTransport() = default;
  virtual std::vector<MidiEndpoint> destinations() = 0;
  // Sends one complete message to `destination`, at host time `timeStamp` (0 = now).
  virtual OSStatus send(MIDIEndpointRef destination, const uint8_t* bytes, size_t size, uint64_t timeStamp) = 0;
  // Drops messages scheduled for `destination` that have not gone out yet.
  virtual void flushOutput(MIDIEndpointRef destination) = 0;
};

// The identifier of a destination: FNV-1a over "client\nport". Titles that repeat get the
// suffix " #2", " #3" ... and their identifiers are derived from the suffixed title.
uint32_t endpointUniqueID(const std::string& clientName, const std::string& portName);
// Applies the duplicate-title rule to a list in place.
void disambiguateEndpoints(std::vector<MidiEndpoint>& endpoints);

}  // namespace sw
