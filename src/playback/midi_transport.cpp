#include "playback/midi_transport.h"

#include <map>

namespace sw {

namespace {
uint32_t fnv1a(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}
}  // namespace

uint32_t endpointUniqueID(const std::string& clientName, const std::string& portName) {
  uint32_t id = fnv1a(clientName + "\n" + portName);
  return id ? id : 1;  // 0 stands for the synthesizer
}

void disambiguateEndpoints(std::vector<MidiEndpoint>& endpoints) {
  std::map<std::string, int> seen;
  for (MidiEndpoint& endpoint : endpoints) {
    int count = ++seen[endpoint.name];
    if (count > 1) {
      endpoint.name += " #" + std::to_string(count);
      endpoint.uniqueID = endpointUniqueID(endpoint.name, "");
    }
  }
}

}  // namespace sw
