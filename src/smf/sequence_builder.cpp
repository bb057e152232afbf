// Building a sequence from an SMFImage: the merged events are appended in file order,
// note-ons are paired with their note-offs, the maps are filled and a few repairs made.
#include <algorithm>
#include <array>
#include <new>

#include "smf/midi_sequence.h"
#include "smf/track_merger.h"

namespace sw {

class SequenceBuilder {
 public:
  SequenceBuilder(MidiSequence& sequence, uint32_t flags) : seq_(sequence), flags_(flags) {
    lastChannelMessage_.fill(-1);
  }

  OSStatus run(const SMFImage& image);

 private:
  void add(const SMFParsedEvent& e);
  void store(const uint8_t* bytes, uint32_t length, const SMFParsedEvent& e) {
    seq_.wholeList_.push_back(std::make_unique<MidiEvent>(bytes, length, e.track, e.ticks));
  }
  // A stored channel message other than a note-off becomes its channel's last one, which
  // repeats are compared with.
  void storeChannelMessage(const uint8_t* bytes, uint32_t length, const SMFParsedEvent& e) {
    lastChannelMessage_[bytes[0] & 0x0F] = int32_t(seq_.wholeList_.size());
    store(bytes, length, e);
  }
  bool dropAsRepeat(uint8_t status, const uint8_t* bytes);
  void terminateOpenNotes();

  // Note-ons waiting for their note-off, first in first out, per channel and key.
  struct NoteQueue {
    std::vector<uint32_t> positions;
    size_t head = 0;
    bool empty() const { return head == positions.size(); }
  };

