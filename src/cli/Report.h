#pragma once
#include "engine/Batch.h"

#include <string>
#include <vector>

namespace tabulonix::cli {

// The report of a run (or of a dry run's plan) as JSON: the counts and, per file, its source,
// destination, size, outcome ("written", "skipped", "failed", or "planned" for a dry run)
// and the reason of a failure. Paths are relative to the folders the report names.
std::string JsonReport(const JobSettings& settings, const BatchResult& result, bool dryRun);

// A dry run's line for one planned file: "a.jpg -> atn.jpg 150x100".
std::string PlanLine(const FileOutcome& file);

} // namespace tabulonix::cli
