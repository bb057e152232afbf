// MIDIOutput: the output to one sequencer destination, falling back to the built-in
// synthesizer when no destination is chosen (destination 0) or no transport exists.
#pragma once

#include <atomic>
#include <memory>

#include "playback/host_clock.h"
#include "playback/midi_output.h"
#include "playback/midi_transport.h"

namespace sw {

class MIDIOutput : public MidiOutput {
 public:
  static constexpr int32_t kEstimatedMaxPacketDataSize = 32768;

  // `transport` may be null (no sequencer on this machine); `synthesizer` receives everything
  // while the destination is 0 and may be null (messages are then dropped).
  MIDIOutput(MidiTransport* transport, MIDIEndpointRef destination, std::shared_ptr<MidiOutput> synthesizer,
             HostClock& clock = HostClock::system());

  MIDIEndpointRef dest() const { return dest_.load(); }
  // A destination other than 0 stops the synthesizer's audio at once.
  void setDest(MIDIEndpointRef destination);
  bool muted() const { return muted_.load(); }
  // Muting first sends all notes off, with All Sound Off.
  void setMuted(bool muted);

  OSStatus sendBytes(const uint8_t* bytes, int32_t size, uint64_t timeStamp) override;
  using MidiOutput::sendBytes;
  void resetDevice(bool GM, bool GS, bool XG) override;
  void allNotesOff(bool allSoundOff) override;
  void sendMasterVolume(float volume) override;
  MusicDevice* musicDevice() override;
  const std::shared_ptr<MidiOutput>& synthesizer() const { return synthesizer_; }

 protected:
  HostClock& clock() const { return clock_; }
  // The send algorithm after any filtering.
  OSStatus deliver(const uint8_t* bytes, int32_t size, uint64_t timeStamp);

 private:
  bool usesSynthesizer() const { return dest_ == 0 || transport_ == nullptr; }

  MidiTransport* transport_;
  std::atomic<MIDIEndpointRef> dest_{0};
  std::shared_ptr<MidiOutput> synthesizer_;
  HostClock& clock_;
  std::atomic<bool> muted_{false};
};

}  // namespace sw
