#include "base/plist_attribute.h"

#include <plist/plist.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "base/log.h"
#include "base/xattr.h"

namespace sw {

namespace {

using Bytes = std::vector<unsigned char>;

struct PlistDeleter {
  void operator()(void* node) const { plist_free(plist_t(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

Error systemError(int error, const std::string& path, const std::string& name) {
  Error result;
  result.path = path;
  result.status = statusFromErrno(error);
  if (result.status == noErr) result.status = ioErr;
  result.code = error;
  result.subject = name;
  if (error == E2BIG)
    result.message = "Attribute too big";
  else if (error == ENAMETOOLONG)
    result.message = "Attribute name too long";
  else if (error == ENODATA)
    result.message = "No such attribute";
  else
    result.message = std::strerror(error);
  return result;
}

Error plistError(int code, const std::string& name, std::string message) {
  Error result;
  result.status = paramErr;
  result.code = code;
  result.subject = name;
  result.message = std::move(message);
  return result;
}

void setError(Error* out, Error error) {
  if (out) *out = std::move(error);
}

// An attribute name is stored as one C string after the "user." prefix.
bool validName(const std::string& name, Error* error) {
  if (name.empty() || name.find('\0') != std::string::npos) {
    setError(error, plistError(EINVAL, name, "extended attribute name cannot be empty"));
    return false;
  }
  return true;
}

bool validUTF8(const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char c = s[i];
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
    if (extra < 0 || c > 0xF4 || i + size_t(extra) >= n) return false;
    uint32_t code = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (s[i + k] & 0x3F);
    }
    if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += size_t(extra) + 1;
  }
  return true;
}

uint64_t readBig(const unsigned char* p, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

// The library's parsers follow nesting by recursion, and reading a dictionary key that holds a
// NUL makes it abort on an assertion. So a binary list is checked first: every object in
// bounds, strings without NUL, containers nested at most kMaxPlistDepth deep (and no cycles).
bool binaryPlistIsSafe(const unsigned char* data, size_t size) {
  if (size < 8 + 32) return false;
  const unsigned char* trailer = data + size - 32;
  const size_t offsetSize = trailer[6];
  const size_t refSize = trailer[7];
  const uint64_t objects = readBig(trailer + 8, 8);
  const uint64_t top = readBig(trailer + 16, 8);
  const uint64_t tableOffset = readBig(trailer + 24, 8);
  if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || tableOffset >= size) return false;
  if (objects == 0 || objects > (size - tableOffset) / offsetSize || top >= objects) return false;

  struct Object {
    uint64_t start = 0, count = 0;  // payload and element count
    int type = 0;
  };
  std::vector<Object> table(static_cast<size_t>(objects));
  for (uint64_t i = 0; i < objects; ++i) {
    const uint64_t at = readBig(data + tableOffset + i * offsetSize, offsetSize);
    if (at >= size) return false;
    Object& object = table[size_t(i)];
    object.type = data[at] >> 4;
    object.count = data[at] & 0x0F;
    object.start = at + 1;
    const bool counted = object.type == 5 || object.type == 6 || object.type == 4 || object.type == 0xA ||
                         object.type == 0xC || object.type == 0xD;
    if (!counted) continue;
    if (object.count == 0x0F) {
      if (object.start >= size || (data[object.start] >> 4) != 1) return false;
      const size_t width = size_t(1) << (data[object.start] & 0x0F);
      if (width > 8 || object.start + 1 + width > size) return false;
      object.count = readBig(data + object.start + 1, width);
      object.start += 1 + width;
    }
    const uint64_t room = size - object.start;
    if (object.type == 5 || object.type == 6) {
      const uint64_t unit = object.type == 6 ? 2 : 1;
      if (object.count > room / unit) return false;
      for (uint64_t k = 0; k < object.count; ++k) {
        const unsigned char* p = data + object.start + k * unit;
        if (p[0] == 0 && (unit == 1 || p[1] == 0)) return false;
      }
    } else if (object.type == 4) {
      if (object.count > room) return false;
    } else {
      const uint64_t refs = object.type == 0xD ? 2 : 1;
      if (object.count > room / refSize / refs) return false;
      for (uint64_t k = 0; k < object.count * refs; ++k)
        if (readBig(data + object.start + k * refSize, refSize) >= objects) return false;
    }
  }
  // Heights of the containers below the top object, by an explicit depth-first walk.
  std::vector<int> height(static_cast<size_t>(objects), -1);  // -1 unvisited, -2 on the current path
  // The parser copies an object each time it is referred to: the expanded tree is bounded too.
  constexpr uint64_t kMaxNodes = 1 << 16;
  std::vector<uint64_t> nodes(static_cast<size_t>(objects), 0);
  struct Frame {
    uint64_t object, next;
  };
  std::vector<Frame> stack{{top, 0}};
  height[size_t(top)] = -2;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const Object& object = table[size_t(frame.object)];
    const bool container = object.type == 0xA || object.type == 0xC || object.type == 0xD;
    const uint64_t children = container ? object.count * (object.type == 0xD ? 2 : 1) : 0;
    if (frame.next < children) {
      const uint64_t child = readBig(data + object.start + frame.next++ * refSize, refSize);
      if (height[size_t(child)] == -2) return false;  // a cycle
      if (height[size_t(child)] == -1) {
        if (stack.size() > size_t(kMaxPlistDepth)) return false;
        height[size_t(child)] = -2;
        stack.push_back({child, 0});
      }
      continue;
    }
    int tallest = 0;
    uint64_t expanded = 1;
    for (uint64_t k = 0; k < children; ++k) {
      const size_t child = size_t(readBig(data + object.start + k * refSize, refSize));
      tallest = std::max(tallest, height[child] + 1);
      expanded += nodes[child];
      if (expanded > kMaxNodes) return false;
    }
    if (tallest > kMaxPlistDepth) return false;
    height[size_t(frame.object)] = tallest;
    nodes[size_t(frame.object)] = expanded;
    stack.pop_back();
  }
  return true;
}

// Likewise for the text form: no NUL byte, no character reference to 0, and containers
// nested at most kMaxPlistDepth deep (counted on the tags, which is enough for a bound).
bool xmlPlistIsSafe(const unsigned char* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  int depth = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) return false;
    if (data[i] == '<') {
      const std::string_view rest = text.substr(i + 1);
      if (rest.starts_with("array") || rest.starts_with("dict")) {
        const size_t close = rest.find('>');
        if (close == std::string_view::npos) return false;
        if (close == 0 || rest[close - 1] != '/') ++depth;
        if (depth > kMaxPlistDepth) return false;
      } else if (rest.starts_with("/array") || rest.starts_with("/dict")) {
        --depth;
      }
    }
    if (data[i] != '&' || i + 2 >= size || data[i + 1] != '#') continue;
    size_t j = i + 2;
    const bool hex = j < size && (data[j] == 'x' || data[j] == 'X');
    if (hex) ++j;
    bool nonZero = false, digits = false;
    for (; j < size && data[j] != ';'; ++j) {
      if (!std::isxdigit(data[j])) break;
      digits = true;
      if (data[j] != '0') nonZero = true;
    }
    if (digits && !nonZero) return false;
  }
  return true;
}

bool toSetting(plist_t node, int depth, SettingValue& out, std::string& why) {
  if (depth > kMaxPlistDepth) {
    why = "property list nested too deeply";
    return false;
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      out = SettingValue(value != 0);
      return true;
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      out = SettingValue(int64_t(value));  // negative numbers are stored in two's complement
      return true;
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      out = SettingValue(value);
      return true;
    }
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      out = SettingValue(text ? std::string(text, size_t(length)) : std::string());
      return true;
    }
    case PLIST_ARRAY: {
      SettingValue::Array array;
      const uint32_t count = plist_array_get_size(node);
      for (uint32_t i = 0; i < count; ++i) {
        SettingValue item;
        if (!toSetting(plist_array_get_item(node, i), depth + 1, item, why)) return false;
        array.push_back(std::move(item));
      }
      out = SettingValue(std::move(array));
      return true;
    }
    case PLIST_DICT: {
      SettingValue::Dictionary dictionary;
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      bool ok = true;
      while (ok) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter, &key, &value);
        if (!value) {
          std::free(key);
          break;
        }
        SettingValue item;
        ok = toSetting(value, depth + 1, item, why);
        if (ok && key) dictionary[key] = std::move(item);
        std::free(key);
      }
      std::free(iter);
      if (!ok) return false;
      out = SettingValue(std::move(dictionary));
      return true;
    }
    default:
      why = "property-list type not supported (data, date or identifier)";
      return false;
  }
}

