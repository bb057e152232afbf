#include "smf/midi_sequence.h"

#include <algorithm>
#include <array>
#include <list>
#include <stdexcept>

#include "base/log.h"
#include "smf/time_math.h"

namespace sw {

// ---------------------------------------------------------------- creation

void MidiSequence::setupMidiSequence() {
  wholeList_.clear();
  tempoMap_.clear();
  signatureMap_.clear();
  encoding_ = 5;
}

MidiSequence::MidiSequence() {
  setupMidiSequence();
  buildWithSMF(SMFImage::empty(), kSMFLoadFull);
}

MidiSequence::MidiSequence(const SMFImage& image, uint32_t flags, OSStatus* status) {
  setupMidiSequence();
  OSStatus result = buildWithSMF(image, flags);
  if (status) *status = result;
}

MidiSequence::MidiSequence(const std::string& path, uint32_t flags, OSStatus* status, std::vector<uint8_t>* fileBytes) {
  setupMidiSequence();
  filename_ = path;
  OSStatus result = buildWithPath(path, flags, fileBytes);
  if (status) *status = result;
}

MidiSequence::MidiSequence(const MidiSequence& other)
    : signatureMap_(other.signatureMap_),
      tempoMap_(other.tempoMap_),
      division_(other.division_),
      SMPTEFormat_(other.SMPTEFormat_),
      encoding_(other.encoding_),
      numTracks_(other.numTracks_),
      SMPTEOffset_(other.SMPTEOffset_),
      drumChannelMask_(other.drumChannelMask_),
      damage_(other.damage_) {
  wholeList_.reserve(other.wholeList_.size());
  for (const auto& event : other.wholeList_) wholeList_.push_back(std::make_unique<MidiEvent>(*event));
}

MidiSequence::~MidiSequence() { freeEvents(); }

void MidiSequence::freeEvents() { wholeList_.clear(); }

OSStatus MidiSequence::buildWithPath(const std::string& path, uint32_t flags, std::vector<uint8_t>* fileBytes) {
  SMFImage image;
  OSStatus status = readSMFFile(path, image, fileBytes);
  if (status != noErr) return status;
  status = buildWithSMF(image, flags);
  for (Error& fault : damage_) fault.path = path;
  return status;
}

// ---------------------------------------------------------------- lookup

int MidiSequence::indexAtTicks(uint32_t ticks) const {
  auto it = std::lower_bound(wholeList_.begin(), wholeList_.end(), ticks,
                             [](const std::unique_ptr<MidiEvent>& e, uint32_t t) { return e->ticks() < t; });
  return int(it - wholeList_.begin());
}

IndexRange MidiSequence::indexRangeAtTicks(uint32_t ticks) const {
  IndexRange range;
  range.location = indexAtTicks(ticks);
  int i = range.location;
  while (i < count() && wholeList_[size_t(i)]->ticks() == ticks) ++i;
  range.length = i - range.location;
  return range;
}

int MidiSequence::indexOfEvent(const MidiEvent* event) const {
  if (!event) return count();
  uint32_t id = event->eventID();
  for (int i = indexAtTicks(event->ticks()); i < count(); ++i) {
    const MidiEvent* e = wholeList_[size_t(i)].get();
    if (e->eventID() == id) return i;
  }
  return count();
}

int MidiSequence::indexBefore(int index, uint8_t track) const {
  for (int i = std::min(index, count()) - 1; i >= 0; --i)
    if (wholeList_[size_t(i)]->track() == track) return i;
  return -1;
}

int MidiSequence::indexAfter(int index, uint8_t track) const {
  for (int i = std::max(index + 1, 0); i < count(); ++i)
    if (wholeList_[size_t(i)]->track() == track) return i;
  return -1;
}

// ---------------------------------------------------------------- order

int MidiSequence::priorityForStatus(uint8_t status, uint8_t second) {
  if (status == META_EVENT) {
    switch (second) {
      case meta::kPort: return 1;
      case meta::kTimeSignature: return 2;
      case meta::kSMPTEOffset: return 3;
      case meta::kTempo: return 4;
      case meta::kKeySignature: return 5;
      case meta::kTrackName: return 6;
      case meta::kMarker: return 7;
      case meta::kEndOfTrack: return 50;
      default: return 8;
    }
  }
  if (status >= 0xF0) return 9;
  if (status == 0x80) return 11;
  if (status == 0x90) return 12;
  return 10;
}

namespace {

// A note-off right behind a note-on of its key at its ticks: the end of a note without length
// (the note-on's duration may be set to 0 only after its note-off has moved).
bool endsNoteWithoutLength(const MidiEvent& noteOff, const MidiEvent& before) {
  return noteOff.status() == 0x80 && before.status() == 0x90 && before.ticks() == noteOff.ticks() &&
         before.channel() == noteOff.channel() && before.second() == noteOff.second();
}

}  // namespace

bool MidiSequence::proposalKeepsOrder(const MidiEvent* event, int proposed, int runStart, int runEnd) const {
  // A proposal reorders events of equal priority only: a note-on never goes before a
  // note-off of its tick and track, nor a note-off after a note-on (but its own, for a note
  // without length).
  const int priority = priorityOf(*event);
  if (proposed > runStart) {
    const MidiEvent& before = *wholeList_[size_t(proposed - 1)];
    if (endsNoteWithoutLength(*event, before)) return true;
    if (priorityOf(before) > priority) return false;
  }
  if (proposed < runEnd && priorityOf(*wholeList_[size_t(proposed)]) < priority) return false;
  return true;
}

int MidiSequence::bestIndexForEvent(const MidiEvent* event, int proposed) const {
  IndexRange range = indexRangeAtTicks(event->ticks());
  int loc = range.location, len = range.length;
  int priority = priorityOf(*event);
  if (len == 0) return loc;
  for (int i = loc; i < loc + len; ++i) {
    const MidiEvent* other = wholeList_[size_t(i)].get();
    if (other->track() > event->track()) return i;
    if (other->track() < event->track()) continue;
    // A proposal is taken only inside the run of this track's events at these ticks, so that
    // a suggestion made for another track cannot break the track order.
    if (proposed != -1) {
      int end = i;
      while (end < loc + len && wholeList_[size_t(end)]->track() == event->track()) ++end;
      if (i <= proposed && proposed <= end && proposalKeepsOrder(event, proposed, i, end)) return proposed;
      proposed = -1;  // unusable: the priority places the event
    }
    if (priority < priorityOf(*other)) return i;
  }
  return loc + len;
}

// ---------------------------------------------------------------- insertion and removal

int MidiSequence::insertEvent(std::unique_ptr<MidiEvent> event, int suggestedIndex) {
  std::lock_guard guard(lock_);
  if (event->track() >= numTracks_) {
    // Not inserted: the event goes with the unique_ptr.
    throw std::out_of_range("fatal error while inserting object: track out of range");
  }
  int index = bestIndexForEvent(event.get(), suggestedIndex);
  // Made room first, so that a failed allocation leaves the maps as they were.
  wholeList_.insert(wholeList_.begin() + index, std::move(event));
  settleMapsAt({wholeList_[size_t(index)].get()});
  return index;
}

int MidiSequence::insertNoteOffForNoteOn(const MidiEvent* noteOn) {
  uint8_t bytes[3] = {uint8_t(0x80 | noteOn->channel()), noteOn->second(), noteOn->offVelocity()};
  return insertEvent(std::make_unique<MidiEvent>(bytes, 3, noteOn->track(), noteOn->ticks() + noteOn->duration()), -1);
}

void MidiSequence::removeObjectAtIndex(int index) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= count()) throw std::out_of_range("index out of range");
  const std::unique_ptr<MidiEvent> event = std::move(wholeList_[size_t(index)]);
  wholeList_.erase(wholeList_.begin() + index);
  settleMapsAt({event.get()});
}

