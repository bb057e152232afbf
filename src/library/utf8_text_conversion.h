// The meta texts of a sequence re-encoded as UTF-8: shared by the batch command and the
// editor's "Convert to UTF-8".
#pragma once

#include <string>
#include <vector>

#include "base/status.h"
#include "smf/midi_sequence.h"
#include "text/string_encoding.h"

namespace sw {

struct UTF8TextChange {
  int wholeIndex;    // of the event in the sequence
  std::string utf8;  // its new payload
};

// Every meta text event of types 0x01-0x09 whose payload is not valid UTF-8, decoded in
// `source`, goes to `changes` with its UTF-8 payload; texts already valid UTF-8 are left out.
// kTextUnsupportedEncodingErr at the first payload that does not decode (changes then holds
// the ones before it). Changes nothing in the sequence.
OSStatus collectUTF8TextChanges(const MidiSequence& sequence, StringEncoding source, std::vector<UTF8TextChange>& changes);

}  // namespace sw