  MidiSequence& seq_;
  uint32_t flags_;
  std::array<int32_t, 16> lastChannelMessage_{};
  std::vector<NoteQueue> queues_ = std::vector<NoteQueue>(16 * 128);
  uint32_t orphanNoteOffs_ = 0;
  uint32_t addedNoteOffs_ = 0;
  uint32_t latestEndOfTrack_ = 0;
};

OSStatus MidiSequence::buildWithSMF(const SMFImage& image, uint32_t flags) {
  try {
    return SequenceBuilder(*this, flags).run(image);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
}

OSStatus SequenceBuilder::run(const SMFImage& image) {
  seq_.division_ = image.division;
  seq_.SMPTEFormat_ = image.SMPTEFormat;
  seq_.numTracks_ = uint16_t(std::max<int>(0, image.numTracks));
  seq_.drumChannelMask_ = 0x200;
  seq_.tempoMap_.clear();
  seq_.signatureMap_.clear();
  seq_.freeEvents();
  // An event takes at least two bytes of a track (delta and one data byte), so half the
  // file size is always enough room; an information scan stores few events.
  size_t room = size_t(std::max<int32_t>(image.fileSize, 0)) / 2 + 64;
  if (flags_ & kSMFLoadInfoScan) room = std::min<size_t>(room, 1024);
  seq_.wholeList_.reserve(room);

  seq_.setDefaultTimeSignature();
  seq_.setDefaultTempo(120);
  seq_.SMPTEOffset_ = SMPTERec{3, 0, 0, 0, 0, 0};

  SMFTrackMerger merger(image);
  SMFParsedEvent event;
  uint32_t mask = kClassAll;
  bool salvaged = false;  // an event other than an end of track was read
  while (merger.next(mask, event) == noErr) {
    salvaged = salvaged || event.eventClass != kClassMeta || event.length < 2 || event.bytes[1] != meta::kEndOfTrack;
    add(event);
    if ((flags_ & kSMFLoadInfoScan) && event.status == 0x90) mask = kClassMeta | kClassSystem;
  }
  if (!(flags_ & kSMFLoadInfoScan)) terminateOpenNotes();

  auto& list = seq_.wholeList_;
  if (list.capacity() > 2 * list.size() + 1024) list.shrink_to_fit();

  // What was lost, in file order. A damaged file from which nothing was salvaged fails with
  // the status of its first fault; one that kept events loads and carries its damage.
  seq_.damage_ = image.damage;
  if (!merger.damage().empty()) {
    seq_.damage_.insert(seq_.damage_.end(), merger.damage().begin(), merger.damage().end());
    std::stable_sort(seq_.damage_.begin(), seq_.damage_.end(),
                     [](const Error& a, const Error& b) { return a.offset < b.offset; });
  }
  if (!seq_.damage_.empty() && !salvaged) return seq_.damage_.front().status;
  return noErr;
}

bool SequenceBuilder::dropAsRepeat(uint8_t status, const uint8_t* bytes) {
  uint8_t channel = bytes[0] & 0x0F;
  if (status == 0x80 || status == 0x90 || status == 0xC0) return false;
  int32_t last = lastChannelMessage_[channel];
  if (last >= 0) {
    const MidiEvent* previous = seq_.wholeList_[size_t(last)].get();
    if (previous->status() == status) {
      bool same = status == 0xD0 ? previous->second() == bytes[1]
                                 : previous->second() == bytes[1] && previous->third() == bytes[2];
      if (same) return true;
    }
  }
  return false;
}

void SequenceBuilder::add(const SMFParsedEvent& e) {
  const uint8_t* b = e.bytes;
  if (e.eventClass == kClassMeta) {
    uint8_t type = e.length > 1 ? b[1] : 0;
    if (type == meta::kEndOfTrack) {
      if (!(flags_ & kSMFLoadInfoScan)) return;
      latestEndOfTrack_ = std::max(e.ticks, latestEndOfTrack_);
      SMFParsedEvent at = e;
      at.ticks = latestEndOfTrack_;
      store(b, e.length, at);
      return;
    }
    store(b, e.length, e);
    const MidiEvent* stored = seq_.wholeList_.back().get();
    if (type == meta::kTempo || type == meta::kTimeSignature) {
      seq_.insertedTempoSignature(stored);
    } else if (type == meta::kSMPTEOffset && stored->metaDataSize() >= 5) {
      const uint8_t* d = stored->metaData();
      seq_.SMPTEOffset_ = SMPTERec{(d[0] >> 5) & 3, d[0] & 31, d[1], d[2], d[3], d[4]};
    }
    return;
  }
  if (e.eventClass == kClassSystem) {
    store(b, e.length, e);
    const MidiEvent* stored = seq_.wholeList_.back().get();
    if (stored->status() == SYSEX && stored->sysexDataSize() == 9) {
      const uint8_t* d = stored->sysexData();
      if (d[0] == 0x41 && d[1] == 0x10 && d[2] == 0x42 && d[3] == 0x12 && d[4] == 0x40 && (d[5] & 0xF0) == 0x10 &&
          d[6] == 0x15) {
        uint8_t block = d[5] & 0x0F;
        uint8_t channel = block == 0 ? 9 : block <= 9 ? uint8_t(block - 1) : block;
        if (d[7]) seq_.drumChannelMask_ |= uint16_t(1u << channel);
        else seq_.drumChannelMask_ &= uint16_t(~(1u << channel));
      }
    }
    return;
  }

  // Channel messages: the parsed event is read field by field, not copied.
  uint8_t status = e.status;
  uint8_t channel = b[0] & 0x0F;
  const uint8_t* bytes = b;
  uint8_t noteOff[3];
  if (status == 0x90 && b[2] == 0) {
    // A note-on of velocity 0 is a note-off of velocity 64.
    noteOff[0] = uint8_t(0x80 | channel);
    noteOff[1] = b[1];
    noteOff[2] = 64;
    bytes = noteOff;
    status = 0x80;
  }
  if ((flags_ & kSMFLoadDropRepeats) && dropAsRepeat(status, bytes)) return;

  if (status == 0x90) {
    uint8_t key = bytes[1];
    if (key >= 128) return;
    queues_[size_t(channel) * 128 + key].positions.push_back(uint32_t(seq_.wholeList_.size()));
    storeChannelMessage(bytes, e.length, e);
    return;
  }
  if (status == 0x80) {
    uint8_t key = bytes[1];
    if (key >= 128) return;
    NoteQueue& queue = queues_[size_t(channel) * 128 + key];
    if (queue.empty()) {
      ++orphanNoteOffs_;
      return;
    }
    MidiEvent* noteOn = seq_.wholeList_[queue.positions[queue.head++]].get();
    if (queue.empty()) {
      queue.positions.clear();
      queue.head = 0;
    }
    noteOn->setDuration(e.ticks - noteOn->ticks());
    noteOn->setOffVelocity(bytes[2]);
    const uint8_t off[3] = {uint8_t(0x80 | channel), key, bytes[2]};
    store(off, 3, e);
    return;
  }
  storeChannelMessage(bytes, e.length, e);
}

// Every note-on still waiting gets a note-off one tick later. The new note-offs are merged
// in one pass: each goes after the events of its tick and track that sort before a
// note-off and before the first note-on there, after the note-offs added before it.
void SequenceBuilder::terminateOpenNotes() {
  MidiSequence::EventVector added;
  for (size_t q = 0; q < queues_.size(); ++q) {
    NoteQueue& queue = queues_[q];
    for (size_t i = queue.head; i < queue.positions.size(); ++i) {
      MidiEvent* noteOn = seq_.wholeList_[queue.positions[i]].get();
      noteOn->setDuration(1);
      noteOn->setOffVelocity(64);
      const uint8_t off[3] = {uint8_t(0x80 | (q / 128)), uint8_t(q % 128), 64};
      added.push_back(std::make_unique<MidiEvent>(off, 3, noteOn->track(), noteOn->ticks() + 1));
      ++addedNoteOffs_;
    }
  }
  if (added.empty()) return;
  std::stable_sort(added.begin(), added.end(), [](const auto& a, const auto& b) {
    return a->ticks() != b->ticks() ? a->ticks() < b->ticks() : a->track() < b->track();
  });
  auto& list = seq_.wholeList_;
  MidiSequence::EventVector merged;
  merged.reserve(list.size() + added.size());
  size_t j = 0;
  const int offPriority = MidiSequence::priorityForStatus(0x80, 0);
  for (auto& off : added) {
    while (j < list.size()) {
      const MidiEvent* e = list[j].get();
      bool before = e->ticks() < off->ticks() ||
                    (e->ticks() == off->ticks() &&
                     (e->track() < off->track() ||
                      (e->track() == off->track() && MidiSequence::priorityOf(*e) <= offPriority)));
      if (!before) break;
      merged.push_back(std::move(list[j++]));
    }
    merged.push_back(std::move(off));
  }
  while (j < list.size()) merged.push_back(std::move(list[j++]));
  list.swap(merged);
}

}  // namespace sw
