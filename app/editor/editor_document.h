// The document behind one editor window: the file's events in a filtered list, the undo
// manager and the edit operations, and the file operations (open, save, save as MIDI or as
// lyrics text, revert). No widgets: the window and the tests drive it alike.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "editing/edit_operations.h"
#include "editing/f_event_list.h"
#include "editing/pasteboard.h"
#include "editing/undo_manager.h"
#include "text/string_encoding.h"
#include "editor/window_state_store.h"

namespace swapp {

enum class DocumentType { MidiFile, TextFile };

class EditorDocument {
 public:
  // A new untitled document: the built-in empty file.
  explicit EditorDocument(sw::Pasteboard& pasteboard);
  ~EditorDocument();
  EditorDocument(const EditorDocument&) = delete;
  EditorDocument& operator=(const EditorDocument&) = delete;

  // Reads the file; on failure the document is unchanged and the error names the file, the
  // failure and its status.
  sw::Error open(const std::string& path);
  // Writes over the file it was opened from. Fails, leaving the file alone, when it vanished or
  // became read-only since.
  sw::Error save();
  // A MIDI file becomes the document's file; a text file (the lyrics) is only written.
  sw::Error saveAs(const std::string& path, DocumentType type);
  // Reads the file again and forgets every change.
  sw::Error revert();

  bool isUntitled() const { return path_.empty(); }
  const std::string& path() const { return path_; }
  std::string displayName() const;
  bool isModified() const { return !undo_.isClean(); }

  sw::FEventList& list() { return *list_; }
  sw::UndoManager& undoManager() { return undo_; }
  sw::EditOperations& operations() { return *operations_; }

  // Called after every edit, undo, redo and after the list was replaced (open, revert).
  void setChangeHandler(std::function<void()> handler);

  // The window state read from the file's attributes when it was opened.
  const std::optional<WindowFrame>& savedFrame() const { return savedFrame_; }
  const std::optional<std::vector<ColumnState>>& savedColumns() const { return savedColumns_; }
  // Writes the window state to the file's attributes (on close); nothing for an untitled one.
  sw::Error saveWindowState(const WindowFrame& frame, const std::vector<ColumnState>& columns);

  // Removes the tracks without events and renumbers the others, undoably ("Remove Empty
  // Tracks"). False when no track was empty.
  bool removeEmptyTracks();

  // ---- Text encoding
  sw::StringEncoding encoding() const { return list_->encoding(); }
  // Enables the encoding in the encoding manager and decodes the texts with it; undoable.
  void setEncoding(sw::StringEncoding encoding);
  // In one undo group, every meta text (types 1 to 9) that is not UTF-8 is decoded in the
  // document's encoding and stored as UTF-8; then UTF-8 becomes the encoding. A text that does
  // not decode changes nothing and fails with the message to show.
  sw::Error convertToUTF8();

  // The lyrics decoded in the document's encoding; `decoded` is false (and `text` the message
  // to show instead) when they do not decode.
  struct LyricsText {
    std::string text;
    bool decoded = true;
  };
  LyricsText lyricsText() const;
  static constexpr const char* kLyricsUnreadable =
      "Lyrics could not be read using the selected encoding. Choose the right source encoding from the encodings "
      "menu and retry.";
  static constexpr const char* kConvertFailed = "Could not convert from selected source encoding.";
  static constexpr const char* kConvertFailedSuggestion = "Please choose the appropriate source encoding and retry.";

  // The filter state survives a revert: the masks are copied onto the new list.
  void copyFiltersFrom(const sw::FEventList& other);

 private:
  sw::Error load(const std::string& path, std::unique_ptr<sw::FEventList>& loaded);
  void install(std::unique_ptr<sw::FEventList> list);
  sw::Error writeMidi(const std::string& path);
  // Gives the events (in whole order) these tracks and sets the track count; registers the
  // inverse with the undo manager.
  void setEventsTrackNum(const std::vector<uint8_t>& tracks, uint16_t numTracks);
  std::vector<uint8_t> trackNumArray() const;
  void setMetaData(int wholeIndex, const std::string& payload);

  sw::Pasteboard& pasteboard_;
  std::string path_;
  std::unique_ptr<sw::FEventList> list_;
  sw::UndoManager undo_;
  std::unique_ptr<sw::EditOperations> operations_;
  std::function<void()> changed_;
  std::optional<WindowFrame> savedFrame_;
  std::optional<std::vector<ColumnState>> savedColumns_;
};

}  // namespace swapp
