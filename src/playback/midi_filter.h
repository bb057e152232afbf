// MIDIFilter: the shared output with per-channel muting and the level data behind the
// channel meters. Only note-ons of a muted channel are dropped: its note-offs, controllers
// and everything else still pass, so notes started before muting end normally.
#pragma once

#include <array>
#include <atomic>

#include "playback/midi_output_port.h"

namespace sw {

class MIDIFilter : public MIDIOutput {
 public:
  using MIDIOutput::MIDIOutput;

  uint16_t filterChannelMask() const { return filterChannelMask_.load(); }
  // Stores the mask and silences every muted channel (ascending).
  void setFilterChannelMask(uint16_t mask);
  // All Notes Off and sustain off on one channel, at once.
  void silenceChannel(uint8_t channel);

  OSStatus sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) override;
  using MidiOutput::sendBytes;
  void allNotesOff(bool allSoundOff) override;

  // Level data, written by the sending threads and read by the meters without a lock.
  uint16_t playingNotes(int channel) const { return playingNotes_[size_t(channel & 15)].load(); }
  uint8_t noteVelocity(int channel) const { return noteVelocity_[size_t(channel & 15)].load(); }
  uint32_t noteTicks(int channel) const { return noteTicks_[size_t(channel & 15)].load(); }
  void setNoteVelocity(int channel, uint8_t level, uint32_t ticks);

 private:
  std::atomic<uint16_t> filterChannelMask_{0};
  std::array<std::atomic<uint16_t>, 16> playingNotes_{};
  std::array<std::atomic<uint8_t>, 16> noteVelocity_{};
  std::array<std::atomic<uint32_t>, 16> noteTicks_{};
};

}  // namespace sw
