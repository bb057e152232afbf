// The setters of MidiEventPointer: each keeps the note-off partner of a note-on, the order of
// the sequence and its tempo and signature maps in step with the edited event.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "base/log.h"
#include "base/notification_center.h"
#include "base/string_format.h"
#include "editing/editor_feedback.h"
#include "editing/midi_event_pointer.h"
#include "smf/vlq.h"
#include "text/xf_chord.h"

namespace sw {

namespace {

// A fixed parameter error code in the reasons of the exceptions below.
constexpr int kParamErr = -50;

[[noreturn]] void invalidArgument(const char* what) {
  throw std::invalid_argument(format("error %d while setting %s", kParamErr, what));
}

void notSettable(const char* what, int value) {
  logMessage(format("%s%X", what, unsigned(value)));
  EditorFeedback::beep();
}

std::vector<uint8_t> metaEventData(uint8_t type, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> data{0xFF, type};
  const VLQEncoded vlq = encodeVLQ(uint32_t(payload.size()));
  for (int i = int(vlq.size) - 1; i >= 0; --i) data.push_back(uint8_t(vlq.bytes >> (8 * i)));
  data.insert(data.end(), payload.begin(), payload.end());
  return data;
}

// The payload of a meta event newly made of that type.
std::vector<uint8_t> defaultMetaPayload(uint8_t type) {
  switch (type) {
    case 0x51: return {0x07, 0xA1, 0x20};  // 500000 µs per quarter: 120 BPM
    case 0x54: return {0x60, 0, 0, 0, 0};  // 30 frames per second, time 0
    case 0x58: return {4, 2, 24, 8};       // 4/4
    case 0x59: return {0, 0};              // C major
    case 0x00: return {0, 0};
    case 0x20:
    case 0x21: return {0};
    case 0x4B: return {1};
    default: return {};
  }
}

bool isMapEvent(const MidiEvent& event) { return event.isMeta(meta::kTempo) || event.isMeta(meta::kTimeSignature); }

// A copy of a tempo or signature event, kept while its bytes change so that the maps can be
// settled for what it was as well as for what it becomes.
std::optional<MidiEvent> mapEventCopy(const MidiEvent& event) {
  if (isMapEvent(event)) return event;
  return std::nullopt;
}

// Settles the maps at the event's ticks for its old and new kind; whether either was a tempo
// or signature.
bool settleMaps(MidiSequence& sequence, const std::optional<MidiEvent>& before, const MidiEvent* after) {
  std::vector<const MidiEvent*> changed{after};
  if (before) changed.push_back(&*before);
  sequence.settleMapsAt(std::move(changed));
  return before || isMapEvent(*after);
}

uint8_t log2Of(uint8_t value) {
  uint8_t power = 0;
  while (value > 1) {
    value >>= 1;
    ++power;
  }
  return power;
}

}  // namespace

// ---------------------------------------------------------------- support

void MidiEventPointer::postReloadData() const {
  NotificationCenter::UserInfo info{{"eventID", std::to_string(event_->eventID())}};
  const std::string list = listIdentifier();
  if (!list.empty()) info["list"] = list;
  NotificationCenter::shared().post("ReloadData", info);
}

int MidiEventPointer::partnerIndex() const {
  if (!parent_ || !event_->isNoteOn()) return -1;
  const int w = wholeIndex();
  if (w >= parent_->count()) return -1;
  return parent_->noteOffIndexForNoteOn(event_, event_->duration() ? -1 : w + 1);
}

std::unique_ptr<MidiEventPointer> MidiEventPointer::newPointerAt(int wholeIndex) const {
  return std::make_unique<MidiEventPointer>(parent_->eventAtIndex(wholeIndex), parent_);
}

void MidiEventPointer::removePartner(int partnerWholeIndex) { parent_->removeObjectAtIndex(partnerWholeIndex); }

void MidiEventPointer::insertPartner() {
  const int w = wholeIndex();
  const uint8_t bytes[3] = {uint8_t(0x80 | event_->channel()), event_->second(), event_->offVelocity()};
  // A note-off at the note-on's own ticks belongs right after it.
  parent_->insertEvent(std::make_unique<MidiEvent>(bytes, 3, event_->track(), event_->ticks() + event_->duration()),
                       event_->duration() ? -1 : w + 1);
}

void MidiEventPointer::moveEvent(int wholeIndex, std::unique_ptr<MidiEvent> moved) {
  const int partner = partnerIndex();
  // The partner lies after the note-on: removing it first leaves wholeIndex valid.
  if (partner >= 0) removePartner(partner);
  parent_->removeObjectAtIndex(wholeIndex);
  event_ = moved.get();
  parent_->insertEvent(std::move(moved), preferredWholeIndex_);
  if (partner >= 0) insertPartner();
}

void MidiEventPointer::setMetaPayload(const std::vector<uint8_t>& payload) {
  const std::vector<uint8_t> data = metaEventData(event_->second(), payload);
  event_->setData(data.data(), uint32_t(data.size()));
}

namespace {
void requireParent(const MidiSequence* parent) {
  if (!parent) throw std::logic_error("the event has no parent list");
}
}  // namespace

// ---------------------------------------------------------------- dispatch

void MidiEventPointer::setValueForKey(FieldKey key, const FieldValue& value) {
  auto integer = [&](const char* what) {
    const auto v = fieldInteger(value);
    if (!v) invalidArgument(what);
    return *v;
  };
  switch (key) {
    case FieldKey::Ticks: {
      const int64_t t = integer("ticks");
      if (t < 0 || t > INT32_MAX) throw std::out_of_range("invalid ticks");
      setTicks(uint32_t(t));
      return;
    }
    case FieldKey::Measure: setMeasure(fieldString(value)); return;
    case FieldKey::Track: setTrack(int(std::clamp<int64_t>(integer("track"), -1, 256))); return;
    case FieldKey::TrackPlusOne: setTrackPlusOne(int(std::clamp<int64_t>(integer("track"), -1, 257))); return;
    case FieldKey::Channel: setChannel(int(integer("channel") & 0x0F)); return;
    case FieldKey::ChannelPlusOne: setChannelPlusOne(int(std::clamp<int64_t>(integer("channel"), 0, 17))); return;
    case FieldKey::ChannelOrIcon: setChannelOrIcon(int(std::clamp<int64_t>(integer("channel"), 0, 17))); return;
    case FieldKey::Status: setStatus(int(integer("status") & 0xFF)); return;
    case FieldKey::Second: setSecond(value); return;
    case FieldKey::Third: setThird(value); return;
    case FieldKey::Data:
      if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value)) setData(*bytes);
      else invalidArgument("data");
      return;
    case FieldKey::NoteOnDuration: setNoteOnDuration(integer("duration")); return;
    case FieldKey::NoteOffVelocity: setNoteOffVelocity(int(std::clamp<int64_t>(integer("velocity"), 0, 127))); return;
    case FieldKey::DataString: setDataString(fieldString(value)); return;
    default: throw std::invalid_argument(std::string("field is not settable: ") + fieldKeyName(key));
  }
}