plist_t fromSetting(const SettingValue& value, int depth, std::string& why) {
  if (depth > kMaxPlistDepth) {
    why = "nested too deeply";
    return nullptr;
  }
  switch (value.type()) {
    case SettingValue::Type::Bool: return plist_new_bool(value.boolValue());
    case SettingValue::Type::Integer: return plist_new_uint(uint64_t(value.integerValue()));
    case SettingValue::Type::Real:
      if (!std::isfinite(value.doubleValue())) {
        why = "real";
        return nullptr;
      }
      return plist_new_real(value.doubleValue());
    case SettingValue::Type::String:
      if (!validUTF8(value.stringValue())) {
        why = "string";
        return nullptr;
      }
      return plist_new_string(value.stringValue().c_str());
    case SettingValue::Type::Array: {
      plist_t array = plist_new_array();
      for (const SettingValue& item : value.arrayValue()) {
        plist_t node = fromSetting(item, depth + 1, why);
        if (!node) {
          plist_free(array);
          return nullptr;
        }
        plist_array_append_item(array, node);
      }
      return array;
    }
    case SettingValue::Type::Dictionary: {
      plist_t dictionary = plist_new_dict();
      for (const auto& [key, item] : value.dictionaryValue()) {
        plist_t node = key.empty() || !validUTF8(key) ? nullptr : fromSetting(item, depth + 1, why);
        if (!node) {
          if (why.empty()) why = "dictionary";
          plist_free(dictionary);
          return nullptr;
        }
        plist_dict_set_item(dictionary, key.c_str(), node);
      }
      return dictionary;
    }
  }
  return nullptr;
}

}  // namespace

