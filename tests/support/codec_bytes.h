// Hex text <-> bytes for wire-format tests: bodies are written as "81 01 cd 01 2c".
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace codec_test {

// "81 01 cd" -> the three bytes. Anything that is not a hex digit only separates.
inline std::string Bytes(const std::string& hex) {
  std::string out, digits;
  for (char c : hex) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// Bytes -> "81 01 cd"; long runs are cut after `limit` bytes so failures stay readable.
inline std::string Hex(const std::string& bytes, size_t limit = 64) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02x" : "%02x", static_cast<unsigned char>(bytes[i]));
    out += buf;
  }
  if (bytes.size() > limit) out += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

// Big-endian length bytes, for building headers of large test values.
inline std::string Be(uint64_t v, int width) {
  std::string out;
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<char>(v >> (8 * i)));
  return out;
}

}  // namespace codec_test
