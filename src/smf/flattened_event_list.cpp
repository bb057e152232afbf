#include "smf/flattened_event_list.h"

#include <cstring>

#include "smf/midi_event.h"

namespace sw {

namespace {
uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
}  // namespace

FlattenedEventList::FlattenedEventList(std::span<const uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {
  // The ticks of the last record decide where the next add goes.
  for (size_t at = begin(); !atEnd(at); at = next(at)) {
    lastTicks_ = record(at).ticks;
    hasLast_ = true;
  }
}

bool FlattenedEventList::atEnd(size_t offset) const {
  if (offset + kOverhead > bytes_.size()) return true;
  uint16_t length = get16(&bytes_[offset]);
  uint16_t dataLength = get16(&bytes_[offset + 20]);
  // A damaged record (length fields that disagree or run past the end) ends the list.
  return length < kOverhead || uint32_t(dataLength) + kOverhead != length || offset + length > bytes_.size();
}

size_t FlattenedEventList::next(size_t offset) const { return offset + get16(&bytes_[offset]); }

FlattenedRecord FlattenedEventList::record(size_t offset) const {
  const uint8_t* p = &bytes_[offset];
  FlattenedRecord r;
  r.track = p[2];
  r.ticks = get32(p + 4);
  r.duration = get32(p + 8);
  r.offVelocity = p[12];
  r.proposedIndex = int32_t(get32(p + 16));
  r.data = std::span<const uint8_t>(p + kHeaderSize, get16(p + 20));
  return r;
}

size_t FlattenedEventList::recordCount() const {
  buildOffsets();
  return offsets_.size();
}

void FlattenedEventList::buildOffsets() const {
  if (!offsets_.empty() || bytes_.empty()) return;
  for (size_t at = begin(); !atEnd(at); at = next(at)) offsets_.push_back(at);
}

void FlattenedEventList::append(std::vector<uint8_t>& out, const FlattenedRecord& record) {
  size_t at = out.size();
  uint32_t length = uint32_t(record.data.size()) + kOverhead;
  out.resize(at + length, 0);
  uint8_t* p = &out[at];
  put16(p, uint16_t(length));
  p[2] = record.track;
  put32(p + 4, record.ticks);
  put32(p + 8, record.duration);
  p[12] = record.offVelocity;
  put32(p + 16, uint32_t(record.proposedIndex));
  put16(p + 20, uint16_t(record.data.size()));
  if (!record.data.empty()) std::memcpy(p + kHeaderSize, record.data.data(), record.data.size());
}

bool FlattenedEventList::add(const FlattenedRecord& record) {
  if (record.data.size() > kMaxDataLength) return false;
  if (!hasLast_ || record.ticks >= lastTicks_) {
    append(bytes_, record);
    lastTicks_ = record.ticks;
    hasLast_ = true;
    offsets_.clear();
    return true;
  }
  // Insert after the last record whose ticks are not greater.
  buildOffsets();
  size_t insertAt = 0;
  for (size_t i = offsets_.size(); i-- > 0;) {
    if (this->record(offsets_[i]).ticks <= record.ticks) {
      insertAt = next(offsets_[i]);
      break;
    }
  }
  std::vector<uint8_t> one;
  append(one, record);
  bytes_.insert(bytes_.begin() + std::ptrdiff_t(insertAt), one.begin(), one.end());
  offsets_.clear();
  return true;
}

bool FlattenedEventList::add(const MidiEvent& event, int32_t proposedIndex) {
  FlattenedRecord r;
  r.track = event.track();
  r.ticks = event.ticks();
  r.duration = event.duration();
  r.offVelocity = event.offVelocity();
  r.proposedIndex = proposedIndex;
  r.data = std::span<const uint8_t>(event.data(), event.length());
  return add(r);
}

FlattenedEventList FlattenedEventList::merge(const FlattenedEventList& first, const FlattenedEventList& second) {
  FlattenedEventList out;
  out.bytes_.reserve(first.bytes_.size() + second.bytes_.size());
  size_t a = first.begin(), b = second.begin();
  while (!first.atEnd(a) || !second.atEnd(b)) {
    bool takeFirst;
    if (first.atEnd(a)) takeFirst = false;
    else if (second.atEnd(b)) takeFirst = true;
    else takeFirst = first.record(a).ticks <= second.record(b).ticks;
    FlattenedRecord r = takeFirst ? first.record(a) : second.record(b);
    append(out.bytes_, r);
    out.lastTicks_ = r.ticks;
    out.hasLast_ = true;
    if (takeFirst) a = first.next(a);
    else b = second.next(b);
  }
  return out;
}

}  // namespace sw
