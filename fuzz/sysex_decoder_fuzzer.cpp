// Any bytes as the data of a system-exclusive event (F0, length, bytes): decoded (maker,
// type, GS parameters, carried text, checksum), and recognised as a reset or master volume.
#include <cstddef>
#include <cstdint>

#include "sysex/sysex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sw::Sysex sysex(data, size);
  (void)sysex.manufacturer();
  (void)sysex.type();
  (void)sysex.text();
  (void)sysex.textBytes();
  (void)sysex.checksumState();
  (void)sysex.MIDIData();
  if (sysex.canSetText()) sysex.setText("Fuzz");
  sysex.computeCheckSum();
  (void)sw::Sysex::resetType(data, size);
  (void)sw::Sysex::masterVolume(data, size);
  (void)sw::Sysex::MIDIDataFromEventData(data, size);
  (void)sw::Sysex::eventDataFromMIDIData(data, size);
  return 0;
}
