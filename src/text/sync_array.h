// Conversions between arrays of sync items: decoding and encoding, splitting at line breaks,
// merging lyrics with chords, and plain-text and ChordPro output. Every operation returns a
// new array or string and leaves its arguments as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/sync_item.h"

namespace sw {

using DSyncArray = std::vector<DSyncItem>;
using TSyncArray = std::vector<TSyncItem>;

class SyncArray {
 public:
  SyncArray() = delete;

  // One text item per data item.
  static TSyncArray TSyncWithDSyncs(const DSyncArray& dsyncs, StringEncoding encoding);
  // One data item per text item; the encoding must be an 8-bit one (AssertionFailure otherwise).
  static DSyncArray DSyncWithTSyncs(const TSyncArray& tsyncs, StringEncoding encoding);

  // Splits the items at their line breaks (LF becomes CR): every result ends with at most one
  // CR and none begins with one; a break that opens an item ends the previous result when that
  // one is still open, a leading break of the whole array is dropped, other breaks right after
  // a finished line become empty lines of their own. Chord flags are not carried over.
  static DSyncArray normalizedDSyncsWithDSyncs(const DSyncArray& dsyncs);
  // Splits the texts at every newline character; each piece ends a line except the last one of
  // an item, which takes the item's own EOL.
  static TSyncArray normalizedTSyncsWithTSyncs(const TSyncArray& tsyncs);
  // One data item (ending with CR, delay 0) per line of the string, the last line included.
  static DSyncArray DSyncsWithString(std::string_view text, StringEncoding encoding);

  // Lyrics and chords, both in time order, interleaved: before each lyric come the chords not
  // later than it; the chords left over come last.
  template <typename Item>
  static std::vector<Item> mergeSyncs(const std::vector<Item>& lyrics, const std::vector<Item>& chords);

  // "[chord]" (white space removed) for chords, the text for lyrics, "\n" after an item that
  // ends a line; nothing else.
  static std::string chordProWithLyricsDSyncs(const DSyncArray& lyrics, const DSyncArray& chords,
                                              StringEncoding encoding);
  static std::string chordProWithTSyncs(const TSyncArray& lyrics, const TSyncArray& chords);
  // The decoded texts (UTF-8 for an encoding that is not 8-bit), "\n" after each line end.
  static std::string stringWithDSyncs(const DSyncArray& dsyncs, StringEncoding encoding);
};

template <typename Item>
std::vector<Item> SyncArray::mergeSyncs(const std::vector<Item>& lyrics, const std::vector<Item>& chords) {
  std::vector<Item> merged;
  merged.reserve(lyrics.size() + chords.size());
  size_t next = 0;
  for (const Item& lyric : lyrics) {
    while (next < chords.size() && chords[next].delay() <= lyric.delay()) merged.push_back(chords[next++]);
    merged.push_back(lyric);
  }
  merged.insert(merged.end(), chords.begin() + std::ptrdiff_t(next), chords.end());
  return merged;
}

}  // namespace sw