std::optional<Bytes> encodePlist(const SettingValue& value, Error* error) {
  std::string why;
  PlistPtr root(fromSetting(value, 0, why));
  if (!root) {
    setError(error, plistError(kPlistValueNotSerializable, "",
                               "Value of class " + why + " cannot be serialized into a plist"));
    return std::nullopt;
  }
  char* data = nullptr;
  uint32_t length = 0;
  plist_to_bin(root.get(), &data, &length);
  if (!data) {
    setError(error, plistError(kPlistValueNotSerializable, "", "out of memory"));
    return std::nullopt;
  }
  Bytes bytes(reinterpret_cast<unsigned char*>(data), reinterpret_cast<unsigned char*>(data) + length);
  std::free(data);
  return bytes;
}

std::optional<SettingValue> decodePlist(const unsigned char* bytes, size_t size, Error* error) {
  auto fail = [&](std::string message) {
    setError(error, plistError(EINVAL, "", std::move(message)));
    return std::nullopt;
  };
  if (size == 0) return fail("empty property list");
  if (size > kMaxPlistAttributeSize) return fail("Attribute too big");
  const char* data = reinterpret_cast<const char*>(bytes);
  const bool binary = plist_is_binary(data, uint32_t(size));
  if (binary ? !binaryPlistIsSafe(bytes, size) : !xmlPlistIsSafe(bytes, size))
    return fail("not a property list");
  plist_t parsed = nullptr;
  plist_from_memory(data, uint32_t(size), &parsed);
  if (!parsed) return fail("not a property list");
  PlistPtr root(parsed);
  SettingValue value;
  std::string why;
  if (!toSetting(parsed, 0, value, why)) return fail(why);
  return value;
}

std::optional<std::vector<std::string>> attributeNames(const std::string& path, Error* error) {
  int code = 0;
  std::vector<std::string> names = xattr::list(path, &code);
  if (code != 0) {
    setError(error, systemError(code, path, ""));
    return std::nullopt;
  }
  return names;
}

