// Variable-length quantities of Standard MIDI Files: 7 bits per byte, most significant
// group first, continuation bit on every byte but the last, at most four bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sw {

inline constexpr uint32_t kMaxVLQ = 0x0FFFFFFF;

struct VLQRead {
  uint32_t value = 0;
  uint32_t size = 0;  // bytes consumed; 0 when the quantity is cut off or longer than four bytes
  bool ok() const { return size != 0; }
};

// Reads a quantity from at most `available` bytes. A quantity whose fourth byte still has
// its continuation bit set is invalid (size 0): no value above kMaxVLQ is ever produced.
inline VLQRead readVLQ(const uint8_t* bytes, size_t available) {
  VLQRead result;
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < available; ++i) {
    uint8_t b = bytes[i];
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) {
      result.value = value;
      result.size = uint32_t(i + 1);
      return result;
    }
  }
  return result;
}

inline constexpr uint32_t vlqSize(uint32_t value) {
  return value < 0x80 ? 1 : value < 0x4000 ? 2 : value < 0x200000 ? 3 : 4;
}

// The encoded bytes, most significant first from the top of `bytes` down (the last byte of
// the quantity in bits 0-7), and their count. A four-byte quantity fills all 32 bits, so
// the count travels beside the word rather than inside it. `value` must not exceed kMaxVLQ.
struct VLQEncoded {
  uint32_t bytes = 0;
  uint32_t size = 0;
};

inline constexpr VLQEncoded encodeVLQ(uint32_t value) {
  uint32_t size = vlqSize(value);
  uint32_t bytes = value & 0x7F;
  for (uint32_t i = 1; i < size; ++i) bytes |= (((value >> (7 * i)) & 0x7F) | 0x80) << (8 * i);
  return {bytes, size};
}

// Writes the quantity at `out` (room for four bytes) and returns its size.
inline uint32_t writeVLQ(uint32_t value, uint8_t* out) {
  VLQEncoded encoded = encodeVLQ(value);
  for (uint32_t i = 0; i < encoded.size; ++i) out[i] = uint8_t(encoded.bytes >> (8 * (encoded.size - 1 - i)));
  return encoded.size;
}

}  // namespace sw
