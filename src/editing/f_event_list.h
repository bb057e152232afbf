// A sequence with a filtered view: next to the complete (whole) event vector it keeps the
// ascending whole indexes of the events that pass the filters (tracks, channels, kinds of
// message, meta types and a search text). Table rows are filtered indexes ("rows"); the
// sequence operations take whole indexes.
//
// The filtered index is exact after filter(). Single insertions and removals keep it exact for
// the existing rows without refiltering: an inserted event is shown even when it would not
// pass the filters (until the next filter()), except a note-off while note-offs are hidden.
// Bulk removals and collection insertions refilter; removals and insertions of a few events
// at exact indexes (undo and redo of a cell edit) keep the rows in step, an inserted event
// shown when the masks show its kind. Every insertion and removal made through
// the MidiSequence interface (insertEvent, removeObjectAtIndex, removeObjectsAtIndexes,
// insertFlattenedEventList, insertEventCollection) keeps the view right too.
//
// The owner sets the masks (nothing is shown until a track mask is set) and calls filter()
// whenever a mask or the search changes; the setters do not refilter. The whole-sequence
// transformations of MidiSequence (convertToZero, changePitch, ...) rebuild the event vector
// directly: call filter() after them too.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "smf/midi_sequence.h"

namespace sw {

class FMidiEventPointer;

// FEventList, the filtered event list: a MidiSequence plus the rows that pass the editor's filters.
class FEventList : public MidiSequence {
 public:
  using TrackMask = std::array<uint8_t, 64>;  // flag t != 0: track t shown
  using MetaMask = std::array<uint8_t, 128>;  // flag t != 0: meta type t shown

  // Bits of searchEventMask: the fields the search looks at.
  static constexpr uint32_t kSearchSecond = 1u << 0;
  static constexpr uint32_t kSearchThird = 1u << 1;
  static constexpr uint32_t kSearchDataString = 1u << 2;

  // Where an inserted event ended up. filteredIndex is -1 when it is hidden.
  struct InsertResult {
    int wholeIndex = -1;
    int filteredIndex = -1;
    bool isVisible() const { return filteredIndex >= 0; }
  };

  // What goes onto the pasteboard: "eventList" (FlattenedEventList bytes whose proposed
  // indexes are the whole indexes the events had here), "division" and "src_uuid".
  struct PasteboardData {
    std::vector<uint8_t> eventList;
    int division = 0;
    std::string srcUUID;
  };

  // The built-in empty file; a file or image read by MidiSequence; a copy of a sequence.
  FEventList();
  FEventList(const std::string& path, uint32_t flags, OSStatus* status);
  FEventList(const SMFImage& image, uint32_t flags, OSStatus* status);
  explicit FEventList(const MidiSequence& other);
  // Copies the events (new IDs) and the filters; the copy gets its own uuidStr.
  FEventList(const FEventList& other);
  FEventList& operator=(const FEventList&) = delete;

  // ---- The view
  int filteredCount() const { return int(filteredIndex_.size()); }
  const std::vector<int>& filteredIndex() const { return filteredIndex_; }
  // Throws std::out_of_range("out of range of mFilteredIndex") for a row outside the view.
  int wholeIndexAtIndex(int row) const;
  IndexSet wholeIndexesAtIndexes(const IndexSet& rows) const;
  // The first row whose whole index is not below wholeIndex; filteredCount() when none.
  int lowerBoundForWholeIndex(int wholeIndex) const;
  // The row of a whole index, -1 when that event is hidden.
  int indexForWholeIndex(int wholeIndex) const;
  // The rows of the visible members; hidden ones are left out.
  IndexSet indexesAtWholeIndexes(const IndexSet& wholeIndexes) const;
  int filteredIndexAtTicks(uint32_t ticks) const;
  // The row of an event (found by eventID among the rows of its ticks), -1 when hidden.
  int filteredIndexOfEvent(const MidiEvent* event) const;
  // Pointers on events: nothing for a whole index out of range; a row outside the view throws
  // as wholeIndexAtIndex does.
  std::optional<FMidiEventPointer> objectAtWholeIndex(int wholeIndex);
  FMidiEventPointer objectAtFilteredIndex(int row);

