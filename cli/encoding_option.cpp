#include "encoding_option.h"

namespace swcli {

sw::StringEncoding parseEncodingOption(const std::string& text, std::string* error) {
  sw::StringEncoding encoding = sw::encodingFromName(text);
  if (encoding == sw::kNoEncoding && error)
    *error = "unknown encoding '" + text + "' (see 'scorewell-cli encodings')";
  return encoding;
}

}  // namespace swcli
