#include "setting_json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "cli_support.h"

namespace swcli {

using sw::SettingValue;

std::string settingJson(const SettingValue& value) {
  switch (value.type()) {
    case SettingValue::Type::Bool: return value.boolValue() ? "true" : "false";
    case SettingValue::Type::Integer: return std::to_string(value.integerValue());
    case SettingValue::Type::Real: {
      std::string text = value.stringValue();
      if (text.find_first_of(".eE") == std::string::npos) text += ".0";
      return text;
    }
    case SettingValue::Type::String: return jsonString(value.stringValue());
    case SettingValue::Type::Array: {
      std::string out = "[";
      for (const SettingValue& item : value.arrayValue()) {
        if (out.size() > 1) out += ",";
        out += settingJson(item);
      }
      return out + "]";
    }
    case SettingValue::Type::Dictionary: {
      std::string out = "{";
      for (const auto& [key, item] : value.dictionaryValue()) {
        if (out.size() > 1) out += ",";
        out += jsonString(key) + ":" + settingJson(item);
      }
      return out + "}";
    }
  }
  return "null";
}

const char* settingTypeName(SettingValue::Type type) {
  switch (type) {
    case SettingValue::Type::Bool: return "bool";
    case SettingValue::Type::Integer: return "integer";
    case SettingValue::Type::Real: return "real";
    case SettingValue::Type::String: return "string";
    case SettingValue::Type::Array: return "array";
    case SettingValue::Type::Dictionary: return "dictionary";
  }
  return "?";
}

namespace {

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  std::optional<SettingValue> parseAll(std::string& error) {
    auto value = parseValue(0);
    skipSpace();
    if (value && pos_ != text_.size()) fail("unexpected text after the value");
    if (!error_.empty()) {
      error = error_ + " at offset " + std::to_string(pos_);
      return std::nullopt;
    }
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void fail(const std::string& message) {
    if (error_.empty()) error_ = message;
  }
  void skipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
      ++pos_;
  }
  bool consume(std::string_view word) {
    if (text_.substr(pos_).starts_with(word)) {
      pos_ += word.size();
      return true;
    }
    return false;
  }

  std::optional<SettingValue> parseValue(int depth) {
    if (depth > kMaxDepth) {
      fail("nested too deeply");
      return std::nullopt;
    }
    skipSpace();
    if (pos_ >= text_.size()) {
      fail("a value is missing");
      return std::nullopt;
    }
    char c = text_[pos_];
    if (c == '{') return parseObject(depth);
    if (c == '[') return parseArray(depth);
    if (c == '"') {
      auto text = parseString();
      if (!text) return std::nullopt;
      return SettingValue(std::move(*text));
    }
    if (consume("true")) return SettingValue(true);
    if (consume("false")) return SettingValue(false);
    if (consume("null")) {
      fail("null cannot be stored");
      return std::nullopt;
    }
    if (c == '-' || (c >= '0' && c <= '9')) return parseNumber();
    fail("unexpected character");
    return std::nullopt;
  }

  std::optional<SettingValue> parseNumber() {
    size_t start = pos_;
    if (text_[pos_] == '-') ++pos_;
    bool real = false;
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c >= '0' && c <= '9') ++pos_;
      else if (c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-') {
        real = true;
        ++pos_;
      } else break;
    }
    std::string number(text_.substr(start, pos_ - start));
    if (!real) {
      int64_t value = 0;
      auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
      if (error == std::errc() && end == number.data() + number.size()) return SettingValue(value);
    }
    char* end = nullptr;
    double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || !std::isfinite(value)) {
      fail("bad number");
      return std::nullopt;
    }
    return SettingValue(value);
  }

  static void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += char(code);
    } else if (code < 0x800) {
      out += char(0xC0 | (code >> 6));
      out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += char(0xE0 | (code >> 12));
      out += char(0x80 | ((code >> 6) & 0x3F));
      out += char(0x80 | (code & 0x3F));
    } else {
      out += char(0xF0 | (code >> 18));
      out += char(0x80 | ((code >> 12) & 0x3F));
      out += char(0x80 | ((code >> 6) & 0x3F));
      out += char(0x80 | (code & 0x3F));
    }
  }

  std::optional<uint32_t> parseHex4() {
    if (pos_ + 4 > text_.size()) return std::nullopt;
    uint32_t code = 0;
    auto [end, error] = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
    if (error != std::errc() || end != text_.data() + pos_ + 4) return std::nullopt;
    pos_ += 4;
    return code;
  }

  // Raw bytes are copied; the store checks that the result is valid UTF-8.
  std::optional<std::string> parseString() {
    ++pos_;  // the opening quote
    std::string out;
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) break;
      char escape = text_[pos_++];
      switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          auto code = parseHex4();
          if (!code) {
            fail("bad \\u escape");
            return std::nullopt;
          }
          if (*code >= 0xD800 && *code <= 0xDBFF) {
            std::optional<uint32_t> low;
            if (consume("\\u")) low = parseHex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
              fail("lone surrogate");
              return std::nullopt;
            }
            *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
          } else if (*code >= 0xDC00 && *code <= 0xDFFF) {
            fail("lone surrogate");
            return std::nullopt;
          }
          appendUtf8(out, *code);
          break;
        }
        default: fail("bad escape"); return std::nullopt;
      }
    }
    fail("unterminated string");
    return std::nullopt;
  }

  std::optional<SettingValue> parseArray(int depth) {
    ++pos_;
    SettingValue::Array array;
    skipSpace();
    if (consume("]")) return SettingValue(std::move(array));
    for (;;) {
      auto item = parseValue(depth + 1);
      if (!item) return std::nullopt;
      array.push_back(std::move(*item));
      skipSpace();
      if (consume("]")) return SettingValue(std::move(array));
      if (!consume(",")) {
        fail("expected , or ]");
        return std::nullopt;
      }
    }
  }

  std::optional<SettingValue> parseObject(int depth) {
    ++pos_;
    SettingValue::Dictionary dict;
    skipSpace();
    if (consume("}")) return SettingValue(std::move(dict));
    for (;;) {
      skipSpace();
      if (pos_ >= text_.size() || text_[pos_] != '"') {
        fail("expected a key");
        return std::nullopt;
      }
      auto key = parseString();
      if (!key) return std::nullopt;
      skipSpace();
      if (!consume(":")) {
        fail("expected :");
        return std::nullopt;
      }
      auto item = parseValue(depth + 1);
      if (!item) return std::nullopt;
      dict[std::move(*key)] = std::move(*item);
      skipSpace();
      if (consume("}")) return SettingValue(std::move(dict));
      if (!consume(",")) {
        fail("expected , or }");
        return std::nullopt;
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

std::optional<SettingValue> parseSettingJson(std::string_view text, std::string& error) {
  return JsonParser(text).parseAll(error);
}

}  // namespace swcli