IndexSet MidiSequence::removalSetForIndexes(const IndexSet& indexes) const {
  std::vector<bool> gone(wholeList_.size(), false);
  for (int i : indexes) {
    if (i < 0 || i >= count() || gone[size_t(i)]) continue;  // a partner already taken
    gone[size_t(i)] = true;
    int partner = noteOffIndexForNoteOn(wholeList_[size_t(i)].get(), i + 1, &gone);
    if (partner >= 0) gone[size_t(partner)] = true;
  }
  IndexSet result;
  for (size_t i = 0; i < gone.size(); ++i)
    if (gone[i]) result.insert(result.end(), int(i));
  return result;
}

void MidiSequence::removeObjectsAtIndexes(const IndexSet& indexes) {
  std::lock_guard guard(lock_);
  if (indexes.empty()) return;
  // Without a note-on among them (lyrics, chords, controllers) the set is what goes.
  const bool partners = std::any_of(indexes.begin(), indexes.end(), [&](int i) {
    return i < 0 || i >= count() || wholeList_[size_t(i)]->status() == 0x90;
  });
  if (partners)
    MidiSequence::removeEventsAtExactIndexes(removalSetForIndexes(indexes));
  else
    MidiSequence::removeEventsAtExactIndexes(indexes);
}

void MidiSequence::removeEventsAtExactIndexes(const IndexSet& indexes) {
  std::lock_guard guard(lock_);
  if (indexes.empty()) return;
  EventVector kept, removed;
  kept.reserve(wholeList_.size());
  removed.reserve(std::min(indexes.size(), wholeList_.size()));
  auto next = indexes.begin();
  for (int i = 0; i < count(); ++i) {
    while (next != indexes.end() && *next < i) ++next;
    if (next != indexes.end() && *next == i) removed.push_back(std::move(wholeList_[size_t(i)]));
    else kept.push_back(std::move(wholeList_[size_t(i)]));
  }
  wholeList_.swap(kept);
  // The maps are settled once the events are out: another event of the same kind and ticks
  // may still be there. The removed events go when this returns.
  std::vector<const MidiEvent*> gone;
  for (const auto& event : removed)
    if (event->isMeta()) gone.push_back(event.get());
  settleMapsAt(std::move(gone));
}

