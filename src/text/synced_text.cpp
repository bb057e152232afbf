#include "text/synced_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "text/unicode_text.h"

namespace sw {

SyncedText::SyncedText(DSyncArray dsyncs, StringEncoding encoding, std::shared_ptr<SMFSignatureMap> signatureMap)
    : rawDSyncs_(std::move(dsyncs)), signatureMap_(std::move(signatureMap)) {
  buildStringUsingEncoding(encoding);
}

SyncedText::SyncedText(const TSyncArray& tsyncs, StringEncoding encoding,
                       std::shared_ptr<SMFSignatureMap> signatureMap)
    : encoding_(encoding), signatureMap_(std::move(signatureMap)) {
  buildStringWithTSyncs(tsyncs);
  rawDSyncs_ = dSyncsUsingEncoding(encoding_);
  decoded_ = true;
}

void SyncedText::setRawDSyncs(DSyncArray dsyncs) {
  rawDSyncs_ = std::move(dsyncs);
  decoded_ = false;
}

bool SyncedText::hasDelays() const { return !syncVector_.empty() && syncVector_.back().delay > 0; }

void SyncedText::buildStringUsingEncoding(StringEncoding encoding) {
  if (decoded_ && encoding == encoding_) return;
  encoding_ = encoding;
  decoded_ = true;
  buildStringWithTSyncs(SyncArray::TSyncWithDSyncs(rawDSyncs_, encoding));
}

void SyncedText::buildStringWithTSyncs(const TSyncArray& tsyncs) {
  syncVector_.clear();
  syncVector_.reserve(tsyncs.size());
  std::string text;
  text.reserve(encodedString_.capacity());
  SyncRec previous;
  for (const TSyncItem& item : tsyncs) {
    SyncRec record;
    record.range.location = previous.range.end();
    record.range.length = utf16Length(item.text());
    record.byteRange.location = previous.byteRange.end();
    record.byteRange.length = item.text().size();
    record.delay = item.delay();
    text += item.text();
    if (item.EOL()) {
      text += '\n';
      ++record.range.length;
      ++record.byteRange.length;
    }
    syncVector_.push_back(record);
    previous = record;
  }
  encodedString_ = std::move(text);
}

TSyncArray SyncedText::syncs() const {
  TSyncArray items;
  items.reserve(syncVector_.size());
  const size_t size = encodedString_.size();
  for (const SyncRec& record : syncVector_) {
    size_t start = std::min<uint64_t>(record.byteRange.location, size);
    size_t length = std::min<uint64_t>(record.byteRange.length, size - start);
    items.emplace_back(encodedString_.substr(start, length), record.delay);
  }
  return items;
}

void SyncedText::setSyncs(const TSyncArray& tsyncs) {
  buildStringWithTSyncs(tsyncs);
  rawDSyncs_ = dSyncsUsingEncoding(encoding_);
}

DSyncArray SyncedText::dSyncsUsingEncoding(StringEncoding encoding) const {
  return SyncArray::DSyncWithTSyncs(syncs(), encoding);
}

int32_t SyncedText::delayAtSyncIndex(uint32_t index) const {
  if (index >= syncVector_.size()) throw std::out_of_range("sync index out of range");
  return std::max(syncVector_[index].delay, 0);
}

uint32_t SyncedText::msecsAtDelay(int32_t delay) const {
  if (!signatureMap_) return uint32_t(std::max(delay, 0));
  double msecs = std::trunc(signatureMap_->microSecondsAtTicks(delay) / 1000.0);
  if (!(msecs > 0)) return 0;  // negative or not a number
  if (msecs >= double(std::numeric_limits<uint32_t>::max())) return std::numeric_limits<uint32_t>::max();
  return uint32_t(msecs);
}

int32_t SyncedText::syncIndexAtDelay(int32_t delay) const {
  auto later = std::upper_bound(syncVector_.begin(), syncVector_.end(), delay,
                                [](int32_t d, const SyncRec& record) { return d < record.delay; });
  int32_t i = int32_t(later - syncVector_.begin()) - 1;
  if (i < 1) return i;
  while (i > 0 && syncVector_[size_t(i) - 1].delay == syncVector_[size_t(i)].delay) --i;
  return i;
}

uint32_t SyncedText::syncIndexAtCharacterIndex(uint64_t characterIndex) const {
  // The records tile the string in order, so the first one ending after the character holds it.
  auto it = std::partition_point(syncVector_.begin(), syncVector_.end(),
                                 [&](const SyncRec& record) { return record.range.end() <= characterIndex; });
  if (it == syncVector_.end() || it->range.location > characterIndex) return numberOfSyncs();
  return uint32_t(it - syncVector_.begin());
}

SyncRange SyncedText::rangeAtSyncIndex(uint32_t index, bool includingOthersAtSameDelay) const {
  if (index >= syncVector_.size()) throw std::out_of_range("sync index out of range");
  const SyncRec& record = syncVector_[index];
  if (!includingOthersAtSameDelay) return record.range;
  const int32_t delay = record.delay;
  size_t first = index;
  while (first > 0 && syncVector_[first - 1].delay >= delay) --first;
  size_t last = first;
  if (syncVector_[first].delay == delay)
    while (last + 1 < syncVector_.size() && syncVector_[last + 1].delay == delay) ++last;
  uint64_t end = std::max(syncVector_[index].range.end(), syncVector_[last].range.end());
  return {syncVector_[first].range.location, end - syncVector_[first].range.location};
}

std::string SyncedText::chordProByMergingChordsTSyncs(const TSyncArray& chords) const {
  return SyncArray::chordProWithTSyncs(syncs(), chords);
}

int64_t SyncedText::lrcMillisecondsAtDelay(int32_t delay) const {
  if (!signatureMap_) return std::max<int64_t>(delay, 0);
  double msecs = std::round(signatureMap_->microSecondsAtTicks(delay) / 1000.0);
  if (!(msecs > 0)) return 0;
  return msecs >= 1e15 ? int64_t(1e15) : int64_t(msecs);
}

namespace {
std::string timeTag(int64_t msecs) {
  int64_t seconds = msecs / 1000;
  char tag[32];
  std::snprintf(tag, sizeof tag, "%.2i:%.2i.%.2i", int((seconds % 3600) / 60), int(seconds % 60),
                int((msecs % 1000) / 10));
  return tag;
}
}  // namespace

std::string SyncedText::LRCEnhanced(bool enhanced) const {
  std::string lrc;
  lrc.reserve(encodedString_.size() * 2);
  bool lineOpen = true;
  for (const TSyncItem& item : syncs()) {
    std::string tag = timeTag(lrcMillisecondsAtDelay(item.delay()));
    if (lineOpen) lrc += "\n[" + tag + "]";
    if (enhanced) lrc += "<" + tag + ">";
    // A line break inside an item would start a line without a time tag.
    lrc += removingNewlines(item.text());
    lineOpen = item.EOL();
  }
  return lrc;
}

}  // namespace sw
