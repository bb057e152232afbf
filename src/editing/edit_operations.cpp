#include "editing/edit_operations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <stdexcept>

#include "base/log.h"
#include "editing/editor_feedback.h"
#include "editing/editor_strings.h"
#include "editing/f_midi_event_pointer.h"
#include "editing/midi_event_pointer.h"

namespace sw {

// The maps are kept only where replaying the events cannot give them back: when the edit
// changed them, or when it moved tempo or signature events. An ordinary edit of a song with
// thousands of tempo changes so records its events and nothing more.
struct EditOperations::ListState {
  uint16_t numTracks = 0;
  std::shared_ptr<const TempoMap> tempoMap;
  std::shared_ptr<const SignatureMap> signatureMap;
};

struct EditOperations::Patch {
  std::vector<PlacedEvent> removed;  // old whole indexes, ascending
  std::vector<PlacedEvent> added;    // new whole indexes, ascending
  ListState before, after;
};

namespace {

IndexSet indexesOf(const std::vector<PlacedEvent>& events) {
  IndexSet set;
  for (const PlacedEvent& p : events) set.insert(set.end(), p.index);  // ascending
  return set;
}

bool sameEvents(const std::vector<PlacedEvent>& a, const std::vector<PlacedEvent>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const MidiEvent& x = a[i].event;
    const MidiEvent& y = b[i].event;
    if (a[i].index != b[i].index || x.track() != y.track() || x.ticks() != y.ticks() ||
        x.duration() != y.duration() || x.offVelocity() != y.offVelocity() || x.length() != y.length() ||
        !std::equal(x.data(), x.data() + x.length(), y.data()))
      return false;
  }
  return true;
}

bool touchesMaps(const std::vector<PlacedEvent>& events) {
  for (const PlacedEvent& p : events)
    if (p.event.isMeta(meta::kTempo) || p.event.isMeta(meta::kTimeSignature)) return true;
  return false;
}

uint32_t clampTicks(int64_t ticks) { return uint32_t(std::clamp<int64_t>(ticks, 0, INT32_MAX)); }

void logException(const char* what, const std::exception& e) {
  logMessage(std::string("An exception occured while ") + what + " event: " + e.what());
}

const std::vector<FieldKey> kDefaultColumns = {FieldKey::Measure,       FieldKey::TrackPlusOne, FieldKey::ChannelOrIcon,
                                               FieldKey::Description,   FieldKey::Second,       FieldKey::Third,
                                               FieldKey::NoteOnDuration, FieldKey::DataString};

// A row inserted at `inserted` moves the selected rows at or after it down by one and joins
// them.
void addInsertedRow(IndexSet& rows, int inserted) {
  IndexSet shifted;
  for (int row : rows) shifted.insert(shifted.end(), row >= inserted ? row + 1 : row);
  shifted.insert(inserted);
  rows.swap(shifted);
}

}  // namespace

EditOperations::EditOperations(FEventList& list, UndoManager& undoManager, Pasteboard& pasteboard)
    : list_(list), undo_(undoManager), pasteboard_(pasteboard), columns_(kDefaultColumns),
      alive_(std::make_shared<bool>(true)) {}

EditOperations::~EditOperations() = default;

void EditOperations::setSelection(const IndexSet& rows) {
  selection_.clear();
  for (int row : rows)
    if (row >= 0 && row < list_.filteredCount()) selection_.insert(selection_.end(), row);
}

void EditOperations::dropStaleRows() {
  // The view may have been refiltered since the selection was set.
  while (!selection_.empty() && *selection_.rbegin() >= list_.filteredCount()) selection_.erase(std::prev(selection_.end()));
}

void EditOperations::notifyChanged() {
  if (changed_) changed_();
}

void EditOperations::selectWholeIndexes(const IndexSet& wholeIndexes) {
  selection_ = list_.indexesAtWholeIndexes(wholeIndexes);
}

// ---------------------------------------------------------------- recording

EditOperations::ListState EditOperations::state(bool withMaps) const {
  if (!withMaps) return ListState{list_.numTracks(), nullptr, nullptr};
  return ListState{list_.numTracks(), std::make_shared<const TempoMap>(list_.tempoMap()),
                   std::make_shared<const SignatureMap>(list_.signatureMap())};
}

