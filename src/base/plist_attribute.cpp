#include "base/plist_attribute.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>

#include "base/xattr.h"

namespace sw {

namespace {
// A number attribute is a few dozen bytes; anything much larger is not one, and a parser
// fed deep nesting could run out of stack.
constexpr size_t kMaxNumberAttributeSize = 4096;
}  // namespace

std::optional<int64_t> readNumberAttribute(const std::string& path, const std::string& name) {
  std::optional<xattr::Bytes> bytes = xattr::get(path, name);
  if (!bytes || bytes->empty() || bytes->size() > kMaxNumberAttributeSize) return std::nullopt;
  plist_t root = nullptr;
  plist_from_memory(reinterpret_cast<const char*>(bytes->data()), uint32_t(bytes->size()), &root);
  if (!root) return std::nullopt;
  std::optional<int64_t> result;
  switch (plist_get_node_type(root)) {
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(root, &value);
      result = int64_t(value);
      break;
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(root, &value);
      if (std::isfinite(value) && std::fabs(value) < 9.0e18) result = int64_t(value);
      break;
    }
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(root, &value);
      result = value ? 1 : 0;
      break;
    }
    default: break;
  }
  plist_free(root);
  return result;
}

OSStatus writeNumberAttribute(const std::string& path, const std::string& name, int64_t value) {
  plist_t root = plist_new_uint(uint64_t(value));
  char* data = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &data, &length);
  plist_free(root);
  if (!data) return memFullErr;
  xattr::Bytes bytes(reinterpret_cast<unsigned char*>(data), reinterpret_cast<unsigned char*>(data) + length);
  std::free(data);
  return xattr::set(path, name, bytes);
}

}  // namespace sw
