// The event pointer bound to a filtered event list: it moves and re-creates events through the
// list's whole-index operations so that the view stays right, and knows its row.
#pragma once

#include <memory>

#include "editing/f_event_list.h"
#include "editing/midi_event_pointer.h"

namespace sw {

class FMidiEventCopy;

class FMidiEventPointer : public MidiEventPointer {
 public:
  FMidiEventPointer(MidiEvent* event, FEventList* list);

  FEventList* filteredList() const { return list_; }
  // The event's row, -1 when it is hidden.
  int index() const;
  FieldValue valueForKey(FieldKey key) const override;
  // A detached copy: the event duplicated into a private list of its own (numTracks = its
  // track + 1, the division and encoding of this list), independent of the document.
  FMidiEventCopy copy() const;

 protected:
  std::unique_ptr<MidiEventPointer> newPointerAt(int wholeIndex) const override;
  void moveEvent(int wholeIndex, std::unique_ptr<MidiEvent> moved) override;
  void removePartner(int partnerWholeIndex) override;
  bool areNoteOffsHidden() const override { return list_->isMasked(0x80); }
  std::string listIdentifier() const override { return list_->uuidStr(); }

  FEventList* list_;
};

class FMidiEventCopy : public FMidiEventPointer {
 public:
  explicit FMidiEventCopy(const FMidiEventPointer& source);
  // The private list that holds the copy.
  std::shared_ptr<FEventList> privateList() const { return privateList_; }

 private:
  FMidiEventCopy(std::shared_ptr<FEventList> list, MidiEvent* event);
  std::shared_ptr<FEventList> privateList_;
};

}  // namespace sw
