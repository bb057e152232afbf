#include "encoding_option.h"

#include "base/plist_attribute.h"
#include "library/midi_file_item.h"
#include "text/encoding_guess.h"
#include "text/encoding_manager.h"

namespace swcli {

sw::StringEncoding parseEncodingOption(const std::string& text, std::string* error) {
  sw::StringEncoding encoding = sw::encodingFromName(text);
  if (encoding == sw::kNoEncoding && error)
    *error = "unknown encoding '" + text + "' (see 'scorewell-cli encodings')";
  return encoding;
}

sw::StringEncoding textEncodingForFile(const std::string& path, const sw::MidiSequence& sequence,
                                       std::optional<sw::StringEncoding> chosen, std::string* source) {
  auto said = [source](const char* text) {
    if (source) *source = text;
  };
  if (chosen) {
    said("option");
    return *chosen;
  }
  const std::optional<int64_t> saved = sw::readNumberAttribute(path, sw::MidiFileItem::kEncodingAttribute);
  if (saved && *saved >= 0 && *saved <= int64_t(UINT32_MAX) && sw::isSupportedEncoding(sw::StringEncoding(*saved))) {
    said("attribute");
    return sw::StringEncoding(*saved);
  }
  const sw::StringEncoding fallback = sw::EncodingManager::defaultStringEncoding();
  sw::StringEncoding guess = sw::guessEncoding(sequence, fallback);
  said("guess");
  if (guess == sw::kNoEncoding) {
    // Too little text for the guess to trust: a lossless detection with good confidence
    // still beats showing the bytes in the default encoding.
    const sw::EncodingDetection detection = sw::detectEncoding(sw::metaTextBuffer(sequence.events()));
    if (detection.encoding != sw::kNoEncoding && !detection.lossy && detection.confidence >= 50) {
      guess = detection.encoding;
      said("detected");
    } else {
      said("default");
    }
  }
  return sw::encodingForGuess(guess, fallback);
}

}  // namespace swcli
