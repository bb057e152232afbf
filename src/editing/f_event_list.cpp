#include "editing/f_event_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>
#include <stdexcept>

#include <unicode/unistr.h>

#include "editing/f_midi_event_pointer.h"

namespace sw {

namespace {

std::string newUUID() {
  std::random_device device;
  std::mt19937_64 generator((uint64_t(device()) << 32) ^ device());
  const uint64_t high = generator(), low = generator();
  uint8_t b[16];
  for (int i = 0; i < 8; ++i) {
    b[i] = uint8_t(high >> (56 - 8 * i));
    b[8 + i] = uint8_t(low >> (56 - 8 * i));
  }
  b[6] = uint8_t((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = uint8_t((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[40];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

std::string foldCase(const std::string& utf8) {
  std::string folded;
  icu::UnicodeString::fromUTF8(utf8).foldCase().toUTF8String(folded);
  return folded;
}

}  // namespace

// ---------------------------------------------------------------- creation

FEventList::FEventList() : MidiSequence() { setup(); }

FEventList::FEventList(const std::string& path, uint32_t flags, OSStatus* status) : MidiSequence(path, flags, status) {
  setup();
}

FEventList::FEventList(const SMFImage& image, uint32_t flags, OSStatus* status) : MidiSequence(image, flags, status) {
  setup();
}

FEventList::FEventList(const MidiSequence& other) : MidiSequence(other) { setup(); }

FEventList::FEventList(const FEventList& other) : MidiSequence(other) {
  setup();
  trackMask_ = other.trackMask_;
  metaMask_ = other.metaMask_;
  channelMask_ = other.channelMask_;
  midiMask_ = other.midiMask_;
  searchString_ = other.searchString_;
  searchEventMask_ = other.searchEventMask_;
  filter();
}

void FEventList::setup() {
  filteredIndex_.clear();
  searchString_.clear();
  channelMask_ = 0xFFFF;
  midiMask_ = 0xFFFF;
  metaMask_.fill(1);
  trackMask_.fill(0);
  uuidStr_ = newUUID();
  filter();
}

void FEventList::showEverything() {
  channelMask_ = 0xFFFF;
  midiMask_ = 0xFFFF;
  metaMask_.fill(1);
  trackMask_.fill(1);
  searchString_.clear();
}

// ---------------------------------------------------------------- lookups

int FEventList::wholeIndexAtIndex(int row) const {
  if (row < 0 || row >= filteredCount()) throw std::out_of_range("out of range of mFilteredIndex");
  return filteredIndex_[size_t(row)];
}

IndexSet FEventList::wholeIndexesAtIndexes(const IndexSet& rows) const {
  IndexSet result;
  // Rows ascend and so do their whole indexes: each goes in at the end.
  for (int row : rows) result.insert(result.end(), wholeIndexAtIndex(row));
  return result;
}

int FEventList::lowerBoundForWholeIndex(int wholeIndex) const {
  return int(std::lower_bound(filteredIndex_.begin(), filteredIndex_.end(), wholeIndex) - filteredIndex_.begin());
}

int FEventList::indexForWholeIndex(int wholeIndex) const {
  const int p = lowerBoundForWholeIndex(wholeIndex);
  return p < filteredCount() && filteredIndex_[size_t(p)] == wholeIndex ? p : -1;
}

IndexSet FEventList::indexesAtWholeIndexes(const IndexSet& wholeIndexes) const {
  IndexSet result;
  for (int w : wholeIndexes)
    if (int row = indexForWholeIndex(w); row >= 0) result.insert(result.end(), row);
  return result;
}

int FEventList::filteredIndexAtTicks(uint32_t ticks) const { return lowerBoundForWholeIndex(indexAtTicks(ticks)); }

int FEventList::filteredIndexOfEvent(const MidiEvent* event) const {
  if (!event) return -1;
  for (int row = filteredIndexAtTicks(event->ticks()); row < filteredCount(); ++row) {
    const MidiEvent* e = eventAtIndex(filteredIndex_[size_t(row)]);
    if (e->ticks() > event->ticks()) break;
    if (e->eventID() == event->eventID()) return row;
  }
  return -1;
}

std::optional<FMidiEventPointer> FEventList::objectAtWholeIndex(int wholeIndex) {
  if (wholeIndex < 0 || wholeIndex >= count()) return std::nullopt;
  return FMidiEventPointer(eventAtIndex(wholeIndex), this);
}

FMidiEventPointer FEventList::objectAtFilteredIndex(int row) {
  return FMidiEventPointer(eventAtIndex(wholeIndexAtIndex(row)), this);
}

// ---------------------------------------------------------------- filtering

bool FEventList::passesMasks(const MidiEvent& event) const {
  if (event.track() < trackMask_.size() && !trackMask_[event.track()]) return false;
  const uint8_t status = event.status();
  if (status > 0xF0) return event.second() >= metaMask_.size() || metaMask_[event.second()];
  if (isMasked(status)) return false;
  return status == 0xF0 || (channelMask_ & (1u << event.channel()));
}

bool FEventList::matchesSearch(const MidiEvent* event, const std::string& foldedSearch, bool digitsOnly,
                               int64_t searchValue) {
  const FMidiEventPointer pointer(const_cast<MidiEvent*>(event), this);
  auto matches = [&](const FieldValue& value, bool prefixOnly) {
    if (const auto* text = std::get_if<std::string>(&value)) {
      const size_t at = foldCase(*text).find(foldedSearch);
      return prefixOnly ? at == 0 : at != std::string::npos;
    }
    if (!digitsOnly || !isNumber(value)) return false;
    const double number = std::holds_alternative<int64_t>(value) ? double(std::get<int64_t>(value)) : std::get<double>(value);
    // Program numbers are typed from 1 and stored from 0.
    return number == double(searchValue) || (event->status() == 0xC0 && number == double(searchValue - 1));
  };
  if ((searchEventMask_ & kSearchSecond) && matches(pointer.second(), event->status() == 0x90)) return true;
  if ((searchEventMask_ & kSearchThird) && matches(pointer.third(), false)) return true;
  if ((searchEventMask_ & kSearchDataString) && matches(FieldValue(pointer.dataString()), false)) return true;
  return false;
}

void FEventList::filter() {
  filteredIndex_.clear();
  filteredIndex_.reserve(size_t(count()));
  const bool searching = !searchString_.empty();
  const std::string folded = searching ? foldCase(searchString_) : std::string();
  bool digitsOnly = searching;
  int64_t searchValue = 0;
  for (unsigned char c : searchString_) {
    if (!std::isdigit(c)) {
      digitsOnly = false;
      break;
    }
    searchValue = std::min<int64_t>(searchValue * 10 + (c - '0'), int64_t(1) << 40);
  }
  for (int w = 0; w < count(); ++w) {
    const MidiEvent* event = eventAtIndex(w);
    if (!passesMasks(*event)) continue;
    if (searching && !matchesSearch(event, folded, digitsOnly, searchValue)) continue;
    filteredIndex_.push_back(w);
  }
}

// ---------------------------------------------------------------- index upkeep

void FEventList::incrementIndexesGreaterOrEqualThan(int value, int start) {
  for (int p = filteredCount() - 1; p >= std::max(start, 0); --p) {
    int& entry = filteredIndex_[size_t(p)];
    if (entry < value) break;
    ++entry;
  }
}

void FEventList::decrementIndexesGreaterThan(int value, int start) {
  for (int p = filteredCount() - 1; p >= std::max(start, 0); --p) {
    int& entry = filteredIndex_[size_t(p)];
    if (entry <= value) break;
    --entry;
  }
}

int FEventList::insertIndex(int wholeIndex) {
  const int p = lowerBoundForWholeIndex(wholeIndex);
  if (p < filteredCount()) {
    filteredIndex_.insert(filteredIndex_.begin() + p, wholeIndex);
    incrementIndexesGreaterOrEqualThan(0, p + 1);
  } else {
    filteredIndex_.push_back(wholeIndex);
  }
  return p;
}

// ---------------------------------------------------------------- editing

int FEventList::insertEvent(std::unique_ptr<MidiEvent> event, int suggestedIndex) {
  const bool hiddenNoteOff = event->isNoteOff() && isMasked(0x80);
  if (journal_) journal_->inserted.emplace_back(event->eventID(), event->ticks());
  const int w = MidiSequence::insertEvent(std::move(event), suggestedIndex);
  if (hiddenNoteOff) incrementIndexesGreaterOrEqualThan(w, 0);
  else insertIndex(w);
  return w;
}

FEventList::InsertResult FEventList::insertEventAtSuggestedWholeIndex(std::unique_ptr<MidiEvent> owned,
                                                                      int suggestedWholeIndex) {
  InsertResult result;
  const MidiEvent* event = owned.get();
  result.wholeIndex = insertEvent(std::move(owned), suggestedWholeIndex);
  if (event->isNoteOn()) {
    const uint8_t bytes[3] = {uint8_t(0x80 | event->channel()), event->second(), event->offVelocity()};
    // A note-off at the note-on's own ticks belongs right after it.
    const int at = insertEvent(std::make_unique<MidiEvent>(bytes, 3, event->track(), event->ticks() + event->duration()),
                               event->duration() ? -1 : result.wholeIndex + 1);
    if (at <= result.wholeIndex) ++result.wholeIndex;
  }
  result.filteredIndex = indexForWholeIndex(result.wholeIndex);
  return result;
}

void FEventList::removeObjectAtIndex(int index) {
  std::lock_guard guard(lock());
  const int p = lowerBoundForWholeIndex(index);
  const bool visible = p < filteredCount() && filteredIndex_[size_t(p)] == index;
  MidiSequence::removeObjectAtIndex(index);  // throws for an index out of range
  if (visible) filteredIndex_.erase(filteredIndex_.begin() + p);
  decrementIndexesGreaterThan(index, p);
}

void FEventList::removeObjectAtWholeIndex(int wholeIndex) {
  std::lock_guard guard(lock());
  if (wholeIndex < 0 || wholeIndex >= count()) throw std::out_of_range("index out of range");
  const MidiEvent* event = eventAtIndex(wholeIndex);
  if (event->isNoteOn()) {
    const int partner = noteOffIndexForNoteOn(event, event->duration() ? -1 : wholeIndex + 1);
    // The partner lies after the note-on, so wholeIndex stays valid.
    if (partner > wholeIndex) removeObjectAtIndex(partner);
  }
  removeObjectAtIndex(wholeIndex);
}

void FEventList::removeObjectsAtIndexes(const IndexSet& indexes) {
  noteBulkChange();
  MidiSequence::removeObjectsAtIndexes(indexes);
  filter();
}

IndexSet FEventList::insertFlattenedEventList(const FlattenedEventList& list) {
  noteBulkChange();
  IndexSet inserted = MidiSequence::insertFlattenedEventList(list);
  filter();
  return inserted;
}

void FEventList::addFlattenedEventList(const FlattenedEventList& list) {
  noteBulkChange();
  MidiSequence::addFlattenedEventList(list);
  filter();
}

void FEventList::removeEventsAtExactIndexes(const IndexSet& indexes) {
  noteBulkChange();
  if (indexes.size() > kFewExactEvents) {
    MidiSequence::removeEventsAtExactIndexes(indexes);
    filter();
    return;
  }
  // A few events (the undo of a cell edit): the rows follow each removal.
  std::lock_guard guard(lock());
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
    if (*it >= 0 && *it < count()) removeObjectAtIndex(*it);
}

void FEventList::insertEventsAtExactIndexes(const std::vector<PlacedEvent>& events) {
  noteBulkChange();
  if (events.size() > kFewExactEvents) {
    MidiSequence::insertEventsAtExactIndexes(events);
    filter();
    return;
  }
  // A few events go in one at a time, each at its index clamped to the list then: the rows
  // follow in the same order, a row for each event of a kind the filters show.
  std::lock_guard guard(lock());
  const int before = count();
  MidiSequence::insertEventsAtExactIndexes(events);
  for (size_t k = 0; k < events.size(); ++k) {
    const int at = std::clamp(events[k].index, 0, before + int(k));
    if (passesMasks(events[k].event)) insertIndex(at);
    else incrementIndexesGreaterOrEqualThan(at, lowerBoundForWholeIndex(at));
  }
}

// ---------------------------------------------------------------- pasteboard

std::vector<uint8_t> FEventList::persistentObjectsAtWholeIndexes(const IndexSet& wholeIndexes) const {
  FlattenedEventList list;
  for (int w : wholeIndexes) {
    if (w < 0 || w >= count()) continue;
    const MidiEvent* event = eventAtIndex(w);
    if (event->isNoteOff()) continue;
    list.add(*event, w);
  }
  return list.bytes();
}

FEventList::PasteboardData FEventList::pasteBoardDataAtWholeIndexes(const IndexSet& wholeIndexes) const {
  return PasteboardData{persistentObjectsAtWholeIndexes(wholeIndexes), division(), uuidStr_};
}

}  // namespace sw
