#pragma once
#include <string>

namespace tabulonix {

// The program's four-part version, e.g. "1.2.0.0", from the project version.
std::string ProgramVersion();

} // namespace tabulonix
