// A MIDI file in the browser: its information record and diagnosis, its Finder codes, the
// text encoding saved for it, a cached sequence, and pending edits of its four texts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/four_char_code.h"
#include "base/status.h"
#include "library/batch_run.h"
#include "library/file_text_encoding.h"
#include "library/file_system_item.h"
#include "text/sequence_info.h"
#include "text/string_encoding.h"

namespace sw {

class MidiSequence;

class MidiFileItem : public FileSystemItem {
 public:
  static constexpr const char* kUnedited = "__UNEDITED__";
  static constexpr const char* kEncodingAttribute = "com.tessary.encoding";

  MidiFileItem(std::string path, FileSystemItem* parent);
  ~MidiFileItem() override;

  // Invisible entries and symbolic links are left out; folders are listed; a file is listed
  // when it reads as a Standard MIDI File (`status` then 0, else the reader's status).
  bool isDisplayable(OSStatus* status) override;
  // The same answer for a batch about to work on the file: the whole file is loaded, and its
  // information taken from what was loaded, so the file is read once.
  bool isDisplayableLoadingAll(OSStatus* status);
  // Refreshes the information from the file (or from the cached sequence when there is one),
  // reading the file once; the same pass guesses the encoding of its texts.
  OSStatus updateInfo();
  // Drops the cached sequence and refreshes; on failure nothing else changes.
  OSStatus reload();

  const SequenceInfo& info() const {
    settleInfo();
    return info_;
  }
  // For an item only a batch uses: a refresh from the cached sequence leaves the record and
  // the encoding guess to be worked out when first asked for (from the sequence as it is
  // then), so a method that never asks does not pay for them.
  void setInfoOnDemand(bool onDemand) { infoOnDemand_ = onDemand; }
  FourCharCode fdType() const { return fdType_; }
  FourCharCode fdCreator() const { return fdCreator_; }
  void setFinderCodes(FourCharCode type, FourCharCode creator) { fdType_ = type, fdCreator_ = creator; }

  // ---- Column values (nothing for a folder, as the browser shows them)
  std::optional<std::string> type() const;
  std::optional<std::string> creator() const;
  std::optional<int> format() const;  // 0 below two tracks, else 1
  std::optional<int> tracks() const;
  std::optional<int> division() const;
  std::optional<std::string> resetSysEx() const;  // "GM GS " ...
  std::optional<std::string> karType() const;
  std::string hasChords() const;  // "YES" or ""
  std::optional<std::string> sequenceName() const;
  std::optional<std::string> title() const;
  std::optional<std::string> author() const;
  std::optional<std::string> copyright() const;
  std::optional<int> tempo() const;
  uint32_t durationMSecs() const;
  std::optional<std::string> duration() const;  // "m:ss"
  bool buggy() const { return !bugExplanation().empty(); }
  std::string bugExplanation() const;
  // What the last information refresh (or the cached sequence) could not read of the file: one
  // fault per damaged track or chunk, with its track and byte offset; empty for a sound file.
  const std::vector<Error>& damage() const { return damage_; }
  bool isDamaged() const { return !damage_.empty(); }
  // An error when the file is damaged and the run does not force a rewrite: rewriting it would
  // lose for good what could not be read. Rewriting methods other than Fix call it first.
  Error refusalToRewriteDamaged(const BatchRun& run) const;

  // ---- The whole file as a sequence, loaded on first use (null when it does not load).
  MidiSequence* eventList();
  bool hasCachedEventList() const { return eventList_ != nullptr; }

  // What the last refresh found besides the record: the status of building the sequence
  // (nonzero when the file stops part way; what was read is shown), its SMPTE format, and the
  // guess of its texts' encoding.
  OSStatus scanStatus() const { return scanStatus_; }
  int16_t SMPTEFormat() const { return SMPTEFormat_; }
  const EncodingGuess& encodingGuess() const {
    settleGuess();
    return guess_;
  }

  // ---- Text encoding: the given one, else the saved one, else the confident guess of the
  // last refresh, else the default (see file_text_encoding.h).
  FileTextEncoding textEncoding(std::optional<StringEncoding> given = std::nullopt) const;
  StringEncoding encoding() const { return textEncoding().encoding; }
  // For a batch method working on `sequence`: the encoding given for the command, else the
  // saved one, else a confident guess from the sequence's texts, else the default.
  FileTextEncoding batchTextEncoding(const MidiSequence& sequence) const;
  std::optional<StringEncoding> savedEncoding() const { return encoding_; }
  void readSavedEncoding();

  // ---- Pending edits of the four texts
  void setSequenceName(std::string text) { setEdit(editedSequenceName_, std::move(text)); }
  void setTitle(std::string text) { setEdit(editedTitle_, std::move(text)); }
  void setAuthor(std::string text) { setEdit(editedAuthor_, std::move(text)); }
  void setCopyright(std::string text) { setEdit(editedCopyright_, std::move(text)); }
  bool isDirty() const { return isDirty_; }
  void setDirty(bool dirty) { isDirty_ = dirty; }
  // The bytes an edit writes: nothing for an unedited field, else the text in the item's
  // encoding; -8738 in `status` when the text does not fit that encoding.
  std::optional<std::string> editedString(const std::string& edit, OSStatus* status) const;
  // Writes the pending edits into the file; on failure they stay pending. A damaged file is
  // not rewritten: the status of its first fault.
  OSStatus doCommitChanges();
  void doDiscardChanges();

  // Drops the cached sequence without reading the file again.
  void releaseEventList();

