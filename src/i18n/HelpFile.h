#pragma once
#include <string>

namespace tabulonix {

// The help file for a language: "Helps/QV" + name + ".hlp" in `folder` (the executable's
// folder when empty) when that file exists, else "Helps/QVEnglish.hlp" there, whether or
// not it exists.
std::string ChooseHelpFile(const std::string& languageName, const std::string& folder = {});

} // namespace tabulonix
