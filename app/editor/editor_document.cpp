#include "editor/editor_document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/atomic_file.h"
#include "base/notification_center.h"
#include "base/plist_attribute.h"
#include "base/settings_store.h"
#include "smf/smf_image.h"
#include "text/encoding_guess.h"
#include "text/encoding_manager.h"
#include "library/file_text_encoding.h"
#include "library/utf8_text_conversion.h"
#include "text/lyrics_extractor.h"
#include "text/string_encoding.h"
#include "text/text_conversion.h"

namespace swapp {

namespace {

sw::Error error(const std::string& path, sw::OSStatus status, const std::string& message) {
  return sw::Error{status, path, message + " (" + sw::statusDescription(status) + ")"};
}

// The file must still be there and writable: a save never re-creates a file that was moved
// or deleted, nor replaces one the user made read-only.
sw::Error checkStillWritable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return error(path, sw::fnfErr, "The file was moved or deleted since it was opened; it was not saved");
  if (!S_ISREG(info.st_mode)) return error(path, sw::paramErr, "The file is no longer a regular file; it was not saved");
  errno = 0;
  // The permission bits count even for a user the system would let write (root): a file
  // the user made read-only is not replaced.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0)
    return error(path, errno == EROFS ? sw::wPrErr : sw::permErr, "The file is read-only; it was not saved");
  return {};
}

}  // namespace

EditorDocument::EditorDocument(sw::Pasteboard& pasteboard) : pasteboard_(pasteboard) {
  auto list = std::make_unique<sw::FEventList>();
  list->showEverything();
  list->setEncoding(sw::encodingForGuess(sw::kNoEncoding, sw::EncodingManager::defaultStringEncoding()));
  install(std::move(list));
  undo_.markClean();
}

EditorDocument::~EditorDocument() = default;

std::string EditorDocument::displayName() const {
  return path_.empty() ? "Untitled" : std::filesystem::path(path_).filename().string();
}

void EditorDocument::setChangeHandler(std::function<void()> handler) {
  changed_ = std::move(handler);
  operations_->setChangeHandler(changed_);
}

void EditorDocument::install(std::unique_ptr<sw::FEventList> list) {
  operations_.reset();
  list_ = std::move(list);
  operations_ = std::make_unique<sw::EditOperations>(*list_, undo_, pasteboard_);
  operations_->setChangeHandler(changed_);
}

sw::Error EditorDocument::load(const std::string& path, std::unique_ptr<sw::FEventList>& loaded) {
  sw::SMFImage image;
  sw::OSStatus status = sw::readSMFFile(path, image);
  if (status != sw::noErr) return error(path, status, "The file could not be read as a Standard MIDI File");
  loaded = std::make_unique<sw::FEventList>(image, sw::kSMFLoadFull, &status);
  if (status != sw::noErr) {
    loaded.reset();
    return error(path, status, "The file's events could not be read");
  }
  // The text encoding as every front end resolves it: the one saved with the file, else a
  // confident guess (when "tryToDetectTextEncoding" is on), else the default.
  const sw::FileTextEncoding encoding =
      sw::SettingsStore::shared().boolForKey("tryToDetectTextEncoding")
          ? sw::resolveFileTextEncoding(path, *loaded, std::nullopt)
          : sw::resolveTextEncoding(std::nullopt, sw::readSavedEncoding(path), [] { return sw::EncodingGuess{}; });
  loaded->setEncoding(encoding.encoding);
  return {};
}

sw::Error EditorDocument::open(const std::string& path) {
  std::unique_ptr<sw::FEventList> loaded;
  if (sw::Error failed = load(path, loaded)) return failed;
  loaded->showEverything();
  loaded->filter();
  path_ = path;
  savedFrame_ = WindowStateStore::readFrame(path);
  savedColumns_ = WindowStateStore::readColumns(path);
  install(std::move(loaded));
  undo_.removeAllActions();
  undo_.markClean();
  if (changed_) changed_();
  return {};
}

sw::Error EditorDocument::revert() {
  if (path_.empty()) return {};
  std::unique_ptr<sw::FEventList> loaded;
  if (sw::Error failed = load(path_, loaded)) return failed;
  const std::unique_ptr<sw::FEventList> old = std::move(list_);
  list_ = std::move(loaded);
  copyFiltersFrom(*old);
  list_->filter();
  auto fresh = std::move(list_);
  install(std::move(fresh));
  undo_.removeAllActions();
  undo_.markClean();
  if (changed_) changed_();
  return {};
}

void EditorDocument::copyFiltersFrom(const sw::FEventList& other) {
  list_->setTrackMask(other.trackMask());
  list_->setChannelMask(other.channelMask());
  list_->setMidiMask(other.midiMask());
  list_->setMetaMask(other.metaMask());
  list_->setSearchString(other.searchString());
  list_->setSearchEventMask(other.searchEventMask());
}

sw::Error EditorDocument::writeMidi(const std::string& path) {
  const sw::OSStatus status = list_->writeToFile(path, false);
  if (status != sw::noErr) return error(path, status, "The file could not be written; the original is unchanged");
  // After a successful write only: the encoding the texts are to be read in.
  sw::writeNumberAttribute(path, kEncodingAttribute, list_->encoding());
  undo_.removeAllActions();
  undo_.markClean();
  sw::NotificationCenter::shared().post("ModifiedFile", {{"object", path}});
  return {};
}

sw::Error EditorDocument::save() {
  if (path_.empty()) return error("", sw::paramErr, "The document has no file yet: use Save As");
  if (sw::Error failed = checkStillWritable(path_)) return failed;
  return writeMidi(path_);
}

