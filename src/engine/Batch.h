#pragma once
#include "codecs/core/DecodeLimits.h"
#include "engine/JobSettings.h"

namespace tabulonix {

class BatchHost;

struct BatchResult {
    int processed = 0; // loaded, drawn and saved without failure
    int total = 0;     // selected files
    bool aborted = false;
    bool destinationUnusable = false; // the folder could not be made or written: nothing ran
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

// The number of cores.
int DefaultJobs();

} // namespace tabulonix
