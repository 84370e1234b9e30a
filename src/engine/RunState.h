#pragma once
#include "engine/JobSettings.h"

#include <map>
#include <string>

namespace tabulonix {

// The name of the file in a destination folder that remembers what a run with skipping made.
inline constexpr const char* kRunStateFileName = ".tabulonix-state";

// A digest of every setting that changes an output file's bytes or name (and the program
// version, whose codecs may write differently): equal digests, equal outputs.
std::string SettingsFingerprint(const JobSettings& settings);

// What earlier runs into a destination folder made, source by source, so that a rerun can
// leave out the sources whose outputs are still current.
class TRunState {
  public:
    struct Entry {
        std::string fingerprint;
        std::string destination; // relative to DDir
        int width = 0;
        int height = 0;
    };

    // Reads DDir's state file; a missing or unreadable one is an empty state.
    explicit TRunState(const JobSettings& settings);

    // The entry of `source` (relative to SDir) when its output can be kept: made with the
    // same settings, still there, and newer than the source.
    const Entry* Unchanged(const std::string& source) const;

    void Record(const std::string& source, const std::string& destination, int width, int height);
    void Forget(const std::string& source) { entries_.erase(source); }

    // Writes the state file (replacing it whole); throws on failure.
    void Save() const;

  private:
    const JobSettings& settings_;
    std::string fingerprint_;
    std::map<std::string, Entry> entries_; // by source
};

} // namespace tabulonix
