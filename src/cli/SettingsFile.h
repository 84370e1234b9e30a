#pragma once
#include "cli/CommandLine.h"
#include "settings/SettingsKeys.h"

#include <string>
#include <vector>

namespace tabulonix::cli {

// The job as the wizard holds it right after a start with these remembered fields: the
// task is making thumbnails (so "<same>" reads as "<same>tn"), "Width" and "Height" text
// that is not an integer becomes 100, and the extension field shows what the format
// handlers put there (message M019 while the source format is kept).
JobSettings JobFromMainSettings(const MainSettings& main);

// The wizard's task handler: switching to convert-only turns "<same>tn" into "<same>",
// switching to thumbnails turns "<same>" into "<same>tn"; other patterns stay.
std::string NameFormatForTask(const std::string& pattern, int toDo);

// Before the other options are applied: "--language FILE" makes that language file current
// and "--settings FILE" fills the job and the two folders from its section "Main", so that
// every other option applies over them. Throws UsageError for a missing file or a
// "Frame color" the file cannot give.
void ApplyFileOptions(const std::vector<std::string>& args, CommandLine& c);

} // namespace tabulonix::cli
