// The lyrics and text batch methods of a file item: extracting lyrics into a side file,
// moving words between marker and lyric or text events, and setting one meta-event text.
#include <sys/stat.h>

#include <cstdio>
#include <mutex>

#include "base/atomic_file.h"
#include "base/log.h"
#include "base/settings_store.h"
#include "library/batch_edit.h"
#include "library/midi_file_item.h"
#include "library/reg_ex_transformer.h"
#include "library/text_musical_defaults.h"
#include "smf/midi_sequence.h"
#include "smf/smf_signature_map.h"
#include "text/lyrics_extractor.h"
#include "text/sync_array.h"
#include "text/synced_text.h"
#include "text/text_conversion.h"

namespace sw {

namespace {

constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;

std::string lastComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path with the extension of its last component replaced (or added when it has none).
std::string sideFilePath(const std::string& path, const std::string& extension) {
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > nameStart) return path.substr(0, dot + 1) + extension;
  return path + "." + extension;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

size_t lineCount(const std::string& text) {
  size_t lines = 0;
  bool open = false;
  for (char c : text) {
    if (c == '\n') {
      ++lines;
      open = false;
    } else {
      open = true;
    }
  }
  return lines + (open ? 1 : 0);
}

// CR LF and lone CRs become LF, the line end of text files here.
std::string withLineFeeds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == char(kCR)) {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == char(kLF)) ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string metaPayload(const MidiEvent& event) {
  return std::string(reinterpret_cast<const char*>(event.metaData()), event.metaDataSize());
}

// Gives the event another meta type and payload, in place: the event keeps its position.
void setMeta(MidiEvent& event, uint8_t type, const std::string& payload) {
  const uint8_t head[2] = {META_EVENT, type};
  event.setData(head, 2);
  event.setMetaData(reinterpret_cast<const uint8_t*>(payload.data()), uint32_t(payload.size()));
}

std::string metaTypeName(uint8_t type) {
  switch (type) {
    case meta::kText: return "text";
    case meta::kCopyright: return "copyright";
    case meta::kTrackName: return "sequence name";
    case meta::kInstrumentName: return "instrument name";
    case meta::kLyric: return "lyric";
    case meta::kMarker: return "marker";
    case meta::kCuePoint: return "cue point";
    default: {
      char name[32];
      std::snprintf(name, sizeof name, "meta event %02X", type);
      return name;
    }
  }
}

std::string plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A text of the information record, decoded.
std::string decodedText(const PascalString& text, StringEncoding encoding) {
  std::string utf8;
  convertToUTF8(pascalBytes(text), encoding, utf8, ConversionMode::Lossy);
  return utf8;
}

}  // namespace

Error MidiFileItem::doExtractLyrics(const BatchRun& run) {
  registerTextAndMusicalDefaults();
  const int64_t format = SettingsStore::shared().integerForKey("extractLyricsFormat");
  if (format < 0 || format > 3)
    return Error{paramErr, fullPath(), "unknown lyrics format " + std::to_string(format)};
  BatchEdit edit(*this, run, BatchEdit::Use::ReadOnly);
  const MidiSequence* sequence = edit.sequence();
  if (!sequence) return edit.error();
  const StringEncoding encoding = batchTextEncoding(*sequence).encoding;

  std::string text;
  std::string extension;
  if (format == 0) {
    const std::string bytes = lyrics(*sequence);
    if (bytes.empty()) {
      run.tell("no lyrics: no side file");
      return {};
    }
    std::string utf8;
    if (convertToUTF8(bytes, encoding, utf8, ConversionMode::Strict) != noErr)
      return edit.failure(kTextUnsupportedEncodingErr, "the lyrics do not read in the chosen encoding");
    text = withLineFeeds(utf8);
    extension = "txt";
  } else {
    DSyncArray lyricItems, chordItems;
    getLyricsDSyncs(*sequence, &lyricItems, &chordItems);
    const SyncedText synced(std::move(lyricItems), encoding, SMFSignatureMap::fromSequence(*sequence));
    if (format == 3) {
      // The texts of the sequence worked on, in the same encoding as the lyrics.
      SequenceInfo texts;
      getInfo(*sequence, texts);
      std::string title = decodedText(texts.title, encoding);
      if (title.empty()) title = decodedText(texts.seqName, encoding);
      if (title.empty()) title = std::string(RegExTransformer::removingExtension(relativePath()));
      text = "{title:" + title + "}\n{subtitle:" + decodedText(texts.author, encoding) + "}\n\n";
      text += synced.chordProByMergingChordsTSyncs(SyncArray::TSyncWithDSyncs(chordItems, encoding));
      extension = "cpm";
    } else {
      text = synced.LRCEnhanced(format == 2);
      if (text.empty()) {
        run.tell("no lyrics: no side file");
        return {};
      }
      extension = "lrc";
    }
  }

  // A text file ends with a line feed, or its last line runs into whatever follows it (the
  // prompt of a terminal showing it).
  if (!text.empty() && text.back() != '\n') text.push_back('\n');
  const std::string target = sideFilePath(writePath(), extension);
  if (target == fullPath() || sameFile(target, fullPath()) || target == writePath())
    return edit.failure(paramErr, "the side file " + lastComponent(target) + " would replace the MIDI file itself");
  run.tell("lyrics written to " + lastComponent(target) + " (" + plural(lineCount(text), "line", "lines") + ")");
  if (run.dryRun) return {};
  OSStatus status = makeWriteFolder();
  if (status == noErr)
    status = writeFileAtomically(target, {reinterpret_cast<const unsigned char*>(text.data()), text.size()});
  if (status != noErr) return Error{status, target, "cannot be written: " + statusDescription(status)};
  run.tellWritten(target);
  return {};
}

