// Extended attributes whose values are property lists (stored in the binary form, read in
// either form), as per-file settings such as "com.tessary.encoding" are kept. Values are
// SettingValue trees: booleans, integers, reals, strings, arrays and dictionaries; an
// attribute holding another kind (data, date) reads as an error. Input is bounded: an
// attribute larger than kMaxPlistAttributeSize or nested deeper than kMaxPlistDepth is
// refused before or while decoding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/settings_store.h"
#include "base/status.h"

namespace sw {

inline constexpr size_t kMaxPlistAttributeSize = 64 << 10;
inline constexpr int kMaxPlistDepth = 32;

// Codes of failures that are not the system's (the status is paramErr for all three).
enum PlistAttributeCode : int32_t {
  kPlistValueNotSerializable = 1968,  // "Value of class %@ cannot be serialized into a plist"
  kPlistSetAttributesFailed = 1969,   // "Failed to set one or more extended attributes."
  kPlistGetAttributesFailed = 1970,   // "Failed to get one or more extended attribute values"
};

// A failed attribute operation is an Error: the path of the file, the attribute's name as its
// subject, the errno value or a PlistAttributeCode as its code, the message ("Attribute too big",
// "Attribute name too long", the system's text...), and for the operations on several
// attributes, one underlying error per attribute.

// The names of the file's attributes; nothing and the error when they cannot be listed.
std::optional<std::vector<std::string>> attributeNames(const std::string& path, Error* error = nullptr);
// The raw bytes of one attribute.
std::optional<std::vector<unsigned char>> attributeData(const std::string& path, const std::string& name,
                                                        Error* error = nullptr);
Error setAttributeData(const std::string& path, const std::string& name,
                                const std::vector<unsigned char>& bytes);
// The value decoded from the attribute's property list; nothing (and the error) when the file
// has no such attribute or it does not decode.
std::optional<SettingValue> attributeValue(const std::string& path, const std::string& name,
                                           Error* error = nullptr);
// Stores the value as a binary property list; a null value removes the attribute.
Error setAttributeValue(const std::string& path, const std::string& name, const SettingValue* value);
// Every attribute that decodes; the others are gathered in the error (code 1970), and the
// result is then nothing.
std::optional<SettingValue::Dictionary> attributeValues(const std::string& path, Error* error = nullptr);
// Sets each one; failures are gathered (code 1969) and the others are still set.
Error setAttributeValues(const std::string& path, const SettingValue::Dictionary& values);
// False for an empty name, and when the names cannot be listed (logged).
bool hasAttribute(const std::string& path, const std::string& name);
// Removing an attribute that does not exist succeeds.
Error removeAttribute(const std::string& path, const std::string& name);

// The property-list bytes of a value (binary) and back; used by the functions above.
std::optional<std::vector<unsigned char>> encodePlist(const SettingValue& value, Error* error = nullptr);
std::optional<SettingValue> decodePlist(const unsigned char* bytes, size_t size, Error* error = nullptr);

// The number the attribute holds; nothing when the file has no such attribute or its value
// is not a property-list number.
std::optional<int64_t> readNumberAttribute(const std::string& path, const std::string& name);
// Stores the number as a binary property list.
OSStatus writeNumberAttribute(const std::string& path, const std::string& name, int64_t value);

}  // namespace sw
