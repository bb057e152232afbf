// Whole-sequence transformations: format 0 and format 1 layouts, track clean-up,
// transposition, tempo rate, truncation and track names. Each runs in one pass (two where a
// check must come before any change) and rebuilds the event vector at most once.
#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <memory>
#include <tuple>

#include "smf/gm_names.h"
#include "smf/midi_sequence.h"

namespace sw {

namespace {

constexpr int kNoChannel = -1;

bool startsWith(const MidiEvent& e, char first) { return e.metaDataSize() >= 1 && e.metaData()[0] == uint8_t(first); }

bool startsWith(const MidiEvent& e, char first, char second) {
  return e.metaDataSize() >= 2 && e.metaData()[0] == uint8_t(first) && e.metaData()[1] == uint8_t(second);
}

// System exclusive and system common, everything from F0 up to the meta status.
bool isSystemMessage(const MidiEvent& e) { return e.length() > 0 && e.data()[0] >= 0xF0 && e.data()[0] != 0xFF; }

std::unique_ptr<MidiEvent> metaEvent(uint8_t type, const std::string& text, uint8_t track, uint32_t ticks) {
  auto event = std::make_unique<MidiEvent>();
  uint8_t head[2] = {META_EVENT, type};
  event->setData(head, 2);
  event->setMetaData(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
  event->setTrack(track);
  event->setTicks(ticks);
  return event;
}

void prependToText(MidiEvent& e, char prefix) {
  std::string text(1, prefix);
  text.append(reinterpret_cast<const char*>(e.metaData()), e.metaDataSize());
  e.setMetaData(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

bool isUTF8(const uint8_t* b, uint32_t n) {
  for (uint32_t i = 0; i < n;) {
    uint8_t c = b[i];
    uint32_t extra;
    uint8_t low = 0x80, high = 0xBF;  // range of the second byte
    if (c < 0x80) {
      extra = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) low = 0xA0;   // overlong
      if (c == 0xED) high = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i - 1 < extra) return false;
    for (uint32_t k = 1; k <= extra; ++k) {
      uint8_t d = b[i + k];
      if (k == 1 ? (d < low || d > high) : (d & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// Names are C strings in the system's 8-bit encoding: cut at the first NUL, kept as they are
// when they read as UTF-8, otherwise taken as ISO Latin 1.
std::string decodeName(const uint8_t* bytes, uint32_t length) {
  uint32_t end = 0;
  while (end < length && bytes[end] != 0) ++end;
  if (isUTF8(bytes, end)) return std::string(reinterpret_cast<const char*>(bytes), end);
  std::string out;
  out.reserve(end * 2);
  for (uint32_t i = 0; i < end; ++i) {
    uint8_t b = bytes[i];
    if (b < 0x80) {
      out += char(b);
    } else {
      out += char(0xC0 | (b >> 6));
      out += char(0x80 | (b & 0x3F));
    }
  }
  return out;
}

// Events of equal ticks ordered by track again after their tracks were reassigned; the order
// within each track is kept.
void sortTicksRunsByTrack(MidiSequence::EventVector& events) {
  auto byTrack = [](const auto& a, const auto& b) { return a->track() < b->track(); };
  size_t i = 0;
  while (i < events.size()) {
    size_t j = i + 1;
    uint32_t ticks = events[i]->ticks();
    while (j < events.size() && events[j]->ticks() == ticks) ++j;
    if (j - i > 1 && !std::is_sorted(events.begin() + long(i), events.begin() + long(j), byTrack))
      std::stable_sort(events.begin() + long(i), events.begin() + long(j), byTrack);
    i = j;
  }
}

}  // namespace

// ---------------------------------------------------------------- the default text keeper

bool BasicTextKeeper::isSoftKaraokeLyric(const MidiEvent& e) {
  if (!e.isMeta(meta::kText) || e.metaDataSize() == 0 || startsWith(e, '@')) return false;
  return e.ticks() != 0 || startsWith(e, '\\') || startsWith(e, '/');
}

void BasicTextKeeper::keepName(const MidiSequence& sequence) {
  hasName_ = false;
  name_.clear();
  for (const MidiEvent* e : sequence.events()) {
    if (e->ticks() != 0) continue;
    if (e->track() == 0 && e->isMeta(meta::kTrackName)) {
      name_.assign(reinterpret_cast<const char*>(e->metaData()), e->metaDataSize());
      hasName_ = true;
      return;
    }
  }
}

void BasicTextKeeper::keep(const MidiSequence& sequence) {
  keepName(sequence);
  softKaraoke_ = false;
  lyrics_ = chords_ = 0;
  for (const MidiEvent* e : sequence.events()) {
    if (!e->isMeta()) continue;
    if (e->second() == meta::kText) {
      if (e->ticks() == 0 ? startsWith(*e, '@', 'K') : startsWith(*e, '\\') || startsWith(*e, '/'))
        softKaraoke_ = true;
      if (e->ticks() != 0) ++chords_;
    } else if (e->second() == meta::kLyric && e->ticks() != 0) {
      const uint8_t* d = e->metaData();
      uint32_t n = e->metaDataSize();
      if (std::any_of(d, d + n, [](uint8_t b) { return b != 0x0D && b != 0x0A; })) ++lyrics_;
    }
  }
  if (!softKaraoke_) return;
  chords_ = 0;
  for (const MidiEvent* e : sequence.events()) {
    if (!isSoftKaraokeLyric(*e)) continue;
    if (startsWith(*e, '%'))
      ++chords_;
    else
      ++lyrics_;
  }
}

void BasicTextKeeper::restoreInformation(MidiSequence& sequence) {
  if (!hasName_) return;
  for (MidiEvent* e : sequence.events()) {
    if (e->track() == 0 && e->isMeta(meta::kTrackName)) {
      e->setMetaData(reinterpret_cast<const uint8_t*>(name_.data()), uint32_t(name_.size()));
      return;
    }
  }
  sequence.insertEvent(metaEvent(meta::kTrackName, name_, 0, 0));
}

// ---------------------------------------------------------------- format 0

void MidiSequence::convertToZero(SequenceTextKeeper* keeper) {
  BasicTextKeeper basic;
  if (!keeper) keeper = &basic;

  // The channel of each track: its first channel message's, else its first channel prefix's.
  std::array<int, 256> messageChannel, prefixChannel;
  messageChannel.fill(kNoChannel);
  prefixChannel.fill(kNoChannel);
  for (const auto& e : wholeList_) {
    uint8_t t = e->track();
    if (messageChannel[t] != kNoChannel) continue;
    if (e->isChannelMessage()) {
      messageChannel[t] = e->channel();
    } else if (prefixChannel[t] == kNoChannel && e->isMeta(meta::kChannelPrefix) && e->metaDataSize() >= 1) {
      prefixChannel[t] = std::min<int>(e->metaData()[0], 15);
    }
  }
  std::array<int, 256> trackChannel;
  for (size_t t = 0; t < 256; ++t) trackChannel[t] = messageChannel[t] != kNoChannel ? messageChannel[t] : prefixChannel[t];

  keeper->keep(*this);
  // The lyrics and chords are left out of the new list, to be written back uniformly.
  std::vector<uint8_t> lyricsAndChords;  // 1 for an event left out
  keeper->markLyricsAndChords(*this, lyricsAndChords);
  auto marked = [&](size_t i) { return i < lyricsAndChords.size() && lyricsAndChords[i]; };

  // First what can fail: the new prefixes go into the result, each kept event leaves an empty
  // place there and its position in `sources`. Only then do the kept events move, so that a
  // failure leaves the sequence as it was.
  EventVector result;
  result.reserve(wholeList_.size() + wholeList_.size() / 16 + 16);
  std::vector<uint32_t> sources;
  sources.reserve(wholeList_.size());
  int lastPrefix = kNoChannel;
  const bool rewritesLyrics = keeper->rewritesLyrics();
  for (size_t i = 0; i < wholeList_.size(); ++i) {
    if (marked(i)) continue;
    const MidiEvent* e = wholeList_[i].get();
    const uint8_t status = e->status();
    if (status < 0xF0) {  // a channel message, most events: kept, and no prefix before it
      result.emplace_back();
      sources.push_back(uint32_t(i));
      continue;
    }
    if (e->isMeta(meta::kTrackName) || e->isMeta(meta::kChannelPrefix) ||
        (rewritesLyrics && e->isMeta(meta::kText) && startsWith(*e, '@', 'K')))
      continue;
    const int channel = trackChannel[e->track()];
    const bool sysex = status == 0xF0 || status == 0xF7;
    if ((status == META_EVENT || sysex) && channel != kNoChannel && channel != lastPrefix) {
      const uint8_t prefix[4] = {META_EVENT, meta::kChannelPrefix, 1, uint8_t(channel)};
      result.push_back(std::make_unique<MidiEvent>(prefix, 4, 0, e->ticks()));
      lastPrefix = channel;
    }
    result.emplace_back();
    sources.push_back(uint32_t(i));
  }
  auto source = sources.begin();
  for (auto& slot : result) {
    if (slot) continue;
    slot = std::move(wholeList_[*source++]);
    slot->setTrack(0);
  }
  wholeList_.swap(result);  // the dropped events go with `result`
  numTracks_ = 1;

  keeper->writeLyricsAndChords(*this, 0);
  keeper->restoreInformation(*this);
}

// ---------------------------------------------------------------- format 1

namespace {
namespace layout {
constexpr uint8_t kConductor = 0, kSoftKaraoke = 1, kWords = 2, kChords = 3, kSystem = 4, kFirstChannel = 5;
constexpr uint16_t kTrackCount = 21;
}  // namespace layout
}  // namespace

bool MidiSequence::convertToOne(bool nameChannelTracks, SequenceTextKeeper* keeper) {
  if (numTracks_ > 1) return false;
  BasicTextKeeper basic;
  if (!keeper) keeper = &basic;
  keeper->keep(*this);
  const size_t lyricItems = keeper->lyricCount();
  const size_t chordItems = keeper->chordCount();
  const bool softKaraokeTexts = keeper->softKaraokeTexts();
  keeper->writeLyricsAndChords(*this, 0);

  int prefix = kNoChannel;
  std::array<int, 16> firstProgram;
  firstProgram.fill(-1);
  bool sysexSeen = false, kHeaderSeen = false, tlHeaderSeen = false, nameTaken = false;
  int lyricCounter = 0, lineCounter = 0;
  char pending = 0;

  // Each event's fate is settled first and the events move only afterwards, so that a failure
  // on the way leaves every event in the sequence (some perhaps already moved to their track).
  enum Fate : uint8_t { kKeep, kDefer, kDrop };
  std::vector<Fate> fates(wholeList_.size(), kKeep);
  size_t keptCount = 0, deferredCount = 0;
  for (size_t i = 0; i < wholeList_.size(); ++i) {
    MidiEvent* e = wholeList_[i].get();
    bool keepEvent = true;
    bool deferredEvent = false;
    if (e->isChannelMessage()) {
      if (e->status() == 0xC0 && firstProgram[e->channel()] < 0) firstProgram[e->channel()] = e->second();
      e->setTrack(uint8_t(layout::kFirstChannel + e->channel()));
    } else if (isSystemMessage(*e)) {
      e->setTrack(layout::kSystem);
      sysexSeen = true;
    } else if (e->isMeta()) {
      const uint8_t type = e->second();
      const bool atZero = e->ticks() == 0;
      switch (type) {
        case meta::kTempo:
        case meta::kSMPTEOffset:
        case meta::kTimeSignature:
        case meta::kKeySignature:
          e->setTrack(layout::kConductor);
          break;
        case meta::kChannelPrefix:
          if (e->metaDataSize() >= 1 && e->metaData()[0] < 16) prefix = e->metaData()[0];
          keepEvent = false;
          break;
        case meta::kTrackName:
          keepEvent = false;
          break;
        case meta::kText:
          if (softKaraokeTexts && BasicTextKeeper::isSoftKaraokeLyric(*e)) {
            e->setTrack(startsWith(*e, '%') ? layout::kChords : layout::kWords);
          } else if (!atZero) {
            // Chord texts written by the keeper never start with "%"; one already marked
            // is not marked twice.
            if (!startsWith(*e, '%')) prependToText(*e, '%');
            e->setTrack(layout::kChords);
          } else if (e->metaDataSize() < 2 || !startsWith(*e, '@')) {
            if (!nameTaken) {
              e->setSecond(meta::kTrackName);
              nameTaken = true;
            }
            e->setTrack(layout::kConductor);
          } else if (e->metaData()[1] == 'T' || e->metaData()[1] == 'L') {
            e->setTrack(layout::kWords);
            tlHeaderSeen = true;
          } else {
            e->setTrack(layout::kSoftKaraoke);
            if (e->metaData()[1] == 'K') {
              kHeaderSeen = true;
              if (lyricItems == 0) keepEvent = false;
            }
          }
          break;
        case meta::kLyric: {
          if (e->metaDataSize() == 0) {
            keepEvent = false;
            break;
          }
          const uint8_t first = e->metaData()[0];
          bool paragraph = first == 0x0A;
          if (first == 0x0D) {
            if (lineCounter < 2) {
              ++lineCounter;
              pending = '/';
            } else {
              paragraph = true;
            }
          }
          if (paragraph) {
            ++lyricCounter;
            pending = '\\';
            lineCounter = 0;
          }
          if (first == 0x0A || first == 0x0D) {
            keepEvent = false;
            break;
          }
          if (lyricCounter == 0) {
            pending = '\\';
            lyricCounter = 1;
          }
          if (pending) prependToText(*e, pending);
          e->setSecond(meta::kText);
          e->setTrack(layout::kWords);
          pending = 0;
          // A text at tick 0 reads as a header, not a lyric: the syllable moves one tick on
          // rather than being lost.
          if (atZero) {
            e->setTicks(1);
            keepEvent = false;
            deferredEvent = true;
          }
          break;
        }
        default:
          e->setTrack(prefix != kNoChannel ? uint8_t(layout::kFirstChannel + prefix) : layout::kConductor);
          break;
      }
    } else {
      e->setTrack(layout::kConductor);
    }
    fates[i] = keepEvent ? kKeep : deferredEvent ? kDefer : kDrop;
    keptCount += keepEvent;
    deferredCount += deferredEvent;
  }
  EventVector result, deferred;
  result.reserve(keptCount);
  deferred.reserve(deferredCount);
  std::vector<const MidiEvent*> dropped;
  dropped.reserve(wholeList_.size() - keptCount - deferredCount);
  for (size_t i = 0; i < wholeList_.size(); ++i) {
    if (fates[i] == kKeep) result.push_back(std::move(wholeList_[i]));
    else if (fates[i] == kDefer) deferred.push_back(std::move(wholeList_[i]));
    else dropped.push_back(wholeList_[i].get());
  }
  sortTicksRunsByTrack(result);
  wholeList_.swap(result);  // the dropped events go with `result`
  settleMapsAt(std::move(dropped));
  numTracks_ = layout::kTrackCount;
  for (auto& e : deferred) insertEvent(std::move(e));

  if (lyricItems > 0) {
    insertEvent(metaEvent(meta::kTrackName, "Words", layout::kWords, 0));
    insertEvent(metaEvent(meta::kTrackName, "SoftKaraoke", layout::kSoftKaraoke, 0));
    if (!kHeaderSeen) insertEvent(metaEvent(meta::kText, "@KMIDI KARAOKE FILE", layout::kSoftKaraoke, 0));
    if (!tlHeaderSeen) insertEvent(metaEvent(meta::kText, "@T", layout::kWords, 0));
  }
  if (chordItems > 0) insertEvent(metaEvent(meta::kTrackName, "Chords", layout::kChords, 0));
  if (sysexSeen) insertEvent(metaEvent(meta::kTrackName, "System", layout::kSystem, 0));

  if (nameChannelTracks) {
    for (int c = 0; c < 16; ++c) {
      int program = firstProgram[size_t(c)];
      if (program < 0 || program >= 128) continue;
      const char* name = c == 9 ? gm::drumKitName(program) : gm::programName(program);
      if (name) insertEvent(metaEvent(meta::kTrackName, name, uint8_t(layout::kFirstChannel + c), 0));
    }
  }

  keeper->restoreInformation(*this);
  removeEmptyTracks();
  return true;
}

// ---------------------------------------------------------------- track clean-up

void MidiSequence::allToTrack0() {
  EventVector result;
  result.reserve(wholeList_.size());  // nothing fails after this
  bool nameSeen = false;
  for (auto& e : wholeList_) {
    bool drop = e->isMeta(meta::kChannelPrefix) || e->isMeta(meta::kInstrumentName);
    if (e->isMeta(meta::kTrackName)) {
      drop = nameSeen;
      nameSeen = true;
    }
    if (drop) continue;
    e->setTrack(0);
    result.push_back(std::move(e));
  }
  wholeList_.swap(result);  // the dropped events go with `result`
  numTracks_ = 1;
}

void MidiSequence::removeEmptyTracks() {
  std::array<uint32_t, 256> counts{};
  for (const auto& e : wholeList_) ++counts[e->track()];
  std::array<uint8_t, 256> renumbered{};
  int empty = 0, highest = -1;
  for (int t = 0; t < 256; ++t) {
    if (counts[size_t(t)] == 0) {
      ++empty;
      continue;
    }
    renumbered[size_t(t)] = uint8_t(t - empty);
    highest = t - empty;
  }
  if (empty > 0)
    for (const auto& e : wholeList_) e->setTrack(renumbered[e->track()]);
  numTracks_ = uint16_t(highest + 1);
}

// ---------------------------------------------------------------- transposition

bool MidiSequence::changePitch(int semitones, uint16_t channelMask, const ChordTransposeHook& chords) {
  if (semitones < -127 || semitones > 127) return false;
  if (semitones == 0) return true;
  for (const auto& e : wholeList_) {
    if (!(channelMask & (1u << e->channel()))) continue;
    if ((e->isNoteOn() || e->isNoteOff()) && e->length() >= 2) {
      // Keys that would leave 0..127 come back by whole octaves.
      int key = e->second() + semitones;
      while (key > 127) key -= 12;
      while (key < 0) key += 12;
      e->setSecond(uint8_t(key));
    } else if (chords) {
      bool carrier = e->isSysex() || e->isMeta(meta::kSequencerSpecific) || e->isMeta(meta::kLyric) ||
                     (e->isMeta(meta::kText) && e->ticks() != 0);
      if (carrier) chords(*e, semitones);
    }
  }
  return true;
}

bool MidiSequence::changePitch(int semitones, const ChordTransposeHook& chords) {
  return changePitch(semitones, uint16_t(~drumChannelMask_), chords);
}

// ---------------------------------------------------------------- tempo rate

bool MidiSequence::changeRate(double factor) {
  if (!std::isfinite(factor) || factor <= 0) return false;
  if (factor == 1.0) return true;
  auto quarter = [](const auto& e) {
    const uint8_t* d = e->metaData();
    return (uint32_t(d[0]) << 16) | (uint32_t(d[1]) << 8) | d[2];
  };
  auto isTempo = [](const auto& e) { return e->isMeta(meta::kTempo) && e->metaDataSize() == 3; };
  // Every new value is checked before the first one is written. A tempo of 0 stays 0.
  for (const auto& e : wholeList_) {
    if (!isTempo(e) || quarter(e) == 0) continue;
    double q = std::trunc(quarter(e) / factor);
    if (q < 1 || q > 0xFFFFFF) return false;
  }
  std::vector<const MidiEvent*> changed;
  for (const auto& e : wholeList_) {
    if (!isTempo(e)) continue;
    uint32_t q = uint32_t(std::trunc(quarter(e) / factor));
    const uint8_t payload[3] = {uint8_t(q >> 16), uint8_t(q >> 8), uint8_t(q)};
    e->setMetaData(payload, 3);
    changed.push_back(e.get());
  }
  settleMapsAt(std::move(changed));
  return true;
}

// ---------------------------------------------------------------- truncation

bool MidiSequence::truncateAtIndex(int index) {
  if (index < 0 || index > count()) return false;
  const size_t cut = size_t(index);
  // Everything that can fail comes before the first change, so that a failure leaves the
  // sequence as it was. Note-offs that fall at or after the cut, by what identifies the
  // note-on they end:
  using NoteKey = std::tuple<uint32_t, uint8_t, uint8_t, uint8_t>;  // ticks, channel, key, velocity
  std::map<NoteKey, int> cutNoteOffs;
  for (size_t i = cut; i < wholeList_.size(); ++i) {
    const MidiEvent* e = wholeList_[i].get();
    if (e->isNoteOff()) ++cutNoteOffs[{e->ticks(), e->channel(), e->second(), e->third()}];
  }

  // A kept note whose note-off was cut would sound on without end: its note-off comes with
  // the resets. Kept note-offs serve the kept note-ons first.
  std::vector<MidiEvent*> openNotes;
  if (!cutNoteOffs.empty()) {
    std::map<NoteKey, std::vector<MidiEvent*>> waiting;
    for (size_t i = 0; i < cut; ++i) {
      MidiEvent* e = wholeList_[i].get();
      if (e->isNoteOn()) {
        waiting[{e->ticks() + e->duration(), e->channel(), e->second(), e->offVelocity()}].push_back(e);
      } else if (e->isNoteOff()) {
        auto it = waiting.find({e->ticks(), e->channel(), e->second(), e->third()});
        if (it != waiting.end() && !it->second.empty()) it->second.erase(it->second.begin());
      }
    }
    for (auto& [key, notes] : waiting) {
      auto found = cutNoteOffs.find(key);
      if (found == cutNoteOffs.end()) continue;
      for (size_t n = 0; n < notes.size() && found->second > 0; ++n, --found->second) openNotes.push_back(notes[n]);
    }
  }

  const MidiEvent* lastKept = cut > 0 ? wholeList_[cut - 1].get() : nullptr;
  const uint32_t end = lastKept ? lastKept->ticks() + lastKept->duration() : 0;
  EventVector added;
  added.reserve(openNotes.size() + 48);
  for (const MidiEvent* note : openNotes) {
    const uint8_t off[3] = {uint8_t(0x80 | note->channel()), note->second(), note->offVelocity()};
    added.push_back(std::make_unique<MidiEvent>(off, 3, note->track(), end));
  }
  for (uint8_t c = 0; c < 16; ++c) {
    for (uint8_t controller : {0x7B, 0x42, 0x40}) {
      const uint8_t reset[3] = {uint8_t(0xB0 | c), controller, 0};
      added.push_back(std::make_unique<MidiEvent>(reset, 3, 0, end));
    }
  }
  if (wholeList_.capacity() < cut + added.size()) wholeList_.reserve(cut + added.size());
  EventVector removed;
  removed.reserve(wholeList_.size() - cut);
  std::vector<const MidiEvent*> removedMeta;
  for (size_t i = cut; i < wholeList_.size(); ++i)
    if (wholeList_[i]->isMeta()) removedMeta.push_back(wholeList_[i].get());

  // From here on the events only move. The maps are settled once the cut events are out:
  // a kept event at the tick of a cut tempo or signature keeps its entry.
  std::move(wholeList_.begin() + std::ptrdiff_t(cut), wholeList_.end(), std::back_inserter(removed));
  wholeList_.resize(cut);
  settleMapsAt(std::move(removedMeta));
  if (numTracks_ == 0) numTracks_ = 1;
  for (MidiEvent* note : openNotes) note->setDuration(end - note->ticks());
  for (auto& event : added) wholeList_.push_back(std::move(event));
  return true;
}

// ---------------------------------------------------------------- track names

std::vector<std::string> MidiSequence::trackNames() const {
  std::vector<std::string> names(numTracks_);
  std::vector<bool> settled(numTracks_, false);
  for (const auto& e : wholeList_) {
    if (e->ticks() > 0) break;
    bool name = e->isMeta(meta::kTrackName), text = e->isMeta(meta::kText);
    if (!(name || text) || e->metaDataSize() == 0 || e->track() >= numTracks_ || settled[e->track()]) continue;
    if (text && startsWith(*e, '@')) continue;
    names[e->track()] = decodeName(e->metaData(), e->metaDataSize());
    if (name) settled[e->track()] = true;
  }
  return names;
}

std::vector<std::string> MidiSequence::numberedTrackNames() const {
  std::vector<std::string> names = trackNames();
  for (size_t i = 0; i < names.size(); ++i) {
    std::string number = std::to_string(i + 1);
    if (number.size() < 2) number.insert(0, 1, '0');
    names[i] = number + " " + names[i];
  }
  return names;
}

}  // namespace sw
