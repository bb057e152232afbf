// printf into a std::string of whatever length the result needs (no fixed buffer, nothing cut).
#pragma once

#include <cstdarg>
#include <string>

namespace sw {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string formatV(const char* pattern, va_list arguments) __attribute__((format(printf, 1, 0)));

}  // namespace sw
