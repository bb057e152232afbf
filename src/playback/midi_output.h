// The contract between the player and whatever produces sound: a sequencer destination, the
// built-in synthesizer, or a recording output in tests.
#pragma once

#include <cstdint>

#include "base/status.h"

namespace sw {

class MusicDevice;

class MidiOutput {
 public:
  virtual ~MidiOutput() = default;

  // One complete message; `timeStamp` is a host time (0 = now). 0 when sent.
  virtual OSStatus sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) = 0;
  OSStatus sendBytes(const uint8_t* bytes, int32_t size) { return sendBytes(bytes, size, 0); }
  virtual void resetDevice(bool GM, bool GS, bool XG) = 0;
  // All Notes Off, sostenuto and sustain off on every channel; All Sound Off as well when asked.
  virtual void allNotesOff(bool allSoundOff) = 0;
  virtual void sendMasterVolume(float volume) = 0;  // 0.0-1.0
  // The software synthesizer behind this output, if there is one.
  virtual MusicDevice* musicDevice() = 0;
};

}  // namespace sw