std::vector<PlacedEvent> MidiSequence::eventsAtIndexes(const IndexSet& indexes) const {
  std::vector<PlacedEvent> out;
  out.reserve(std::min(indexes.size(), wholeList_.size()));
  for (int i : indexes)
    if (i >= 0 && i < count()) out.push_back(PlacedEvent{i, *wholeList_[size_t(i)]});
  return out;
}

void MidiSequence::insertEventsAtExactIndexes(const std::vector<PlacedEvent>& events) {
  std::lock_guard guard(lock_);
  for (const PlacedEvent& placed : events)
    if (placed.event.track() >= numTracks_)
      throw std::out_of_range("fatal error while inserting object: track out of range");
  bool ascending = true;
  for (size_t k = 1; k < events.size() && ascending; ++k) ascending = events[k - 1].index < events[k].index;
  std::vector<const MidiEvent*> added;  // the tempo and signature events among them
  // A few events go in one at a time: cheaper than rebuilding the vector, and the same list.
  if (!ascending || events.size() <= kFewExactEvents) {
    // Every event is made before the first one goes in, so that a failure leaves the
    // sequence as it was.
    EventVector made;
    made.reserve(events.size());
    for (const PlacedEvent& placed : events) made.push_back(std::make_unique<MidiEvent>(placed.event));
    wholeList_.reserve(wholeList_.size() + events.size());
    added.reserve(events.size());
    for (size_t k = 0; k < events.size(); ++k) {
      const int at = std::clamp(events[k].index, 0, count());
      wholeList_.insert(wholeList_.begin() + at, std::move(made[k]));
      if (wholeList_[size_t(at)]->isMeta()) added.push_back(wholeList_[size_t(at)].get());
    }
    settleMapsAt(std::move(added));
    return;
  }
  // Ascending positions (the form undo records have): one merge with the existing events
  // gives what inserting them one by one gives, each at its position or at the end.
  // Everything is allocated before the first event moves, so that a failure leaves the
  // sequence as it was.
  EventVector made;
  made.reserve(events.size());
  for (const PlacedEvent& placed : events) made.push_back(std::make_unique<MidiEvent>(placed.event));
  EventVector combined;
  combined.reserve(wholeList_.size() + events.size());
  size_t old = 0;
  for (size_t k = 0; k < events.size(); ++k) {
    const size_t position = size_t(std::max(events[k].index, 0));
    while (combined.size() < position && old < wholeList_.size()) combined.push_back(std::move(wholeList_[old++]));
    if (made[k]->isMeta()) added.push_back(made[k].get());
    combined.push_back(std::move(made[k]));
  }
  while (old < wholeList_.size()) combined.push_back(std::move(wholeList_[old++]));
  wholeList_.swap(combined);
  settleMapsAt(std::move(added));
}