void EditOperations::restore(const ListState& state) {
  list_.setNumTracks(state.numTracks);
  if (state.tempoMap && state.signatureMap) list_.restoreMaps(*state.tempoMap, *state.signatureMap);
}

void EditOperations::closePatch(Patch& patch) const {
  patch.after.numTracks = list_.numTracks();
  const bool mapsKept = patch.before.tempoMap && patch.before.signatureMap;
  // Not taken before an edit that cannot touch them: not needed after it either.
  if (!mapsKept) return;
  if (mapsKept && *patch.before.tempoMap == list_.tempoMap() && *patch.before.signatureMap == list_.signatureMap() &&
      !touchesMaps(patch.removed) && !touchesMaps(patch.added)) {
    patch.before.tempoMap.reset();
    patch.before.signatureMap.reset();
    patch.after.tempoMap.reset();
    patch.after.signatureMap.reset();
    return;
  }
  patch.after.tempoMap = std::make_shared<const TempoMap>(list_.tempoMap());
  patch.after.signatureMap = std::make_shared<const SignatureMap>(list_.signatureMap());
}

void EditOperations::apply(const std::shared_ptr<const Patch>& patch, bool forward) {
  const auto& out = forward ? patch->removed : patch->added;
  const auto& in = forward ? patch->added : patch->removed;
  // The other events keep their order, so taking out one side and putting back the other at
  // its recorded positions rebuilds the list exactly. The track count goes first: the events
  // put back may need it.
  const ListState& target = forward ? patch->after : patch->before;
  list_.setNumTracks(std::max(target.numTracks, list_.numTracks()));
  list_.removeEventsAtExactIndexes(indexesOf(out));
  list_.insertEventsAtExactIndexes(in);
  restore(target);
  IndexSet shown;
  for (const PlacedEvent& p : in)
    if (!p.event.isNoteOff()) shown.insert(shown.end(), p.index);
  selectWholeIndexes(shown);
  registerPatch(patch, forward);
  notifyChanged();
}

void EditOperations::registerPatch(const std::shared_ptr<const Patch>& patch, bool forwardApplied) {
  std::weak_ptr<bool> alive = alive_;
  undo_.registerUndo([this, alive, patch, forwardApplied] {
    if (alive.expired()) return;
    apply(patch, !forwardApplied);
  });
}

void EditOperations::recordInsertion(const ListState& before, uint32_t firstNewID, const std::string& name) {
  auto patch = std::make_shared<Patch>();
  patch->before = before;
  for (int i = 0; i < list_.count(); ++i)
    if (const MidiEvent* event = list_.eventAtIndex(i); event->eventID() >= firstNewID)
      patch->added.push_back(PlacedEvent{i, *event});
  if (patch->added.empty()) return;
  closePatch(*patch);
  registerPatch(patch, true);
  undo_.setActionName(name);
}

// ---------------------------------------------------------------- insert and remove

bool EditOperations::insertEvents(const FlattenedEventList& events) {
  const ListState before = state();
  const uint32_t firstNewID = MidiEvent::nextEventID();
  IndexSet rows;
  bool ok = true;
  try {
    if (events.byteLength() / FlattenedEventList::kOverhead >= 2) {
      rows = list_.indexesAtWholeIndexes(list_.insertFlattenedEventList(events));
    } else {
      for (size_t at = events.begin(); !events.atEnd(at); at = events.next(at)) {
        const FlattenedRecord r = events.record(at);
        if (r.track >= list_.numTracks())
          throw std::out_of_range("fatal error while inserting object: track out of range");
        auto event = std::make_unique<MidiEvent>(r.data.data(), uint32_t(r.data.size()), r.track, r.ticks, r.duration, r.offVelocity);
        const auto result = list_.insertEventAtSuggestedWholeIndex(std::move(event), r.proposedIndex);
        if (result.isVisible()) addInsertedRow(rows, result.filteredIndex);
      }
    }
  } catch (const std::exception& e) {
    logException("inserting", e);
    ok = false;
  }
  recordInsertion(before, firstNewID, "Insert");
  selection_ = std::move(rows);
  notifyChanged();
  return ok;
}

