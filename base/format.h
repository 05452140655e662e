// printf-style text into a std::string of any length. The format attribute
// lets the compiler check every literal format against its arguments, so
// formats are written at the call, never passed around at run time.
#pragma once

#include <string>

namespace vq {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%02X" of the low byte.
std::string Hex2(unsigned value);

} // namespace vq