// ---------------------------------------------------------------- track, channel, time

void MidiEventPointer::setTrack(int track) {
  requireParent(parent_);
  if (track < 0 || track >= parent_->numTracks() || track > 255) throw std::out_of_range("track out of range");
  std::lock_guard guard(parent_->lock());
  if (track == event_->track()) return;
  // Events are ordered by track within equal ticks: the event is placed again, its partner
  // with it.
  auto moved = std::make_unique<MidiEvent>(*event_);
  moved->setTrack(uint8_t(track));
  moveEvent(wholeIndex(), std::move(moved));
  postReloadData();
}

void MidiEventPointer::setTrackPlusOne(int track) {
  if (track - 1 != event_->track()) setTrack(track - 1);
}

void MidiEventPointer::setChannel(int channel) {
  requireParent(parent_);
  std::lock_guard guard(parent_->lock());
  const int partner = partnerIndex();
  if (partner >= 0) {
    parent_->eventAtIndex(partner)->setChannel(uint8_t(channel & 0x0F));
    postReloadData();
  }
  event_->setChannel(uint8_t(channel & 0x0F));
}

void MidiEventPointer::setChannelPlusOne(int channel) {
  if (channel - 1 != event_->channel()) setChannel(channel - 1);
}

void MidiEventPointer::setTicks(uint32_t ticks) {
  requireParent(parent_);
  if (ticks == event_->ticks()) return;
  if (ticks > uint32_t(INT32_MAX) || (event_->isNoteOn() && uint64_t(ticks) + event_->duration() > INT32_MAX))
    throw std::out_of_range("invalid ticks");
  std::lock_guard guard(parent_->lock());
  auto moved = std::make_unique<MidiEvent>(*event_);
  moved->setTicks(ticks);
  moveEvent(wholeIndex(), std::move(moved));
}

