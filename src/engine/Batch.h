#pragma once
#include "codecs/core/DecodeLimits.h"
#include "engine/JobSettings.h"

namespace tabulonix {

class BatchHost;

// What became of one selected file, for reports.
struct FileOutcome {
    enum Kind { Written, Skipped, Failed };
    std::string source;      // as selected, relative to SDir
    std::string destination; // relative to DDir; "" when the file failed before naming
    int width = 0, height = 0;
    Kind kind = Failed;
    std::string reason;  // why it failed
    std::string message; // the failure as the run reports it ("Error opening file ...!")
};

struct BatchResult {
    int processed = 0; // loaded, drawn and saved without failure, or skipped as unchanged
    int skipped = 0;   // left out because their output was current (SkipUnchanged)
    int total = 0;     // selected files
    bool aborted = false;
    bool destinationUnusable = false; // the folder could not be made or written: nothing ran
    std::vector<FileOutcome> files;   // in selection order, up to where the run stopped
};

// Runs one batch: every selected file is loaded, sized, drawn, framed, named, encoded and
// saved, then the HTML gallery is written. Every outcome is shown through `host`, always from
// the calling thread; the result is for front ends that need an exit status. An unexpected
// failure is passed on after the end-of-run steps.
// `jobs` worker threads load, draw and encode files ahead (0: DefaultJobs()); the names,
// files, messages, gallery and abort are those of one thread, which is what 1 runs.
// Sources are read and surfaces made under `limits`.
BatchResult DoTheHonkyPonky(const JobSettings& settings, const SelectedFileList& selectedFiles,
                            BatchHost& host, int jobs = 0, const DecodeLimits& limits = {});

// What a run with these settings would do, file by file, without writing anything: the
// sources that open get the destination names, with the suffixes for this run's other
// outputs and for the files already there, and the sizes the run gives them (Written), or
// are left out as unchanged (Skipped). Only the pixels are not decoded, so a source whose
// data is damaged past its header is planned but fails in the run.
std::vector<FileOutcome> PlanTheRun(const JobSettings& settings,
                                    const SelectedFileList& selectedFiles);

// The number of cores.
int DefaultJobs();

} // namespace tabulonix
