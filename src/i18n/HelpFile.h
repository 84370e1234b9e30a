#pragma once
#include <string>

namespace tabulonix {

// The help file for a language: "Helps/QV" + name + ".hlp" in `folder` (when empty, "QV" +
// name + ".hlp" in the help folder of FileLocations) when that file exists, else the
// English help file there, whether or not it exists.
std::string ChooseHelpFile(const std::string& languageName, const std::string& folder = {});

} // namespace tabulonix
