#include "library/reg_ex_transformer.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

#include <memory>

namespace sw {

namespace {

// Match-engine steps of ICU's time limit (each some thousand operations): far more than any
// sensible pattern needs on a file name, little enough to stop a runaway backtrack quickly.
constexpr int32_t kTimeLimit = 200;

std::string utf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::string describe(const std::string& pattern, UErrorCode code, const UParseError* where = nullptr) {
  std::string text = "regular expression \"" + pattern + "\": ";
  if (code == U_REGEX_TIME_OUT) return text + "matching takes too long";
  text += u_errorName(code);
  if (where && where->offset >= 0) text += " at offset " + std::to_string(where->offset);
  return text;
}

// Replaces every match; false with `problem` set when anything goes wrong.
bool replaceAll(icu::UnicodeString& text, const std::string& pattern, const std::string& replacement,
                std::string& problem) {
  UParseError where{};
  UErrorCode code = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexPattern> compiled(
      icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, where, code));
  if (U_FAILURE(code) || !compiled) {
    problem = describe(pattern, code, &where);
    return false;
  }
  std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(text, code));
  if (U_SUCCESS(code)) matcher->setTimeLimit(kTimeLimit, code);
  if (U_FAILURE(code) || !matcher) {
    problem = describe(pattern, code);
    return false;
  }
  const icu::UnicodeString templ = icu::UnicodeString::fromUTF8(replacement);
  icu::UnicodeString result;
  while (matcher->find(code) && U_SUCCESS(code)) {
    matcher->appendReplacement(result, templ, code);
    if (U_FAILURE(code)) break;
    if (size_t(result.length()) > RegExTransformer::kMaxResultLength) {
      problem = "regular expression \"" + pattern + "\": the result is too long";
      return false;
    }
  }
  if (U_FAILURE(code)) {
    problem = describe(pattern, code);
    return false;
  }
  matcher->appendTail(result);
  if (size_t(result.length()) > RegExTransformer::kMaxResultLength) {
    problem = "regular expression \"" + pattern + "\": the result is too long";
    return false;
  }
  text = result;
  return true;
}

}  // namespace

RegExTransformer RegExTransformer::fromSettings(const SettingsStore& store) {
  std::array<Replacement, 4> pairs;
  for (size_t i = 0; i < pairs.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    pairs[i] = {store.stringForKey("regExp" + number), store.stringForKey("replaceStr" + number)};
  }
  return RegExTransformer(std::move(pairs));
}

std::string_view RegExTransformer::removingExtension(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return fileName;
  return fileName.substr(0, dot);
}

std::string RegExTransformer::transformedValue(std::string_view fileName, Error* error) const {
  if (error) *error = {};
  const std::string_view base = removingExtension(fileName);
  bool applied = false;
  icu::UnicodeString text;
  for (const Replacement& pair : replacements_) {
    if (pair.pattern.empty()) continue;
    if (!applied) text = icu::UnicodeString::fromUTF8(icu::StringPiece(base.data(), int32_t(base.size())));
    applied = true;
    std::string why;
    if (!replaceAll(text, pair.pattern, pair.replacement, why)) {
      if (error) *error = Error{paramErr, "", why};
      break;
    }
  }
  return applied ? utf8(text) : std::string(base);
}

}  // namespace sw
