#include "playback/midi_filter.h"

#include "playback/midi_messages.h"

namespace sw {

void MIDIFilter::setFilterChannelMask(uint16_t mask) {
  filterChannelMask_ = mask;
  for (uint8_t channel = 0; channel < 16; ++channel)
    if (mask & (1u << channel)) silenceChannel(channel);
}

void MIDIFilter::silenceChannel(uint8_t channel) {
  const uint8_t status = midi::kControlChange | (channel & 0x0F);
  const uint8_t allNotesOff[3] = {status, midi::kAllNotesOff, 0};
  const uint8_t sustainOff[3] = {status, midi::kSustain, 0};
  sendBytes(allNotesOff, 3, 0);
  sendBytes(sustainOff, 3, 0);
}

void MIDIFilter::setNoteVelocity(int channel, uint8_t level, uint32_t ticks) {
  noteVelocity_[size_t(channel & 15)] = level;
  noteTicks_[size_t(channel & 15)] = ticks;
}

OSStatus MIDIFilter::sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) {
  if (bytes && size > 0 && bytes[0] >= 0x80 && bytes[0] < 0xF0) {
    const uint8_t kind = bytes[0] & 0xF0;
    const size_t channel = bytes[0] & 0x0F;
    const uint8_t data1 = size > 1 ? bytes[1] : 0;
    const uint8_t data2 = size > 2 ? bytes[2] : 0;
    if (kind == midi::kControlChange && data1 == midi::kAllNotesOff) {
      noteVelocity_[channel] = 0;
      playingNotes_[channel] = 0;
    } else if (kind == midi::kNoteOn && data2 > 0) {
      if (playingNotes_[channel] < UINT16_MAX) ++playingNotes_[channel];
      if (data2 > noteVelocity_[channel]) {
        noteVelocity_[channel] = data2;
        noteTicks_[channel] = systemTicks(clock());
      }
      if (filterChannelMask_ & (1u << channel)) return noErr;
    } else if (kind == midi::kNoteOff || kind == midi::kNoteOn) {
      if (playingNotes_[channel] > 0) --playingNotes_[channel];
    }
  }
  return deliver(bytes, size, timeStamp);
}

void MIDIFilter::allNotesOff(bool allSoundOff) {
  MIDIOutput::allNotesOff(allSoundOff);
  // The synthesizer path does not pass through sendBytes; the meters fall silent either way.
  for (size_t channel = 0; channel < 16; ++channel) {
    noteVelocity_[channel] = 0;
    playingNotes_[channel] = 0;
  }
}

}  // namespace sw
