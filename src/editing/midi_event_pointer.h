// The keyed field view of one event held by a sequence: every field as a display value, the
// checks and normal forms of typed input, and setters that keep the sequence consistent (its
// order, the note-off partner of a note-on, the tempo and signature maps).
//
// A pointer refers into its parent list and owns neither the list nor the event (a detached
// copy, see FMidiEventCopy, keeps its private list alive). Setters that move an event (ticks,
// track) re-create it, after which the pointer refers to the new record. Setters post
// "ReloadData" through the notification centre when rows other than the edited cell change;
// the user information carries "eventID" and, for a filtered list, "list" (its uuidStr).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editing/field_value.h"
#include "smf/midi_event.h"
#include "smf/midi_sequence.h"
#include "smf/time_types.h"
#include "sysex/sysex.h"

namespace sw {

// MidiEventPointer: a field view of one event of a sequence (read, check and set each field).
class MidiEventPointer {
 public:
  MidiEventPointer(MidiEvent* event, MidiSequence* parent);
  virtual ~MidiEventPointer() = default;
  MidiEventPointer(const MidiEventPointer&) = default;
  MidiEventPointer& operator=(const MidiEventPointer&) = default;

  MidiEvent* midiEvent() const { return event_; }
  MidiSequence* parentList() const { return parent_; }

  // ---- Getters
  int64_t ticks() const { return event_->ticks(); }
  double beats() const;
  std::string measure() const;  // "001:01:000"
  std::string frame() const;    // "00:00:00:00"
  int track() const { return event_->track(); }
  int trackPlusOne() const { return event_->track() + 1; }
  int channel() const { return event_->channel(); }
  int channelPlusOne() const;  // 0 for meta and sysex
  FieldValue icon() const;
  FieldValue channelOrIcon() const;
  int status() const { return event_->status(); }
  std::string note() const;  // "C3" for 60
  FieldValue second() const;
  FieldValue third() const;
  std::vector<uint8_t> data() const;
  int64_t noteOnDuration() const { return event_->duration(); }
  int noteOffVelocity() const { return event_->offVelocity(); }
  Sysex sysex() const;  // decoded in the parent's encoding
  std::string dataString() const;
  int wholeIndex() const;
  bool isDrumPatch() const { return event_->status() == 0xC0 && event_->channel() == 9; }
  std::string description() const;
  virtual FieldValue valueForKey(FieldKey key) const;

  // ---- Validation. On success true, the value possibly replaced by its normal form; on
  // failure false, the value replaced by the field's current value and *error, when given,
  // set to the "INCORRECT_VALUE" text.
  bool validateValue(FieldKey key, FieldValue& value, std::string* error = nullptr);
  bool validateTicks(FieldValue& value, std::string* error = nullptr);
  bool validateMeasure(FieldValue& value, std::string* error = nullptr);
  bool validateTrackPlusOne(FieldValue& value, std::string* error = nullptr);
  bool validateChannelPlusOne(FieldValue& value, std::string* error = nullptr);
  bool validateChannelOrIcon(FieldValue& value, std::string* error = nullptr);
  bool validateSecond(FieldValue& value, std::string* error = nullptr);
  bool validateThird(FieldValue& value, std::string* error = nullptr);
  bool validateDataString(FieldValue& value, std::string* error = nullptr);

  // ---- Parsers shared by validators and setters; each answers false on bad input.
  bool processMeasure(const std::string& text, int32_t* ticks) const;
  static bool processNote(const std::string& text, int* note);
  static bool processNoteThird(const std::string& text, int* velocity, int* offVelocity, int* duration);
  static bool processSMPTE(const std::string& text, SMPTERec* smpte);
  static bool processTimeSignature(const std::string& text, TimeSignatureRec* signature);
  static bool processKeySignature(const std::string& text, int8_t* sf, uint8_t* mode);
  // Writes "Invalid hex string" or "Invalid hex value: %02X" to the log on a bad token.
  static bool processSysexDataString(const std::string& text, std::vector<uint8_t>* data);
  static bool processSequencerSpecific(const std::string& text, std::vector<uint8_t>* data);
  static std::string noteName(int note);

  // Payload size of a new meta event: >= 0 fixed, -1 variable text, -2 the tag event 0x4B,
  // -3 not creatable.
  static int defaultSizeForMetaEventType(uint8_t type);
  bool isSameTypeOfEvent(const MidiEventPointer& other) const { return event_->isSameTypeOfEvent(*other.event_); }
  // Whether the table may edit that field of this event.
  bool isEditableKey(FieldKey key) const;
  bool isXFChord() const;

  // ---- Setters. Bad text raises std::invalid_argument ("error -50 while setting ..."), a
  // negative duration std::out_of_range; "not settable" cases log, beep and change nothing.
  void setValueForKey(FieldKey key, const FieldValue& value);
  void setTrack(int track);  // throws std::out_of_range when not below numTracks
  void setTrackPlusOne(int track);
  void setChannel(int channel);
  void setChannelPlusOne(int channel);
  void setChannelOrIcon(int channel) { setChannelPlusOne(channel); }
  void setTicks(uint32_t ticks);
  void setMeasure(const std::string& text);
  void setNoteOnDuration(int64_t duration);
  void setNoteOffVelocity(int velocity);
  void setStatus(int status);
  void setData(const std::vector<uint8_t>& data);
  void setSecond(const FieldValue& value);
  void setThird(const FieldValue& value);
  void setDataString(const std::string& text);

  // Whole index at which a moved event is placed among events of equal ticks; -1 for none.
  int preferredWholeIndex() const { return preferredWholeIndex_; }
  void setPreferredWholeIndex(int index) { preferredWholeIndex_ = index; }

 protected:
  // The whole index of the note-off partner of this note-on, -1 when there is none.
  int partnerIndex() const;
  virtual std::unique_ptr<MidiEventPointer> newPointerAt(int wholeIndex) const;
  // Removes and re-inserts the event as `moved` (a re-made copy of it), partner included,
  // and points at it afterwards.
  virtual void moveEvent(int wholeIndex, std::unique_ptr<MidiEvent> moved);
  // Removes the partner note-off of this note-on.
  virtual void removePartner(int partnerWholeIndex);
  virtual void insertPartner();
  virtual bool areNoteOffsHidden() const { return false; }
  virtual std::string listIdentifier() const { return ""; }
  void postReloadData() const;
  bool fail(FieldValue& value, FieldValue current, std::string* error) const;
  std::string decodeText(const uint8_t* bytes, size_t length) const;
  bool encodeText(const std::string& text, std::string* bytes) const;
  void setMetaPayload(const std::vector<uint8_t>& payload);
  void setSecondOfMeta(int type);

  MidiEvent* event_;
  MidiSequence* parent_;
  int preferredWholeIndex_ = -1;
};

}  // namespace sw
