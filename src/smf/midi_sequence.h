// All events of one MIDI file in one vector, ordered by ticks, then track, then a fixed
// priority per event kind, with the tempo and time-signature maps kept in step.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/status.h"

namespace sw {
struct FileIdentity;
}
#include "smf/flattened_event_list.h"
#include "smf/midi_event.h"
#include "smf/smf_image.h"
#include "smf/sequence_transforms.h"
#include "smf/time_types.h"

namespace sw {

using IndexSet = std::set<int>;

// An event with the position it had (or is to have) in a sequence.
struct PlacedEvent {
  int index = 0;
  MidiEvent event;
};

// The events of a sequence as non-owning pointers, in order; valid until the sequence changes.
class EventView {
 public:
  using Owned = std::unique_ptr<MidiEvent>;
  class iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = MidiEvent*;
    using difference_type = std::ptrdiff_t;
    using reference = MidiEvent*;
    using pointer = void;
    iterator() = default;
    explicit iterator(const Owned* at) : at_(at) {}
    MidiEvent* operator*() const { return at_->get(); }
    MidiEvent* operator[](difference_type n) const { return at_[n].get(); }
    iterator& operator++() { ++at_; return *this; }
    iterator operator++(int) { iterator old = *this; ++at_; return old; }
    iterator& operator--() { --at_; return *this; }
    iterator operator--(int) { iterator old = *this; --at_; return old; }
    iterator& operator+=(difference_type n) { at_ += n; return *this; }
    iterator& operator-=(difference_type n) { at_ -= n; return *this; }
    friend iterator operator+(iterator it, difference_type n) { return it += n; }
    friend iterator operator+(difference_type n, iterator it) { return it += n; }
    friend iterator operator-(iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(iterator a, iterator b) { return a.at_ - b.at_; }
    friend bool operator==(iterator a, iterator b) { return a.at_ == b.at_; }
    friend auto operator<=>(iterator a, iterator b) { return a.at_ <=> b.at_; }

   private:
    const Owned* at_ = nullptr;
  };
  using const_iterator = iterator;

  EventView() = default;
  explicit EventView(const std::vector<Owned>& events) : first_(events.data()), size_(events.size()) {}
  iterator begin() const { return iterator(first_); }
  iterator end() const { return iterator(first_ + size_); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  MidiEvent* operator[](size_t i) const { return first_[i].get(); }
  MidiEvent* front() const { return first_[0].get(); }
  MidiEvent* back() const { return first_[size_ - 1].get(); }

 private:
  const Owned* first_ = nullptr;
  size_t size_ = 0;
};

struct IndexRange {
  int location = 0;
  int length = 0;
};

class MidiSequence {
 public:
  // The sequence owns its events; readers get non-owning pointers (events(), eventAtIndex).
  using EventVector = std::vector<std::unique_ptr<MidiEvent>>;

  // The built-in empty file: one track, division 480, 4/4 and 120 BPM at tick 0.
  MidiSequence();
  MidiSequence(const SMFImage& image, uint32_t flags, OSStatus* status);
  // `fileBytes` (when given) receives the file's bytes as read.
  MidiSequence(const std::string& path, uint32_t flags, OSStatus* status, std::vector<uint8_t>* fileBytes = nullptr);
  MidiSequence(const MidiSequence& other);  // copies every event (new IDs); not the file name
  MidiSequence& operator=(const MidiSequence&) = delete;
  virtual ~MidiSequence();

  // ---- Properties
  int count() const { return int(wholeList_.size()); }
  int16_t division() const { return division_; }
  uint16_t numTracks() const { return numTracks_; }
  void setNumTracks(uint16_t tracks) { numTracks_ = tracks; }
  uint32_t encoding() const { return encoding_; }
  void setEncoding(uint32_t encoding) { encoding_ = encoding; }
  const std::string& filename() const { return filename_; }
  const SMPTERec& SMPTEOffset() const { return SMPTEOffset_; }
  void setSMPTEOffset(const SMPTERec& offset) { SMPTEOffset_ = offset; }
  uint16_t drumChannelMask() const { return drumChannelMask_; }
  // Non-zero when the file's division was a SMPTE division (frames code in bits 0-6); the
  // writer then writes the original division word back, so the file keeps its timing.
  int16_t SMPTEFormat() const { return SMPTEFormat_; }
  // The division word the writer stores in the header.
  uint16_t divisionWord() const;
  const TempoMap& tempoMap() const { return tempoMap_; }
  const SignatureMap& signatureMap() const { return signatureMap_; }
  EventView events() const { return EventView(wholeList_); }
  // What the load could not read, one fault per damaged track or chunk (its track, its byte
  // offset in the file, status and message), in file order; empty for a sound file. The
  // events before each fault are in the sequence.
  const std::vector<Error>& damage() const { return damage_; }
  bool isDamaged() const { return !damage_.empty(); }
  // Once the salvaged content has been written back, nothing is missing any more.
  void clearDamage() { damage_.clear(); }

