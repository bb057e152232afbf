// The ALSA sequencer as a MIDI transport: a client "Scorewell" with one output port
// "Output port" and a queue for timestamped sends. Destinations are the writable,
// subscribable ports of the other clients.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "base/status.h"
#include "playback/host_clock.h"
#include "playback/midi_transport.h"

typedef struct _snd_seq snd_seq_t;
typedef struct snd_midi_event snd_midi_event_t;

namespace sw {

class AlsaSequencer : public MidiTransport {
 public:
  // Nothing when the sequencer cannot be opened (no /dev/snd/seq); `error` then says why.
  static std::unique_ptr<AlsaSequencer> open(Error* error = nullptr, HostClock& clock = HostClock::system());
  ~AlsaSequencer() override;

  std::vector<MidiEndpoint> destinations() override;
  OSStatus send(MIDIEndpointRef destination, const uint8_t* bytes, size_t size, uint64_t timeStamp) override;
  void flushOutput(MIDIEndpointRef destination) override;

  int clientId() const { return clientId_; }

  static MIDIEndpointRef refForAddress(int client, int port) { return (uint32_t(client + 1) << 16) | uint32_t(port & 0xFFFF); }

 private:
  AlsaSequencer(snd_seq_t* seq, HostClock& clock) : seq_(seq), clock_(clock) {}
  Error setUp();

  std::mutex mutex_;  // the handle is not thread-safe
  snd_seq_t* seq_;
  HostClock& clock_;
  snd_midi_event_t* encoder_ = nullptr;
  int clientId_ = -1;
  int port_ = -1;
  int queue_ = -1;
  uint64_t queueStart_ = 0;  // host time at which the queue started
};

}  // namespace sw
