#include "text/karaoke_scan.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "smf/midi_sequence.h"
#include "sysex/sysex.h"
#include "text/chord_name.h"
#include "text/utf8_validator.h"
#include "text/xf_chord.h"

namespace sw {
namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

std::string_view metaText(const MidiEvent& event) {
  return {reinterpret_cast<const char*>(event.metaData()), event.metaDataSize()};
}

// CR LF becomes CR, then every other LF becomes CR.
std::string normalizeLineBreaks(std::string_view text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == kLF; })) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == kCR && i + 1 < text.size() && text[i + 1] == kLF) ++i;
    out.push_back(c == kLF ? kCR : c);
  }
  return out;
}

// A lyric item, unless the text is empty or only "?" noise (with spaces and CRs).
uint32_t appendString(std::string&& text, DSyncArray& list, uint32_t tick) {
  if (text.empty()) return 0;
  size_t blanks = 0, questions = 0, nul = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == kCR) ++blanks;
    else if (c == '?') ++questions;
    else if (c == '\0' && nul == std::string::npos) nul = i;
  }
  if (questions > 0 && blanks + questions == text.size()) return 0;
  const size_t length = text.size();
  list.emplace_back(nul == std::string::npos ? std::move(text) : text.substr(0, nul), int32_t(tick));
  return uint32_t(length);
}

void appendChordString(std::string_view text, DSyncArray* list, uint32_t tick, bool strict) {
  if (!list || text.empty()) return;
  std::optional<ChordName> chord = strict ? parseChordStrict(text) : parseChordLenient(text);
  if (!chord) return;
  DSyncItem item(spellChord(*chord, 0, true), int32_t(tick));
  item.setIsChord(true);
  if (!list->empty() && list->back().delay() == item.delay()) list->pop_back();
  list->push_back(std::move(item));
}

// Midisoft: F0, a one-byte length, 00 20 24, one byte, the message type, text, F7.
bool isMidisoft(const MidiEvent& event) {
  const uint8_t* d = event.data();
  return event.isSysex() && event.length() >= 7 && d[2] == 0x00 && d[3] == 0x20 && d[4] == 0x24;
}

struct MidisoftState {
  int16_t pending = 0;
  uint8_t lastLineType = 0;
  uint8_t lastType = 0;
};

// Feeds one Midisoft message or highlight controller; true when it timed pending lines.
bool appendMidiSoftSysex(const MidiEvent& event, DSyncArray& lines, MidisoftState& state) {
  if (event.status() != 0xB0) {
    const uint8_t* d = event.data();
    const uint8_t type = d[6];
    if (type >= 4 && type <= 7) {
      const size_t available = event.length() >= 8 ? event.length() - 8 : 0;
      const int64_t declared = int64_t(event.length() % 256) - 8;
      const size_t length = std::min<size_t>(available, size_t(std::max<int64_t>(declared, 0)));
      if (type < state.lastLineType) state.pending = 0;
      std::string text(reinterpret_cast<const char*>(d) + 7, length);
      std::replace(text.begin(), text.end(), kLF, kCR);
      if ((text.empty() || text.back() != kCR) && text.size() < 255) text.push_back(kCR);
      lines.emplace_back(std::move(text), int32_t(event.ticks()));
      ++state.pending;
      state.lastLineType = state.lastType = type;
      return false;
    }
    if (type != 8) {
      state.lastType = type;
      return false;
    }
  }
  if (state.pending <= 0) {
    state.lastType = 8;
    return false;
  }
  state.pending = std::min<int16_t>(state.pending, 4);
  const size_t count = std::min<size_t>(size_t(state.pending), lines.size());
  for (size_t i = lines.size() - count; i < lines.size(); ++i) lines[i].setDelay(int32_t(event.ticks()));
  --state.pending;
  state.lastType = 8;
  return true;
}

struct Highlight {
  int32_t tick;
  uint16_t value;
};

struct Scratch {
  DSyncArray lyricEvents, textEvents, midisoft;
  std::vector<Highlight> highlights;
  void clear() {
    lyricEvents.clear();
    textEvents.clear();
    midisoft.clear();
    highlights.clear();
  }
};