void MidiSequence::settleMapsAt(std::vector<const MidiEvent*> changed) {
  // Only the kind and ticks of each event are read, so events already out of the list do.
  std::vector<std::pair<uint32_t, uint8_t>> places;  // ticks, meta type
  for (const MidiEvent* e : changed)
    if (e->isMeta(meta::kTempo) || e->isMeta(meta::kTimeSignature)) places.emplace_back(e->ticks(), e->second());
  if (places.empty()) return;
  std::sort(places.begin(), places.end());
  places.erase(std::unique(places.begin(), places.end()), places.end());
  for (const auto& [ticks, type] : places) {
    const MidiEvent* last = nullptr;
    const IndexRange run = indexRangeAtTicks(ticks);
    for (int i = run.location; i < run.location + run.length; ++i)
      if (wholeList_[size_t(i)]->isMeta(type)) last = wholeList_[size_t(i)].get();
    if (last) {
      insertedTempoSignature(last);
    } else if (type == meta::kTempo) {
      tempoMap_.erase(int32_t(ticks));
      if (ticks == 0) setDefaultTempo(120);
    } else {
      signatureMap_.erase(int32_t(ticks));
      if (ticks == 0) setDefaultTimeSignature();
    }
  }
}

void MidiSequence::restoreMaps(const TempoMap& tempoMap, const SignatureMap& signatureMap) {
  tempoMap_ = tempoMap;
  signatureMap_ = signatureMap;
}

IndexSet MidiSequence::insertEventCollection(std::span<const uint8_t> bytes) {
  return insertFlattenedEventList(FlattenedEventList(bytes));
}

IndexSet MidiSequence::insertFlattenedEventList(const FlattenedEventList& list) {
  std::vector<int> positions;
  placeFlattenedEventList(list, &positions);
  IndexSet inserted;
  for (int position : positions) inserted.insert(inserted.end(), position);
  return inserted;
}

void MidiSequence::addFlattenedEventList(const FlattenedEventList& list) { placeFlattenedEventList(list, nullptr); }

