#include "text/text_conversion.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <memory>

namespace sw {

namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const char* name) {
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &error));
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// To-Unicode callback of lossy decoding: every illegal or unassigned sequence becomes U+FFFD
// (ICU's own substitution gives U+001A for some single-byte sets).
void replaceWithFFFD(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                     UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone
  *error = U_ZERO_ERROR;
  static const UChar kReplacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

void setStrict(UConverter* source, UConverter* target) {
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setToUCallBack(source, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  error = U_ZERO_ERROR;
  ucnv_setFromUCallBack(target, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
}

void setLossy(UConverter* source, UConverter* target) {
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setToUCallBack(source, replaceWithFFFD, nullptr, nullptr, nullptr, &error);
  error = U_ZERO_ERROR;
  static const UChar kQuestionMark[] = {u'?'};
  ucnv_setSubstString(target, kQuestionMark, 1, &error);
  error = U_ZERO_ERROR;
  ucnv_setFromUCallBack(target, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &error);
}

// Streams the whole input from `sourceName` to `targetName` through ICU's pivot buffer, so
// that input of any length converts in bounded steps.
OSStatus convert(std::string_view input, const char* sourceName, const char* targetName, std::string& output,
                 ConversionMode mode) {
  output.clear();
  Converter source = openConverter(sourceName);
  Converter target = openConverter(targetName);
  if (!source || !target) return kTextUnsupportedEncodingErr;
  if (mode == ConversionMode::Strict) setStrict(source.get(), target.get());
  else setLossy(source.get(), target.get());

  UChar pivot[1024];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  const char* in = input.data();
  const char* inEnd = input.data() + input.size();
  char buffer[4096];
  bool reset = true;
  for (;;) {
    char* out = buffer;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_convertEx(target.get(), source.get(), &out, buffer + sizeof buffer, &in, inEnd, pivot, &pivotSource,
                   &pivotTarget, pivot + 1024, reset, true, &error);
    reset = false;
    output.append(buffer, size_t(out - buffer));
    if (error == U_BUFFER_OVERFLOW_ERROR) continue;
    if (U_FAILURE(error)) {
      output.clear();
      return kTextUnsupportedEncodingErr;
    }
    return noErr;
  }
}

}  // namespace

OSStatus convertToUTF8(std::string_view bytes, StringEncoding encoding, std::string& utf8, ConversionMode mode) {
  const EncodingInfo* info = encodingInfo(encoding);
  if (!info) {
    utf8.clear();
    return kTextUnsupportedEncodingErr;
  }
  return convert(bytes, info->converterName, "UTF-8", utf8, mode);
}

OSStatus convertFromUTF8(std::string_view utf8, StringEncoding encoding, std::string& bytes, ConversionMode mode) {
  const EncodingInfo* info = encodingInfo(encoding);
  if (!info) {
    bytes.clear();
    return kTextUnsupportedEncodingErr;
  }
  return convert(utf8, "UTF-8", info->converterName, bytes, mode);
}

bool isValidUTF8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = uint8_t(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    uint32_t code;
    if (c >= 0xC2 && c <= 0xDF) length = 2, code = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) length = 3, code = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) length = 4, code = c & 0x07;
    else return false;
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      auto next = uint8_t(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) return false;
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    i += length;
  }
  return true;
}

namespace {
StringEncoding convertibleOrLatin1(StringEncoding encoding) {
  return isSupportedEncoding(encoding) ? encoding : kISOLatin1StringEncoding;
}
}  // namespace

std::optional<std::string> decodeBytes(std::string_view bytes, StringEncoding encoding) {
  std::string utf8;
  if (convertToUTF8(bytes, convertibleOrLatin1(encoding), utf8, ConversionMode::Strict) != noErr) return std::nullopt;
  return utf8;
}

std::optional<std::string> encodeText(std::string_view utf8, StringEncoding encoding) {
  std::string bytes;
  if (convertFromUTF8(utf8, convertibleOrLatin1(encoding), bytes, ConversionMode::Lossy) != noErr) return std::nullopt;
  return bytes;
}

}  // namespace sw
