// String conversions. Thread-safe.
#pragma once

#include <string>

#include "basefx/export.h"

namespace basefx {

// Reads the whole of `text` as a decimal int with an optional sign ("-11", "+7"). On success
// stores it in *out and returns true; otherwise (empty, blanks, trailing characters, out of
// range) leaves *out unchanged and returns false.
BASEFX_EXPORT bool StringToInt(const std::string& text, int* out);

}  // namespace basefx
