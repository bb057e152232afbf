#include "text/lyrics_writer.h"

#include <memory>
#include <mutex>
#include <stdexcept>

#include "smf/flattened_event_list.h"
#include "smf/vlq.h"
#include "sysex/sysex.h"
#include "text/chord_name.h"
#include "text/lyrics_extractor.h"
#include "text/text_conversion.h"

namespace sw {

namespace {

constexpr size_t kMaxChordBytes = 254;   // longer chord items are not read as chords
constexpr size_t kMaxXGChordBytes = 255;

// The events to insert, in their flattened form (sorted by time, in the order added at one
// tick), inserted in one step. An event too long for that form makes them all events placed
// one by one, in the same order.
class PendingEvents {
 public:
  void addMeta(uint8_t track, uint32_t ticks, uint8_t type, std::string_view payload) {
    if (payload.size() > kMaxVLQ) return;  // no meta event can hold it
    bytes_.assign({META_EVENT, type});
    uint8_t length[4];
    uint32_t size = writeVLQ(uint32_t(payload.size()), length);
    bytes_.insert(bytes_.end(), length, length + size);
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    add(track, ticks, bytes_);
  }
  void add(const MidiEvent& event) { add(event.track(), event.ticks(), {event.data(), event.length()}); }

  // Both in one insertion: at equal ticks the first's events go first, as inserting them
  // first would place them (lyrics and chords are meta events of one priority).
  static void insertTogether(MidiSequence& sequence, PendingEvents& first, PendingEvents& second) {
    if (first.oversized_ || second.oversized_ || first.list_.empty() || second.list_.empty()) {
      first.insertInto(sequence);
      second.insertInto(sequence);
      return;
    }
    sequence.addFlattenedEventList(FlattenedEventList::merge(first.list_, second.list_));
  }

  void insertInto(MidiSequence& sequence) {
    if (!oversized_) {
      if (!list_.empty()) sequence.addFlattenedEventList(list_);
      return;
    }
    for (const MidiEvent& event : events_) sequence.insertEvent(std::make_unique<MidiEvent>(event));
  }

 private:
  void add(uint8_t track, uint32_t ticks, std::span<const uint8_t> data) {
    if (!oversized_ && data.size() <= FlattenedEventList::kMaxDataLength) {
      FlattenedRecord record;
      record.track = track;
      record.ticks = ticks;
      record.data = data;
      list_.add(record);
      return;
    }
    if (!oversized_) {
      for (size_t at = list_.begin(); !list_.atEnd(at); at = list_.next(at)) {
        const FlattenedRecord record = list_.record(at);
        events_.emplace_back(record.data.data(), uint32_t(record.data.size()), record.track, record.ticks);
      }
      list_ = FlattenedEventList();
      oversized_ = true;
    }
    events_.emplace_back(data.data(), uint32_t(data.size()), track, ticks);
  }

