#pragma once

// Telling UTF-8 text apart from other bytes. Internal to arx_qms.
#include <cstddef>
#include <string>

namespace MeridianSpace {

/// The length of the well-formed UTF-8 character at `at` (no overlong
/// forms, surrogates or code points past U+10FFFF); 0 when none starts there.
std::size_t utf8Length(const std::string& text, std::size_t at);

/// True when all of `text` is well-formed UTF-8.
bool isUtf8(const std::string& text);

}  // namespace MeridianSpace
