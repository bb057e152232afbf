#include "midi_builder.h"

namespace swtest {

void appendVLQ(Bytes& out, uint32_t value) {
  uint8_t tmp[5];
  int n = 0;
  tmp[n++] = value & 0x7F;
  while (value >>= 7) tmp[n++] = uint8_t((value & 0x7F) | 0x80);
  while (n) out.push_back(tmp[--n]);
}

Bytes chunk(const char* id, const Bytes& body) {
  Bytes out(id, id + 4);
  uint32_t n = uint32_t(body.size());
  for (int i = 3; i >= 0; --i) out.push_back(uint8_t(n >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

void TrackBuilder::delta(uint32_t ticks) { appendVLQ(bytes_, ticks); }

TrackBuilder& TrackBuilder::raw(uint32_t d, std::initializer_list<uint8_t> bytes) {
  return raw(d, Bytes(bytes));
}

TrackBuilder& TrackBuilder::raw(uint32_t d, const Bytes& bytes) {
  delta(d);
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

void TrackBuilder::channelMessage(uint32_t d, std::initializer_list<uint8_t> bytes) {
  delta(d);
  auto it = bytes.begin();
  if (!(runningStatus_ && *it == lastStatus_)) bytes_.push_back(*it);
  lastStatus_ = *it;
  bytes_.insert(bytes_.end(), it + 1, bytes.end());
}

TrackBuilder& TrackBuilder::noteOn(uint32_t d, uint8_t ch, uint8_t key, uint8_t vel) {
  channelMessage(d, {uint8_t(0x90 | ch), key, vel});
  return *this;
}
TrackBuilder& TrackBuilder::noteOff(uint32_t d, uint8_t ch, uint8_t key, uint8_t vel) {
  channelMessage(d, {uint8_t(0x80 | ch), key, vel});
  return *this;
}
TrackBuilder& TrackBuilder::control(uint32_t d, uint8_t ch, uint8_t cc, uint8_t value) {
  channelMessage(d, {uint8_t(0xB0 | ch), cc, value});
  return *this;
}
TrackBuilder& TrackBuilder::program(uint32_t d, uint8_t ch, uint8_t program) {
  channelMessage(d, {uint8_t(0xC0 | ch), program});
  return *this;
}
TrackBuilder& TrackBuilder::pitchBend(uint32_t d, uint8_t ch, uint16_t value) {
  channelMessage(d, {uint8_t(0xE0 | ch), uint8_t(value & 0x7F), uint8_t((value >> 7) & 0x7F)});
  return *this;
}
TrackBuilder& TrackBuilder::meta(uint32_t d, uint8_t type, const Bytes& payload) {
  delta(d);
  bytes_.push_back(0xFF);
  bytes_.push_back(type);
  appendVLQ(bytes_, uint32_t(payload.size()));
  bytes_.insert(bytes_.end(), payload.begin(), payload.end());
  return *this;
}
TrackBuilder& TrackBuilder::text(uint32_t d, uint8_t type, const std::string& text) {
  return meta(d, type, Bytes(text.begin(), text.end()));
}
TrackBuilder& TrackBuilder::tempo(uint32_t d, uint32_t q) {
  return meta(d, 0x51, {uint8_t(q >> 16), uint8_t(q >> 8), uint8_t(q)});
}
TrackBuilder& TrackBuilder::timeSignature(uint32_t d, uint8_t num, uint8_t power, uint8_t metronome,
                                          uint8_t clocks) {
  return meta(d, 0x58, {num, power, metronome, clocks});
}
TrackBuilder& TrackBuilder::sysex(uint32_t d, const Bytes& body) {
  delta(d);
  bytes_.push_back(0xF0);
  appendVLQ(bytes_, uint32_t(body.size()));
  bytes_.insert(bytes_.end(), body.begin(), body.end());
  return *this;
}
TrackBuilder& TrackBuilder::endOfTrack(uint32_t d) { return meta(d, 0x2F, {}); }
TrackBuilder& TrackBuilder::useRunningStatus(bool on) {
  runningStatus_ = on;
  return *this;
}

MidiFileBuilder::MidiFileBuilder(uint16_t format, uint16_t division) : format_(format), division_(division) {}

TrackBuilder& MidiFileBuilder::track() {
  tracks_.emplace_back();
  return tracks_.back();
}

MidiFileBuilder& MidiFileBuilder::headerTracks(uint16_t count) {
  headerTracks_ = count;
  return *this;
}

MidiFileBuilder& MidiFileBuilder::divisionWord(uint16_t word) {
  division_ = word;
  return *this;
}

Bytes MidiFileBuilder::bytes() const {
  uint16_t count = headerTracks_ >= 0 ? uint16_t(headerTracks_) : uint16_t(tracks_.size());
  Bytes header = {uint8_t(format_ >> 8), uint8_t(format_), uint8_t(count >> 8), uint8_t(count),
                  uint8_t(division_ >> 8), uint8_t(division_)};
  Bytes out = chunk("MThd", header);
  for (const auto& t : tracks_) {
    Bytes c = chunk("MTrk", t.bytes());
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

}  // namespace swtest
