// Checks that bytes fed in pieces form well-formed UTF-8 (no overlong forms, no encoded
// surrogates, nothing above U+10FFFF); a character may be split across pieces.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace sw {

class UTF8Validator {
 public:
  void feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    if (failed_) return;
    while (p < end) {
      if (need_ == 0) {
        // Eight ASCII bytes at a time.
        while (end - p >= 8) {
          uint64_t word;
          std::memcpy(&word, p, 8);
          if (word & 0x8080808080808080ull) break;
          p += 8;
        }
        if (p == end) break;
        const uint8_t b = *p++;
        if (b < 0x80) continue;
        if (b < 0xC2 || b > 0xF4) return fail();
        need_ = b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        low_ = 0x80;
        high_ = 0xBF;
        if (b == 0xE0) low_ = 0xA0;
        else if (b == 0xED) high_ = 0x9F;  // no surrogates
        else if (b == 0xF0) low_ = 0x90;
        else if (b == 0xF4) high_ = 0x8F;
        continue;
      }
      const uint8_t b = *p++;
      if (b < low_ || b > high_) return fail();
      low_ = 0x80;
      high_ = 0xBF;
      --need_;
    }
  }
  // Every piece so far was well formed and no character is left open.
  bool valid() const { return !failed_ && need_ == 0; }

 private:
  void fail() { failed_ = true; }
  uint8_t need_ = 0;
  uint8_t low_ = 0x80;
  uint8_t high_ = 0xBF;
  bool failed_ = false;
};

inline bool isWellFormedUTF8(std::string_view bytes) {
  UTF8Validator validator;
  validator.feed(bytes);
  return validator.valid();
}

}  // namespace sw