void MidiSequence::placeFlattenedEventList(const FlattenedEventList& list, std::vector<int>* positions) {
  std::lock_guard guard(lock_);
  // Records whose track is out of range cannot be placed: they are refused as a whole
  // before anything changes.
  for (size_t at = list.begin(); !list.atEnd(at); at = list.next(at))
    if (list.record(at).track >= numTracks_)
      throw std::out_of_range("fatal error while inserting object: track out of range");

  // Each record with its kind's priority. A note-off without length follows its note-on
  // directly and keeps its rank; the other partner note-offs are ordered by ticks (equal
  // ticks in list order), then merged with the list by ticks, the list's records first.
  struct Placed {
    FlattenedRecord record;
    int priority;
  };
  std::vector<Placed> records, noteOffs;
  std::vector<std::array<uint8_t, 3>> noteOffBytes;
  noteOffBytes.reserve(list.recordCount());
  records.reserve(list.recordCount() * 2);
  for (size_t at = list.begin(); !list.atEnd(at); at = list.next(at)) {
    const FlattenedRecord r = list.record(at);
    const uint8_t first = r.data.empty() ? 0 : r.data[0];
    const int priority = priorityForStatus(first < 0xF0 ? (first & 0xF0) : first, r.data.size() > 1 ? r.data[1] : 0);
    records.push_back({r, priority});
    if (r.data.size() == 3 && (first & 0xF0) == 0x90) {
      noteOffBytes.push_back({uint8_t(0x80 | (first & 0x0F)), r.data[1], r.offVelocity});
      FlattenedRecord n;
      n.track = r.track;
      n.ticks = r.ticks + r.duration;
      n.data = std::span<const uint8_t>(noteOffBytes.back().data(), 3);
      if (r.duration == 0) records.push_back({n, priority});
      else noteOffs.push_back({n, priorityForStatus(0x80, 0)});
    }
  }
  const size_t listCount = records.size();
  auto byTicks = [](const Placed& a, const Placed& b) { return a.record.ticks < b.record.ticks; };
  std::stable_sort(noteOffs.begin(), noteOffs.end(), byTicks);
  if (std::is_sorted(records.begin(), records.end(), byTicks)) {
    // std::inplace_merge takes from the first range on ties, as the list's records go first.
    records.insert(records.end(), noteOffs.begin(), noteOffs.end());
    std::inplace_merge(records.begin(), records.begin() + std::ptrdiff_t(listCount), records.end(), byTicks);
  } else {
    records.insert(records.end(), noteOffs.begin(), noteOffs.end());
  }
  noteOffs = {};

  // Walk the existing events once, placing each new record before the cursor; the counter
  // k is the position of the cursor in the combined list. Among events of equal ticks the
  // tracks keep their order; within a track a record goes to its proposed index when that
  // lies in the run of the track's events there, otherwise after the events of its priority.
  EventVector combined;
  combined.reserve(wholeList_.size() + records.size());
  EventVector made;
  std::vector<const MidiEvent*> fresh;  // the meta events among the records, for the maps
  size_t j = 0;
  // The walk only moves forward: records are taken by ticks, then track (a list from bytes
  // need not be sorted, and note-offs of one track may meet records of another), then
  // priority, so that a note-off goes before a note-on of its tick; their list order otherwise.
  auto byTicksTrackAndPriority = [](const Placed& a, const Placed& b) {
    if (a.record.ticks != b.record.ticks) return a.record.ticks < b.record.ticks;
    if (a.record.track != b.record.track) return a.record.track < b.record.track;
    return a.priority < b.priority;
  };
  if (std::is_sorted(records.begin(), records.end(), byTicks)) {
    // Sorted by ticks already: only the runs of equal ticks need putting in order.
    for (auto run = records.begin(); run != records.end();) {
      auto end = std::find_if(run, records.end(), [&](const Placed& p) { return p.record.ticks != run->record.ticks; });
      if (!std::is_sorted(run, end, byTicksTrackAndPriority)) std::stable_sort(run, end, byTicksTrackAndPriority);
      run = end;
    }
  } else {
    std::stable_sort(records.begin(), records.end(), byTicksTrackAndPriority);
  }
  // Every new event is made before the first existing one moves, so that a failed
  // allocation leaves the sequence as it was.
  made.reserve(records.size());
  fresh.reserve(records.size());
  if (positions) positions->reserve(records.size());
  for (const auto& placed : records) {
    const auto& r = placed.record;
    made.push_back(std::make_unique<MidiEvent>(r.data.data(), uint32_t(r.data.size()), r.track, r.ticks, r.duration,
                                               r.offVelocity));
    if (made.back()->isMeta()) fresh.push_back(made.back().get());
  }
  size_t k = 0;
  for (const Placed& placed : records) {
    // Named, not a structured binding: lambdas below capture them.
    const FlattenedRecord& r = placed.record;
    const int priority = placed.priority;
    auto before = [&](const MidiEvent* e) {
      return e->ticks() < r.ticks || (e->ticks() == r.ticks && e->track() < r.track);
    };
    while (j < wholeList_.size() && before(wholeList_[j].get())) combined.push_back(std::move(wholeList_[j++]));
    // The run of existing events with the record's ticks and track starts at the cursor.
    size_t runEnd = j;
    while (runEnd < wholeList_.size() && wholeList_[runEnd]->ticks() == r.ticks &&
           wholeList_[runEnd]->track() == r.track)
      ++runEnd;
    const int runStart = int(combined.size());
    const bool usable = r.proposedIndex != -1 && runStart <= r.proposedIndex &&
                        r.proposedIndex <= runStart + int(runEnd - j);
    // Events of lower priority stay before the record whatever it proposes; a usable proposal
    // then places it among those of its own priority.
    while (j < runEnd && priorityOf(*wholeList_[j]) < priority) combined.push_back(std::move(wholeList_[j++]));
    while (j < runEnd) {
      const bool samePriority = priorityOf(*wholeList_[j]) == priority;
      bool advance = usable ? samePriority && int(combined.size()) < r.proposedIndex
                            : priorityOf(*wholeList_[j]) <= priority;
      if (!advance) break;
      combined.push_back(std::move(wholeList_[j++]));
    }
    if (positions && made[k]->status() != 0x80) positions->push_back(int(combined.size()));
    combined.push_back(std::move(made[k++]));
  }
  while (j < wholeList_.size()) combined.push_back(std::move(wholeList_[j++]));
  wholeList_.swap(combined);
  settleMapsAt(std::move(fresh));
}

