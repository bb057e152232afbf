#include "base/string_format.h"

#include <cstdio>

namespace sw {

std::string format(const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  std::string text = formatV(pattern, arguments);
  va_end(arguments);
  return text;
}

std::string formatV(const char* pattern, va_list arguments) {
  char buffer[256];
  va_list copy;
  va_copy(copy, arguments);
  int size = std::vsnprintf(buffer, sizeof buffer, pattern, copy);
  va_end(copy);
  if (size < 0) return {};
  if (size_t(size) < sizeof buffer) return std::string(buffer, size_t(size));
  std::string text(size_t(size), '\0');
  std::vsnprintf(text.data(), text.size() + 1, pattern, arguments);
  return text;
}

}  // namespace sw