std::optional<Bytes> attributeData(const std::string& path, const std::string& name, Error* error) {
  if (!validName(name, error)) return std::nullopt;
  int code = 0;
  std::optional<Bytes> bytes = xattr::get(path, name, &code);
  if (!bytes) setError(error, systemError(code ? code : EIO, path, name));
  return bytes;
}

Error setAttributeData(const std::string& path, const std::string& name, const Bytes& bytes) {
  Error error;
  if (!validName(name, &error)) return error;
  int code = 0;
  if (xattr::set(path, name, bytes, &code) != noErr) return systemError(code ? code : EIO, path, name);
  return {};
}

std::optional<SettingValue> attributeValue(const std::string& path, const std::string& name, Error* error) {
  std::optional<Bytes> bytes = attributeData(path, name, error);
  if (!bytes) return std::nullopt;
  Error decodeError;
  std::optional<SettingValue> value = decodePlist(bytes->data(), bytes->size(), &decodeError);
  if (!value) {
    decodeError.subject = name;
    decodeError.path = path;
    setError(error, std::move(decodeError));
  }
  return value;
}

Error setAttributeValue(const std::string& path, const std::string& name, const SettingValue* value) {
  Error error;
  if (!validName(name, &error)) return error;
  if (!value) return removeAttribute(path, name);
  std::optional<Bytes> bytes = encodePlist(*value, &error);
  if (!bytes) {
    error.subject = name;
    error.path = path;
    return error;
  }
  return setAttributeData(path, name, *bytes);
}

std::optional<SettingValue::Dictionary> attributeValues(const std::string& path, Error* error) {
  std::optional<std::vector<std::string>> names = attributeNames(path, error);
  if (!names) return std::nullopt;
  SettingValue::Dictionary values;
  Error gathered = plistError(kPlistGetAttributesFailed, "", "Failed to get one or more extended attribute values");
  gathered.path = path;
  for (const std::string& name : *names) {
    Error one;
    std::optional<SettingValue> value = attributeValue(path, name, &one);
    if (value)
      values[name] = std::move(*value);
    else
      gathered.underlying.push_back(std::move(one));
  }
  if (!gathered.underlying.empty()) {
    setError(error, std::move(gathered));
    return std::nullopt;
  }
  return values;
}

Error setAttributeValues(const std::string& path, const SettingValue::Dictionary& values) {
  Error gathered = plistError(kPlistSetAttributesFailed, "", "Failed to set one or more extended attributes.");
  gathered.path = path;
  for (const auto& [name, value] : values)
    if (Error one = setAttributeValue(path, name, &value)) gathered.underlying.push_back(std::move(one));
  if (gathered.underlying.empty()) return {};
  return gathered;
}

bool hasAttribute(const std::string& path, const std::string& name) {
  if (name.empty()) return false;
  Error error;
  std::optional<std::vector<std::string>> names = attributeNames(path, &error);
  if (!names) {
    logMessage("ERROR: Could not get list of attributes names: " + path + "; " + error.message);
    return false;
  }
  for (const std::string& each : *names)
    if (each == name) return true;
  return false;
}

Error removeAttribute(const std::string& path, const std::string& name) {
  Error error;
  if (!validName(name, &error)) return error;
  int code = 0;
  if (xattr::remove(path, name, &code) != noErr) return systemError(code ? code : EIO, path, name);
  return {};
}

std::optional<int64_t> readNumberAttribute(const std::string& path, const std::string& name) {
  std::optional<SettingValue> value = attributeValue(path, name);
  if (!value || !value->isNumber()) return std::nullopt;
  if (value->isReal()) {
    const double real = value->doubleValue();
    if (!std::isfinite(real) || std::fabs(real) >= 9.0e18) return std::nullopt;
    return int64_t(real);
  }
  return value->integerValue();
}

OSStatus writeNumberAttribute(const std::string& path, const std::string& name, int64_t value) {
  const SettingValue number(value);
  return setAttributeValue(path, name, &number).status;
}

}  // namespace sw