void MidiEventPointer::setMeasure(const std::string& text) {
  int32_t ticks = 0;
  if (processMeasure(text, &ticks)) setTicks(uint32_t(ticks));
}

void MidiEventPointer::setNoteOnDuration(int64_t duration) {
  if (duration < 0) throw std::out_of_range(format("invalid duration: %lld", static_cast<long long>(duration)));
  requireParent(parent_);
  if (!event_->isNoteOn()) return;
  if (uint64_t(event_->ticks()) + uint64_t(duration) > INT32_MAX)
    throw std::out_of_range(format("invalid duration: %lld", static_cast<long long>(duration)));
  std::lock_guard guard(parent_->lock());
  const int partner = partnerIndex();
  if (partner < 0) return;
  std::unique_ptr<MidiEventPointer> off = newPointerAt(partner);
  off->setPreferredWholeIndex(wholeIndex() + 1);
  off->setTicks(event_->ticks() + uint32_t(duration));
  off->setPreferredWholeIndex(-1);
  event_->setDuration(uint32_t(duration));
}

void MidiEventPointer::setNoteOffVelocity(int velocity) {
  requireParent(parent_);
  std::lock_guard guard(parent_->lock());
  const int partner = partnerIndex();
  if (partner < 0) return;
  const uint8_t v = uint8_t(std::clamp(velocity, 0, 127));
  parent_->eventAtIndex(partner)->setThird(v);
  event_->setOffVelocity(v);
}

// ---------------------------------------------------------------- kind and data

void MidiEventPointer::setStatus(int value) {
  requireParent(parent_);
  uint8_t status = uint8_t(value);
  if (status < 0xF0) status &= 0xF0;
  if (status < 0x80 || (status > 0xF0 && status != 0xFF)) return notSettable("status is not settable: ", status);
  if (status == event_->status()) return;
  std::vector<uint8_t> data;
  if (status == 0xFF) {
    data = {0xFF, 0x01, 0x00};
  } else if (status == 0xF0) {
    data = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  } else {
    const uint8_t channel = event_->isChannelMessage() ? event_->channel() : 0;
    // Meta and sysex bytes may have their top bit set: data bytes keep 7 bits.
    data = {uint8_t(status | channel), uint8_t(event_->second() & 0x7F), uint8_t(event_->third() & 0x7F)};
    if (status == 0xC0 || status == 0xD0) data.pop_back();
  }
  setData(data);
}

