#pragma once
#include "engine/JobSettings.h"
#include "settings/SettingsKeys.h"

#include <string>

namespace tabulonix {

// The job the wizard's remembered fields describe for a task (`toDo` 0 thumbnails, 1 convert
// only): the name pattern follows the task rule, "Width" and "Height" text that is not an
// integer counts as 100, and the extension is what the format handlers show (message M019
// while the source format is kept). The fields that are not remembered (the HTML file) stay
// empty; the wizard fills them from its controls.
JobSettings JobFromMainSettings(const MainSettings& main, int toDo = 0);

// The extension an output format is written with ("jpg" ... "tga"), lower case without dot;
// "" for a position outside the list.
std::string FormatExtension(int format);

} // namespace tabulonix
