#include "text/sequence_info.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "smf/midi_sequence.h"
#include "sysex/sysex.h"
#include "text/lyrics_extractor.h"
#include "text/utf8_validator.h"

namespace sw {
namespace {

constexpr uint8_t kTextInfoMeta = 0x4B;  // tagged text: 1 genre, 2 author, 3 composer

// Meta text as the information record reads it: CR and LF removed, up to the first NUL.
// `buffer` holds the result when the text had to be cleaned.
std::string_view cleanText(const MidiEvent& event, std::string& buffer) {
  const char* text = reinterpret_cast<const char*>(event.metaData());
  const size_t size = event.metaDataSize();
  bool breaks = false;
  size_t length = 0;
  for (; length < size && text[length] != '\0'; ++length) breaks |= text[length] == '\r' || text[length] == '\n';
  if (!breaks) return {text, length};
  buffer.clear();
  for (size_t i = 0; i < length; ++i)
    if (text[i] != '\r' && text[i] != '\n') buffer.push_back(text[i]);
  return buffer;
}

bool isEmpty(const PascalString& pascal) { return pascal[0] == 0; }

bool isTitleMark(std::string_view text) { return text.size() >= 2 && text.starts_with("@T"); }

void fillInfo(const MidiSequence& sequence, SequenceInfo& info, DSyncArray* lyrics, DSyncArray* chords);

}  // namespace

std::string_view pascalBytes(std::span<const uint8_t> pascal) {
  if (pascal.empty()) return {};
  const size_t length = std::min<size_t>(pascal[0], pascal.size() - 1);
  return {reinterpret_cast<const char*>(pascal.data()) + 1, length};
}

void setPascalBytes(std::span<uint8_t> pascal, std::string_view bytes) {
  if (pascal.empty()) return;
  const size_t length = std::min({bytes.size(), pascal.size() - 1, size_t(255)});
  std::fill(pascal.begin(), pascal.end(), uint8_t(0));
  pascal[0] = uint8_t(length);
  std::copy_n(bytes.begin(), length, pascal.begin() + 1);
}

SequenceInfo getInfo(const MidiSequence& sequence) {
  SequenceInfo info;
  getInfo(sequence, info);
  return info;
}

void getInfo(const MidiSequence& sequence, SequenceInfo& info, DSyncArray* lyrics, DSyncArray* chords) {
  fillInfo(sequence, info, lyrics, chords);
}

namespace {

void fillInfo(const MidiSequence& sequence, SequenceInfo& info, DSyncArray* lyrics, DSyncArray* chords) {
  info = SequenceInfo();
  info.division = sequence.division();
  info.numTracks = int16_t(std::min<uint16_t>(sequence.numTracks(), INT16_MAX));
  const double milliseconds = sequence.microSecondsAtTicks(int32_t(std::min<uint32_t>(sequence.duration(), INT32_MAX))) / 1000;
  info.duration = milliseconds >= 2147483647.0 ? 2147483647u : milliseconds > 0 ? uint32_t(milliseconds) : 0;

  bool noteSeen = false, channelSeen = false;
  bool tempoFound = false, signatureFound = false, tempoOnTrack0 = false, signatureOnTrack0 = false;
  bool titleTaken = false;
  bool gm = false, gs = false, xg = false;
  int trackNames = 0;
  std::string firstTrackName;
  std::string buffer;
  const SoftKaraokeWords words = findSoftKaraokeWords(sequence);  // a syllable never names the file

  for (const MidiEvent* event : sequence.events()) {
    const uint8_t status = event->status();
    if (status < 0xF0) {
      if (status == 0x90) noteSeen = true;
      else if (status >= 0x80) channelSeen = true;
      continue;
    }
    if (status == SYSEX) {
      if (!(gm && gs && xg)) {
        const FourCharCode reset = Sysex::resetType(event->data(), event->length());
        if (reset == fourCC("GM  ")) gm = true;
        else if (reset == fourCC("GS  ")) gs = true;
        else if (reset == fourCC("XG  ")) xg = true;
      }
      continue;
    }
    if (status != META_EVENT) continue;
    const uint8_t type = event->second();
    if (type == meta::kTempo || type == meta::kTimeSignature) {
      if (noteSeen) continue;
      if (type == meta::kTempo && !tempoFound && event->metaDataSize() >= 3) {
        const uint8_t* d = event->metaData();
        const uint32_t quarter = (uint32_t(d[0]) << 16) | (uint32_t(d[1]) << 8) | d[2];
        // A zero tempo would divide by zero: the default stays.
        if (quarter > 0) info.bpm = int16_t(std::min(std::lround(60000000.0 / quarter), long(INT16_MAX)));
        tempoFound = true;
        tempoOnTrack0 = event->track() == 0;
      } else if (type == meta::kTimeSignature && !signatureFound) {
        signatureFound = true;
        signatureOnTrack0 = event->track() == 0;
      }
      continue;
    }
    if (type != meta::kText && type != meta::kCopyright && type != meta::kTrackName && type != kTextInfoMeta) continue;
    const std::string_view text = cleanText(*event, buffer);
    switch (type) {
      case meta::kTrackName:
        if (trackNames++ == 0) firstTrackName = text;
        if (isEmpty(info.seqName) && event->track() == 0) setPascalBytes(info.seqName, text);
        break;
      case meta::kText:
        if (isEmpty(info.seqName) && event->track() == 0 && !text.empty() && text[0] != '@' && !channelSeen &&
            !words.isSyllable(*event))
          setPascalBytes(info.seqName, text);
        if ((isEmpty(info.title) || isEmpty(info.author)) && isTitleMark(text)) {
          if (!titleTaken) {
            setPascalBytes(info.title, text.substr(2));
            titleTaken = true;
          } else if (isEmpty(info.author)) {
            setPascalBytes(info.author, text.substr(2));
          }
        }
        break;
      case meta::kCopyright:
        if (isEmpty(info.copyright)) setPascalBytes(info.copyright, text);
        break;
      case kTextInfoMeta:
        if (!text.empty()) {
          PascalString* field = text[0] == 1 ? &info.genre : text[0] == 2 ? &info.author : text[0] == 3 ? &info.composer : nullptr;
          if (field && isEmpty(*field)) setPascalBytes(*field, text.substr(1));
        }
        break;
    }
  }

  if (trackNames == 1 && !firstTrackName.empty() && isEmpty(info.seqName)) setPascalBytes(info.seqName, firstTrackName);
  std::string resets;
  if (gm) resets += "GM ";
  if (gs) resets += "GS ";
  if (xg) resets += "XG ";
  setPascalBytes(info.sysex, resets);
  if (tempoFound && signatureFound && tempoOnTrack0 && signatureOnTrack0) info.badTempoSignatureTrack = 0;

  DSyncArray foundChords;
  UTF8Validator validator;
  for (const PascalString* field : {&info.seqName, &info.title, &info.author, &info.genre, &info.composer, &info.copyright})
    validator.feed(pascalBytes(*field));
  LyricsScanOptions options;
  options.lyrics = lyrics;
  options.chords = chords ? chords : &foundChords;
  options.karaokeType = &info.karaokeType;
  options.thinChords = chords != nullptr;  // thinning always keeps the last chord
  options.validator = &validator;
  options.words = &words;
  scanLyrics(sequence, options);
  info.hasChords = options.chords->empty() ? 0 : 1;
  info.UTF8 = validator.valid() ? 1 : 0;
}

}  // namespace

namespace {

std::string titleData(std::string_view text) {
  std::string data = "@T";
  data.append(text.substr(0, 253));
  return data;
}

void setText(MidiEvent* event, std::string_view bytes) {
  event->setMetaData(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
}

MidiEvent* insertMeta(MidiSequence& sequence, uint8_t type, uint8_t track, uint32_t ticks, int suggestedIndex = -1) {
  const uint8_t bytes[3] = {META_EVENT, type, 0};
  auto owned = std::make_unique<MidiEvent>(bytes, 3, track, ticks);
  MidiEvent* event = owned.get();
  sequence.insertEvent(std::move(owned), suggestedIndex);
  return event;
}

void removeEvent(MidiSequence& sequence, MidiEvent*& event) {
  if (!event) return;
  const int index = sequence.indexOfEvent(event);
  if (index >= 0) sequence.removeObjectAtIndex(index);
  event = nullptr;
}

uint32_t metaSize(const MidiEvent* event) { return event ? event->metaDataSize() : 0; }

}  // namespace

void setSeqName(MidiSequence& sequence, std::optional<std::string_view> name, std::optional<std::string_view> title,
                std::optional<std::string_view> author, std::optional<std::string_view> copyright) {
  std::lock_guard<std::recursive_mutex> guard(sequence.lock());
  // New events go on track 0, which an empty sequence may not have yet.
  if (sequence.numTracks() == 0) sequence.setNumTracks(1);

  MidiEvent *nameEvent = nullptr, *firstTrackName = nullptr, *titleEvent = nullptr, *authorEvent = nullptr,
            *copyrightEvent = nullptr;
  int trackNames = 0;
  bool channelSeen = false;
  std::string buffer;
  const SoftKaraokeWords words = findSoftKaraokeWords(sequence);  // a syllable is never renamed
  for (MidiEvent* event : sequence.events()) {
    if (event->isChannelMessage()) {
      channelSeen = true;
      continue;
    }
    if (!event->isMeta()) continue;
    const uint8_t type = event->second();
    if (type == meta::kTrackName) {
      if (trackNames++ == 0) firstTrackName = event;
      if (!nameEvent && event->track() == 0) nameEvent = event;
    } else if (type == meta::kText) {
      const std::string_view text = cleanText(*event, buffer);
      if (!nameEvent && event->track() == 0 && !channelSeen && !text.empty() && text[0] != '@' &&
          !words.isSyllable(*event))
        nameEvent = event;
      if (isTitleMark(text)) {
        if (!titleEvent) titleEvent = event;
        else if (!authorEvent) authorEvent = event;
      }
    } else if (type == meta::kCopyright && !copyrightEvent) {
      copyrightEvent = event;
    }
  }

  if (name) {
    const std::string_view bytes = name->substr(0, 255);
    if (!bytes.empty()) {
      MidiEvent* target = nameEvent ? nameEvent : trackNames == 1 ? firstTrackName : nullptr;
      if (!target) target = insertMeta(sequence, meta::kTrackName, 0, 0);
      setText(target, bytes);
    } else {
      removeEvent(sequence, nameEvent);
    }
  }

  if ((title || author) && !titleEvent) {
    titleEvent = insertMeta(sequence, meta::kText, 0, 0);
    setText(titleEvent, "@T");
  }
  if (title) setText(titleEvent, titleData(*title));
  if (author) {
    if (!author->empty()) {
      // A new author goes right after the title, so that it is read back as the second mark
      // even when the title lies on another track.
      if (!authorEvent) {
        const int after = sequence.indexOfEvent(titleEvent) + 1;
        authorEvent = insertMeta(sequence, meta::kText, titleEvent->track(), titleEvent->ticks(), after);
      }
      setText(authorEvent, titleData(*author));
    } else {
      removeEvent(sequence, authorEvent);
    }
  }

  if (copyright) {
    const std::string_view bytes = copyright->substr(0, 255);
    if (!bytes.empty()) {
      if (!copyrightEvent) copyrightEvent = insertMeta(sequence, meta::kCopyright, 0, 0);
      setText(copyrightEvent, bytes);
    } else {
      removeEvent(sequence, copyrightEvent);
    }
  }

  if (titleEvent && metaSize(titleEvent) <= 2 && (!authorEvent || metaSize(authorEvent) <= 2))
    removeEvent(sequence, titleEvent);
}

}  // namespace sw