void MidiEventPointer::setData(const std::vector<uint8_t>& data) {
  requireParent(parent_);
  if (data.empty() || data[0] < 0x80 || data.size() > kMaxVLQ) invalidArgument("data");
  std::lock_guard guard(parent_->lock());
  if (event_->isNoteOn()) {
    const int partner = partnerIndex();
    if (partner >= 0) removePartner(partner);
    event_->setDuration(0);
    event_->setOffVelocity(0);
  }
  // The maps follow the old bytes out and the new ones in.
  const std::optional<MidiEvent> before = mapEventCopy(*event_);
  bool reload = false;
  event_->setData(data.data(), uint32_t(data.size()));
  if (!event_->isNoteOn()) {
    event_->setDuration(0);
    event_->setOffVelocity(0);
  } else {
    event_->setDuration(1);
    event_->setOffVelocity(64);
    // A note-on of velocity 0 would be read as a note-off.
    if (event_->length() > 2 && event_->third() == 0) event_->setThird(64);
    insertPartner();
    reload = true;
  }
  reload = settleMaps(*parent_, before, event_) || reload;
  const int partner = partnerIndex();
  if (partner >= 0) {
    MidiEvent* off = parent_->eventAtIndex(partner);
    off->setChannel(event_->channel());
    off->setSecond(event_->second());
    off->setThird(event_->offVelocity());
    reload = true;
  }
  if (reload) postReloadData();
}

void MidiEventPointer::setSecondOfMeta(int type) {
  // The types an event can be turned into (End of Track is not one). Checked before the maps
  // are touched, so a refused type leaves everything as it was.
  const bool settable = (type >= 0x00 && type <= 0x09) || type == 0x20 || type == 0x21 || type == 0x4B ||
                        type == 0x51 || type == 0x54 || type == 0x58 || type == 0x59 || type == 0x7F;
  if (!settable) return notSettable("second is not settable to type: ", type);
  const int newSize = defaultSizeForMetaEventType(uint8_t(type));
  const std::optional<MidiEvent> before = mapEventCopy(*event_);
  const int oldSize = defaultSizeForMetaEventType(event_->second());
  if (oldSize == -3 || oldSize != newSize) {
    const std::vector<uint8_t> data = metaEventData(uint8_t(type), defaultMetaPayload(uint8_t(type)));
    event_->setData(data.data(), uint32_t(data.size()));
  } else if (event_->length() > 1) {
    event_->data()[1] = uint8_t(type);
  }
  if (settleMaps(*parent_, before, event_)) postReloadData();
}

void MidiEventPointer::setSecond(const FieldValue& value) {
  requireParent(parent_);
  std::lock_guard guard(parent_->lock());
  const uint8_t status = event_->status();
  switch (status) {
    case 0xFF: {
      const auto type = fieldInteger(value);
      setSecondOfMeta(type ? int(std::clamp<int64_t>(*type, -1, 0x100)) : -1);
      return;
    }
    case 0x90: {
      const int partner = partnerIndex();
      if (partner >= 0) {
        newPointerAt(partner)->setSecond(value);
        postReloadData();
      }
      [[fallthrough]];
    }
    case 0x80:
    case 0xA0: {
      int note = -1;
      if (const auto* text = std::get_if<std::string>(&value)) processNote(*text, &note);
      else if (const auto number = fieldInteger(value); number && *number >= 0 && *number <= 127) note = int(*number);
      if (note >= 0) event_->setSecond(uint8_t(note));
      return;
    }
    case 0xB0:
    case 0xC0:
      if (const auto number = fieldInteger(value)) event_->setSecond(uint8_t(std::clamp<int64_t>(*number, 0, 127)));
      return;
    default: return notSettable("second is not settable for status: ", status);
  }
}