// Cuts each timed Midisoft line at the highlight records that follow its timing: a record's
// value counts the non-space bytes sung so far in the line.
DSyncArray splitByHighlights(const DSyncArray& lines, const std::vector<Highlight>& records) {
  DSyncArray result;
  result.reserve(lines.size() * 4);
  size_t r = 0;
  for (const DSyncItem& line : lines) {
    const std::string& bytes = line.data();
    const size_t first = result.size();
    size_t p = 0;
    while (r < records.size()) {
      const Highlight& record = records[r];
      if (record.tick <= line.delay()) {
        ++r;
        continue;
      }
      if (p >= bytes.size() || record.value == 0) break;
      size_t e = std::min<size_t>(record.value, bytes.size());
      for (size_t i = 0; i < e && i < bytes.size(); ++i)
        if (bytes[i] == ' ') e = std::min(e + 1, bytes.size());
      if (e > p) result.emplace_back(bytes.substr(p, e - p), record.tick);
      p = std::max(p, e);
      ++r;
    }
    if (result.size() == first) result.push_back(line);
  }
  return result;
}

// Handles the "<" line mark: doubled marks are dropped and the mark becomes CR. False for a
// lone mark, which is skipped.
bool takeLineMark(std::string& text) {
  size_t drop = 0;
  while (drop + 1 < text.size() && text[drop + 1] == '<') ++drop;
  text.erase(0, drop);
  if (text.size() == 1) return false;
  text[0] = kCR;
  return true;
}

}  // namespace

namespace {

struct TextCounts {
  size_t lyrics = 0;
  size_t texts = 0;
};

bool softKaraoke(const MidiSequence& sequence, TextCounts& counts) {
  const auto& events = sequence.events();
  for (const MidiEvent* event : events) {
    if (event->isMeta(meta::kLyric)) ++counts.lyrics;
    else if (event->isMeta(meta::kText)) ++counts.texts;
  }
  if (events.empty() || counts.lyrics >= 6) return false;
  for (const MidiEvent* event : events) {
    if (!event->isMeta(meta::kText) || event->metaDataSize() == 0) continue;
    std::string_view text = metaText(*event);
    if (event->ticks() == 0 && text.size() >= 2) {
      if (text.starts_with("@K")) return true;
    } else if (text[0] == '\\' || text[0] == '/') {
      return true;
    }
  }
  return false;
}

}  // namespace

bool isSoftKaraokeSequence(const MidiSequence& sequence) {
  TextCounts counts;
  return softKaraoke(sequence, counts);
}