Error MidiFileItem::doMarkersToLyrics(const BatchRun& run) {
  BatchEdit edit(*this, run);
  MidiSequence* sequence = edit.sequence();
  if (!sequence) return edit.error();
  size_t toLyrics = 0, toTexts = 0, emptied = 0;
  std::unique_lock guard(sequence->lock());  // a player may be walking the cached sequence
  for (MidiEvent* event : sequence->events()) {
    if (event->ticks() == 0 || !event->isMeta(meta::kMarker) || event->metaDataSize() == 0) continue;
    std::string text = metaPayload(*event);
    if (text[0] == '%') {
      setMeta(*event, meta::kText, text);
      ++toTexts;
    } else if (text[0] == '@' && text.size() == 1) {
      setMeta(*event, meta::kMarker, "");
      ++emptied;
    } else if (text[0] == '@') {
      text.erase(0, 1);
      if (text[0] == '@') {
        setMeta(*event, meta::kText, text);
        ++toTexts;
        continue;
      }
      if (text[0] == '/') text[0] = char(kCR);
      else if (text[0] == '\\') text[0] = char(kLF);
      setMeta(*event, meta::kLyric, text);
      ++toLyrics;
    }
  }
  guard.unlock();
  run.tell(plural(toLyrics, "marker", "markers") + " changed into lyrics, " + std::to_string(toTexts) +
           " into texts, " + std::to_string(emptied) + " emptied");
  return toLyrics + toTexts + emptied == 0 ? edit.unchanged() : edit.write();
}

Error MidiFileItem::doLyricsToMarkers(const BatchRun& run) {
  BatchEdit edit(*this, run);
  MidiSequence* sequence = edit.sequence();
  if (!sequence) return edit.error();
  size_t fromLyrics = 0, fromTexts = 0;
  std::unique_lock guard(sequence->lock());
  for (MidiEvent* event : sequence->events()) {
    const bool lyric = event->isMeta(meta::kLyric);
    if (!lyric && !event->isMeta(meta::kText)) continue;
    if (event->ticks() == 0 || event->metaDataSize() == 0) continue;
    std::string text = metaPayload(*event);
    if (text[0] != '%') {
      for (char& c : text) {
        if (c == char(kCR)) c = '/';
        else if (c == char(kLF)) c = '\\';
      }
      text.insert(0, 1, lyric ? '@' : '%');
    }
    setMeta(*event, meta::kMarker, text);
    ++(lyric ? fromLyrics : fromTexts);
  }
  guard.unlock();
  run.tell(plural(fromLyrics, "lyric", "lyrics") + " and " + plural(fromTexts, "text", "texts") +
           " changed into markers");
  return fromLyrics + fromTexts == 0 ? edit.unchanged() : edit.write();
}

Error MidiFileItem::doSetMetaEventText(const BatchRun& run) {
  registerTextAndMusicalDefaults();
  const SettingsStore& settings = SettingsStore::shared();
  const uint8_t type = uint8_t(settings.integerForKey("targetMetaEvent") & 0xFF);
  // Only the text types: other meta events have a fixed layout (tempo, end of track...)
  // that a free text would corrupt.
  if (type < meta::kText || type > 0x0F)
    return Error{paramErr, fullPath(), metaTypeName(type) + " cannot hold a text"};

  std::string text;
  std::string shown;  // the text as UTF-8, for the report
  if (settings.integerForKey("targetMetaEventSource") == 1) {
    Error problem;
    text = shown = RegExTransformer::fromSettings(settings).transformedValue(name(), &problem);
    // A pattern that does not compile would leave a half-made text: the file is not touched.
    if (problem) return Error{problem.status, fullPath(), problem.message + "; the file is left as it was"};
  }

  BatchEdit edit(*this, run);
  MidiSequence* sequence = edit.sequence();
  if (!sequence) return edit.error();
  if (settings.integerForKey("targetMetaEventSource") != 1) {
    // The fixed text goes in the file's encoding, as its other texts are read.
    const std::string fixed = shown = settings.stringForKey("targetMetaEventString");
    const FileTextEncoding encoding = batchTextEncoding(*sequence);
    if (convertFromUTF8(fixed, encoding.encoding, text, ConversionMode::Strict) != noErr)
      return Error{kTextUnsupportedEncodingErr, fullPath(),
                   "the text does not fit the file's encoding (" + nameOfEncoding(encoding.encoding) + ")"};
  }
  int found = -1;
  for (int i = 0; i < sequence->count(); ++i) {
    const MidiEvent* event = sequence->eventAtIndex(i);
    if (event->ticks() > 0) break;
    if (event->track() == 0 && event->isMeta(type)) {
      found = i;
      break;
    }
  }

  if (text.empty()) {
    if (found < 0) {
      run.tell("no " + metaTypeName(type) + " to remove");
      return edit.unchanged();
    }
    sequence->removeObjectAtIndex(found);
    run.tell(metaTypeName(type) + " removed");
    return edit.write();
  }
  MidiEvent* event = nullptr;
  if (found >= 0) {
    event = sequence->eventAtIndex(found);
    if (metaPayload(*event) == text) {
      run.tell(metaTypeName(type) + " is \"" + shown + "\" already");
      return edit.unchanged();
    }
  } else {
    if (sequence->numTracks() == 0) sequence->setNumTracks(1);
    auto owned = std::make_unique<MidiEvent>();
    setMeta(*owned, type, "");
    event = owned.get();
    sequence->insertEvent(std::move(owned), -1);
  }
  {
    std::lock_guard guard(sequence->lock());
    setMeta(*event, type, text);
  }
  run.tell(metaTypeName(type) + " set to \"" + shown + "\"");
  return edit.write();
}

}  // namespace sw