  // ---- Building (replaces the whole content)
  OSStatus buildWithSMF(const SMFImage& image, uint32_t flags);
  OSStatus buildWithPath(const std::string& path, uint32_t flags, std::vector<uint8_t>* fileBytes = nullptr);

  // ---- Lookup
  MidiEvent* eventAtIndex(int index) const { return wholeList_[size_t(index)].get(); }
  EventVector::iterator eventIterator(int index) { return wholeList_.begin() + index; }
  int indexAtTicks(uint32_t ticks) const;
  IndexRange indexRangeAtTicks(uint32_t ticks) const;
  int indexOfEvent(const MidiEvent* event) const;
  int indexBefore(int index, uint8_t track) const;
  int indexAfter(int index, uint8_t track) const;

  // ---- Insertion and removal (each holds the sequence's lock)
  static int priorityForStatus(uint8_t status, uint8_t second);
  static int priorityOf(const MidiEvent& event) { return priorityForStatus(event.status(), event.second()); }
  int bestIndexForEvent(const MidiEvent* event, int proposedIndex) const;
  // Whether the event may stand at `proposed` within the run [runStart, runEnd) of its tick
  // and track without breaking the priority order.
  bool proposalKeepsOrder(const MidiEvent* event, int proposed, int runStart, int runEnd) const;
  // Takes ownership. Throws std::out_of_range when the track is not below numTracks; the
  // event is then not inserted and is destroyed with the unique_ptr.
  virtual int insertEvent(std::unique_ptr<MidiEvent> event, int suggestedIndex = -1);
  int insertNoteOffForNoteOn(const MidiEvent* noteOn);
  virtual void removeObjectAtIndex(int index);
  virtual void removeObjectsAtIndexes(const IndexSet& indexes);
  // The positions removeObjectsAtIndexes removes for that set: the set and the partner
  // note-offs of its note-ons.
  IndexSet removalSetForIndexes(const IndexSet& indexes) const;
  // Exactly these events, no partners looked for (maps kept in step).
  virtual void removeEventsAtExactIndexes(const IndexSet& indexes);
  // Copies of the events at those positions.
  std::vector<PlacedEvent> eventsAtIndexes(const IndexSet& indexes) const;
  // A copy of each event, in order, at its index (clamped to the list), nothing else placed
  // or generated: the inverse of removeEventsAtExactIndexes given the removed events with
  // their old positions in ascending order. Throws like insertFlattenedEventList.
  virtual void insertEventsAtExactIndexes(const std::vector<PlacedEvent>& events);
  // Up to this many events, exact insertions and removals go one event at a time.
  static constexpr size_t kFewExactEvents = 16;
  IndexSet insertEventCollection(std::span<const uint8_t> bytes);
  virtual IndexSet insertFlattenedEventList(const FlattenedEventList& list);
  // The same insertion for callers that do not need the indexes (a set node each).
  virtual void addFlattenedEventList(const FlattenedEventList& list);

  // ---- Note pairing
  // Positions flagged in `skip` are passed over.
  int noteOffIndexForNoteOn(const MidiEvent* noteOn, int startIndex = -1, const std::vector<bool>* skip = nullptr) const;

  // ---- Maps
  void setTempo(double bpm, int32_t ticks);
  void setQuarterDuration(double microseconds, int32_t ticks);
  void setSignature(const TimeSignatureRec& signature, int32_t ticks);
  void setDefaultTempo(double bpm);
  void setDefaultTimeSignature();
  bool insertedTempoSignature(const MidiEvent* event);
  bool removedTempoSignature(const MidiEvent* event);
  // Puts back maps saved earlier (undo of edits that touched tempo or signature events).
  void restoreMaps(const TempoMap& tempoMap, const SignatureMap& signatureMap);
  // After tempo or signature events at these ticks came or went: each map entry there is set
  // by the last event of its kind at its ticks, as when the file is read, or is dropped (the
  // default at tick 0) when none is left. Takes the ticks of the events that came or went.
  void settleMapsAt(std::vector<const MidiEvent*> changed);