KaraokeScan scanKaraoke(const MidiSequence& sequence, const KaraokeScanOptions& options) {
  KaraokeScan scan;
  TextCounts counts;
  const bool isSoftKaraoke = softKaraoke(sequence, counts);
  if (isSoftKaraoke) scan.karaokeType = fourCC("SK  ");
  // Working lists keep their memory from one file to the next.
  thread_local Scratch scratch;
  scratch.clear();
  DSyncArray& lyricEvents = scratch.lyricEvents;
  DSyncArray& textEvents = scratch.textEvents;
  DSyncArray& midisoft = scratch.midisoft;
  std::vector<Highlight>& highlights = scratch.highlights;
  lyricEvents.reserve(counts.lyrics);
  textEvents.reserve(counts.texts);
  DSyncArray* chords = options.chords ? &scan.chords : nullptr;
  uint32_t lyricCount = 0, textCount = 0;
  MidisoftState state;
  bool highlightSeen = false;

  for (const MidiEvent* event : sequence.events()) {
    const uint32_t tick = event->ticks();
    const uint8_t status = event->status();
    if (status == SYSEX) {
      if (!isMidisoft(*event)) {
        if (chords && event->sysexDataSize() > 0 && event->sysexData()[0] == 0x43 && event->length() <= 16) {
          Sysex sysex = Sysex::fromEvent(*event);
          if (sysex.type() == "XG Chord Control Code") appendChordString(sysex.text(), chords, tick, false);
        }
      } else if (event->data()[6] != 1) {
        if (appendMidiSoftSysex(*event, midisoft, state)) highlights.push_back({int32_t(tick), 0});
      } else {
        // A Midisoft chord, shown half a second after its message.
        std::string text;
        const uint8_t* d = event->data();
        for (uint32_t i = 7; i < event->length() && d[i] != 0xF7; ++i)
          if (d[i] != uint8_t(kLF)) text.push_back(char(d[i]));
        const double tickDuration = sequence.tickDurationAtTicks(int32_t(tick));
        const double later = tickDuration > 0 ? 500000.0 / tickDuration : 0;
        appendChordString(text, chords, tick + uint32_t(std::min(later, 4.0e9)), false);
      }
      continue;
    }
    if (status == 0xB0) {
      if (event->channel() == 0 && event->second() == 31 && event->third() >= 1 && event->third() <= 126) {
        if (state.lastType != 8) {
          appendMidiSoftSysex(*event, midisoft, state);
          highlights.push_back({int32_t(tick), 0});
        }
        highlights.push_back({int32_t(tick), event->third()});
        highlightSeen = true;
      }
      continue;
    }
    if (status != META_EVENT || event->metaDataSize() == 0) continue;
    const uint8_t type = event->second();
    if (type == meta::kLyric) {
      std::string text = normalizeLineBreaks(metaText(*event));
      if (text.empty()) continue;
      if (text[0] == '/') {
        text[0] = kCR;
      } else if (text[0] == '%') {
        appendChordString(std::string_view(text).substr(1), chords, tick, false);
        continue;
      } else if (text[0] == '<') {
        if (!takeLineMark(text)) continue;
        scan.karaokeType = fourCC("SO  ");
      }
      lyricCount += appendString(std::move(text), lyricEvents, tick);
    } else if (type == meta::kSequencerSpecific) {
      if (chords)
        if (auto chord = XFChord::fromMetaEvent(*event); chord && chord->isValid())
          appendChordString(chord->string(), chords, tick, false);
    } else if (type == meta::kText && tick > 0) {
      std::string text = normalizeLineBreaks(metaText(*event));
      if (text[0] == '%') {
        appendChordString(std::string_view(text).substr(1), chords, tick, false);
        continue;
      }
      if (text[0] == '<') {
        if (!takeLineMark(text)) continue;
        scan.karaokeType = fourCC("SO  ");
      } else if (text[0] == '@') {
        continue;
      } else if (!isSoftKaraoke) {
        appendChordString(text, chords, tick, true);
        continue;
      } else if (text[0] == '\\' || text[0] == '/') {
        std::erase_if(text, [](char c) { return c == kCR || c == kLF || c == '/' || c == '\\'; });
        if (!text.empty() && text[0] == '%') {
          appendChordString(std::string_view(text).substr(1), chords, tick, false);
          continue;
        }
        text.insert(text.begin(), kCR);
      }
      textCount += appendString(std::move(text), textEvents, tick);
    }
  }

  DSyncArray* chosen = &lyricEvents;
  uint32_t count = lyricCount;
  if (textCount > lyricCount) {
    chosen = &textEvents;
    count = textCount;
  } else if (lyricCount != 0 && scan.karaokeType == 0) {
    scan.karaokeType = fourCC("T1  ");
  }

  size_t midisoftBytes = 0, midisoftQuestions = 0;
  for (const DSyncItem& line : midisoft) {
    midisoftBytes += line.data().size();
    midisoftQuestions += size_t(std::count(line.data().begin(), line.data().end(), '?'));
  }
  if (midisoftQuestions <= midisoftBytes / 2 && midisoftBytes > count) {
    scan.karaokeType = fourCC("MS  ");
    if (highlightSeen) midisoft = splitByHighlights(midisoft, highlights);  // rare: no scratch
    for (size_t i = 1; i < midisoft.size(); ++i)
      if (midisoft[i].delay() < midisoft[i - 1].delay()) midisoft[i].setDelay(midisoft[i - 1].delay());
    chosen = &midisoft;
    count = uint32_t(std::min<size_t>(midisoftBytes, UINT32_MAX));
  }
  if (options.lyrics) scan.lyrics = SyncArray::normalizedDSyncsWithDSyncs(*chosen);
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
  scan.lyricBytes = count;

  // Of a burst of chords less than 0.1 s apart only the last stays.
  if (chords && options.thinChords && chords->size() > 1) {
    DSyncArray& list = *chords;
    for (size_t i = list.size() - 1; i-- > 0;) {
      const double gap = double(list[i + 1].delay() - list[i].delay()) * sequence.tickDurationAtTicks(list[i].delay());
      if (gap < 100000.0) list.erase(list.begin() + std::ptrdiff_t(i));
    }
  }
  return scan;
}

}  // namespace sw
