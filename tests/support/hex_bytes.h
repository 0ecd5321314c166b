// Bodies written as hex pairs, with text in single quotes standing for its own bytes
// ("a2 'r1'" is a2 72 31).
#pragma once

#include <string>

namespace test_support {

inline std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i < hex.size(); ++i) {
    if (hex[i] == '\'') {
      const size_t end = hex.find('\'', i + 1);
      out += hex.substr(i + 1, end - i - 1);
      i = end;
    } else if (hex[i] != ' ') {
      out += static_cast<char>(std::stoi(hex.substr(i++, 2), nullptr, 16));
    }
  }
  return out;
}

}  // namespace test_support
