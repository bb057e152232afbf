// The chord aliases the user edits: for each XF chord type, the free spellings ("m7", "-7")
// that mean it. The manager holds the list shown by the alias editor, the map from every
// alias and type name to its XF type name, and reads, writes, imports, exports and reverts
// the definitions. Meant for the main thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "text/chord_aliases.h"
#include "text/xf_chord.h"

namespace sw {

// One row of the alias editor.
struct XFChordTypeAliases {
  std::string XF;       // the type name, as in XFChord::types()
  std::string aliases;  // space-separated
  bool operator==(const XFChordTypeAliases&) const = default;
};

// Why a chord text did not become an XF chord: a title and the text it concerns.
struct XFChordError {
  std::string description;
  std::string suggestion;
};

class XFChordManager {
 public:
  // A manager whose user file is the given path; reads it now (see loadDefinitions).
  explicit XFChordManager(std::string userFile);
  XFChordManager(const XFChordManager&) = delete;
  XFChordManager& operator=(const XFChordManager&) = delete;

  // The process-wide manager, kept in chordAliasesFilename().
  static XFChordManager& sharedInstance();

  const std::string& aliasesFilename() const { return userFile_; }

  // Reads the user file. A missing file gives the shipped defaults; a damaged one is logged
  // and also gives the defaults, so the program carries on. Rebuilds the list.
  void loadDefinitions();
  // Reads a definitions file into the list. On failure nothing changes and the error tells
  // why; a usable but odd file (wrong count) is taken and logged.
  Error loadDefinitionsFile(const std::string& path);

  // One record per type of XFChord::types(), aliases from the definitions.
  void setupList();
  // Every type name maps to itself, then every alias to its type; a repeated alias is logged
  // as "Duplicate alias: [alias]" and the later type wins.
  void setupChordsMap();

  const std::vector<XFChordTypeAliases>& types() const { return types_; }
  void setTypes(std::vector<XFChordTypeAliases> types);
  // Edits one row and rebuilds the map. paramErr for a row out of range or text a property
  // list cannot hold.
  OSStatus setAliases(size_t row, std::string aliases);
  const std::map<std::string, std::string, std::less<>>& chordsMap() const { return chordsMap_; }
  // The aliases found more than once by the last setupChordsMap().
  const std::vector<std::string>& duplicateAliases() const { return duplicates_; }

  // A free chord text ("Am7") as an XF chord ("Amin7"), or nothing with the error filled:
  // "Invalid chord", "Unknow chord type" or "Couldn't convert to XG chord".
  std::optional<XFChord> xgChordWithString(std::string_view text, XFChordError* error) const;

  // Writes the aliases of every row as a definitions file. The error message starts with
  // "Couldn't save XF Chords definitions!".
  Error saveDefinitions2File(const std::string& path, PlistFormat format = PlistFormat::XML) const;

  // The alias editor's actions, without the panels: import a ".xgdef" file, export to one,
  // go back to the shipped defaults (the user file goes to the trash), save on close.
  Error importDefinitions(const std::string& path) { return loadDefinitionsFile(path); }
  Error exportDefinitions(const std::string& path, PlistFormat format = PlistFormat::XML) const {
    return saveDefinitions2File(path, format);
  }
  Error revertToDefaults();
  Error windowWillClose() const { return saveDefinitions2File(userFile_); }

 private:
  std::string userFile_;
  ChordAliasDefinitions definitions_;
  std::vector<XFChordTypeAliases> types_;
  std::map<std::string, std::string, std::less<>> chordsMap_;
  std::vector<std::string> duplicates_;
};

}  // namespace sw