std::optional<IndexSet> EditOperations::withoutClaimedNoteOffs(const IndexSet& wholeIndexes) const {
  bool hasNoteOff = false;
  for (int w : wholeIndexes) hasNoteOff |= w >= 0 && w < list_.count() && list_.eventAtIndex(w)->isNoteOff();
  if (!hasNoteOff) return std::nullopt;
  // Pair every note-on with a note-off of its own, in order, as removal does.
  std::vector<bool> used(size_t(list_.count()), false);
  std::vector<int> owner(size_t(list_.count()), -1);
  for (int i = 0; i < list_.count(); ++i) {
    const MidiEvent* e = list_.eventAtIndex(i);
    if (!e->isNoteOn()) continue;
    const int partner = list_.noteOffIndexForNoteOn(e, i + 1, &used);
    if (partner < 0) continue;
    used[size_t(partner)] = true;
    owner[size_t(partner)] = i;
  }
  IndexSet kept;
  for (int w : wholeIndexes) {
    if (w < 0 || w >= list_.count()) continue;
    // An owned note-off goes only as the partner of its note-on: the removal finds that
    // partner itself (an equal note-off may serve), so naming it too would take two.
    if (owner[size_t(w)] >= 0) continue;
    kept.insert(kept.end(), w);
  }
  return kept;
}

bool EditOperations::removeObjectsAtWholeIndexes(const IndexSet& wholeIndexes) {
  const std::optional<IndexSet> kept = withoutClaimedNoteOffs(wholeIndexes);
  const IndexSet all = list_.removalSetForIndexes(kept ? *kept : wholeIndexes);
  if (all.empty()) return true;
  auto patch = std::make_shared<Patch>();
  patch->before = state();
  patch->removed = list_.eventsAtIndexes(all);
  bool ok = true;
  try {
    list_.removeEventsAtExactIndexes(all);
  } catch (const std::exception& e) {
    logException("removing", e);
    ok = false;
  }
  closePatch(*patch);
  registerPatch(patch, true);
  undo_.setActionName("Delete");
  selection_.clear();
  notifyChanged();
  return ok;
}

// ---------------------------------------------------------------- pasteboard

void EditOperations::copy() {
  dropStaleRows();
  if (selection_.empty()) return;
  const IndexSet whole = list_.wholeIndexesAtIndexes(selection_);
  pasteboard_.clearContents();
  pasteboard_.setData(Pasteboard::kEventCollectionType, archiveEventCollection(list_.pasteBoardDataAtWholeIndexes(whole)));
  const std::string text = tabularText(selection_);
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  pasteboard_.setData(Pasteboard::kStringType, bytes);
  pasteboard_.setData(Pasteboard::kTabularTextType, bytes);
}

void EditOperations::cut() {
  dropStaleRows();
  if (selection_.empty()) return;
  copy();
  undo_.beginUndoGrouping();
  clear();
  undo_.setActionName("Cut");
  undo_.endUndoGrouping();
}

void EditOperations::clear() {
  dropStaleRows();
  if (selection_.empty()) return;
  removeObjectsAtWholeIndexes(list_.wholeIndexesAtIndexes(selection_));
}

