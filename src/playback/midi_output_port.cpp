#include "playback/midi_output_port.h"

#include <cstdio>

#include "base/log.h"
#include "playback/fluidsynth/music_device.h"
#include "playback/midi_messages.h"

namespace sw {

MIDIOutput::MIDIOutput(MidiTransport* transport, MIDIEndpointRef destination,
                       std::shared_ptr<MidiOutput> synthesizer, HostClock& clock)
    : transport_(transport), synthesizer_(std::move(synthesizer)), clock_(clock) {
  setDest(destination);
}

void MIDIOutput::setDest(MIDIEndpointRef destination) {
  dest_ = destination;
  if (destination != 0)
    if (MusicDevice* device = musicDevice()) device->stopAUGraph(0.0);
}

void MIDIOutput::setMuted(bool muted) {
  if (muted) allNotesOff(true);
  muted_ = muted;
}

MusicDevice* MIDIOutput::musicDevice() { return synthesizer_ ? synthesizer_->musicDevice() : nullptr; }

OSStatus MIDIOutput::sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) {
  return deliver(bytes, size, timeStamp);
}

OSStatus MIDIOutput::deliver(const uint8_t* bytes, int32_t size, uint64_t timeStamp) {
  if (muted_) return noErr;
  if (!bytes || size <= 0) return paramErr;
  if (!usesSynthesizer()) {
    if (size > kEstimatedMaxPacketDataSize) {
      char line[160];
      std::snprintf(line, sizeof line,
                    "packetSize (%d) > kEstimatedMaxPacketDataSize (%d), MIDI message will be skipped\n", size,
                    kEstimatedMaxPacketDataSize);
      logMessage(line);
      return paramErr;
    }
    return transport_->send(dest_, bytes, size_t(size), timeStamp);
  }
  return synthesizer_ ? synthesizer_->sendBytes(bytes, size, timeStamp) : noErr;
}

void MIDIOutput::resetDevice(bool GM, bool GS, bool XG) {
  if (usesSynthesizer()) {
    if (synthesizer_) synthesizer_->resetDevice(GM, GS, XG);
    return;
  }
  if (GM) sendBytes(midi::kGMSystemOn.data(), int32_t(midi::kGMSystemOn.size()), 0);
  if (GS) sendBytes(midi::kGSReset.data(), int32_t(midi::kGSReset.size()), 0);
  if (XG) sendBytes(midi::kXGSystemOn.data(), int32_t(midi::kXGSystemOn.size()), 0);
  clock_.sleepFor(40 * kNanosPerMilli);
}

void MIDIOutput::allNotesOff(bool allSoundOff) {
  if (usesSynthesizer()) {
    if (synthesizer_) synthesizer_->allNotesOff(allSoundOff);
    return;
  }
  transport_->flushOutput(dest_);
  for (uint8_t channel = 0; channel < 16; ++channel) {
    const uint8_t status = midi::kControlChange | channel;
    const uint8_t messages[4][3] = {{status, midi::kAllNotesOff, 0},
                                    {status, midi::kSostenuto, 0},
                                    {status, midi::kSustain, 0},
                                    {status, midi::kAllSoundOff, 0}};
    for (int i = 0; i < (allSoundOff ? 4 : 3); ++i) sendBytes(messages[i], 3, 0);
  }
}

void MIDIOutput::sendMasterVolume(float volume) {
  if (usesSynthesizer()) {
    if (synthesizer_) synthesizer_->sendMasterVolume(volume);
    return;
  }
  auto message = midi::masterVolumeMessage(volume);
  sendBytes(message.data(), int32_t(message.size()), 0);
}

}  // namespace sw
