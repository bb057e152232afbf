// The file-name transformation of Set meta-event text: the name without its extension, then
// up to four regular-expression replacements in order ("regExp1" with "replaceStr1", ...),
// each replacing every match with a template in which $1, $2 ... stand for the groups
// (ICU's syntax; "\$" is a literal dollar sign). Empty patterns are skipped.
//
// A pattern that does not compile, a template that names a missing group, a match that runs
// out of its time limit or a result longer than kMaxResultLength stops the transformation:
// the text as transformed so far is the result and `problem` says what went wrong.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "base/settings_store.h"
#include "base/status.h"

namespace sw {

class RegExTransformer {
 public:
  struct Replacement {
    std::string pattern;
    std::string replacement;
  };
  static constexpr size_t kMaxResultLength = 1 << 16;  // UTF-16 units

  RegExTransformer() = default;
  explicit RegExTransformer(std::array<Replacement, 4> replacements) : replacements_(std::move(replacements)) {}
  // The four pairs as stored in the settings.
  static RegExTransformer fromSettings(const SettingsStore& store = SettingsStore::shared());

  // UTF-8 in, UTF-8 out; ill-formed UTF-8 in the name becomes U+FFFD once a pattern applies.
  // A pattern that fails (does not compile, takes too long, grows too much) stops the work
  // there and sets `error` (paramErr).
  std::string transformedValue(std::string_view fileName, Error* error = nullptr) const;

  // "name.ext" gives "name"; a name whose only dot is its first character keeps it.
  static std::string_view removingExtension(std::string_view fileName);

 private:
  std::array<Replacement, 4> replacements_;
};

}  // namespace sw