std::string EditOperations::tabularText(const IndexSet& rows) {
  std::string text;
  for (int row : rows) {
    if (row < 0 || row >= list_.filteredCount()) continue;
    const FMidiEventPointer pointer = list_.objectAtFilteredIndex(row);
    for (size_t c = 0; c < columns_.size(); ++c) {
      const FieldValue value = pointer.valueForKey(columns_[c]);
      if (!std::holds_alternative<ImageName>(value)) text += fieldText(value);
      text += c + 1 < columns_.size() ? '\t' : '\n';
    }
  }
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::optional<PastePlan> EditOperations::pastePlan() {
  dropStaleRows();
  const auto bytes = pasteboard_.data(Pasteboard::kEventCollectionType);
  if (!bytes) return std::nullopt;
  auto data = unarchiveEventCollection(*bytes);
  if (!data) return std::nullopt;
  PastePlan plan;
  plan.data = std::move(*data);
  plan.scale = list_.division() > 0 ? double(list_.division()) / plan.data.division : 1.0;
  plan.sameList = plan.data.srcUUID == list_.uuidStr();
  const FlattenedEventList records(plan.data.eventList);
  if (plan.sameList) {
    if (list_.filteredCount() == 0) {
      plan.position = 0;
      plan.track = 0;
    } else if (!selection_.empty()) {
      const int w = list_.wholeIndexAtIndex(*selection_.begin());
      const MidiEvent* reference = list_.eventAtIndex(w);
      plan.position = reference->ticks();
      plan.suggestedWholeIndex = w;
      plan.track = reference->track();
    } else {
      const MidiEvent* reference = list_.eventAtIndex(list_.wholeIndexAtIndex(list_.filteredCount() - 1));
      plan.position = int64_t(reference->ticks()) + reference->duration();
      plan.track = reference->track();
    }
  } else {
    const uint32_t first = records.atEnd(records.begin()) ? 0 : records.record(records.begin()).ticks;
    plan.position = std::llround(first * plan.scale);
    plan.track = pasteOptionTrackNum_;
  }
  return plan;
}

bool EditOperations::paste() {
  auto plan = pastePlan();
  return plan ? paste(*plan) : false;
}

bool EditOperations::paste(const PastePlan& plan) {
  pasteOptionTrackNum_ = plan.track;
  // The records' proposed indexes are positions in the source list: never used here.
  const FlattenedEventList records(plan.data.eventList);
  if (records.atEnd(records.begin())) return false;
  const ListState before = state();
  const uint32_t firstNewID = MidiEvent::nextEventID();
  const int64_t base = records.record(records.begin()).ticks;
  int suggestion = plan.suggestedWholeIndex;
  IndexSet rows;
  bool ok = true;
  try {
    for (size_t at = records.begin(); !records.atEnd(at); at = records.next(at)) {
      const FlattenedRecord r = records.record(at);
      const int64_t ticks = plan.keepTiming ? plan.position + std::llround(double(r.ticks - base) * plan.scale) : plan.position;
      // Durations follow the scale, so a note keeps its length in beats.
      const uint32_t duration = clampTicks(std::llround(double(r.duration) * plan.scale));
      if (plan.track >= list_.numTracks())
        throw std::out_of_range("fatal error while inserting object: track out of range");
      auto event = std::make_unique<MidiEvent>(r.data.data(), uint32_t(r.data.size()), plan.track, clampTicks(ticks), duration,
                                  r.offVelocity);
      const auto result = list_.insertEventAtSuggestedWholeIndex(std::move(event), suggestion);
      suggestion = result.wholeIndex + 1;
      if (result.isVisible()) addInsertedRow(rows, result.filteredIndex);
    }
  } catch (const std::exception& e) {
    logException("pasting", e);
    ok = false;
  }
  recordInsertion(before, firstNewID, "Paste");
  selection_ = std::move(rows);
  notifyChanged();
  return ok;
}

bool EditOperations::duplicate() {
  dropStaleRows();
  if (!selection_.empty()) {
    FlattenedEventList copies(list_.persistentObjectsAtWholeIndexes(list_.wholeIndexesAtIndexes(selection_)));
    selection_.clear();  // the copies become the selection
    const bool ok = insertEvents(copies);
    undo_.setActionName("Duplicate");
    return ok;
  }
  const uint8_t note[3] = {0x90, 0x3C, 0x40};
  const MidiEvent event(note, 3, 0, 0, uint32_t(std::max<int>(list_.division(), 1)), 64);
  FlattenedEventList one;
  one.add(event, -1);
  const bool ok = insertEvents(one);
  undo_.setActionName("Duplicate");
  return ok;
}

// ---------------------------------------------------------------- shift

std::string EditOperations::measureText(int64_t ticks) const {
  const MeasureRec m = list_.measureAtTicks(int32_t(clampTicks(ticks)));
  char text[48];
  std::snprintf(text, sizeof text, "%.3i:%.2i:%.3i", m.measure, m.beat, m.tick);
  return text;
}

std::optional<int32_t> EditOperations::ticksForNewTime(const std::string& text, std::string* error) const {
  MeasureRec measure;
  if (!list_.convertMeasureString(text, &measure)) {
    if (error) *error = localizedString("INCORRECT_VALUE");
    return std::nullopt;
  }
  return list_.ticksAtMeasure(measure);
}

bool EditOperations::shift(int64_t newTicks, ShiftRange range) {
  dropStaleRows();
  if (selection_.empty()) return false;
  const int w0 = list_.wholeIndexAtIndex(*selection_.begin());
  const MidiEvent* reference = list_.eventAtIndex(w0);
  const int64_t delta = std::max<int64_t>(newTicks, 0) - int64_t(reference->ticks());
  if (delta == 0) return false;
  const int referenceChannel = reference->isChannelMessage() ? reference->channel() + 1 : 0;
  const uint8_t referenceTrack = reference->track();

  IndexSet moving;
  auto consider = [&](int w) {
    const MidiEvent* e = list_.eventAtIndex(w);
    if (e->isNoteOff()) return;  // follows its note-on, or stays
    if (range == ShiftRange::SameChannel && (e->isChannelMessage() ? e->channel() + 1 : 0) != referenceChannel) return;
    if (range == ShiftRange::SameTrack && e->track() != referenceTrack) return;
    moving.insert(moving.end(), w);
  };
  if (range == ShiftRange::Selection) {
    for (int w : list_.wholeIndexesAtIndexes(selection_)) consider(w);
  } else {
    for (int w = w0; w < list_.count(); ++w) consider(w);
  }
  if (moving.empty()) return false;

  // The moved events go back in as new records; their old positions mean nothing at the new
  // ticks, so no index is proposed.
  FlattenedEventList moved;
  {
    const FlattenedEventList old(list_.persistentObjectsAtWholeIndexes(moving));
    for (size_t at = old.begin(); !old.atEnd(at); at = old.next(at)) {
      FlattenedRecord r = old.record(at);
      r.ticks = clampTicks(int64_t(r.ticks) + delta);
      r.proposedIndex = -1;
      moved.add(r);
    }
  }
  undo_.beginUndoGrouping();
  bool ok = removeObjectsAtWholeIndexes(moving);
  moving = {};  // a whole file's shift holds every event several times over: free what is done
  ok = insertEvents(moved) && ok;
  undo_.setActionName("Shift");
  undo_.endUndoGrouping();
  return ok;
}

// ---------------------------------------------------------------- multiple selection

IndexSet EditOperations::targetsWithPartners(const IndexSet& targets) const {
  IndexSet affected;
  if (targets.size() == 1) {
    // One event: its own note-off, found without marking the whole list.
    const int w = *targets.begin();
    if (w < 0 || w >= list_.count()) return affected;
    affected.insert(w);
    if (const MidiEvent* e = list_.eventAtIndex(w); e->isNoteOn())
      if (const int partner = list_.noteOffIndexForNoteOn(e, w + 1); partner >= 0) affected.insert(partner);
    return affected;
  }
  affected = list_.removalSetForIndexes(targets);
  for (int w : targets)
    if (w >= 0 && w < list_.count()) affected.insert(w);
  return affected;
}

std::optional<std::vector<int>> EditOperations::changedIndexes(const std::vector<std::pair<uint32_t, uint32_t>>& kept,
                                                                const FEventList::Journal& journal,
                                                                int expectedCount) const {
  if (!journal.complete) return std::nullopt;
  std::vector<int> found;
  auto look = [&](uint32_t id, uint32_t ticks) {
    const IndexRange run = list_.indexRangeAtTicks(ticks);
    for (int w = run.location; w < run.location + run.length; ++w)
      if (list_.eventAtIndex(w)->eventID() == id) return found.push_back(w);
  };
  for (const auto& [id, ticks] : kept) look(id, ticks);
  for (const auto& [id, ticks] : journal.inserted) look(id, ticks);
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  // Events moved in place to other ticks would be missed: then the count tells.
  if (int(found.size()) != expectedCount) return std::nullopt;
  return found;
}

bool EditOperations::recordChange(const IndexSet& targets, const ListState& before, const std::string& name,
                                  const std::function<void()>& change) {
  IndexSet affected = targetsWithPartners(targets);
  std::vector<PlacedEvent> removed = list_.eventsAtIndexes(affected);
  std::vector<std::pair<uint32_t, uint32_t>> kept;  // eventID, ticks of the affected events
  kept.reserve(affected.size());
  for (int w : affected) kept.emplace_back(list_.eventAtIndex(w)->eventID(), list_.eventAtIndex(w)->ticks());
  affected.clear();
  const int countBefore = list_.count();
  const uint32_t firstNewID = MidiEvent::nextEventID();
  list_.openJournal();
  try {
    change();
  } catch (...) {
    list_.closeJournal();
    throw;
  }
  const FEventList::Journal journal = list_.closeJournal();
  // The changed events are the ones that kept their IDs and the ones re-created: found where
  // they are when the journal knows them all, else by a look at every event.
  auto patch = std::make_shared<Patch>();
  patch->before = before;
  patch->removed = std::move(removed);
  const int changedCount = list_.count() - countBefore + int(patch->removed.size());
  if (const auto found = changedIndexes(kept, journal, changedCount)) {
    patch->added.reserve(found->size());
    for (int w : *found) patch->added.push_back(PlacedEvent{w, *list_.eventAtIndex(w)});
  } else {
    std::vector<uint32_t> keptIDs;
    keptIDs.reserve(kept.size());
    for (const auto& entry : kept) keptIDs.push_back(entry.first);
    std::sort(keptIDs.begin(), keptIDs.end());
    for (int i = 0; i < list_.count(); ++i) {
      const MidiEvent* event = list_.eventAtIndex(i);
      const uint32_t id = event->eventID();
      if (id >= firstNewID || std::binary_search(keptIDs.begin(), keptIDs.end(), id))
        patch->added.push_back(PlacedEvent{i, *event});
    }
  }
  closePatch(*patch);
  // A change may leave the events as they were and still move the maps (a tempo set again
  // to its own value puts its map entry back): that is a change to undo too.
  const bool mapsChanged = patch->before.tempoMap && patch->after.tempoMap &&
                           (*patch->before.tempoMap != *patch->after.tempoMap ||
                            *patch->before.signatureMap != *patch->after.signatureMap);
  const bool changed = !sameEvents(patch->removed, patch->added) ||
                       patch->before.numTracks != patch->after.numTracks || mapsChanged;
  if (changed) {
    registerPatch(patch, true);
    undo_.setActionName(name);
  }
  // The rows were kept in step by the changes themselves: a changed event keeps its row,
  // even one the filters would now hide, until the next filter().
  selectWholeIndexes(indexesOf(patch->added));
  notifyChanged();
  return changed;
}

bool EditOperations::setValue(int wholeIndex, FieldKey key, FieldValue value, std::string* error) {
  auto pointer = list_.objectAtWholeIndex(wholeIndex);
  if (!pointer) {
    if (error) *error = "no event at " + std::to_string(wholeIndex);
    return false;
  }
  if (!pointer->isEditableKey(key)) {
    if (error) *error = std::string("the field ") + fieldKeyName(key) + " of this event cannot be changed";
    return false;
  }
  // Validation may add a track (the user's answer to "Do you want to add a new track?").
  // Only a meta event, or a change of an event's kind or bytes, can make, change or end a
  // tempo or signature: the maps (thousands of entries in some files) are copied only then.
  const MidiEvent* edited = pointer->midiEvent();
  const bool mayTouchMaps = edited->isMeta() || key == FieldKey::Status || key == FieldKey::Data ||
                            key == FieldKey::DataString;
  const ListState before = state(mayTouchMaps);
  if (!pointer->validateValue(key, value, error)) {
    restore(before);
    return false;
  }
  bool ok = true;
  recordChange({wholeIndex}, before, "Change", [&] {
    try {
      pointer->setValueForKey(key, value);
    } catch (const std::exception& e) {
      if (error) *error = e.what();
      ok = false;
    }
  });
  return ok;
}

bool EditOperations::applyChanges(const MidiEventPointer& model, const BulkChange& change,
                                  const std::function<bool(int, int)>& progress) {
  dropStaleRows();
  if (selection_.empty() || !change.any()) return false;
  const MidiSequence* modelList = model.parentList();
  const ListState before = state();
  if (modelList && modelList->numTracks() > list_.numTracks()) {
    // The user accepted a new track while editing the copy.
    EditorFeedback::beep();
    list_.setNumTracks(modelList->numTracks());
  }
  const IndexSet selected = list_.wholeIndexesAtIndexes(selection_);
  selection_.clear();  // the changed events become the selection
  // Rows in filtered order; an event may be re-created by a change to an earlier one (the
  // note-off of a note-on), so each is looked up again by its ID.
  std::vector<std::pair<uint32_t, uint32_t>> targets;  // eventID, ticks
  for (int w : selected) targets.emplace_back(list_.eventAtIndex(w)->eventID(), list_.eventAtIndex(w)->ticks());
  const FieldValue track = int64_t(model.trackPlusOne());
  const FieldValue channel = int64_t(model.channelPlusOne());
  // A meta or sysex model has no channel to give.
  const bool channelUsable = model.midiEvent()->isChannelMessage();
  const FieldValue second = model.second();
  const FieldValue third = model.third();
  // Moving events one by one to another track costs a vector insertion each: the events
  // whose track changes are gathered and moved together once the other fields are set.
  const int64_t trackIndex = model.trackPlusOne() - 1;
  const bool trackInRange = trackIndex >= 0 && trackIndex < list_.numTracks() && trackIndex <= 255;
  std::vector<uint32_t> toMove;

  return recordChange(selected, before, "Change", [&] {
    int done = 0;
    for (const auto& [id, ticks] : targets) {
      if (progress && !progress(done, int(targets.size()))) break;
      ++done;
      MidiEvent* event = nullptr;
      const IndexRange run = list_.indexRangeAtTicks(ticks);
      for (int w = run.location; w < run.location + run.length; ++w)
        if (list_.eventAtIndex(w)->eventID() == id) event = list_.eventAtIndex(w);
      if (!event) continue;
      FMidiEventPointer pointer(event, &list_);
      try {
        const bool sameType = pointer.isSameTypeOfEvent(model);
        if (change.second && sameType && pointer.isEditableKey(FieldKey::Second))
          pointer.setValueForKey(FieldKey::Second, second);
        if (change.third && sameType && pointer.isEditableKey(FieldKey::Third))
          pointer.setValueForKey(FieldKey::Third, third);
        if (change.channel && channelUsable && pointer.midiEvent()->isChannelMessage() &&
            pointer.isEditableKey(FieldKey::ChannelPlusOne))
          pointer.setValueForKey(FieldKey::ChannelPlusOne, channel);
        if (change.track && pointer.isEditableKey(FieldKey::TrackPlusOne)) {
          if (!trackInRange) pointer.setValueForKey(FieldKey::TrackPlusOne, track);  // refused as ever
          else if (pointer.midiEvent()->track() != trackIndex) toMove.push_back(pointer.midiEvent()->eventID());
        }
      } catch (const std::exception& e) {
        logMessage(e.what());
      }
    }
    if (toMove.empty()) return;
    std::sort(toMove.begin(), toMove.end());
    try {
      moveToTrack(toMove, uint8_t(trackIndex));
    } catch (const std::exception& e) {
      logMessage(e.what());
    }
  });
}

void EditOperations::moveToTrack(const std::vector<uint32_t>& ids, uint8_t track) {
  auto wanted = [&](const MidiEvent* e) { return std::binary_search(ids.begin(), ids.end(), e->eventID()); };
  // Each note-on takes its own note-off, as removal pairs them.
  std::vector<bool> taken(size_t(list_.count()), false), chosen(size_t(list_.count()), false);
  IndexSet moving, out;
  std::vector<std::pair<uint32_t, uint32_t>> alone;  // eventID, ticks
  for (int w = 0; w < list_.count(); ++w) {
    const MidiEvent* e = list_.eventAtIndex(w);
    if (!wanted(e)) continue;
    if (e->isNoteOn()) {
      const int partner = list_.noteOffIndexForNoteOn(e, w + 1, &taken);
      if (partner < 0) {
        alone.emplace_back(e->eventID(), e->ticks());
        continue;
      }
      taken[size_t(partner)] = true;
    }
    chosen[size_t(w)] = true;
    moving.insert(moving.end(), w);
  }
  for (size_t w = 0; w < taken.size(); ++w)
    if (taken[w] || chosen[w]) out.insert(out.end(), int(w));
  taken = {};
  chosen = {};
  if (!moving.empty()) {
    FlattenedEventList moved;
    {
      const FlattenedEventList old(list_.persistentObjectsAtWholeIndexes(moving));
      for (size_t at = old.begin(); !old.atEnd(at); at = old.next(at)) {
        FlattenedRecord r = old.record(at);
        r.track = track;
        r.proposedIndex = -1;
        moved.add(r);
      }
    }
    moving = {};
    list_.removeEventsAtExactIndexes(out);
    out = {};
    list_.addFlattenedEventList(moved);
  }
  for (const auto& [id, ticks] : alone) {
    const IndexRange run = list_.indexRangeAtTicks(ticks);
    for (int w = run.location; w < run.location + run.length; ++w) {
      if (list_.eventAtIndex(w)->eventID() != id) continue;
      FMidiEventPointer(list_.eventAtIndex(w), &list_).setValueForKey(FieldKey::Track, int64_t(track));
      break;
    }
  }
}

}  // namespace sw
