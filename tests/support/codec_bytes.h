// Hex text <-> bytes for wire-format tests: expected bodies are written as "81 01 cd 01 2c".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace codec_test {

// "81 01 cd" -> the three bytes. Anything that is not a hex digit only separates.
inline std::string Bytes(const std::string& hex) {
  std::string out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') {
      v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      v = c - 'A' + 10;
    } else {
      continue;
    }
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

// Bytes -> "81 01 cd"; long runs are cut after `limit` bytes so failures stay readable.
inline std::string Hex(const std::string& bytes, size_t limit = 64) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i != 0) out.push_back(' ');
    const auto b = static_cast<unsigned char>(bytes[i]);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
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
