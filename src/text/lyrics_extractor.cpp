#include "text/lyrics_extractor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <tuple>

#include "smf/vlq.h"
#include "sysex/sysex.h"
#include "text/chord_name.h"
#include "text/utf8_validator.h"
#include "text/xf_chord.h"

namespace sw {

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr size_t kReserve = 500;
constexpr uint8_t kMidisoftSync = 8;
constexpr uint8_t kMidisoftChord = 1;
constexpr uint8_t kHighlightController = 31;
constexpr double kChordSpacingMicroseconds = 100000;  // chords closer than this are a burst
constexpr double kMidisoftChordLead = 500000;         // Midisoft chords are shown ahead of time

// Where the fields of a Midisoft message sit in the stored bytes (F0, length, 00 20 24, one
// byte, the message type, the text, F7).
struct MidisoftLayout {
  size_t typeIndex = 0;
  bool ok = false;
};

MidisoftLayout midisoftLayout(const MidiEvent& event) {
  MidisoftLayout layout;
  if (!event.isSysex()) return layout;
  const uint8_t* bytes = event.data();
  size_t length = event.length();
  VLQRead vlq = readVLQ(bytes + 1, length > 1 ? length - 1 : 0);
  if (!vlq.ok()) return layout;
  size_t id = 1 + vlq.size;
  if (length <= id + 4) return layout;
  if (bytes[id] != 0x00 || bytes[id + 1] != 0x20 || bytes[id + 2] != 0x24) return layout;
  layout.typeIndex = id + 4;
  layout.ok = true;
  return layout;
}

int32_t eventDelay(const MidiEvent& event) {
  uint32_t ticks = event.ticks();
  return ticks > uint32_t(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                : int32_t(ticks);
}

std::string metaText(const MidiEvent& event) {
  return std::string(reinterpret_cast<const char*>(event.metaData()), event.metaDataSize());
}

// The "<" line mark: a run of marks gives one line break. False for a lone mark.
bool takeLineMark(std::string& text) {
  size_t extra = 0;
  while (extra + 1 < text.size() && text[extra + 1] == '<') ++extra;
  text.erase(0, extra);
  if (text.size() == 1) return false;
  text[0] = kCR;
  return true;
}

struct Highlight {
  int32_t ticks;
  uint16_t value;
};

// Midisoft lines cut into the pieces their highlight controllers light, in order. `r` runs
// over the records across all lines.
DSyncArray splitByHighlights(const DSyncArray& lines, const std::vector<Highlight>& highlights) {
  DSyncArray result;
  result.reserve(lines.size());
  size_t r = 0;
  for (const DSyncItem& line : lines) {
    const std::string& bytes = line.data();
    DSyncArray pieces;
    size_t p = 0;
    while (r < highlights.size()) {
      const Highlight& record = highlights[r];
      if (record.ticks <= line.delay()) {
        ++r;
        continue;
      }
      if (p >= bytes.size() || record.value == 0) break;
      // The value counts the non-space bytes lit so far.
      size_t end = std::min<size_t>(record.value, bytes.size());
      for (size_t i = 0; i < end; ++i)
        if (bytes[i] == ' ' && end < bytes.size()) ++end;
      if (end > p) {
        pieces.emplace_back(bytes.substr(p, end - p), record.ticks);
        p = end;  // a smaller value later never lights the same bytes twice
      }
      ++r;
    }
    if (pieces.empty())
      result.push_back(line);
    else
      result.insert(result.end(), pieces.begin(), pieces.end());
  }
  return result;
}

// Ticks to add to a time so that it comes `microseconds` later, at the tempo there.
int64_t ticksFor(const MidiSequence& sequence, int32_t ticks, double microseconds) {
  double tickDuration = sequence.tickDurationAtTicks(ticks);
  if (!(tickDuration > 0) || !std::isfinite(tickDuration)) return 0;
  // Truncated, but a quotient that misses a whole number by rounding error counts as it.
  double count = std::trunc(microseconds / tickDuration + 1e-6);
  return count > 1e9 ? int64_t(1e9) : int64_t(count);
}

int32_t clampDelay(int64_t delay) {
  return int32_t(std::clamp<int64_t>(delay, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

bool isMidisoftSysex(const MidiEvent& event) { return midisoftLayout(event).ok; }

void normalizeLineBreaks(std::string& text) {
  // In place: the write position never passes the read position.
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == kCR && i + 1 < text.size() && text[i + 1] == kLF) ++i;
    text[out++] = c == kLF ? kCR : c;
  }
  text.resize(out);
}

bool isSoftKaraoke(const MidiSequence& sequence) {
  std::lock_guard guard(sequence.lock());
  const auto& events = sequence.events();
  if (events.empty()) return false;
  int lyricEvents = 0;
  for (const MidiEvent* event : events)
    if (event->isMeta(meta::kLyric) && ++lyricEvents >= 6) return false;
  for (const MidiEvent* event : events) {
    if (!event->isMeta(meta::kText)) continue;
    uint32_t size = event->metaDataSize();
    if (size == 0) continue;
    const uint8_t* text = event->metaData();
    if (event->ticks() == 0 && size >= 2) {
      if (text[0] == '@' && text[1] == 'K') return true;
    } else if (text[0] == '\\' || text[0] == '/') {
      return true;
    }
  }
  return false;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == kCR || c == kLF; }

// "?" alone (a line break or spaces may follow) after an item that ends in a word.
bool isQuestionMark(std::string_view text, const DSyncArray& syncs) {
  if (text[0] != '?' || text.find_first_not_of(" \r", 1) != std::string_view::npos) return false;
  if (syncs.empty() || syncs.back().data().empty()) return false;
  const char last = syncs.back().data().back();
  return !isBlank(last) && last != '?';
}

}  // namespace

bool SoftKaraokeWords::isSyllable(const MidiEvent& event) const {
  if (!present || event.track() != track || !event.isMeta(meta::kText)) return false;
  return event.metaDataSize() > 0 && event.metaData()[0] != '@';
}

SoftKaraokeWords findSoftKaraokeWords(const MidiSequence& sequence) {
  std::lock_guard guard(sequence.lock());
  struct TrackTally {
    size_t marks = 0;
    bool wordHeaders = false;  // "@L" or "@T"
    bool headers = false;
  };
  std::array<TrackTally, 256> tally{};
  SoftKaraokeWords words;
  for (const MidiEvent* event : sequence.events()) {
    if (!event->isMeta(meta::kText)) continue;
    const uint32_t size = event->metaDataSize();
    if (size == 0) continue;
    const uint8_t* text = event->metaData();
    TrackTally& track = tally[event->track()];
    const bool mark = text[0] == '\\' || text[0] == '/';
    if (mark) ++track.marks;
    if (text[0] == '@') {
      track.headers = true;
      if (size >= 2 && (text[1] == 'L' || text[1] == 'T')) track.wordHeaders = true;
    }
    if (event->ticks() == 0 && size >= 2) {
      if (text[0] == '@' && text[1] == 'K') words.present = true;
    } else if (mark) {
      words.present = true;
    }
  }
  if (!words.present) return words;
  auto rank = [](const TrackTally& t) { return std::tuple(t.marks, t.wordHeaders, t.headers); };
  for (size_t i = 1; i < tally.size(); ++i)
    if (rank(tally[i]) > rank(tally[words.track])) words.track = uint8_t(i);
  return words;
}

size_t countWords(const DSyncArray& items) {
  size_t words = 0;
  bool inWord = false;
  for (const DSyncItem& item : items)
    for (char c : item.data()) {
      if (isBlank(c)) {
        inWord = false;
      } else if (!inWord) {
        inWord = true;
        ++words;
      }
    }
  return words;
}

uint32_t appendString(std::string_view text, DSyncArray& syncs, int32_t delay) {
  if (text.empty()) return 0;
  size_t blanks = 0, questionMarks = 0;
  for (char c : text) {
    if (c == ' ' || c == kCR) ++blanks;
    else if (c == '?') ++questionMarks;
  }
  if (questionMarks > 0 && blanks + questionMarks == text.size() && !isQuestionMark(text, syncs)) return 0;
  syncs.emplace_back(std::string(text.substr(0, text.find('\0'))), delay);
  return uint32_t(std::min<size_t>(text.size(), std::numeric_limits<uint32_t>::max()));
}

void appendChordString(std::string_view text, DSyncArray* syncs, int32_t delay, bool strictChecking) {
  if (!syncs || text.empty()) return;
  std::optional<ChordName> chord = strictChecking ? parseChordStrict(text) : parseChordLenient(text);
  if (!chord) return;
  DSyncItem item(spellChord(*chord, 0, true), delay);
  item.setIsChord(true);
  if (!syncs->empty() && syncs->back().delay() == delay) syncs->pop_back();
  syncs->push_back(std::move(item));
}

bool appendMidiSoftSysex(const MidiEvent& event, DSyncArray& syncs, MSStateRec& state) {
  if (event.status() != 0xB0) {
    MidisoftLayout layout = midisoftLayout(event);
    if (!layout.ok) return false;
    const uint8_t* bytes = event.data();
    uint8_t type = bytes[layout.typeIndex];
    if (type >= 4 && type <= 7) {
      if (type < state.lastLineType) state.pendingLines = 0;
      // The text runs from after the type byte to the byte before the closing F7.
      size_t start = layout.typeIndex + 1;
      size_t length = event.length() > start ? event.length() - start - 1 : 0;
      std::string text(reinterpret_cast<const char*>(bytes) + std::min<size_t>(start, event.length()), length);
      std::replace(text.begin(), text.end(), kLF, kCR);
      if ((text.empty() || text.back() != kCR) && text.size() < 255) text.push_back(kCR);
      syncs.emplace_back(std::move(text), eventDelay(event));
      if (state.pendingLines < std::numeric_limits<int16_t>::max()) ++state.pendingLines;
      state.lastLineType = type;
      state.lastType = type;
      return false;
    }
    if (type != kMidisoftSync) {
      state.lastType = type;
      return false;
    }
  }
  state.lastType = kMidisoftSync;
  if (state.pendingLines <= 0) return false;
  state.pendingLines = std::min<int16_t>(state.pendingLines, 4);
  size_t count = std::min<size_t>(size_t(state.pendingLines), syncs.size());
  for (size_t i = syncs.size() - count; i < syncs.size(); ++i) syncs[i].setDelay(eventDelay(event));
  --state.pendingLines;
  return true;
}

uint32_t getLyricsDSyncs(const MidiSequence& sequence, DSyncArray* lyricsOut, DSyncArray* chordsOut,
                         FourCharCode* karaokeTypeOut) {
  if (!lyricsOut) return 0;
  LyricsScanOptions options;
  options.lyrics = lyricsOut;
  options.chords = chordsOut;
  options.karaokeType = karaokeTypeOut;
  return scanLyrics(sequence, options);
}

namespace {

// The working lists of one extraction, kept from one call to the next on each thread so
// that scanning many files does not allocate them again and again.
struct ScanScratch {
  DSyncArray lyricEvents, textEvents, midisoftLines;
  std::vector<Highlight> highlights;
  bool busy = false;
};

}  // namespace

uint32_t scanLyrics(const MidiSequence& sequence, const LyricsScanOptions& options) {
  std::lock_guard guard(sequence.lock());
  if (options.lyrics) options.lyrics->clear();
  // Files often carry the words twice, as Soft Karaoke text events and as lyric events: both
  // layers are read and the one that carries the song is taken.
  const SoftKaraokeWords words = options.words ? *options.words : findSoftKaraokeWords(sequence);
  bool lyricLineMarks = false, textLineMarks = false;  // "<" marks taken in each layer

  DSyncArray* chords = options.chords;
  if (chords) {
    chords->clear();
    chords->reserve(kReserve);
  }
  thread_local ScanScratch shared;
  ScanScratch local;
  ScanScratch& scratch = shared.busy ? local : shared;  // a nested call gets its own lists
  scratch.busy = true;
  struct Release {
    ScanScratch& scratch;
    ~Release() { scratch.busy = false; }
  } release{scratch};
  DSyncArray& lyricEvents = scratch.lyricEvents;
  DSyncArray& textEvents = scratch.textEvents;
  DSyncArray& midisoftLines = scratch.midisoftLines;
  std::vector<Highlight>& highlights = scratch.highlights;
  lyricEvents.clear();
  textEvents.clear();
  midisoftLines.clear();
  highlights.clear();
  lyricEvents.reserve(kReserve);
  textEvents.reserve(kReserve);
  midisoftLines.reserve(kReserve);
  uint32_t lyricBytes = 0, textBytes = 0;
  MSStateRec state;
  bool highlightSeen = false;

  for (const MidiEvent* event : sequence.events()) {
    const int32_t delay = eventDelay(*event);
    if (event->isSysex()) {
      MidisoftLayout layout = midisoftLayout(*event);
      if (!layout.ok) {
        VLQRead vlq = readVLQ(event->data() + 1, event->length() > 1 ? event->length() - 1 : 0);
        size_t id = 1 + vlq.size;
        if (chords && vlq.ok() && id < event->length() && event->data()[id] == 0x43) {
          Sysex sysex = Sysex::fromEvent(*event);
          if (sysex.type() == "XG Chord Control Code") appendChordString(sysex.text(), chords, delay, false);
        }
      } else if (event->data()[layout.typeIndex] != kMidisoftChord) {
        if (appendMidiSoftSysex(*event, midisoftLines, state)) highlights.push_back({delay, 0});
      } else if (chords) {
        const uint8_t* bytes = event->data();
        std::string text;
        for (size_t i = layout.typeIndex + 1; i < event->length() && bytes[i] != 0xF7; ++i)
          if (bytes[i] != uint8_t(kLF)) text.push_back(char(bytes[i]));
        int64_t shown = int64_t(delay) + ticksFor(sequence, delay, kMidisoftChordLead);
        appendChordString(text, chords, clampDelay(shown), false);
      }
      continue;
    }

    if (event->status() == 0xB0) {
      uint8_t value = event->third();
      if (event->channel() == 0 && event->second() == kHighlightController && value >= 1 && value <= 126) {
        if (state.lastType != kMidisoftSync) {
          appendMidiSoftSysex(*event, midisoftLines, state);
          highlights.push_back({delay, 0});
        }
        highlights.push_back({delay, value});
        highlightSeen = true;
      }
      continue;
    }

    if (!event->isMeta()) continue;
    const uint8_t type = event->second();
    if (type == meta::kLyric && event->metaDataSize() > 0) {
      std::string text = metaText(*event);
      normalizeLineBreaks(text);
      if (text.empty()) continue;
      if (text[0] == '/' || text[0] == '\\') {  // a line or a paragraph
        text[0] = kCR;
      } else if (text[0] == '%') {
        appendChordString(std::string_view(text).substr(1), chords, delay, false);
        continue;
      } else if (text[0] == '<') {
        if (!takeLineMark(text)) continue;
        lyricLineMarks = true;
      }
      lyricBytes += appendString(text, lyricEvents, delay);
    } else if (type == meta::kSequencerSpecific) {
      if (!chords) continue;
      std::optional<XFChord> xf = XFChord::fromMetaEvent(*event);
      if (xf && xf->isValid()) appendChordString(xf->string(), chords, delay, false);
    } else if (type == meta::kText && event->metaDataSize() > 0 && (event->ticks() > 0 || words.isSyllable(*event))) {
      // Text events at tick 0 are headers, except the syllables of the Soft Karaoke words.
      std::string text = metaText(*event);
      normalizeLineBreaks(text);
      if (text.empty()) continue;
      if (text[0] == '%') {
        appendChordString(std::string_view(text).substr(1), chords, delay, false);
        continue;
      }
      if (text[0] == '<') {
        if (!takeLineMark(text)) continue;
        textLineMarks = true;
      } else if (text[0] == '@') {
        continue;  // header tags such as "@KMIDI KARAOKE FILE" and "@T"
      } else if (!words.isSyllable(*event)) {
        // Outside the words track (copyright lines, instrument comments) a text is a chord or nothing.
        appendChordString(text, chords, delay, true);
        continue;
      } else if (text[0] == '\\' || text[0] == '/') {
        std::erase_if(text, [](char c) { return c == kCR || c == kLF || c == '/' || c == '\\'; });
        if (!text.empty() && text[0] == '%') {
          appendChordString(std::string_view(text).substr(1), chords, delay, false);
          continue;
        }
        text.insert(text.begin(), kCR);
      }
      textBytes += appendString(text, textEvents, delay);
    }
  }

  // With both layers, the one with more words wins: syllables run together without their
  // spaces, or only the first line, lose. Otherwise, and on a tie, the one with more bytes,
  // the lyric events on a tie.
  bool takeText = textBytes > lyricBytes;
  if (!lyricEvents.empty() && !textEvents.empty()) {
    const size_t lyricWords = countWords(lyricEvents), textWords = countWords(textEvents);
    if (lyricWords != textWords) takeText = textWords > lyricWords;
  }
  DSyncArray* chosen = takeText ? &textEvents : &lyricEvents;
  uint32_t count = takeText ? textBytes : lyricBytes;
  // The dialect follows the layer taken.
  const FourCharCode textType = textLineMarks ? kLineMarkKaraokeType : words.present ? kSoftKaraokeType : 0;
  FourCharCode karaokeType = textType;
  if (!takeText && lyricLineMarks) karaokeType = kLineMarkKaraokeType;
  else if (!takeText && count != 0) karaokeType = kLyricKaraokeType;

  uint64_t midisoftBytes = 0, midisoftNoise = 0;
  for (const DSyncItem& line : midisoftLines) {
    midisoftBytes += line.data().size();
    midisoftNoise += uint64_t(std::count(line.data().begin(), line.data().end(), '?'));
  }
  if (midisoftNoise <= midisoftBytes / 2 && midisoftBytes > count) {
    karaokeType = kMidisoftKaraokeType;
    if (highlightSeen) midisoftLines = splitByHighlights(midisoftLines, highlights);
    for (size_t i = 1; i < midisoftLines.size(); ++i)
      if (midisoftLines[i].delay() < midisoftLines[i - 1].delay()) midisoftLines[i].setDelay(midisoftLines[i - 1].delay());
    chosen = &midisoftLines;
    count = uint32_t(std::min<uint64_t>(midisoftBytes, std::numeric_limits<uint32_t>::max()));
  }

  if (options.lyrics) *options.lyrics = SyncArray::normalizedDSyncsWithDSyncs(*chosen);
  if (options.validator || options.joined) {
    // Line splitting moves no byte past another: the items' bytes are the chosen ones with
    // LF made CR and the line breaks that open the lyrics dropped.
    bool opening = true;
    for (const DSyncItem& item : *chosen) {
      std::string_view bytes = item.data();
      if (opening) {
        const size_t start = bytes.find_first_not_of("\r\n");
        if (start == std::string_view::npos) continue;
        bytes.remove_prefix(start);
        opening = false;
      }
      if (options.validator) options.validator->feed(bytes);
      if (options.joined) {
        const size_t from = options.joined->size();
        options.joined->append(bytes);
        std::replace(options.joined->begin() + std::ptrdiff_t(from), options.joined->end(), kLF, kCR);
      }
    }
  }

  if (chords && options.thinChords && chords->size() > 1) {
    // Of a burst of chords only the last one stays: walking back, each chord is compared
    // with the next one kept.
    std::vector<bool> keep(chords->size(), true);
    size_t next = chords->size() - 1;
    for (size_t i = next; i-- > 0;) {
      const int32_t at = (*chords)[i].delay();
      double gap = double(int64_t((*chords)[next].delay()) - at) * sequence.tickDurationAtTicks(at);
      if (gap < kChordSpacingMicroseconds)
        keep[i] = false;
      else
        next = i;
    }
    size_t kept = 0;
    for (size_t i = 0; i < chords->size(); ++i)
      if (keep[i]) {
        if (kept != i) (*chords)[kept] = std::move((*chords)[i]);
        ++kept;
      }
    chords->resize(kept);
  }
  if (options.karaokeType) *options.karaokeType = karaokeType;
  return count;
}

std::string lyrics(const MidiSequence& sequence) {
  std::string joined;
  LyricsScanOptions options;
  options.joined = &joined;
  scanLyrics(sequence, options);
  return joined;
}

}  // namespace sw
