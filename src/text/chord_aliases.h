// Chord alias definitions: one string of space-separated aliases per XF chord type, in the
// order of XFChord::types() (34 entries). Kept as a property-list array of strings, in the
// user's configuration folder and in exported ".xgdef" files; XML and binary property lists
// are both read.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"

namespace sw {

using ChordAliasDefinitions = std::vector<std::string>;

enum class PlistFormat { XML, Binary };

// The user's definitions: configDirectory() + "/com.tessary.scorewell.xg_chords_aliases.plist".
std::string chordAliasesFilename();
// The definitions shipped with the program.
const ChordAliasDefinitions& defaultChordAliasDefinitions();

struct ChordAliasReadResult {
  Error error;                          // noErr when the bytes were read as a definitions list
  ChordAliasDefinitions definitions;    // always 34 entries; all empty when error is set
  Error warning;                        // paramErr when the list was usable but not as expected
};

// Reads definitions from property-list bytes or from a file. Errors: eofErr for an empty
// file, fnfErr for a missing one, paramErr for bytes that are not a property list or not an
// array. A list of fewer than 34 entries leaves the missing types without aliases, entries
// past the 34th are ignored and an entry that is not text reads as empty; each of these sets
// the warning.
ChordAliasReadResult parseChordAliasDefinitions(const std::string& bytes);
ChordAliasReadResult readChordAliasDefinitions(const std::string& path);

// The property-list bytes of definitions (padded or cut to 34 entries). Text that a property
// list cannot hold (invalid UTF-8, control characters other than tab and line breaks) is
// refused with paramErr.
OSStatus serializeChordAliasDefinitions(const ChordAliasDefinitions& definitions, PlistFormat format,
                                        std::string& bytes);
// Writes definitions through a temporary file renamed over the target; creates the folder.
Error writeChordAliasDefinitions(const std::string& path, const ChordAliasDefinitions& definitions,
                                 PlistFormat format = PlistFormat::XML);

// True when a property list can carry the text unchanged.
bool isPlistText(const std::string& text);

}  // namespace sw