  // ---- Time conversions (time_map.cpp)
  double tickDurationAtTicks(int32_t ticks) const;
  double tempoForTickDuration(double tickDuration) const;
  TimeSignatureRec signatureAtTicks(int32_t ticks) const;
  uint8_t beatNumAtTicks(int32_t ticks, bool* isBeat) const;
  double microSecondsAtTicks(int32_t ticks) const;
  int32_t ticksAtMicroseconds(double microseconds, double* timeOffset) const;
  MeasureRec measureAtTicks(int32_t ticks, uint16_t* totBeats) const;
  MeasureRec measureAtTicks(int32_t ticks) const { return measureAtTicks(ticks, nullptr); }
  int32_t ticksAtMeasure(const MeasureRec& measure) const;
  bool convertMeasureString(const std::string& text, MeasureRec* measure) const;
  SMPTERec SMPTEatTicks(int32_t ticks) const;
  uint32_t duration() const;

  // ---- Writing (smf_writer.cpp)
  std::vector<uint8_t> dataRepresentation(bool compress = false);
  // Replaces the file atomically, keeping its permissions, attributes, type and creator.
  // With `expected` (the identity the file had when it was read), a file changed or deleted
  // since is left alone (see writeFileAtomically).
  OSStatus writeToFile(const std::string& path, bool compress, FileIdentity* expected = nullptr);
  // The same for bytes made already by dataRepresentation.
  static OSStatus writeDataToFile(const std::string& path, const std::vector<uint8_t>& bytes,
                                  FileIdentity* expected = nullptr);

  // ---- Whole-sequence transformations (sequence_transforms.cpp). None takes the lock.
  // Everything on track 0, channel prefixes before meta and sysex events of channel tracks.
  void convertToZero(SequenceTextKeeper* keeper = nullptr);
  // The 21-track layout (tempo, karaoke header, words, chords, system, 16 channels), empty
  // tracks then removed; false and nothing done when the sequence has more than one track.
  bool convertToOne(bool nameChannelTracks, SequenceTextKeeper* keeper = nullptr);
  void allToTrack0();
  void removeEmptyTracks();
  // Notes of the masked channels move by `semitones`, folded back by octaves into 0..127;
  // chords follow through the hook when one is given. False and nothing done when
  // |semitones| > 127.
  bool changePitch(int semitones, uint16_t channelMask, const ChordTransposeHook& chords = {});
  bool changePitch(int semitones, const ChordTransposeHook& chords = {});
  // Divides every tempo by the factor. False and nothing done when the factor is not a
  // positive finite number or a tempo would leave 1..0xFFFFFF microseconds per quarter.
  bool changeRate(double factor);
  // Drops the events from `index` on and appends the 48 controller resets; false and nothing
  // done when the index is outside 0..count.
  bool truncateAtIndex(int index);
  std::vector<std::string> trackNames() const;
  std::vector<std::string> numberedTrackNames() const;

  // ---- The lock shared with the player: recursive, held by the four mutating operations.
  std::recursive_mutex& lock() const { return lock_; }

  // ---- Used by transformations that build a sequence themselves.
  void setDivision(int16_t division) { division_ = division; }
  void setSMPTEFormat(int16_t format) { SMPTEFormat_ = format; }
  void setDrumChannelMask(uint16_t mask) { drumChannelMask_ = mask; }
  // Appends without placing: the caller keeps the canonical order.
  void appendEventUnordered(std::unique_ptr<MidiEvent> event) { wholeList_.push_back(std::move(event)); }

 protected:
  void setupMidiSequence();
  void freeEvents();
  // The insertion itself; `positions`, when given, receives the new events' indexes in order.
  void placeFlattenedEventList(const FlattenedEventList& list, std::vector<int>* positions);
  friend class SequenceBuilder;

  EventVector wholeList_;
  SignatureMap signatureMap_;
  TempoMap tempoMap_;
  int16_t division_ = 0;
  int16_t SMPTEFormat_ = 0;
  uint32_t encoding_ = 5;
  std::string filename_;
  uint16_t numTracks_ = 0;
  SMPTERec SMPTEOffset_{};
  uint16_t drumChannelMask_ = 0;
  std::vector<Error> damage_;
  mutable std::recursive_mutex lock_;
};

}  // namespace sw
