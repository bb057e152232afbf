// MIDIClient: the process-wide owner of the MIDI transport and of the single MIDIFilter that
// all playback goes through, with the built-in synthesizer behind it. Where no sequencer
// exists it lists no destinations, says so once, and everything plays through the
// synthesizer.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "playback/midi_filter.h"
#include "playback/midi_transport.h"

namespace sw {

class DLSMusicDevice;

class MIDIClient {
 public:
  // The shared client, created on first use with the ALSA sequencer and the synthesizer
  // configured from the user defaults.
  static MIDIClient& sharedMIDIClient();

  // A client over the given parts (tests; either may be null, a null synthesizer drops what
  // would go to it).
  MIDIClient(std::unique_ptr<MidiTransport> transport, std::shared_ptr<MidiOutput> synthesizer);
  ~MIDIClient();

  bool hasTransport() const { return transport_ != nullptr; }
  // Why there is no transport, when there is none.
  const Error& transportError() const { return transportError_; }
  std::vector<MidiEndpoint> destinations() const;
  // A destination named by its unique ID (decimal or 0x hex), its "client:port" address or
  // its exact name.
  std::optional<MidiEndpoint> findDestination(const std::string& text) const;

  // The shared output; created with the destination the user defaults "MIDIDevice" and
  // "MIDIOutputUniqueID" choose (the synthesizer when "MIDIDevice" is 0 or the ID is gone).
  const std::shared_ptr<MIDIFilter>& midiOutput();
  // Chooses a destination (0 = the synthesizer) and, when `remember`, stores the choice in
  // "MIDIDevice" and "MIDIOutputUniqueID".
  void selectDestination(const std::optional<MidiEndpoint>& endpoint, bool remember);
  // Sends all notes off with All Sound Off (flushing what a destination still had queued)
  // and falls back to the synthesizer.
  void dispose();

 private:
  std::unique_ptr<MidiTransport> transport_;
  Error transportError_;
  std::shared_ptr<MidiOutput> synthesizer_;
  bool makeSynthesizer_ = false;
  std::shared_ptr<MIDIFilter> output_;  // after transport_: destroyed first, it points into it
  mutable std::mutex mutex_;
};

}  // namespace sw
