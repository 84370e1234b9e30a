#pragma once
#include <array>
#include <string>

namespace tabulonix {

// The four numbers of a version text such as "1.2.4.80", each as its decimal digits without
// leading zeros, so that numbers of any length compare exactly.
using TVersionNumbers = std::array<std::string, 4>;

// Splits at "."; a missing field, or one that is not a run of decimal digits (blanks around
// it allowed), counts 0. Fields after the fourth are ignored; "N/A" is 0.0.0.0.
TVersionNumbers ParseVersionNumbers(const std::string& text);

// True when `available` is a later version than `running`: the four numbers compared in
// order, the first number first.
bool IsNewerVersion(const std::string& running, const std::string& available);

} // namespace tabulonix
