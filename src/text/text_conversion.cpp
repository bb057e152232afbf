#include "text/text_conversion.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <climits>
#include <memory>
#include <vector>

namespace sw {

namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(StringEncoding encoding) {
  const EncodingInfo* info = encodingInfo(encoding);
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(info ? info->converterName : "ISO-8859-1", &error);
  if (U_FAILURE(error) || !converter) {
    if (converter) ucnv_close(converter);
    error = U_ZERO_ERROR;
    converter = ucnv_open("ISO-8859-1", &error);
    if (U_FAILURE(error)) {
      if (converter) ucnv_close(converter);
      return nullptr;
    }
  }
  return Converter(converter);
}

std::optional<std::string> utf16ToUTF8(const std::u16string& text) {
  if (text.empty()) return std::string();
  UErrorCode error = U_ZERO_ERROR;
  int32_t needed = 0;
  u_strToUTF8WithSub(nullptr, 0, &needed, text.data(), int32_t(text.size()), 0xFFFD, nullptr, &error);
  if (error != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(error)) return std::nullopt;
  std::string result(size_t(needed), '\0');
  error = U_ZERO_ERROR;
  u_strToUTF8WithSub(result.data(), needed, &needed, text.data(), int32_t(text.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return std::nullopt;
  return result;
}

}  // namespace

std::optional<std::string> decodeBytes(std::string_view bytes, StringEncoding encoding) {
  if (bytes.empty()) return std::string();
  if (bytes.size() > size_t(INT32_MAX / 2)) return std::nullopt;
  Converter converter = openConverter(encoding);
  if (!converter) return std::nullopt;
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  if (U_FAILURE(error)) return std::nullopt;

  // At most two UTF-16 units per byte for every converter we use, plus room for a BOM.
  std::u16string text(bytes.size() * 2 + 2, u'\0');
  error = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(converter.get(), text.data(), int32_t(text.size()), bytes.data(),
                                 int32_t(bytes.size()), &error);
  if (error == U_BUFFER_OVERFLOW_ERROR) {
    text.assign(size_t(length) + 1, u'\0');
    ucnv_reset(converter.get());
    error = U_ZERO_ERROR;
    length = ucnv_toUChars(converter.get(), text.data(), int32_t(text.size()), bytes.data(),
                           int32_t(bytes.size()), &error);
  }
  if (U_FAILURE(error)) return std::nullopt;
  text.resize(size_t(length));
  return utf16ToUTF8(text);
}

std::optional<std::string> encodeText(std::string_view utf8, StringEncoding encoding) {
  if (utf8.empty()) return std::string();
  if (utf8.size() > size_t(INT32_MAX / 4)) return std::nullopt;
  Converter converter = openConverter(encoding);
  if (!converter) return std::nullopt;

  UErrorCode error = U_ZERO_ERROR;
  int32_t units = 0;
  u_strFromUTF8WithSub(nullptr, 0, &units, utf8.data(), int32_t(utf8.size()), 0xFFFD, nullptr, &error);
  if (error != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(error)) return std::nullopt;
  std::u16string text(size_t(units), u'\0');
  error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(text.data(), units, &units, utf8.data(), int32_t(utf8.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return std::nullopt;

  error = U_ZERO_ERROR;
  ucnv_setSubstChars(converter.get(), "?", 1, &error);  // refused by some multi-byte converters
  error = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &error);
  error = U_ZERO_ERROR;
  int32_t needed = ucnv_fromUChars(converter.get(), nullptr, 0, text.data(), int32_t(text.size()), &error);
  if (error != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(error)) return std::nullopt;
  std::string result(size_t(needed), '\0');
  ucnv_reset(converter.get());
  error = U_ZERO_ERROR;
  needed = ucnv_fromUChars(converter.get(), result.data(), needed, text.data(), int32_t(text.size()), &error);
  if (U_FAILURE(error) && error != U_STRING_NOT_TERMINATED_WARNING) return std::nullopt;
  result.resize(size_t(needed));
  return result;
}

}  // namespace sw
