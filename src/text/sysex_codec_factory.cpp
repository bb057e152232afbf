#include "text/sysex_codec_factory.h"

#include "text/text_conversion.h"

namespace sw {

SysexTextCodec sysexTextCodecForEncoding(StringEncoding encoding) {
  if (!isSupportedEncoding(encoding)) return {};
  SysexTextCodec codec;
  codec.decode = [encoding](std::string_view bytes) {
    std::string utf8;
    convertToUTF8(bytes, encoding, utf8, ConversionMode::Lossy);
    return utf8;
  };
  codec.encode = [encoding](std::string_view utf8) -> std::optional<std::string> {
    std::string bytes;
    if (convertFromUTF8(utf8, encoding, bytes) != noErr) return std::nullopt;
    return bytes;
  };
  return codec;
}

}  // namespace sw
