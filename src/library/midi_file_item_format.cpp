// The per-file methods that repair a file or change its format: Fix, Convert, Convert to
// karaoke, Convert to UTF-8 and Compand. Each reads its parameters from the settings store
// when it runs.
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "base/finder_info.h"
#include "base/plist_attribute.h"
#include "base/settings_store.h"
#include "library/midi_file_item.h"
#include "library/utf8_text_conversion.h"
#include "smf/midi_sequence.h"
#include "text/lyrics_extractor.h"
#include "text/lyrics_text_keeper.h"
#include "text/lyrics_writer.h"
#include "text/sequence_info.h"
#include "text/text_conversion.h"

namespace sw {

namespace {

// A gap longer than this between two events (in microseconds) marks the end of the music.
constexpr double kMaxGapMicroseconds = 600.0 * 1000.0 * 1000.0;

const std::vector<uint8_t> kDefaultTempo{0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};            // 120 BPM
const std::vector<uint8_t> kDefaultSignature{0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08};  // 4/4
const std::vector<uint8_t> kGMReset{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
const std::vector<uint8_t> kGSReset{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const std::vector<uint8_t> kXGReset{0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};

// "GM reset added", or under a dry run "GM reset would be added".
void tellChange(const BatchRun& run, const std::string& subject, const std::string& change) {
  run.tell(subject + (run.dryRun ? " would be " : " ") + change);
}

void insertAtStart(MidiSequence& sequence, const std::vector<uint8_t>& bytes) {
  sequence.insertEvent(std::make_unique<MidiEvent>(bytes.data(), uint32_t(bytes.size()), 0, 0), -1);
}

std::string seconds(double microseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", microseconds / 1e6);
  return text;
}

// Cuts the sequence at the first gap longer than ten minutes; true when it cut.
bool cutAtLongGap(MidiSequence& sequence, const BatchRun& run) {
  uint32_t previous = 0;
  for (int i = 0; i < sequence.count(); ++i) {
    const uint32_t ticks = sequence.eventAtIndex(i)->ticks();
    const double gap = sequence.tickDurationAtTicks(int32_t(previous)) * double(ticks - previous);
    if (gap > kMaxGapMicroseconds) {
      tellChange(run, std::to_string(sequence.count() - i) + " events from tick " + std::to_string(ticks) + " on",
                 "dropped after a gap of " + seconds(gap));
      sequence.truncateAtIndex(i);
      return true;
    }
    previous = ticks;
  }
  return false;
}

// Tempo events go to track 0; a tempo and a time signature are added at tick 0 when missing.
bool fixTempoAndSignature(MidiSequence& sequence, const BatchRun& run) {
  bool changed = false, tempoAtStart = false, signatureAtStart = false;
  std::vector<int> misplaced;
  for (int i = 0; i < sequence.count(); ++i) {
    const MidiEvent& event = *sequence.eventAtIndex(i);
    if (event.isMeta(0x51)) {
      if (event.ticks() == 0) tempoAtStart = true;
      if (event.track() != 0) misplaced.push_back(i);
    } else if (event.isMeta(0x58) && event.ticks() == 0) {
      signatureAtStart = true;
    }
  }
  // The track is part of the order: each one leaves its place and goes in again on track 0.
  MidiSequence::EventVector moved;
  for (auto it = misplaced.rbegin(); it != misplaced.rend(); ++it) {
    const MidiEvent& event = *sequence.eventAtIndex(*it);
    moved.push_back(std::make_unique<MidiEvent>(event.data(), event.length(), 0, event.ticks()));
    sequence.removeObjectAtIndex(*it);
  }
  const size_t movedCount = moved.size();
  for (auto& event : moved) sequence.insertEvent(std::move(event), -1);
  if (movedCount > 0) {
    tellChange(run, std::to_string(movedCount) + (movedCount == 1 ? " tempo event" : " tempo events"),
               "moved to track 1");
    changed = true;
  }
  if (!tempoAtStart) {
    insertAtStart(sequence, kDefaultTempo);
    tellChange(run, "tempo 120", "added at the start");
    changed = true;
  }
  if (!signatureAtStart) {
    insertAtStart(sequence, kDefaultSignature);
    tellChange(run, "time signature 4/4", "added at the start");
    changed = true;
  }
  return changed;
}

bool addMissingResets(MidiSequence& sequence, const BatchRun& run) {
  const SettingsStore& settings = SettingsStore::shared();
  // The resets present now: the cached sequence may differ from the information last read.
  const SequenceInfo current = getInfo(sequence);
  const std::string_view found = pascalBytes(current.sysex);
  bool changed = false;
  struct Reset {
    const char* name;
    const char* key;
    const std::vector<uint8_t>& bytes;
  };
  for (const Reset& reset : {Reset{"GM", "addGMReset", kGMReset}, Reset{"GS", "addGSReset", kGSReset},
                             Reset{"XG", "addXGReset", kXGReset}}) {
    if (found.find(reset.name) != std::string_view::npos || !settings.boolForKey(reset.key)) continue;
    insertAtStart(sequence, reset.bytes);
    tellChange(run, std::string(reset.name) + " reset", "added");
    changed = true;
  }
  return changed;
}

// "1,234 events on 3 tracks; track 2, byte 1,204: data byte without a running status (12
// events of the track kept)".
std::string salvageReport(const MidiSequence& sequence) {
  std::vector<int> perTrack(sequence.numTracks(), 0);
  for (const MidiEvent* event : sequence.events())
    if (event->track() < perTrack.size()) ++perTrack[event->track()];
  std::string text = groupedNumber(sequence.count()) + " events on " + std::to_string(sequence.numTracks()) +
                     (sequence.numTracks() == 1 ? " track" : " tracks");
  for (const Error& fault : sequence.damage()) {
    text += "; " + fault.where() + fault.message;
    if (fault.track >= 0 && size_t(fault.track) < perTrack.size())
      text += " (" + groupedNumber(perTrack[size_t(fault.track)]) + " events of the track kept)";
  }
  return text;
}

}  // namespace

Error MidiFileItem::doFix(const BatchRun& run) {
  const SettingsStore& settings = SettingsStore::shared();
  if (settings.boolForKey("fixExtension")) {
    FinderInfo codes = FinderInfo::read(fullPath());
    FinderInfo wanted = codes;
    wanted.type = fourCC("Midi");
    if (settings.boolForKey("setCreator")) {
      const std::string creator = settings.stringForKey("currentCreator");
      wanted.creator = fourCCFromString(std::string_view(creator).substr(0, 4));
    }
    if (wanted.type != codes.type || wanted.creator != codes.creator) {
      if (run.dryRun) {
        tellChange(run, "type", "set to 'Midi'" + (wanted.creator != codes.creator
                                                         ? ", creator to '" + fourCCString(wanted.creator) + "'"
                                                         : ""));
      } else {
        int failure = 0;
        OSStatus status = copyToWriteTarget(run);
        if (status == noErr) status = wanted.write(writePath(), &failure);
        if (status != noErr && failure != ENOTSUP) return error(status, "type could not be set: " + statusDescription(status));
        // A file system without attributes keeps no type: the name is what counts there.
        if (status == noErr) {
          run.tellWritten(writePath());
          run.tell("type set to 'Midi'");
          setFinderCodes(wanted.type, wanted.creator);
        }
      }
    }
    if (Error failure = fixExtension(run)) return failure;
  }

  const bool cutGaps = settings.boolForKey("fixBadDeltaTime");
  const bool fixSignature = settings.boolForKey("fixSignature");
  const bool addResets = settings.boolForKey("fixMissingResetMessage");
  if (!cutGaps && !fixSignature && !addResets && !isDamaged()) return {};
  MidiSequence* sequence = eventList();
  if (!sequence) return error(paramErr, "could not be read as a MIDI file");
  // A damaged file is rewritten from what could be read: afterwards that is all it holds.
  const bool salvage = sequence->isDamaged();
  bool changed = salvage;
  if (salvage) tellChange(run, "file", "rewritten from what could be read: " + salvageReport(*sequence));
  if (cutGaps) changed = cutAtLongGap(*sequence, run) || changed;
  if (fixSignature) changed = fixTempoAndSignature(*sequence, run) || changed;
  if (addResets) changed = addMissingResets(*sequence, run) || changed;
  if (!changed) return {};
  const OSStatus status = writeToFileByCompressing(false, run);
  if (run.dryRun) releaseEventList();  // the repairs stay unwritten: forget them
  if (status != noErr) return writeFailure(status);
  return {};
}

Error MidiFileItem::doConvert(const BatchRun& run) {
  const SettingsStore& settings = SettingsStore::shared();
  const int format = settings.integerForKey("formatChosen") == 1 ? 1 : 0;
  MidiSequence* sequence = eventList();
  if (!sequence) return error(paramErr, "could not be read as a MIDI file");
  if (Error refusal = refusalToRewriteDamaged(run)) return refusal;
  // A file in the format asked for keeps its events (and its lyrics dialect) as they are.
  const int current = sequence->numTracks() <= 1 ? 0 : 1;
  if (current != format) {
    LyricsTextKeeper keeper;
    if (format == 1)
      sequence->convertToOne(settings.boolForKey("useGMInstruments"), &keeper);
    else
      sequence->convertToZero(&keeper);
    tellChange(run, "file", "converted to format " + std::to_string(format));
  }
  const uint16_t tracks = sequence->numTracks();  // a failed write may release the sequence
  const OSStatus status = writeToFileByCompressing(settings.boolForKey("compressed"), run);
  // The name follows the converted content, also when a dry run only predicts it. Below two
  // tracks the name ends in "mid" whatever the rest of the record says.
  SequenceInfo content;
  if (tracks < 2) content.numTracks = int16_t(tracks);
  else content = run.dryRun ? getInfo(*sequence) : info();
  if (run.dryRun) releaseEventList();
  if (status != noErr) return writeFailure(status);
  if (Error renaming = fixExtensionFor(content, run)) {
    // The content is converted all the same: the report says both.
    renaming.message = (run.dryRun ? "would be converted, but " : "converted, but ") + renaming.message;
    return renaming;
  }
  return {};
}

Error MidiFileItem::doConvertKaraoke(const BatchRun& run) {
  const bool xfChords = SettingsStore::shared().integerForKey("karaokeFormatChosen") == 1;
  MidiSequence* sequence = eventList();
  if (!sequence) return error(paramErr, "could not be read as a MIDI file");
  if (Error refusal = refusalToRewriteDamaged(run)) return refusal;
  DSyncArray lyrics, chords;
  getLyricsDSyncs(*sequence, &lyrics, &chords);
  sequence->convertToZero();
  XFChordError chordError;
  const bool chordsWritten = setLyrics(*sequence, lyrics, chords, xfChords, 0, &chordError);
  const std::string lyricItems = std::to_string(lyrics.size()) + " lyric items";
  if (chordsWritten)
    tellChange(run, lyricItems + " and " + std::to_string(chords.size()) + (xfChords ? " XF chords" : " chords"),
               "written on one track");
  const OSStatus status = writeToFileByCompressing(false, run);
  if (run.dryRun) releaseEventList();
  if (status != noErr) return writeFailure(status);
  if (!chordsWritten) {
    // The file holds the lyrics on one track now, and no chord at all.
    std::string message = lyricItems + (run.dryRun ? " would be written on one track, but no chord: "
                                                   : " written on one track, but no chord: ") +
                          chordError.description;
    if (!chordError.suggestion.empty()) message += " " + chordError.suggestion;
    return error(paramErr, message);
  }
  return {};
}

Error MidiFileItem::doConvertToUTF8(const BatchRun& run) {
  MidiSequence* sequence = eventList();
  if (!sequence) return error(paramErr, "could not be read as a MIDI file");
  if (Error refusal = refusalToRewriteDamaged(run)) return refusal;
  // Only an encoding given, saved or guessed with confidence may rewrite the texts: the
  // default would turn texts in another encoding into mojibake recorded as UTF-8.
  const FileTextEncoding resolved = batchTextEncoding(*sequence);
  const StringEncoding source = resolved.encoding;
  // Every text is converted before any changes, so a text that does not convert leaves the
  // sequence as it was.
  std::vector<UTF8TextChange> changes;
  const OSStatus converted = collectUTF8TextChanges(*sequence, source, changes);
  if ((converted != noErr || !changes.empty()) && !resolved.trusted())
    return error(kTextUnsupportedEncodingErr,
                 "the encoding of its texts cannot be told with confidence; choose the source encoding and "
                 "retry");
  if (converted != noErr)
    return error(kTextUnsupportedEncodingErr,
                 "Could not convert from selected source encoding. Please choose the appropriate source "
                 "encoding and retry.");
  tellChange(run, std::to_string(changes.size()) + (changes.size() == 1 ? " text" : " texts"), "converted to UTF-8");
  if (changes.empty() && savedEncoding() == kUTF8StringEncoding) {
    run.tellUnchanged();
    return {};
  }
  if (run.dryRun) {
    if (const OSStatus refusal = checkReplaceable(writePath()); refusal != noErr) return writeFailure(refusal);
    return {};
  }
  if (!changes.empty()) {
    for (const UTF8TextChange& change : changes)
      sequence->eventAtIndex(change.wholeIndex)
          ->setMetaData(reinterpret_cast<const uint8_t*>(change.utf8.data()), uint32_t(change.utf8.size()));
    sequence->setEncoding(kUTF8StringEncoding);
    const OSStatus status = writeToFileByCompressing(false, run);
    if (status != noErr) return writeFailure(status);
  }
  // The file's texts are UTF-8 from now on: the browser and the editor decode them so.
  if (copyToWriteTarget(run) == noErr &&
      writeNumberAttribute(writePath(), kEncodingAttribute, kUTF8StringEncoding) == noErr) {
    encoding_ = kUTF8StringEncoding;
    run.tellWritten(writePath());
  }
  return {};
}

Error MidiFileItem::doCompand(const BatchRun& run) {
  const bool compress = SettingsStore::shared().integerForKey("compandAction") == 0;
  MidiSequence* sequence = eventList();
  if (!sequence) return error(paramErr, "could not be read as a MIDI file");
  if (Error refusal = refusalToRewriteDamaged(run)) return refusal;
  bool unchanged = false;
  BatchRun watched = run;
  watched.unchanged = [&] {
    unchanged = true;
    run.tellUnchanged();
  };
  const OSStatus status = writeToFileByCompressing(compress, watched);
  if (status != noErr) return writeFailure(status);
  if (!run.dryRun && !unchanged) run.tell(compress ? "written with running status" : "written without running status");
  return {};
}

}  // namespace sw