  // ---- Filters (stored only: call filter() afterwards)
  void setSearchString(std::string text) { searchString_ = std::move(text); }
  const std::string& searchString() const { return searchString_; }
  void setChannelMask(uint16_t mask) { channelMask_ = mask; }  // bit c: channel c shown
  uint16_t channelMask() const { return channelMask_; }
  // Bit n: events whose status >> 4 is n shown (8 note-off ... 14 pitch bend, 15 sysex F0).
  void setMidiMask(uint16_t mask) { midiMask_ = mask; }
  uint16_t midiMask() const { return midiMask_; }
  void setMetaMask(const MetaMask& mask) { metaMask_ = mask; }
  const MetaMask& metaMask() const { return metaMask_; }
  void setTrackMask(const TrackMask& mask) { trackMask_ = mask; }
  const TrackMask& trackMask() const { return trackMask_; }
  void setSearchEventMask(uint32_t mask) { searchEventMask_ = mask; }  // default: all three fields
  uint32_t searchEventMask() const { return searchEventMask_; }
  // Every track, channel, kind and meta type shown, no search.
  void showEverything();
  // True when the MIDI mask hides that status.
  bool isMasked(uint8_t status) const { return !(midiMask_ & (1u << (status >> 4))); }
  // Tracks from 64 and meta types from 128 have no flag: they are always shown.
  bool passesMasks(const MidiEvent& event) const;
  // Rebuilds the view from the masks and the search.
  void filter();

  // ---- Index upkeep, for subclasses and edit operations that move events themselves
  int insertIndex(int wholeIndex);
  void incrementIndexesGreaterOrEqualThan(int value, int startingFromIndex);
  void decrementIndexesGreaterThan(int value, int startingFromIndex);

  // ---- Journal of insertions, for edit operations that record what a change made: while it
  // is open, each event inserted on its own is noted by eventID and ticks; an insertion or
  // removal of many events at once marks it incomplete.
  struct Journal {
    std::vector<std::pair<uint32_t, uint32_t>> inserted;  // eventID, ticks
    bool complete = true;
  };
  void openJournal() { journal_.emplace(); }
  Journal closeJournal() {
    Journal closed = journal_ ? std::move(*journal_) : Journal{{}, false};
    journal_.reset();
    return closed;
  }

  // ---- Editing with upkeep
  // Takes ownership (see MidiSequence::insertEvent). A note-on gets its partner note-off.
  InsertResult insertEventAtSuggestedWholeIndex(std::unique_ptr<MidiEvent> event, int suggestedWholeIndex);
  // Removes the event and, for a note-on, its partner note-off.
  void removeObjectAtWholeIndex(int wholeIndex);
  void removeObjectsAtWholeIndexes(const IndexSet& wholeIndexes) { removeObjectsAtIndexes(wholeIndexes); }

  // ---- Pasteboard
  // FlattenedEventList bytes of the events at those whole indexes, note-offs left out (the
  // receiver re-creates them from the note-ons).
  std::vector<uint8_t> persistentObjectsAtWholeIndexes(const IndexSet& wholeIndexes) const;
  PasteboardData pasteBoardDataAtWholeIndexes(const IndexSet& wholeIndexes) const;
  // Identifies this list on the pasteboard and in "ReloadData" notifications.
  const std::string& uuidStr() const { return uuidStr_; }

  // ---- MidiSequence operations, with upkeep
  int insertEvent(std::unique_ptr<MidiEvent> event, int suggestedIndex = -1) override;
  void removeObjectAtIndex(int index) override;
  void removeObjectsAtIndexes(const IndexSet& indexes) override;
  IndexSet insertFlattenedEventList(const FlattenedEventList& list) override;
  void addFlattenedEventList(const FlattenedEventList& list) override;
  void removeEventsAtExactIndexes(const IndexSet& indexes) override;
  void insertEventsAtExactIndexes(const std::vector<PlacedEvent>& events) override;

 private:
  void setup();
  bool matchesSearch(const MidiEvent* event, const std::string& foldedSearch, bool digitsOnly,
                     int64_t searchValue);

  void noteBulkChange() {
    if (journal_) journal_->complete = false;
  }

  std::vector<int> filteredIndex_;
  std::optional<Journal> journal_;
  TrackMask trackMask_{};
  MetaMask metaMask_{};
  uint16_t channelMask_ = 0xFFFF;
  uint16_t midiMask_ = 0xFFFF;
  std::string searchString_;
  uint32_t searchEventMask_ = kSearchSecond | kSearchThird | kSearchDataString;
  std::string uuidStr_;
};

}  // namespace sw
