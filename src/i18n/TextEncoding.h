#pragma once
#include <string>

namespace tabulonix {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most
// U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

// Windows-1252 bytes converted to UTF-8; the five unassigned bytes map to U+FFFD.
std::string Windows1252ToUtf8(const std::string& bytes);

// Language files carry no encoding of their own: UTF-8 when valid (a leading byte-order
// mark dropped), else Windows-1252.
std::string DecodeLanguageText(const std::string& bytes);

} // namespace tabulonix