// ---------------------------------------------------------------- note pairing

int MidiSequence::noteOffIndexForNoteOn(const MidiEvent* noteOn, int start, const std::vector<bool>* skip) const {
  if (!noteOn || noteOn->status() != 0x90) return -1;
  uint32_t offTicks = noteOn->ticks() + noteOn->duration();
  if (start == -1) start = noteOn->duration() ? indexAtTicks(offTicks) : indexOfEvent(noteOn);
  uint8_t key = noteOn->second(), channel = noteOn->channel(), velocity = noteOn->offVelocity();
  // A note-off on the note-on's own track wins over an equal one on another track, so that
  // removing a note never takes the note-off of another track's note.
  int otherTrack = -1;
  for (int i = std::max(start, 0); i < count(); ++i) {
    const MidiEvent* e = wholeList_[size_t(i)].get();
    if (!e || (skip && size_t(i) < skip->size() && (*skip)[size_t(i)])) continue;
    // Events are ordered by ticks: nothing later can match.
    if (e->ticks() > offTicks) break;
    if (e->status() == 0x80 && e->ticks() == offTicks && e->second() == key && e->channel() == channel &&
        e->third() == velocity) {
      if (e->track() == noteOn->track()) return i;
      if (otherTrack < 0) otherTrack = i;
    }
  }
  if (otherTrack >= 0) return otherTrack;
  logMessage("Note off missing for note on at ticks: " + std::to_string(noteOn->ticks()));
  return -1;
}

// ---------------------------------------------------------------- maps

void MidiSequence::setTempo(double bpm, int32_t ticks) {
  setQuarterDuration(60000000.0 / bpm, ticks);
}

void MidiSequence::setQuarterDuration(double microseconds, int32_t ticks) {
  if (SMPTEFormat_ != 0) {
    // Ticks of a SMPTE division are frame parts: a tempo does not change their length.
    tempoMap_[ticks] = timemath::SMPTETickDuration(SMPTEFormat_, division_);
    return;
  }
  double division = division_ > 0 ? division_ : 1;
  tempoMap_[ticks] = microseconds / division;
}

void MidiSequence::setSignature(const TimeSignatureRec& signature, int32_t ticks) { signatureMap_[ticks] = signature; }

void MidiSequence::setDefaultTempo(double bpm) { setTempo(bpm == 0 ? 120 : bpm, 0); }

void MidiSequence::setDefaultTimeSignature() { setSignature(TimeSignatureRec{4, 4, 24, 8}, 0); }

namespace {
// 2 to the power of the stored exponent; exponents past 7 do not fit a byte and give 0,
// which the time conversions treat as a quarter note.
uint8_t denominatorFromPower(uint8_t power) { return power < 8 ? uint8_t(1u << power) : 0; }
}  // namespace

bool MidiSequence::insertedTempoSignature(const MidiEvent* event) {
  if (event->status() != META_EVENT) return false;
  const uint8_t* d = event->data();
  if (event->second() == meta::kTempo) {
    uint32_t q = event->length() >= 6 ? (uint32_t(d[3]) << 16) | (uint32_t(d[4]) << 8) | d[5] : 0;
    setQuarterDuration(q, int32_t(event->ticks()));
    return true;
  }
  if (event->second() == meta::kTimeSignature) {
    TimeSignatureRec s{};
    s.num = event->length() > 3 ? d[3] : 4;
    s.denom = event->length() > 4 ? denominatorFromPower(d[4]) : 4;
    s.metronome = event->length() > 5 ? d[5] : 24;
    s.MIDIClock = event->length() > 6 ? d[6] : 8;
    setSignature(s, int32_t(event->ticks()));
    return true;
  }
  return false;
}

bool MidiSequence::removedTempoSignature(const MidiEvent* event) {
  if (event->status() != META_EVENT) return false;
  int32_t ticks = int32_t(event->ticks());
  if (event->second() == meta::kTempo) {
    tempoMap_.erase(ticks);
    if (ticks == 0) setDefaultTempo(120);
    return true;
  }
  if (event->second() == meta::kTimeSignature) {
    signatureMap_.erase(ticks);
    if (ticks == 0) setDefaultTimeSignature();
    return true;
  }
  return false;
}

}  // namespace sw
