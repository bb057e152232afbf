#include "text/sync_item.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "smf/midi_event.h"
#include "text/text_conversion.h"
#include "text/unicode_text.h"

namespace sw {

namespace {

constexpr char kCR = 13;
constexpr char kLF = 10;

// Whole data first; failing that, every byte alone, "?" for one that does not decode.
std::string decodeLeniently(std::string_view bytes, StringEncoding encoding) {
  if (std::optional<std::string> text = decodeBytes(bytes, encoding)) return *std::move(text);
  // Each byte decodes alone, so each of the 256 values needs decoding only once.
  std::array<std::optional<std::string>, 256> decoded;
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::optional<std::string>& one = decoded[uint8_t(bytes[i])];
    if (!one) one = decodeBytes(bytes.substr(i, 1), encoding).value_or("?");
    text += *one;
  }
  return text;
}

std::string visibleLineBreaks(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kCR && i + 1 < text.size() && text[i + 1] == kLF) {
      result += "|rn|";
      ++i;
    } else if (text[i] == kCR) {
      result += "|r|";
    } else if (text[i] == kLF) {
      result += "|n|";
    } else {
      result += text[i];
    }
  }
  return result;
}

}  // namespace

std::string SyncItem::describe(std::string_view text, bool eol) const {
  char delay[16];
  std::snprintf(delay, sizeof delay, "%.6d", int(delay_));
  return "[" + std::string(delay) + "] " + visibleLineBreaks(text) + " " +
         (eol ? "EOL" : isChord_ ? "CHORD" : "");
}

// MARK: DSyncItem

DSyncItem::DSyncItem(std::string data, int32_t delay) : SyncItem(delay) { setData(std::move(data)); }

DSyncItem::DSyncItem(const void* bytes, size_t length, int32_t delay) : SyncItem(delay) {
  if (bytes && length) setData(std::string(static_cast<const char*>(bytes), length));
}

DSyncItem::DSyncItem(const TSyncItem& item, StringEncoding encoding) : SyncItem(item.delay()) {
  if (!is8BitEncoding(encoding))
    throw AssertionFailure("is8BitEncoding(encoding)", "DSyncItem(const TSyncItem&, StringEncoding)",
                           "text/sync_item");
  setData(encodeText(item.text(), encoding).value_or(std::string()));
  // A text ending in a line break of its own keeps it: the CR for EOL always comes on top.
  if (item.EOL()) data_ += kCR;
  isChord_ = item.isChord();
}

DSyncItem DSyncItem::withPascalString(std::string_view buffer, int32_t delay) {
  if (buffer.empty()) return DSyncItem(std::string(), delay);
  size_t length = std::min<size_t>(uint8_t(buffer[0]), buffer.size() - 1);
  return DSyncItem(std::string(buffer.substr(1, length)), delay);
}

DSyncItem DSyncItem::withCString(const char* text, int32_t delay) {
  return DSyncItem(text ? std::string(text) : std::string(), delay);
}

void DSyncItem::setData(std::string data) {
  if (!data.empty() && data.back() == '\0') data.pop_back();
  data_ = std::move(data);
}

bool DSyncItem::EOL() const { return !data_.empty() && (data_.back() == kCR || data_.back() == kLF); }

void DSyncItem::setEOL(bool eol) {
  if (eol == EOL()) return;
  if (eol) data_ += kCR;
  else data_.pop_back();
}

bool DSyncItem::empty() const {
  for (char c : data_)
    if (c != kCR && c != kLF && c != ' ') return false;
  return true;
}

std::string DSyncItem::description() const {
  return describe(decodeBytes(data_, kISOLatin1StringEncoding).value_or(""), EOL());
}

// MARK: TSyncItem

TSyncItem::TSyncItem(std::string text, int32_t delay) : SyncItem(delay) { setText(std::move(text)); }

TSyncItem::TSyncItem(const DSyncItem& item, StringEncoding encoding)
    : TSyncItem(decodeLeniently(item.data(), encoding), item.delay()) {
  isChord_ = item.isChord();
}

void TSyncItem::setText(std::string text, bool processEOL) {
  text_ = validUTF8(text);
  if (!processEOL) return;
  eol_ = false;
  if (text_.size() >= 2 && text_[text_.size() - 2] == kCR && text_.back() == kLF) {
    text_.resize(text_.size() - 2);
    eol_ = true;
  } else if (size_t n = trailingNewlineLength(text_)) {
    text_.resize(text_.size() - n);
    eol_ = true;
  }
}

SettingValue::Dictionary TSyncItem::archive() const {
  return {{"text", text_}, {"delay", delay_}, {"EOL", eol_}, {"isChord", isChord_}};
}

TSyncItem TSyncItem::unarchive(const SettingValue::Dictionary& archive) {
  TSyncItem item;
  if (auto it = archive.find("delay"); it != archive.end() && it->second.isInteger()) {
    int64_t delay = it->second.integerValue();
    item.delay_ = int32_t(std::clamp<int64_t>(delay, std::numeric_limits<int32_t>::min(),
                                              std::numeric_limits<int32_t>::max()));
  }
  if (auto it = archive.find("text"); it != archive.end() && it->second.isString())
    item.setText(it->second.stringValue());
  if (auto it = archive.find("EOL"); it != archive.end() && (it->second.isBool() || it->second.isInteger()))
    item.eol_ = it->second.boolValue();
  if (auto it = archive.find("isChord"); it != archive.end() && (it->second.isBool() || it->second.isInteger()))
    item.isChord_ = it->second.boolValue();
  return item;
}

std::string TSyncItem::description() const { return describe(text_, eol_); }

}  // namespace sw
