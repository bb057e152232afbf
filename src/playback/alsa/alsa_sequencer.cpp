#include "playback/alsa/alsa_sequencer.h"

#include <alsa/asoundlib.h>

#include <cstdarg>

namespace sw {

namespace {

// ALSA prints its own errors on stderr; the callers report failures themselves.
void silentErrorHandler(const char*, int, const char*, int, const char*, ...) {}

void installErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(silentErrorHandler); });
}

constexpr size_t kOutputBuffer = 65536 + 1024;

// ALSA reports a failure as a negative errno value.
Error alsaError(const std::string& what, int result) {
  Error error;
  error.status = result < 0 ? statusFromErrno(-result) : noErr;
  if (error.status == noErr) error.status = ioErr;
  error.code = result;
  error.message = what + ": " + snd_strerror(result);
  return error;
}

}  // namespace

std::unique_ptr<AlsaSequencer> AlsaSequencer::open(Error* error, HostClock& clock) {
  installErrorHandler();
  snd_seq_t* seq = nullptr;
  int result = snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0);
  if (result < 0 || !seq) {
    if (error) *error = alsaError("cannot open the ALSA sequencer", result);
    return nullptr;
  }
  std::unique_ptr<AlsaSequencer> sequencer(new AlsaSequencer(seq, clock));
  if (Error failure = sequencer->setUp()) {
    if (error) *error = std::move(failure);
    return nullptr;
  }
  return sequencer;
}

Error AlsaSequencer::setUp() {
  snd_seq_set_client_name(seq_, "Scorewell");
  clientId_ = snd_seq_client_id(seq_);
  port_ = snd_seq_create_simple_port(seq_, "Output port", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                     SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port_ < 0) return alsaError("cannot create the output port", port_);
  queue_ = snd_seq_alloc_named_queue(seq_, "Scorewell");
  if (queue_ < 0) return alsaError("cannot allocate a queue", queue_);
  snd_seq_set_output_buffer_size(seq_, kOutputBuffer);
  int result = snd_seq_start_queue(seq_, queue_, nullptr);
  if (result < 0) return alsaError("cannot start the queue", result);
  snd_seq_drain_output(seq_);
  queueStart_ = clock_.now();
  if (snd_midi_event_new(256, &encoder_) < 0) encoder_ = nullptr;
  if (encoder_) snd_midi_event_no_status(encoder_, 1);
  return {};
}

AlsaSequencer::~AlsaSequencer() {
  if (encoder_) snd_midi_event_free(encoder_);
  if (seq_) {
    if (queue_ >= 0) {
      snd_seq_stop_queue(seq_, queue_, nullptr);
      snd_seq_drain_output(seq_);
      snd_seq_free_queue(seq_, queue_);
    }
    snd_seq_close(seq_);
  }
}

std::vector<MidiEndpoint> AlsaSequencer::destinations() {
  std::lock_guard lock(mutex_);
  std::vector<MidiEndpoint> endpoints;
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq_, client) >= 0) {
    const int clientId = snd_seq_client_info_get_client(client);
    if (clientId == clientId_ || clientId == SND_SEQ_CLIENT_SYSTEM) continue;
    const std::string clientName = snd_seq_client_info_get_name(client);
    snd_seq_port_info_set_client(port, clientId);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq_, port) >= 0) {
      const unsigned caps = snd_seq_port_info_get_capability(port);
      const unsigned wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
      if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
      if (!(snd_seq_port_info_get_type(port) & (SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH |
                                                 SND_SEQ_PORT_TYPE_APPLICATION | SND_SEQ_PORT_TYPE_HARDWARE)))
        continue;
      const int portId = snd_seq_port_info_get_port(port);
      const std::string portName = snd_seq_port_info_get_name(port);
      MidiEndpoint endpoint;
      endpoint.ref = refForAddress(clientId, portId);
      endpoint.uniqueID = endpointUniqueID(clientName, portName);
      endpoint.name = portName.rfind(clientName, 0) == 0 ? portName : clientName + " " + portName;
      endpoint.address = std::to_string(clientId) + ":" + std::to_string(portId);
      endpoints.push_back(std::move(endpoint));
    }
  }
  disambiguateEndpoints(endpoints);
  return endpoints;
}

OSStatus AlsaSequencer::send(MIDIEndpointRef destination, const uint8_t* bytes, size_t size, uint64_t timeStamp) {
  if (!destination || !bytes || size == 0) return paramErr;
  std::lock_guard lock(mutex_);
  snd_seq_event_t event;
  snd_seq_ev_clear(&event);
  if (bytes[0] == 0xF0) {
    snd_seq_ev_set_sysex(&event, unsigned(size), const_cast<uint8_t*>(bytes));
  } else {
    if (!encoder_) return paramErr;
    snd_midi_event_reset_encode(encoder_);
    long used = snd_midi_event_encode(encoder_, bytes, long(size), &event);
    if (used <= 0 || event.type == SND_SEQ_EVENT_NONE) return paramErr;
  }
  snd_seq_ev_set_source(&event, port_);
  snd_seq_ev_set_dest(&event, int(destination >> 16) - 1, int(destination & 0xFFFF));
  const uint64_t now = clock_.now();
  if (timeStamp > now && timeStamp > queueStart_) {
    const uint64_t at = timeStamp - queueStart_;
    snd_seq_real_time_t time{unsigned(at / 1'000'000'000ull), unsigned(at % 1'000'000'000ull)};
    snd_seq_ev_schedule_real(&event, queue_, 0, &time);
  } else {
    snd_seq_ev_set_direct(&event);
  }
  int result = snd_seq_event_output(seq_, &event);
  if (result >= 0) result = snd_seq_drain_output(seq_);
  return result < 0 ? ioErr : noErr;
}

void AlsaSequencer::flushOutput(MIDIEndpointRef destination) {
  std::lock_guard lock(mutex_);
  snd_seq_drop_output(seq_);
  snd_seq_remove_events_t* remove;
  snd_seq_remove_events_alloca(&remove);
  snd_seq_remove_events_set_queue(remove, queue_);
  unsigned condition = SND_SEQ_REMOVE_OUTPUT;
  if (destination) {
    snd_seq_addr_t address{uint8_t(int(destination >> 16) - 1), uint8_t(destination & 0xFF)};
    snd_seq_remove_events_set_dest(remove, &address);
    condition |= SND_SEQ_REMOVE_DEST;
  }
  snd_seq_remove_events_set_condition(remove, condition);
  snd_seq_remove_events(seq_, remove);
}

}  // namespace sw
