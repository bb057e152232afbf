#include "encoding_option.h"

#include "library/file_text_encoding.h"

namespace swcli {

sw::StringEncoding parseEncodingOption(const std::string& text, std::string* error) {
  sw::StringEncoding encoding = sw::encodingFromName(text);
  if (encoding == sw::kNoEncoding && error)
    *error = "unknown encoding '" + text + "' (see 'scorewell-cli encodings')";
  return encoding;
}

sw::StringEncoding textEncodingForFile(const std::string& path, const sw::MidiSequence& sequence,
                                       std::optional<sw::StringEncoding> chosen, std::string* source) {
  const sw::FileTextEncoding resolved = sw::resolveFileTextEncoding(path, sequence, chosen);
  if (source) *source = sw::encodingSourceName(resolved.source);
  return resolved.encoding;
}

}  // namespace swcli
