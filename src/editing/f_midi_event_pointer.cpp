#include "editing/f_midi_event_pointer.h"

namespace sw {

FMidiEventPointer::FMidiEventPointer(MidiEvent* event, FEventList* list) : MidiEventPointer(event, list), list_(list) {
  if (!list_) throw std::invalid_argument("a filtered event pointer needs its list");
}

int FMidiEventPointer::index() const { return list_->filteredIndexOfEvent(event_); }

FieldValue FMidiEventPointer::valueForKey(FieldKey key) const {
  if (key == FieldKey::Index) return int64_t(index());
  return MidiEventPointer::valueForKey(key);
}

std::unique_ptr<MidiEventPointer> FMidiEventPointer::newPointerAt(int wholeIndex) const {
  return std::make_unique<FMidiEventPointer>(list_->eventAtIndex(wholeIndex), list_);
}

void FMidiEventPointer::moveEvent(int wholeIndex, std::unique_ptr<MidiEvent> moved) {
  // The list's own insertion and removal keep the view right; the table is told when a
  // visible row moved.
  const bool wasVisible = list_->indexForWholeIndex(wholeIndex) >= 0;
  MidiEventPointer::moveEvent(wholeIndex, std::move(moved));
  if (wasVisible) postReloadData();
}

void FMidiEventPointer::removePartner(int partnerWholeIndex) {
  list_->removeObjectAtWholeIndex(partnerWholeIndex);
  if (!areNoteOffsHidden()) postReloadData();
}

FMidiEventCopy FMidiEventPointer::copy() const { return FMidiEventCopy(*this); }

namespace {

std::shared_ptr<FEventList> privateListFor(const FMidiEventPointer& source) {
  auto list = std::make_shared<FEventList>();
  IndexSet all;
  for (int i = 0; i < list->count(); ++i) all.insert(i);
  list->removeObjectsAtIndexes(all);
  list->setDivision(source.parentList()->division());
  list->setEncoding(source.parentList()->encoding());
  list->setNumTracks(uint16_t(source.midiEvent()->track() + 1));
  list->showEverything();
  list->filter();
  return list;
}

MidiEvent* insertedCopy(FEventList& list, const MidiEvent& event) {
  auto copy = std::make_unique<MidiEvent>(event);
  MidiEvent* inserted = copy.get();
  list.insertEventAtSuggestedWholeIndex(std::move(copy), -1);
  return inserted;
}

}  // namespace

FMidiEventCopy::FMidiEventCopy(const FMidiEventPointer& source) : FMidiEventCopy(privateListFor(source), source.midiEvent()) {}

FMidiEventCopy::FMidiEventCopy(std::shared_ptr<FEventList> list, MidiEvent* event)
    : FMidiEventPointer(insertedCopy(*list, *event), list.get()), privateList_(std::move(list)) {}

}  // namespace sw
