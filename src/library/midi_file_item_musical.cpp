// The batch methods of a file item that change the music: moving a channel, transposing,
// and removing a track by its name.
#include <algorithm>
#include <mutex>

#include "base/settings_store.h"
#include "library/batch_edit.h"
#include "library/midi_file_item.h"
#include "library/text_musical_defaults.h"
#include "smf/midi_sequence.h"
#include "text/chord_transposer.h"

namespace sw {

namespace {

std::string plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string signedNumber(int64_t value) { return (value > 0 ? "+" : "") + std::to_string(value); }

}  // namespace

Error MidiFileItem::doChangeMIDIChannel(const BatchRun& run) {
  registerTextAndMusicalDefaults();
  const SettingsStore& settings = SettingsStore::shared();
  const int64_t from = settings.integerForKey("MIDIChannelOld");
  const int64_t to = settings.integerForKey("MIDIChannelNew");
  // A channel outside 1 to 16 would wrap onto another one.
  if (from < 1 || from > 16 || to < 1 || to > 16)
    return Error{paramErr, fullPath(),
                 "MIDI channels go from 1 to 16 (asked " + std::to_string(from) + " to " + std::to_string(to) + ")"};
  BatchEdit edit(*this, run);
  MidiSequence* sequence = edit.sequence();
  if (!sequence) return edit.error();
  size_t moved = 0;
  if (from != to) {
    std::lock_guard guard(sequence->lock());  // a player may be walking the cached sequence
    for (MidiEvent* event : sequence->events()) {
      if (!event->isChannelMessage() || event->channel() != from - 1) continue;
      event->setChannel(uint8_t(to - 1));
      ++moved;
    }
  }
  run.tell(plural(moved, "event", "events") + " moved to channel " + std::to_string(to));
  return moved == 0 ? edit.unchanged() : edit.write();
}

Error MidiFileItem::doTranspose(const BatchRun& run) {
  registerTextAndMusicalDefaults();
  const SettingsStore& settings = SettingsStore::shared();
  const int64_t amount = settings.integerForKey("transposeAmount");
  const auto mask = uint16_t(settings.integerForKey("transposeChannelMask") & 0xFFFF);
  if (amount < -127 || amount > 127)
    return Error{paramErr, fullPath(), "cannot transpose by " + std::to_string(amount) + " semitones"};
  BatchEdit edit(*this, run);
  MidiSequence* sequence = edit.sequence();
  if (!sequence) return edit.error();
  if (amount != 0) {
    size_t notes = 0, chords = 0;
    for (const MidiEvent* event : sequence->events())
      if (event->isNoteOn() && (mask & (1u << event->channel()))) ++notes;
    const ChordTransposer transposer = ChordTransposer::forSequence(*sequence);
    std::lock_guard guard(sequence->lock());
    sequence->changePitch(int(amount), mask, [&](MidiEvent& event, int semitones) {
      if (transposer.transpose(event, semitones)) ++chords;
    });
    run.tell(plural(notes, "note", "notes") + " and " + plural(chords, "chord", "chords") + " transposed by " +
             signedNumber(amount));
    if (notes + chords > 0) return edit.write();
  } else {
    run.tell("0 notes transposed");
  }
  return edit.unchanged();
}

Error MidiFileItem::doRemoveTrack(const BatchRun& run) {
  registerTextAndMusicalDefaults();
  const std::string wanted = SettingsStore::shared().stringForKey("nameOfTrackToRemove");
  // Unnamed tracks have the empty name: an unset name would take the first of them.
  if (wanted.empty()) return Error{paramErr, fullPath(), "no name of a track to remove"};
  BatchEdit edit(*this, run);
  MidiSequence* sequence = edit.sequence();
  if (!sequence) return edit.error();

  const std::vector<std::string> names = sequence->trackNames();
  const auto named = std::find(names.begin(), names.end(), wanted);
  if (named != names.end()) {
    const auto track = uint8_t(named - names.begin());
    const auto inTrack = [track](const MidiEvent* event) { return event->track() == track; };
    const size_t removed = size_t(std::count_if(sequence->events().begin(), sequence->events().end(), inTrack));
    // A file without any track would no longer read as a MIDI file.
    if (removed == size_t(sequence->count()))
      return edit.failure(paramErr, "track " + std::to_string(track + 1) + " \"" + wanted +
                                        "\" holds every event: the file would be left without tracks");
    {
      // The track's events go to the end, in order, and are removed from there, each in
      // constant time; the others keep their order.
      std::lock_guard guard(sequence->lock());
      std::stable_partition(sequence->eventIterator(0), sequence->eventIterator(sequence->count()),
                            [&](const auto& event) { return !inTrack(event.get()); });
      for (size_t i = 0; i < removed; ++i) sequence->removeObjectAtIndex(sequence->count() - 1);
    }
    run.tell("track " + std::to_string(track + 1) + " \"" + wanted + "\" removed (" +
             plural(removed, "event", "events") + ")");
  } else {
    run.tell("no track named \"" + wanted + "\"");
  }
  const uint16_t before = sequence->numTracks();
  sequence->removeEmptyTracks();
  if (sequence->numTracks() == 0) sequence->setNumTracks(1);  // an empty file keeps its one track
  if (const int dropped = before - sequence->numTracks() - (named != names.end() ? 1 : 0); dropped > 0)
    run.tell(plural(size_t(dropped), "empty track", "empty tracks") + " removed");
  return sequence->numTracks() == before ? edit.unchanged() : edit.write();
}

}  // namespace sw
