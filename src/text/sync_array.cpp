#include "text/sync_array.h"

#include "text/text_conversion.h"
#include "text/unicode_text.h"

namespace sw {

namespace {
constexpr char kCR = 13;
constexpr char kLF = 10;
}  // namespace

TSyncArray SyncArray::TSyncWithDSyncs(const DSyncArray& dsyncs, StringEncoding encoding) {
  TSyncArray result;
  result.reserve(dsyncs.size());
  for (const DSyncItem& item : dsyncs) result.emplace_back(item, encoding);
  return result;
}

DSyncArray SyncArray::DSyncWithTSyncs(const TSyncArray& tsyncs, StringEncoding encoding) {
  DSyncArray result;
  result.reserve(tsyncs.size());
  for (const TSyncItem& item : tsyncs) result.emplace_back(item, encoding);
  return result;
}

DSyncArray SyncArray::normalizedDSyncsWithDSyncs(const DSyncArray& dsyncs) {
  DSyncArray result;
  result.reserve(dsyncs.size());
  for (const DSyncItem& source : dsyncs) {
    const std::string& data = source.data();
    if (!data.empty() && data.find_first_of("\r\n") == std::string::npos) {
      result.emplace_back(data, source.delay());  // no line break: the item as it is
      continue;
    }
    std::string bytes = data;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == kLF) bytes[i] = kCR;
      if (bytes[i] != kCR) continue;
      if (i == start) {
        if (result.empty()) {
          start = i + 1;
          continue;
        }
        if (!result.back().EOL()) {
          result.back().setEOL(true);
          start = i + 1;
          continue;
        }
      }
      result.emplace_back(bytes.substr(start, i + 1 - start), source.delay());
      start = i + 1;
    }
    if (start < bytes.size()) result.emplace_back(bytes.substr(start), source.delay());
  }
  return result;
}

TSyncArray SyncArray::normalizedTSyncsWithTSyncs(const TSyncArray& tsyncs) {
  TSyncArray result;
  result.reserve(tsyncs.size());
  for (const TSyncItem& source : tsyncs) {
    for (std::string& piece : splitAtNewlines(source.text())) {
      TSyncItem item;
      item.setDelay(source.delay());
      item.setText(std::move(piece), false);
      item.setEOL(true);
      result.push_back(std::move(item));
    }
    result.back().setEOL(source.EOL());
  }
  return result;
}

DSyncArray SyncArray::DSyncsWithString(std::string_view text, StringEncoding encoding) {
  DSyncArray result;
  for (std::string& line : splitAtNewlines(text)) {
    line += kCR;
    result.emplace_back(encodeText(line, encoding).value_or(std::string(1, kCR)), 0);
  }
  return result;
}

std::string SyncArray::chordProWithTSyncs(const TSyncArray& lyrics, const TSyncArray& chords) {
  TSyncArray merged = mergeSyncs(lyrics, chords);
  size_t length = 0;
  for (const TSyncItem& item : merged) length += item.text().size() + 3;
  std::string result;
  result.reserve(length);
  for (const TSyncItem& item : merged) {
    if (item.isChord()) result += "[" + removingWhitespace(item.text()) + "]";
    else result += item.text();
    if (item.EOL()) result += "\n";
  }
  return result;
}

std::string SyncArray::chordProWithLyricsDSyncs(const DSyncArray& lyrics, const DSyncArray& chords,
                                                StringEncoding encoding) {
  return chordProWithTSyncs(TSyncWithDSyncs(lyrics, encoding), TSyncWithDSyncs(chords, encoding));
}

std::string SyncArray::stringWithDSyncs(const DSyncArray& dsyncs, StringEncoding encoding) {
  if (!is8BitEncoding(encoding)) encoding = kUTF8StringEncoding;
  std::string result;
  for (const DSyncItem& item : dsyncs) {
    TSyncItem text(item, encoding);
    result += text.text();
    if (text.EOL()) result += "\n";
  }
  return result;
}

}  // namespace sw