void MidiEventPointer::setThird(const FieldValue& value) {
  requireParent(parent_);
  std::lock_guard guard(parent_->lock());
  const uint8_t status = event_->status();
  const std::string text = fieldString(value);
  const auto number = fieldInteger(value);
  switch (status) {
    case 0x80:
    case 0xA0:
    case 0xB0:
      if (number) event_->setThird(uint8_t(std::clamp<int64_t>(*number, 0, 127)));
      return;
    case 0x90: {
      int velocity, offVelocity, duration;
      if (!processNoteThird(text, &velocity, &offVelocity, &duration)) invalidArgument("note on data");
      event_->setThird(uint8_t(velocity));
      setNoteOnDuration(duration);
      setNoteOffVelocity(offVelocity);
      return;
    }
    case 0xE0:
      if (number) {
        const int bend = int(std::clamp<int64_t>(*number, -8192, 8191)) + 8192;
        event_->setSecond(uint8_t(bend & 0x7F));
        event_->setThird(uint8_t((bend >> 7) & 0x7F));
      }
      return;
    case 0xF0: {
      Sysex s = sysex();
      if (!s.validateSetText(text) || !s.setText(text)) return;
      setData(s.data());
      return;
    }
    case 0xFF: break;
    default: return notSettable("third is not settable for status: ", status);
  }
  const uint8_t type = event_->second();
  if (type >= 0x01 && type <= 0x09) {
    std::string bytes;
    if (!encodeText(text.substr(0, text.find('\0')), &bytes)) return;
    setMetaPayload(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return;
  }
  switch (type) {
    case 0x20:
    case 0x21:
      if (number) setMetaPayload({uint8_t((*number - 1) & 0xFF)});
      return;
    case 0x00:
      if (number) setMetaPayload({uint8_t((*number >> 8) & 0xFF), uint8_t(*number & 0xFF)});
      return;
    case 0x51: {
      const auto bpm = fieldDouble(value);
      const double micro = bpm && *bpm > 0 ? 60000000.0 / *bpm : 0;
      // Three bytes hold the microseconds per quarter; 0 would stop time.
      if (!(micro >= 1 && micro <= 0xFFFFFF)) invalidArgument("tempo");
      const uint32_t q = uint32_t(micro);
      setMetaPayload({uint8_t(q >> 16), uint8_t(q >> 8), uint8_t(q)});
      parent_->settleMapsAt({event_});
      postReloadData();
      return;
    }
    case 0x54: {
      SMPTERec s;
      if (!processSMPTE(text, &s)) invalidArgument("SMPTE");
      setMetaPayload({uint8_t(0x60 | s.hh), uint8_t(s.mm), uint8_t(s.ss), uint8_t(s.fr), uint8_t(s.ff)});
      return;
    }
    case 0x58: {
      TimeSignatureRec s;
      if (!processTimeSignature(text, &s)) invalidArgument("Time Signature");
      setMetaPayload({s.num, log2Of(s.denom), s.metronome, s.MIDIClock});
      parent_->settleMapsAt({event_});
      postReloadData();
      return;
    }
    case 0x59: {
      int8_t sf;
      uint8_t mode;
      if (!processKeySignature(text, &sf, &mode)) invalidArgument("Key Signature");
      setMetaPayload({uint8_t(sf), mode});
      return;
    }
    case 0x4B: {
      if (text.size() < 3 || text[1] < '0' || text[1] > '9') return;
      std::string rest;
      if (!encodeText(text.substr(3), &rest)) return;
      std::vector<uint8_t> payload{uint8_t(text[1] - '0')};
      payload.insert(payload.end(), rest.begin(), rest.end());
      setMetaPayload(payload);
      return;
    }
    case 0x7F: {
      if (!isXFChord()) return;
      std::string_view name(text);
      if (name.rfind("XFChord:", 0) == 0) name.remove_prefix(8);
      const XFChord chord(name);
      if (!chord.isValid()) return;
      event_->setData(chord.data().data(), uint32_t(chord.data().size()));
      return;
    }
    default: return notSettable("third is not settable for status: ", status);
  }
}

void MidiEventPointer::setDataString(const std::string& text) {
  std::vector<uint8_t> data;
  if (event_->isSysex()) {
    if (!processSysexDataString(text, &data)) invalidArgument("sysex data");
    setData(data);
  } else if (event_->isMeta(meta::kSequencerSpecific)) {
    if (!processSequencerSpecific(text, &data)) invalidArgument("meta event data");
    setData(data);
  }
}

}  // namespace sw
