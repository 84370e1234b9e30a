#pragma once
#include "cli/CommandLine.h"
#include "settings/SettingsKeys.h"

#include <string>
#include <vector>

namespace tabulonix::cli {

// Before the other options are applied: "--language FILE" makes that language file current
// and "--settings FILE" fills the job and the two folders from its section "Main", so that
// every other option applies over them. Throws UsageError for a missing file or a
// "Frame color" the file cannot give.
void ApplyFileOptions(const std::vector<std::string>& args, CommandLine& c);

} // namespace tabulonix::cli
