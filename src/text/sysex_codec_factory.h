// Sysex text codecs for the text encodings.
#pragma once

#include "sysex/sysex_text_codec.h"
#include "text/string_encoding.h"

namespace sw {

// A codec that decodes carried text from `encoding` (pieces that do not convert become
// U+FFFD) and encodes into it (nullopt when the text cannot be represented). An unsupported
// encoding gives the ISO Latin 1 codec.
SysexTextCodec sysexTextCodecForEncoding(StringEncoding encoding);

}  // namespace sw