  FlattenedEventList list_;
  std::vector<MidiEvent> events_;  // only once an event was too long for the list
  std::vector<uint8_t> bytes_;     // the event being made
  bool oversized_ = false;
};

uint8_t checkedTrack(const MidiSequence& sequence, int track) {
  // Track numbers are signed 8-bit values.
  int8_t number = int8_t(track);
  if (number < 0 || number >= int(sequence.numTracks()))
    throw std::out_of_range("fatal error while inserting object: track out of range");
  return uint8_t(number);
}

bool isXGChordSysex(const MidiEvent& event) {
  VLQRead vlq = readVLQ(event.data() + 1, event.length() > 1 ? event.length() - 1 : 0);
  size_t id = 1 + vlq.size;
  if (!vlq.ok() || id >= event.length() || event.data()[id] != 0x43) return false;
  return Sysex::fromEvent(event).type() == "XG Chord Control Code";
}

bool isHighlightController(const MidiEvent& event) {
  if (event.status() != 0xB0 || event.channel() != 0) return false;
  uint8_t controller = event.second();
  return controller == 31 || controller == 98 || controller == 99;
}

bool isLyricOrChordMeta(const MidiEvent& event) {
  uint32_t size = event.metaDataSize();
  if (size == 0) return false;
  const uint8_t* payload = event.metaData();
  switch (event.second()) {
    case meta::kText:
      return event.ticks() > 0 || (size >= 2 && payload[0] == '@' && payload[1] == 'K');
    case meta::kLyric:
      return true;
    case meta::kSequencerSpecific:
      return size == 7 && payload[0] == 0x43 && payload[1] == 0x7B && payload[2] == 0x01;
    default:
      return false;
  }
}

void writeLyricItem(PendingEvents& events, uint8_t track, uint32_t ticks, std::string_view text, bool eol) {
  if (!text.empty()) events.addMeta(track, ticks, meta::kLyric, text);
  if (eol) events.addMeta(track, ticks, meta::kLyric, std::string_view("\r", 1));
}

uint32_t itemTicks(int32_t delay, int32_t minimum) { return uint32_t(delay < minimum ? minimum : delay); }

}  // namespace

std::vector<uint8_t> lyricAndChordEvents(const MidiSequence& sequence) {
  std::lock_guard guard(sequence.lock());
  std::vector<uint8_t> marks(size_t(sequence.count()), 0);
  // Walked backwards: the highlight controllers go when a Midisoft message comes after them.
  bool midisoftMet = false;
  for (int i = sequence.count() - 1; i >= 0; --i) {
    const MidiEvent& event = *sequence.eventAtIndex(i);
    bool remove = false;
    if (event.isSysex()) {
      if (isMidisoftSysex(event)) {
        remove = true;
        midisoftMet = true;
      } else {
        remove = isXGChordSysex(event);
      }
    } else if (event.isMeta()) {
      remove = isLyricOrChordMeta(event);
    } else if (midisoftMet) {
      remove = isHighlightController(event);
    }
    marks[size_t(i)] = remove ? 1 : 0;
  }
  return marks;
}

void removeLyricsAndChords(MidiSequence& sequence) {
  std::lock_guard guard(sequence.lock());
  const std::vector<uint8_t> marks = lyricAndChordEvents(sequence);
  IndexSet doomed;
  for (size_t i = 0; i < marks.size(); ++i)
    if (marks[i]) doomed.insert(doomed.end(), int(i));  // ascending: each goes last
  sequence.removeObjectsAtIndexes(doomed);
}

bool setLyrics(MidiSequence& sequence, const DSyncArray& lyrics, const DSyncArray& chords, bool useXGChordsFormat,
               int trackNum, XFChordError* error, const XFChordManager* manager) {
  std::lock_guard guard(sequence.lock());
  const uint8_t track = checkedTrack(sequence, trackNum);
  removeLyricsAndChords(sequence);
  return addLyricsAndChords(sequence, lyrics, chords, useXGChordsFormat, track, error, manager);
}

bool addLyricsAndChords(MidiSequence& sequence, const DSyncArray& lyrics, const DSyncArray& chords,
                        bool useXGChordsFormat, int trackNum, XFChordError* error, const XFChordManager* manager) {
  std::lock_guard guard(sequence.lock());
  const uint8_t track = checkedTrack(sequence, trackNum);
  PendingEvents lyricEvents;
  for (const DSyncItem& item : lyrics) {
    std::string_view bytes = item.data();
    bool eol = item.EOL();
    if (eol) bytes.remove_suffix(1);
    writeLyricItem(lyricEvents, track, itemTicks(item.delay(), 0), bytes, eol);
  }

  PendingEvents chordEvents;
  if (useXGChordsFormat && !manager) manager = &XFChordManager::sharedInstance();
  for (const DSyncItem& item : chords) {
    const std::string& bytes = item.data();
    if (bytes.empty()) continue;
    uint32_t ticks = itemTicks(item.delay(), 0);
    if (useXGChordsFormat) {
      std::string_view text(bytes.data(), std::min(bytes.size(), kMaxXGChordBytes));
      text = text.substr(0, text.find('\0'));
      std::optional<XFChord> chord = manager->xgChordWithString(text, error);
      if (!chord) {
        if (error) {
          lyricEvents.insertInto(sequence);  // the lyrics stay
          return false;
        }
        continue;
      }
      chordEvents.add(chord->metaEvent(track, ticks));
    } else {
      std::string spelled;
      if (bytes.size() <= kMaxChordBytes) {
        if (std::optional<ChordName> chord = parseChordLenient(bytes)) spelled = spellChord(*chord, 0, false);
      }
      chordEvents.addMeta(track, ticks, meta::kText, spelled);
    }
  }
  PendingEvents::insertTogether(sequence, lyricEvents, chordEvents);
  return true;
}

void setLyrics(MidiSequence& sequence, const TSyncArray& lyrics, const TSyncArray& chords, StringEncoding encoding,
               int preferredTrack) {
  std::lock_guard guard(sequence.lock());
  const uint8_t track = checkedTrack(sequence, preferredTrack);
  removeLyricsAndChords(sequence);

  PendingEvents lyricEvents;
  for (const TSyncItem& item : lyrics) {
    std::optional<std::string> bytes = encodeText(item.text(), encoding);
    writeLyricItem(lyricEvents, track, itemTicks(item.delay(), 1), bytes ? *bytes : std::string(), item.EOL());
  }
  lyricEvents.insertInto(sequence);

  PendingEvents chordEvents;
  for (const TSyncItem& item : chords)
    if (!item.text().empty()) chordEvents.addMeta(0, itemTicks(item.delay(), 0), meta::kText, item.text());
  chordEvents.insertInto(sequence);
}

}  // namespace sw
