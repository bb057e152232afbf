#include "base/finder_info.h"

#include "base/xattr.h"

namespace sw {

namespace {
FourCharCode readWord(const xattr::Bytes& bytes, size_t at) {
  return (FourCharCode(bytes[at]) << 24) | (FourCharCode(bytes[at + 1]) << 16) |
         (FourCharCode(bytes[at + 2]) << 8) | FourCharCode(bytes[at + 3]);
}
void writeWord(xattr::Bytes& bytes, size_t at, FourCharCode value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (24 - 8 * i));
}
}  // namespace

FinderInfo FinderInfo::read(const std::string& path) {
  FinderInfo info;
  auto value = xattr::get(path, kFinderInfoAttribute);
  if (value && value->size() >= 8) {
    info.type = readWord(*value, 0);
    info.creator = readWord(*value, 4);
  }
  return info;
}

OSStatus FinderInfo::write(const std::string& path, int* error) const {
  xattr::Bytes value = xattr::get(path, kFinderInfoAttribute).value_or(xattr::Bytes{});
  if (value.size() < 32) value.resize(32, 0);
  writeWord(value, 0, type);
  writeWord(value, 4, creator);
  bool allZero = true;
  for (unsigned char b : value) allZero = allZero && b == 0;
  if (allZero) return xattr::remove(path, kFinderInfoAttribute, error);
  return xattr::set(path, kFinderInfoAttribute, value, error);
}

}  // namespace sw
