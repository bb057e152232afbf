#include "playback/midi_client.h"

#include <cstdlib>

#include "base/log.h"
#include "base/settings_store.h"
#include "playback/alsa/alsa_sequencer.h"
#include "playback/fluidsynth/dls_music_device.h"

namespace sw {

MIDIClient& MIDIClient::sharedMIDIClient() {
  static MIDIClient* client = [] {
    Error error;
    std::unique_ptr<MidiTransport> transport = AlsaSequencer::open(&error);
    auto* made = new MIDIClient(std::move(transport), nullptr);
    if (!made->transport_) {
      made->transportError_ = error;
      logMessage("No MIDI sequencer (" + error.message + "): no MIDI destinations; playing through the synthesizer");
    }
    made->makeSynthesizer_ = true;  // made with the output, on first use
    return made;
  }();
  return *client;
}

MIDIClient::MIDIClient(std::unique_ptr<MidiTransport> transport, std::shared_ptr<MidiOutput> synthesizer)
    : transport_(std::move(transport)), synthesizer_(std::move(synthesizer)) {}

MIDIClient::~MIDIClient() { dispose(); }

std::vector<MidiEndpoint> MIDIClient::destinations() const {
  std::lock_guard lock(mutex_);
  return transport_ ? transport_->destinations() : std::vector<MidiEndpoint>{};
}

std::optional<MidiEndpoint> MIDIClient::findDestination(const std::string& text) const {
  if (text.empty()) return std::nullopt;
  std::optional<uint32_t> id;
  char* end = nullptr;
  unsigned long long number = std::strtoull(text.c_str(), &end, 0);
  if (end && *end == '\0' && number <= 0xFFFFFFFFull) id = uint32_t(number);
  for (const MidiEndpoint& endpoint : destinations())
    if ((id && endpoint.uniqueID == *id) || endpoint.address == text || endpoint.name == text) return endpoint;
  return std::nullopt;
}

const std::shared_ptr<MIDIFilter>& MIDIClient::midiOutput() {
  std::lock_guard lock(mutex_);
  if (!output_) {
    if (makeSynthesizer_ && !synthesizer_) {
      synthesizer_ = DLSMusicDevice::create();
      if (!synthesizer_) logMessage("The software synthesizer could not be created");
    }
    MIDIEndpointRef destination = 0;
    const SettingsStore& defaults = SettingsStore::shared();
    if (transport_ && defaults.integerForKey("MIDIDevice") != 0) {
      const auto wanted = uint32_t(defaults.integerForKey("MIDIOutputUniqueID"));
      for (const MidiEndpoint& endpoint : transport_->destinations())
        if (endpoint.uniqueID == wanted) destination = endpoint.ref;
    }
    output_ = std::make_shared<MIDIFilter>(transport_.get(), destination, synthesizer_);
  }
  return output_;
}

void MIDIClient::selectDestination(const std::optional<MidiEndpoint>& endpoint, bool remember) {
  const std::shared_ptr<MIDIFilter>& output = midiOutput();
  output->allNotesOff(true);
  output->setDest(endpoint && transport_ ? endpoint->ref : 0);
  if (remember) {
    SettingsStore& defaults = SettingsStore::shared();
    defaults.setInteger("MIDIDevice", endpoint ? 1 : 0);
    if (endpoint) defaults.setInteger("MIDIOutputUniqueID", endpoint->uniqueID);
  }
}

void MIDIClient::dispose() {
  std::shared_ptr<MIDIFilter> output;
  {
    std::lock_guard lock(mutex_);
    output = output_;
  }
  if (output) {
    output->allNotesOff(true);
    output->setDest(0);
  }
}

}  // namespace sw
