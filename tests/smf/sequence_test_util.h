// Helpers shared by the sequence and reader tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "midi_builder.h"
#include "smf/midi_sequence.h"

namespace swtest {

inline std::unique_ptr<sw::MidiEvent> event(std::initializer_list<uint8_t> bytes, uint8_t track, uint32_t ticks,
                                            uint32_t duration = 0, uint8_t offVelocity = 0) {
  std::vector<uint8_t> b(bytes);
  return std::make_unique<sw::MidiEvent>(b.data(), uint32_t(b.size()), track, ticks, duration, offVelocity);
}

// Inserts the event and answers it, now the sequence's.
inline sw::MidiEvent* placed(sw::MidiSequence& seq, std::unique_ptr<sw::MidiEvent> e, int suggestedIndex = -1) {
  sw::MidiEvent* at = e.get();
  seq.insertEvent(std::move(e), suggestedIndex);
  return at;
}

inline std::vector<uint8_t> bytesOf(const sw::MidiEvent* e) { return {e->data(), e->data() + e->length()}; }

// Loads bytes as a sequence, returning the status through `status`.
inline std::unique_ptr<sw::MidiSequence> load(const Bytes& bytes, uint32_t flags, sw::OSStatus* status) {
  sw::SMFImage image;
  sw::OSStatus s = sw::readSMFBytes(bytes, image);
  if (s != sw::noErr) {
    *status = s;
    return nullptr;
  }
  auto seq = std::make_unique<sw::MidiSequence>(image, flags, &s);
  *status = s;
  return seq;
}

// The invariants every built or edited sequence holds: canonical order by ticks and track,
// every note-on paired with exactly one note-off, maps with an entry at tick 0.
inline ::testing::AssertionResult isConsistent(const sw::MidiSequence& seq, bool checkPriority = false) {
  const auto& events = seq.events();
  for (size_t i = 1; i < events.size(); ++i) {
    const sw::MidiEvent* a = events[i - 1];
    const sw::MidiEvent* b = events[i];
    if (a->ticks() > b->ticks()) return ::testing::AssertionFailure() << "ticks out of order at " << i;
    if (a->ticks() == b->ticks() && a->track() > b->track())
      return ::testing::AssertionFailure() << "tracks out of order at " << i;
    if (checkPriority && a->ticks() == b->ticks() && a->track() == b->track() &&
        sw::MidiSequence::priorityOf(*a) > sw::MidiSequence::priorityOf(*b))
      return ::testing::AssertionFailure() << "priority out of order at " << i;
  }
  for (const sw::MidiEvent* e : events)
    if (e->track() >= seq.numTracks()) return ::testing::AssertionFailure() << "track out of range";
  // Pair note-ons with note-offs: each note-off may serve one note-on only.
  std::vector<bool> used(events.size(), false);
  for (size_t i = 0; i < events.size(); ++i) {
    const sw::MidiEvent* e = events[i];
    if (e->status() != 0x90) continue;
    uint32_t offTicks = e->ticks() + e->duration();
    bool found = false;
    for (size_t j = i + 1; j < events.size() && events[j]->ticks() <= offTicks; ++j) {
      const sw::MidiEvent* o = events[j];
      if (!used[j] && o->status() == 0x80 && o->ticks() == offTicks && o->second() == e->second() &&
          o->channel() == e->channel() && o->third() == e->offVelocity()) {
        used[j] = true;
        found = true;
        break;
      }
    }
    if (!found) return ::testing::AssertionFailure() << "note-on at " << e->ticks() << " has no note-off";
  }
  for (size_t i = 0; i < events.size(); ++i)
    if (events[i]->status() == 0x80 && !used[i])
      return ::testing::AssertionFailure() << "note-off at " << events[i]->ticks() << " has no note-on";
  if (!seq.tempoMap().count(0) || !seq.signatureMap().count(0))
    return ::testing::AssertionFailure() << "maps lack an entry at tick 0";
  return ::testing::AssertionSuccess();
}

}  // namespace swtest