  // ---- Where results go: the file itself, or, for a batch that keeps the originals, another
  // path (in an output folder). Writes, side files, renames and attributes then go to that
  // path, which is created (with the file's permissions and attributes) only when something is
  // written; the file itself is only read. Empty: the file itself.
  void setWriteTarget(std::string path);
  bool writesElsewhere() const { return !writeTarget_.empty(); }
  // The path results go to: the target, else the file's own path.
  std::string writePath() const { return writeTarget_.empty() ? fullPath() : writeTarget_; }
  // Creates the folders above writePath() that are missing.
  OSStatus makeWriteFolder() const;
  // When writing elsewhere, makes sure writePath() holds the file's bytes (so that a new type,
  // name or attribute has a file to go to), copying them once; tells the run. noErr otherwise.
  OSStatus copyToWriteTarget(const BatchRun& run);

  // ---- Writing (midi_file_item_write.cpp). Under a dry run nothing is written and the run is
  // told what would be.
  // Writes the cached sequence over the file, atomically and keeping its permissions,
  // attributes, type and creator, then refreshes the information (whatever the write gave).
  // Without a cached sequence nothing is written and the result is 0. Bytes equal to the
  // file's are not written (the run is told "unchanged"); a file changed or deleted since the
  // sequence was read is left alone (kFileChangedErr, fnfErr), and so is one the user may not
  // write (permErr), under a dry run too.
  OSStatus writeToFileByCompressing(bool compress, const BatchRun& run = {});
  // Writes UTF-8 text beside the file: the same path with `extension` in place of the file's
  // (added when it has none), replaced atomically.
  Error writeToFile(const std::string& text, const std::string& extension, const BatchRun& run = {});
  // Renames the file to end in "kar" (Soft Karaoke of two or more tracks) or "mid"; an
  // extension shorter than three characters is kept and the new one added. Never replaces
  // an existing file.
  Error fixExtension(const BatchRun& run = {});
  // The path with its extension replaced, or with one added when it has none.
  static std::string pathWithExtension(const std::string& path, const std::string& extension);
  // The path fixExtension gives a file: "kar" or "mid" replacing an extension of three or more
  // characters, appended otherwise.
  static std::string correctedPath(const std::string& path, bool karaoke);

  // ---- Per-file batch methods. Each reads its parameters from the settings store, works on
  // the cached sequence and writes the file (not under a dry run); an empty Error is success.
  // Fix, format and karaoke conversion, UTF-8, compand (midi_file_item_format.cpp):
  Error doFix(const BatchRun& run = {});
  Error doConvert(const BatchRun& run = {});
  Error doConvertKaraoke(const BatchRun& run = {});
  Error doConvertToUTF8(const BatchRun& run = {});
  Error doCompand(const BatchRun& run = {});
  // Lyrics and texts (midi_file_item_text.cpp):
  Error doExtractLyrics(const BatchRun& run = {});
  Error doMarkersToLyrics(const BatchRun& run = {});
  Error doLyricsToMarkers(const BatchRun& run = {});
  Error doSetMetaEventText(const BatchRun& run = {});
  // Channels, transposition, tracks (midi_file_item_musical.cpp):
  Error doChangeMIDIChannel(const BatchRun& run = {});
  Error doTranspose(const BatchRun& run = {});
  Error doRemoveTrack(const BatchRun& run = {});

 protected:
  std::unique_ptr<FileSystemItem> makeChild(const std::string& name) override;

 private:
  friend class BatchEdit;  // drops the cached sequence when a batch write fails
  // The write behind writeToFileByCompressing, for the cached sequence or a dry run's copy.
  OSStatus writeSequence(MidiSequence& sequence, bool compress, const BatchRun& run);
  // Whether the file holds exactly these bytes (from the bytes kept at the read when the file
  // is still the one read, else by reading it).
  bool sameAsFile(const std::vector<uint8_t>& bytes) const;
  // The error of a failed write of the file, saying what became of it.
  Error writeFailure(OSStatus status) const;
  // fixExtension for a file whose content will have this information.
  Error fixExtensionFor(const SequenceInfo& content, const BatchRun& run);
  void setEdit(std::string& field, std::string text);
  std::optional<std::string> decoded(const PascalString& text) const;
  // An error about this item's file.
  Error error(OSStatus status, std::string message = "") const;
  bool isFile() const { return !isDirectory(); }

  // Work out a record or guess left for later by an on-demand refresh.
  void settleInfo() const;
  void settleGuess() const;

  mutable SequenceInfo info_{};
  mutable bool infoPending_ = false;
  mutable bool guessPending_ = false;
  bool infoOnDemand_ = false;
  std::vector<Error> damage_;
  FourCharCode fdType_ = 0;
  FourCharCode fdCreator_ = 0;
  bool isDirty_ = false;
  std::string editedSequenceName_ = kUnedited;
  std::string editedTitle_ = kUnedited;
  std::string editedAuthor_ = kUnedited;
  std::string editedCopyright_ = kUnedited;
  std::unique_ptr<MidiSequence> eventList_;
  // The file's bytes when eventList_ was read or last written: what a rewrite compares with
  // to find that nothing changes, without reading the file again.
  std::vector<uint8_t> fileBytes_;
  // The file as it was when eventList_ was read, or last written.
  std::optional<FileIdentity> readIdentity_;
  std::optional<StringEncoding> encoding_;
  mutable EncodingGuess guess_;
  OSStatus scanStatus_ = noErr;
  int16_t SMPTEFormat_ = 0;
  // The write target and, once written in this run, what it holds.
  std::string writeTarget_;
  std::optional<std::vector<uint8_t>> targetBytes_;
};

}  // namespace sw
