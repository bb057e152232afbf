#include "text/encoding_guess.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "text/lyrics_extractor.h"
#include "text/utf8_validator.h"

namespace sw {
namespace {

constexpr uint8_t kLastTextMeta = 0x0F;    // meta types 1 to 15 carry text
constexpr uint8_t kTaggedTextMeta = 0x4B;  // tagged texts: genre, author, composer
constexpr size_t kShortSample = 499;       // the detector is trusted beyond this many bytes

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

struct DetectorCloser {
  void operator()(UCharsetDetector* detector) const { ucsdet_close(detector); }
};

// Opening a detector builds all its recognisers: one per thread is kept.
UCharsetDetector* threadDetector() {
  thread_local std::unique_ptr<UCharsetDetector, DetectorCloser> detector = [] {
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector* d = ucsdet_open(&status);
    if (U_FAILURE(status)) {
      if (d) ucsdet_close(d);
      d = nullptr;
    }
    return std::unique_ptr<UCharsetDetector, DetectorCloser>(d);
  }();
  return detector.get();
}

Converter openConverter(StringEncoding encoding) {
  const EncodingInfo* info = encodingInfo(encoding);
  if (!info) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(info->converterName, &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

// The encoding number of a detector charset name.
StringEncoding encodingOfCharset(std::string_view charset) {
  // The detector's Shift_JIS also covers the Windows extensions, which the Windows form reads.
  if (charset == "Shift_JIS") return kShiftJISStringEncoding;
  return encodingFromName(charset);
}

// Decodes bytes; `lossy` tells whether anything had to be replaced.
bool decode(StringEncoding encoding, std::string_view bytes, std::u16string& text, bool& lossy) {
  Converter converter = openConverter(encoding);
  if (!converter) return false;
  text.resize(bytes.size() * 2 + 16);  // enough for any charset the detector names
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  int32_t length = ucnv_toUChars(converter.get(), text.data(), int32_t(text.size()), bytes.data(), int32_t(bytes.size()), &status);
  lossy = U_FAILURE(status);
  if (lossy) {
    status = U_ZERO_ERROR;
    ucnv_reset(converter.get());
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    length = ucnv_toUChars(converter.get(), text.data(), int32_t(text.size()), bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status)) return false;
  }
  text.resize(size_t(length));
  return true;
}

}  // namespace

EncodingDetection detectEncoding(std::string_view sample) {
  EncodingDetection result;
  UCharsetDetector* detector = threadDetector();
  if (!detector || sample.empty() || sample.size() > size_t(INT32_MAX) / 4) return result;
  // ASCII carries little for the detector: the window starts shortly before the first byte
  // above 0x7F (keeping some context for the single-byte language models).
  size_t start = 0;
  while (start < sample.size() && uint8_t(sample[start]) < 0x80) ++start;
  start = start == sample.size() ? 0 : start - std::min<size_t>(start, 64);
  const std::string_view window = sample.substr(start, kDetectionWindow);
  UErrorCode status = U_ZERO_ERROR;
  ucsdet_setText(detector, window.data(), int32_t(window.size()), &status);
  int32_t count = 0;
  const UCharsetMatch** matches = U_SUCCESS(status) ? ucsdet_detectAll(detector, &count, &status) : nullptr;
  if (U_FAILURE(status) || !matches) return result;
  // The best match this program has an encoding for.
  for (int32_t i = 0; i < count; ++i) {
    UErrorCode matchStatus = U_ZERO_ERROR;
    const char* name = ucsdet_getName(matches[i], &matchStatus);
    if (U_FAILURE(matchStatus) || !name) continue;
    const StringEncoding encoding = encodingOfCharset(name);
    if (encoding == kNoEncoding) continue;
    bool lossy = true;
    if (!decode(encoding, sample, result.text, lossy)) continue;
    result.encoding = encoding;
    result.charset = name;
    result.confidence = ucsdet_getConfidence(matches[i], &matchStatus);
    result.lossy = lossy;
    break;
  }
  return result;
}

bool canRepresent(std::u16string_view text, StringEncoding encoding) {
  if (encoding == kUTF8StringEncoding || !is8BitEncoding(encoding)) return true;
  Converter converter = openConverter(encoding);
  if (!converter) return false;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  char buffer[4096];
  const UChar* source = text.data();
  const UChar* end = source + text.size();
  // Converted in pieces into a scratch buffer: only success matters.
  for (;;) {
    char* target = buffer;
    status = U_ZERO_ERROR;
    ucnv_fromUnicode(converter.get(), &target, buffer + sizeof buffer, &source, end, nullptr, true, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) continue;
    return U_SUCCESS(status);
  }
}

std::string metaTextBuffer(EventView events) {
  std::string buffer;
  buffer.reserve(1000);
  for (const MidiEvent* event : events) {
    if (!event->isMeta()) continue;
    const uint8_t type = event->second();
    if (type < meta::kText || type > 0x09) continue;
    buffer.append(reinterpret_cast<const char*>(event->metaData()), event->metaDataSize());
    buffer.push_back('\n');
  }
  return buffer;
}

namespace {

// The same test as on metaTextBuffer(), without building it.
bool metaTextsAreUTF8(EventView events) {
  UTF8Validator validator;
  for (const MidiEvent* event : events) {
    if (!event->isMeta()) continue;
    const uint8_t type = event->second();
    if (type < meta::kText || type > 0x09) continue;
    validator.feed({reinterpret_cast<const char*>(event->metaData()), event->metaDataSize()});
    validator.feed("\n");
    if (!validator.valid()) return false;
  }
  return true;
}

}  // namespace

std::string joinedLyrics(const DSyncArray& lyrics) {
  size_t size = 0;
  for (const DSyncItem& item : lyrics) size += item.data().size();
  std::string joined;
  joined.reserve(size);
  for (const DSyncItem& item : lyrics) joined += item.data();
  return joined;
}

namespace {

// The guess once the meta texts are known not to be UTF-8.
StringEncoding guessNotUTF8(std::string_view buffer, std::string_view lyrics, StringEncoding defaultEncoding) {
  const std::string_view sample = lyrics.empty() ? buffer : lyrics;
  // Short samples are not trusted (100 bytes or fewer, or under 500 once detected), so the
  // detector only runs on longer ones.
  if (sample.size() <= kShortSample) return kNoEncoding;
  const EncodingDetection detection = detectEncoding(sample);
  if (detection.encoding == kNoEncoding || detection.lossy) return kNoEncoding;
  // Compared with what the document would show without a guess: a UTF-8 default falls back
  // to ISO Latin 1, and every text fits UTF-8.
  if (canRepresent(detection.text, encodingForGuess(kNoEncoding, defaultEncoding))) return kNoEncoding;
  return detection.encoding;
}

}  // namespace

StringEncoding guessEncoding(const MidiSequence& sequence, StringEncoding defaultEncoding) {
  if (metaTextsAreUTF8(sequence.events())) return kUTF8StringEncoding;
  const std::string joined = lyrics(sequence);
  return guessNotUTF8(joined.empty() ? metaTextBuffer(sequence.events()) : std::string(), joined, defaultEncoding);
}

std::string sequenceTextSample(const MidiSequence& sequence) {
  std::lock_guard guard(sequence.lock());
  std::string sample;
  sample.reserve(1000);
  bool midisoft = false;
  for (const MidiEvent* event : sequence.events()) {
    if (event->isSysex()) {
      midisoft = midisoft || isMidisoftSysex(*event);
      continue;
    }
    if (!event->isMeta()) continue;
    const uint8_t type = event->second();
    if ((type < meta::kText || type > kLastTextMeta) && type != kTaggedTextMeta) continue;
    sample.append(reinterpret_cast<const char*>(event->metaData()), event->metaDataSize());
    sample.push_back('\n');
  }
  if (midisoft) {
    LyricsScanOptions options;
    FourCharCode type = 0;
    std::string lines;
    options.karaokeType = &type;
    options.joined = &lines;
    scanLyrics(sequence, options);
    if (type == kMidisoftKaraokeType) sample.append(lines).push_back('\n');
  }
  return sample;
}

namespace {

// Shift JIS read from bytes that decode without loss and hold kana for at least a quarter of
// their characters beyond ASCII. Kana in Shift JIS are two-byte codes led by 0x82 or 0x83,
// which Western and Cyrillic texts hardly ever hold.
bool looksLikeShiftJIS(std::string_view sample) {
  if (sample.size() > size_t(INT32_MAX) / 4) return false;  // beyond what the converter takes
  std::u16string text;
  bool lossy = true;
  if (!decode(kShiftJISStringEncoding, sample, text, lossy) || lossy) return false;
  size_t kana = 0, beyondASCII = 0;
  for (char16_t c : text) {
    if (c < 0x80) continue;
    if (c >= 0xE000 && c <= 0xF8FF) return false;  // user-defined codes: not a Japanese text
    ++beyondASCII;
    if ((c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA)) ++kana;
  }
  return kana > 0 && kana * 4 >= beyondASCII;
}

}  // namespace

SequenceEncodingGuess guessSampleEncoding(std::string_view sample) {
  SequenceEncodingGuess guess;
  UTF8Validator validator;
  validator.feed(sample);
  if (validator.valid()) {
    guess.encoding = kUTF8StringEncoding;
    guess.confident = std::any_of(sample.begin(), sample.end(), [](char c) { return uint8_t(c) >= 0x80; });
    return guess;
  }
  const EncodingDetection detection = detectEncoding(sample);
  if (detection.encoding != kNoEncoding && !detection.lossy) {
    guess.encoding = detection.encoding;
    guess.confident = sample.size() > kShortSample;
    if (guess.confident) return guess;
  }
  // The detector cannot tell short texts apart (a Japanese title of a few characters comes
  // out as a Western or Cyrillic charset), but kana can.
  if (looksLikeShiftJIS(sample)) {
    guess.encoding = kShiftJISStringEncoding;
    guess.confident = true;
  }
  return guess;
}

SequenceEncodingGuess guessSequenceEncoding(const MidiSequence& sequence) {
  return guessSampleEncoding(sequenceTextSample(sequence));
}

StringEncoding encodingForGuess(StringEncoding guess, StringEncoding defaultEncoding) {
  if (guess != kNoEncoding) return guess;
  return defaultEncoding == kUTF8StringEncoding ? kISOLatin1StringEncoding : defaultEncoding;
}

}  // namespace sw
