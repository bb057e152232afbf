#include "library/utf8_text_conversion.h"

#include <string_view>

#include "text/text_conversion.h"

namespace sw {

OSStatus collectUTF8TextChanges(const MidiSequence& sequence, StringEncoding source, std::vector<UTF8TextChange>& changes) {
  const auto& events = sequence.events();
  for (size_t index = 0; index < events.size(); ++index) {
    const MidiEvent* event = events[index];
    if (!event->isMeta() || event->second() < 0x01 || event->second() > 0x09) continue;
    const std::string_view payload(reinterpret_cast<const char*>(event->metaData()), event->metaDataSize());
    if (isValidUTF8(payload)) continue;
    std::string utf8;
    if (convertToUTF8(payload, source, utf8, ConversionMode::Strict) != noErr) return kTextUnsupportedEncodingErr;
    changes.push_back({int(index), std::move(utf8)});
  }
  return noErr;
}

}  // namespace sw
