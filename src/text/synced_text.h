// Lyrics joined into one string, with the range of characters and the time of every item.
//
// The string is UTF-8. Ranges count UTF-16 code units, as the text views of the front ends
// do (a character outside the Basic Multilingual Plane counts 2); each record also keeps the
// byte range of its item in the UTF-8 string.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "smf/smf_signature_map.h"
#include "text/sync_array.h"

namespace sw {

struct SyncRange {
  uint64_t location = 0;
  uint64_t length = 0;
  uint64_t end() const { return location + length; }
  bool operator==(const SyncRange&) const = default;
};

struct SyncRec {
  SyncRange range;      // UTF-16 units, including the "\n" of an item that ends a line
  int32_t delay = 0;
  SyncRange byteRange;  // the same characters in bytes of the UTF-8 string
};

class SyncedText {
 public:
  SyncedText() = default;
  SyncedText(DSyncArray dsyncs, StringEncoding encoding, std::shared_ptr<SMFSignatureMap> signatureMap);
  SyncedText(const TSyncArray& tsyncs, StringEncoding encoding, std::shared_ptr<SMFSignatureMap> signatureMap);

  const DSyncArray& rawDSyncs() const { return rawDSyncs_; }
  // The next buildStringUsingEncoding() decodes the new bytes, whatever the encoding.
  void setRawDSyncs(DSyncArray dsyncs);
  StringEncoding encoding() const { return encoding_; }
  const std::string& encodedString() const { return encodedString_; }
  const std::vector<SyncRec>& syncVector() const { return syncVector_; }
  const std::shared_ptr<SMFSignatureMap>& signatureMap() const { return signatureMap_; }
  void setSignatureMap(std::shared_ptr<SMFSignatureMap> map) { signatureMap_ = std::move(map); }

  // There are records and the last one's delay is above 0.
  bool hasDelays() const;
  uint32_t numberOfSyncs() const { return uint32_t(syncVector_.size()); }

  // Decodes rawDSyncs with the encoding and rebuilds the text, unless the text was already
  // built with that encoding.
  void buildStringUsingEncoding(StringEncoding encoding);
  void buildStringWithTSyncs(const TSyncArray& tsyncs);

  // The text items rebuilt from the string and the records.
  TSyncArray syncs() const;
  // Rebuilds the text from the items; rawDSyncs becomes their bytes in the current encoding.
  void setSyncs(const TSyncArray& tsyncs);
  DSyncArray dSyncsUsingEncoding(StringEncoding encoding) const;

  // The record's delay, 0 for a negative one; std::out_of_range for an invalid index.
  int32_t delayAtSyncIndex(uint32_t index) const;
  // Milliseconds: the delay itself without a map, else the map's time at that tick,
  // truncated; negative times give 0 and times beyond the 32-bit range its largest value.
  uint32_t msecsAtDelay(int32_t delay) const;
  // The first of the run of records at the last delay not after the given one; -1 when every
  // record is later (or there are none).
  int32_t syncIndexAtDelay(int32_t delay) const;
  // The first record whose range holds the character; numberOfSyncs() when none does.
  uint32_t syncIndexAtCharacterIndex(uint64_t characterIndex) const;
  // The record's range; with the flag, widened over the neighbours sung at the same time.
  // std::out_of_range for an invalid index.
  SyncRange rangeAtSyncIndex(uint32_t index, bool includingOthersAtSameDelay) const;

  // ChordPro of the lyrics merged with the chords.
  std::string chordProByMergingChordsTSyncs(const TSyncArray& chords) const;
  // LRC: each line "\n[mm:ss.xx]" then its items, with "<mm:ss.xx>" before each item when
  // enhanced. Starts with a line break, ends without one.
  std::string LRCEnhanced(bool enhanced) const;

 private:
  int64_t lrcMillisecondsAtDelay(int32_t delay) const;

  DSyncArray rawDSyncs_;
  StringEncoding encoding_ = kNoEncoding;
  bool decoded_ = false;  // the text was built from rawDSyncs_ in encoding_
  std::string encodedString_;
  std::vector<SyncRec> syncVector_;
  std::shared_ptr<SMFSignatureMap> signatureMap_;
};

}  // namespace sw
