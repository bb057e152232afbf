// The encoding a file's texts are read and written in, the same for every command: the one
// given for the command, else the one saved with the file ("com.tessary.encoding"), else a
// confident guess from the file's texts, else the default encoding.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/settings_store.h"
#include "smf/midi_sequence.h"
#include "text/string_encoding.h"

namespace sw {

// What the texts of a file look like to the guess; `confident` only when the guess can be
// trusted enough to rewrite the texts with it.
struct EncodingGuess {
  StringEncoding encoding = kNoEncoding;
  bool confident = false;
};

// The guess from all of a sequence's texts together; short texts the whole-file guess is not
// sure of are still taken when the detector reads them without loss as something the default
// encoding cannot hold.
EncodingGuess guessFileEncoding(const MidiSequence& sequence);

enum class EncodingSource { Given, Saved, Guess, Default };

// "option", "attribute", "guess" or "default".
const char* encodingSourceName(EncodingSource source);

struct FileTextEncoding {
  StringEncoding encoding = kISOLatin1StringEncoding;
  EncodingSource source = EncodingSource::Default;
  // Chosen by the user or guessed with confidence: safe to rewrite texts with.
  bool trusted() const { return source != EncodingSource::Default; }
};

// The resolution. `guess` runs only when neither a given nor a saved encoding decides. The
// default is the encoding manager's, or ISO Latin 1 when that is UTF-8 (UTF-8 texts are
// always guessed as such, so texts that reach the default are not UTF-8).
FileTextEncoding resolveTextEncoding(std::optional<StringEncoding> given, std::optional<StringEncoding> saved,
                                     const std::function<EncodingGuess()>& guess);

// The encoding given for a batch command ("selectedEncoding", set by its sheet or option);
// none when unset, 0 or unsupported.
std::optional<StringEncoding> givenBatchEncoding(const SettingsStore& store = SettingsStore::shared());

// The encoding saved with a file; none when it has none or names an unsupported encoding.
std::optional<StringEncoding> readSavedEncoding(const std::string& path);

// The same with the saved encoding read from the file's attribute and the guess from the sequence.
FileTextEncoding resolveFileTextEncoding(const std::string& path, const MidiSequence& sequence,
                                         std::optional<StringEncoding> given);

}  // namespace sw
