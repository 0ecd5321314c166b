#include "basefx/string_utils.h"

#include <charconv>

namespace basefx {

bool StringToInt(const std::string& text, int* out) {
  if (text.empty() || out == nullptr) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes a minus sign but no plus sign.
  if (*first == '+') {
    ++first;
    if (first == last || *first == '-') return false;
  }
  int value = 0;
  const auto result = std::from_chars(first, last, value, 10);
  if (result.ec != std::errc() || result.ptr != last) return false;
  *out = value;
  return true;
}

}  // namespace basefx