sw::Error EditorDocument::saveAs(const std::string& path, DocumentType type) {
  if (path.empty()) return error(path, sw::paramErr, "No file name was given");
  // An existing file is replaced only when it may be written.
  if (struct stat info {}; ::stat(path.c_str(), &info) == 0)
    if (sw::Error failed = checkStillWritable(path)) return failed;
  if (type == DocumentType::TextFile) {
    // Text files are always UTF-8: the lyric bytes are decoded in the document's encoding.
    const std::string bytes = sw::lyrics(*list_);
    std::optional<std::string> decoded = sw::decodeBytes(bytes, sw::StringEncoding(list_->encoding()));
    if (!decoded)
      return error(path, sw::kTextUnsupportedEncodingErr, "The lyrics could not be read in the document's encoding");
    const std::string& text = *decoded;
    const sw::OSStatus status = sw::writeFileAtomically(
        path, std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    if (status != sw::noErr) return error(path, status, "The lyrics could not be written");
    return {};
  }
  if (sw::Error failed = writeMidi(path)) return failed;
  path_ = path;
  return {};
}

std::vector<uint8_t> EditorDocument::trackNumArray() const {
  std::vector<uint8_t> tracks;
  tracks.reserve(size_t(list_->count()));
  for (const sw::MidiEvent* event : list_->events()) tracks.push_back(event->track());
  return tracks;
}

void EditorDocument::setEventsTrackNum(const std::vector<uint8_t>& tracks, uint16_t numTracks) {
  if (tracks.size() != size_t(list_->count())) return;  // the list changed under the record
  const std::vector<uint8_t> previous = trackNumArray();
  const uint16_t previousCount = list_->numTracks();
  undo_.registerUndo([this, previous, previousCount] { setEventsTrackNum(previous, previousCount); });
  undo_.setActionName("Remove Empty Tracks");
  {
    std::lock_guard guard(list_->lock());
    for (size_t i = 0; i < tracks.size(); ++i) list_->eventAtIndex(int(i))->setTrack(tracks[i]);
    list_->setNumTracks(numTracks);
  }
  list_->filter();
  if (changed_) changed_();
}

bool EditorDocument::removeEmptyTracks() {
  const std::vector<uint8_t> before = trackNumArray();
  const uint16_t beforeCount = list_->numTracks();
  {
    std::lock_guard guard(list_->lock());
    list_->removeEmptyTracks();
  }
  if (trackNumArray() == before && list_->numTracks() == beforeCount) return false;
  undo_.registerUndo([this, before, beforeCount] { setEventsTrackNum(before, beforeCount); });
  undo_.setActionName("Remove Empty Tracks");
  list_->filter();
  if (changed_) changed_();
  return true;
}

sw::Error EditorDocument::saveWindowState(const WindowFrame& frame, const std::vector<ColumnState>& columns) {
  if (path_.empty()) return {};
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) return {};  // vanished: nothing to write on
  return WindowStateStore::write(path_, frame, columns);
}

void EditorDocument::setEncoding(sw::StringEncoding encoding) {
  const sw::StringEncoding previous = list_->encoding();
  if (encoding == previous) return;
  sw::EncodingManager::sharedInstance().enableEncoding(encoding);
  undo_.registerUndo([this, previous] { setEncoding(previous); });
  undo_.setActionName("Text Encoding");
  list_->setEncoding(encoding);
  if (changed_) changed_();
}

void EditorDocument::setMetaData(int wholeIndex, const std::string& payload) {
  if (wholeIndex < 0 || wholeIndex >= list_->count()) return;  // the list changed under the record
  sw::MidiEvent* event = list_->eventAtIndex(wholeIndex);
  const std::string previous(reinterpret_cast<const char*>(event->metaData()), event->metaDataSize());
  undo_.registerUndo([this, wholeIndex, previous] { setMetaData(wholeIndex, previous); });
  {
    std::lock_guard guard(list_->lock());
    event->setMetaData(reinterpret_cast<const uint8_t*>(payload.data()), uint32_t(payload.size()));
  }
}

sw::Error EditorDocument::convertToUTF8() {
  std::vector<sw::UTF8TextChange> changes;
  if (sw::collectUTF8TextChanges(*list_, list_->encoding(), changes) != sw::noErr)
    return sw::Error{sw::kTextUnsupportedEncodingErr, path_,
                     std::string(kConvertFailed) + " " + kConvertFailedSuggestion};
  undo_.beginUndoGrouping();
  for (const sw::UTF8TextChange& change : changes) setMetaData(change.wholeIndex, change.utf8);
  setEncoding(sw::kUTF8StringEncoding);
  undo_.setActionName("Convert to UTF-8");
  undo_.endUndoGrouping();
  if (changed_) changed_();
  return {};
}

EditorDocument::LyricsText EditorDocument::lyricsText() const {
  std::string bytes;
  {
    std::lock_guard guard(list_->lock());
    bytes = sw::lyrics(*list_);
  }
  if (bytes.empty()) return {};
  std::optional<std::string> text = sw::decodeBytes(bytes, list_->encoding());
  if (!text) return {kLyricsUnreadable, false};
  // Lyric lines end with CR in the files.
  std::string lines;
  lines.reserve(text->size());
  for (size_t i = 0; i < text->size(); ++i) {
    const char c = (*text)[i];
    if (c == '\r') {
      lines += '\n';
      if (i + 1 < text->size() && (*text)[i + 1] == '\n') ++i;
    } else {
      lines += c;
    }
  }
  return {lines, true};
}

}  // namespace swapp
