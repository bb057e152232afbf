// The structural edits of the event editor on one filtered event list: remove, cut, copy,
// paste, duplicate, shift and the change of many selected events at once, all undoable.
//
// Every edit is recorded as the events it took out (with their old whole indexes) and the
// events it put in (with their new ones), together with the track count before and after and,
// when the edit changed them or moved tempo or signature events, the tempo and signature maps;
// undo and redo replay that record exactly, so the list comes back event for event, in the
// same order, with the same note pairs and maps.
//
// The selection is a set of rows of the filtered view; the owner (the editor window) keeps it
// in step with its table. Inserting edits select the inserted rows, removals clear it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editing/f_event_list.h"
#include "editing/field_value.h"
#include "editing/pasteboard.h"
#include "editing/undo_manager.h"

namespace sw {

class MidiEventPointer;

// Which events a shift moves, from the reference (first selected) event on.
enum class ShiftRange : uint32_t {
  Selection = 0,     // the selected rows
  ToEnd = 1,         // every event to the end of the sequence
  SameChannel = 2,   // ... whose channelPlusOne is the reference's (meta and sysex count as 0)
  SameTrack = 3,     // ... on the reference's track
};

// Where and how a paste goes: made by pastePlan(), changed by the paste options sheet.
struct PastePlan {
  FEventList::PasteboardData data;
  double scale = 1;                // this list's division / the source's
  int64_t position = 0;            // ticks of the first pasted event
  int suggestedWholeIndex = -1;    // where the first pasted event is suggested, -1 none
  uint8_t track = 0;               // every pasted event goes to this track
  bool keepTiming = true;          // false: every event at `position`
  bool sameList = false;
};

// Fields the multiple-selection editor applies.
struct BulkChange {
  bool track = false;
  bool channel = false;
  bool second = false;  // only on events of the model's type
  bool third = false;   // only on events of the model's type
  bool any() const { return track || channel || second || third; }
};

class EditOperations {
 public:
  EditOperations(FEventList& list, UndoManager& undoManager, Pasteboard& pasteboard);
  ~EditOperations();
  EditOperations(const EditOperations&) = delete;
  EditOperations& operator=(const EditOperations&) = delete;

  FEventList& list() { return list_; }
  UndoManager& undoManager() { return undo_; }

  const IndexSet& selection() const { return selection_; }
  // Rows outside the view are dropped.
  void setSelection(const IndexSet& rows);
  // Called after every edit, undo and redo (reload the table, announce the row count).
  void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }
  // Columns of the tab-separated text put on the pasteboard with every copy.
  void setTabularColumns(std::vector<FieldKey> columns) { columns_ = std::move(columns); }

  // ---- The two inverse operations. Both register their undo and return false when the
  // list raised an exception (logged; what was done stays and is undoable).
  // Inserts a flattened list: two records or more at once, a single one at its proposed
  // index. Note-offs are made for the note-ons.
  bool insertEvents(const FlattenedEventList& events);
  // Removes the events and the partner note-offs of the note-ons among them. A note-off whose
  // note-on stays is left in place: taken alone it would leave that note without an end.
  bool removeObjectsAtWholeIndexes(const IndexSet& wholeIndexes);

  // ---- Commands on the selection
  void copy();
  void cut();
  void clear();
  // Nothing when the pasteboard holds no event collection.
  std::optional<PastePlan> pastePlan();
  bool paste();  // without options: pastePlan() as it is
  bool paste(const PastePlan& plan);
  // With nothing selected: one middle C quarter note at tick 0 on track 0.
  bool duplicate();

  // The position text of the paste and shift sheets: "%.3i:%.2i:%.3i".
  std::string measureText(int64_t ticks) const;
  // The ticks of a position text; nothing (and *error = the "INCORRECT_VALUE" text) when the
  // text is not a position.
  std::optional<int32_t> ticksForNewTime(const std::string& text, std::string* error = nullptr) const;
  // Moves events so that the first selected event lands at newTicks. Note-offs follow their
  // note-ons and are never moved on their own, so every note keeps its note-off. False when
  // nothing is selected or nothing would move.
  bool shift(int64_t newTicks, ShiftRange range);

  // The multiple-selection editor: the model is a detached copy of the first selected event
  // (FMidiEventPointer::copy) edited by the sheet. Applies the chosen fields to every selected
  // event, in row order; `progress` (done, total) may stop it by answering false. One undo
  // step. False when nothing changed.
  bool applyChanges(const MidiEventPointer& model, const BulkChange& change,
                    const std::function<bool(int, int)>& progress = {});

  // One field of one event, as the table sets it: the value is validated (and put in its
  // normal form) first. False with *error on a refused value; one undo step otherwise.
  bool setValue(int wholeIndex, FieldKey key, FieldValue value, std::string* error = nullptr);

  // The rows as tab-separated text: each column's text, images as empty fields, one line a row.
  std::string tabularText(const IndexSet& rows);

 private:
  struct ListState;
  struct Patch;
  // The track count, and the tempo and signature maps unless told they are not needed.
  ListState state(bool withMaps = true) const;
  void restore(const ListState& state);
  // Sets the state after the edit, keeping the maps only where the patch needs them.
  void closePatch(Patch& patch) const;
  // Replays a recorded edit forwards (redo) or backwards (undo) and registers the other way.
  void apply(const std::shared_ptr<const Patch>& patch, bool forward);
  void registerPatch(const std::shared_ptr<const Patch>& patch, bool forwardApplied);
  // Records the events created since `firstNewID` as an insertion and registers it.
  void recordInsertion(const ListState& before, uint32_t firstNewID, const std::string& name);
  void selectWholeIndexes(const IndexSet& wholeIndexes);
  // Runs `change` on the events at `targets` (and their note-off partners) and records what
  // it did as one undo step named `name`; false when nothing changed.
  bool recordChange(const IndexSet& targets, const ListState& before, const std::string& name,
                    const std::function<void()>& change);
  // Puts the events with these IDs (ascending) on `track` in one pass over the list, their
  // note-offs with them: they are taken out and put back as new events, as a shift does.
  // A note-on without a note-off is moved on its own, so that none is made for it.
  void moveToTrack(const std::vector<uint32_t>& ids, uint8_t track);
  // The events a change of these targets may touch: they and the note-offs of their notes.
  IndexSet targetsWithPartners(const IndexSet& targets) const;
  // The positions of the events a change left changed or made: the affected ones that kept
  // their eventID (`kept`: eventID, ticks) and the ones the journal saw inserted. Nothing when
  // the journal is incomplete or the positions found are not `expectedCount`.
  std::optional<std::vector<int>> changedIndexes(const std::vector<std::pair<uint32_t, uint32_t>>& kept,
                                                 const FEventList::Journal& journal, int expectedCount) const;
  // The set without the note-offs that belong to note-ons; nothing when it holds no note-off.
  std::optional<IndexSet> withoutClaimedNoteOffs(const IndexSet& wholeIndexes) const;
  void notifyChanged();
  void dropStaleRows();

  FEventList& list_;
  UndoManager& undo_;
  Pasteboard& pasteboard_;
  IndexSet selection_;
  uint8_t pasteOptionTrackNum_ = 0;
  std::vector<FieldKey> columns_;
  std::function<void()> changed_;
  std::shared_ptr<bool> alive_;
};

}  // namespace sw
