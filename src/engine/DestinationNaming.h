#pragma once
#include "engine/JobSettings.h"

#include <set>
#include <string>

namespace tabulonix {

struct DestinationName {
    std::string name;        // without extension
    std::string extension;   // with its leading dot
    int format = ofJPEG;     // TOutputFormat
    bool folderReady = true; // false when the destination folder could not be created

    std::string FileName() const { return name + extension; }
};

// The extension of a file name or relative path (with its dot), "" when it has none.
std::string SourceExtension(const std::string& sourceName);

// The written extension and output format for a source extension (with or without its
// dot, any letter case) when the source format is kept.
void KeptFormatFor(const std::string& sourceExtension, std::string& extension, int& format);

// The extension (with its dot) and output format of the file made from `sourceName`: they
// follow from the settings and the source's extension alone.
void OutputFormatFor(const JobSettings& settings, const std::string& sourceName,
                     std::string& extension, int& format);

// The pattern with "<same>" and then "<inc>" replaced, the tags in any letter case.
std::string ApplyNamePattern(const std::string& pattern, const std::string& base, int position);

// True when the metafile writer must produce the Windows form for this extension.
bool ForcesWindowsMetafile(const std::string& extension);

// Creates the destination folder with its missing parents and makes sure a picture can be
// saved in it. Returns "" when it can, else the reason it cannot.
std::string PrepareDestinationFolder(const std::string& folder);

// Names the output files of one run. Output files of the run never replace each other;
// existing files are replaced only when Overwrite is set.
class TDestinationNaming {
  public:
    // Without `createFolders` nothing is written: the names are those a run would give.
    explicit TDestinationNaming(const JobSettings& settings, bool createFolders = true)
        : settings_(settings), createFolders_(createFolders)
    {
    }

    // Creates DDir with its parents, forms the name for source `sourceName` at 1-based
    // `position` of the selection, and enters it in the used-name list (where it stays even
    // when the file is then not saved). A source in a subfolder ("a/b.jpg") is named into
    // the same subfolder of DDir.
    DestinationName FormDestinationName(const std::string& sourceName, int position);

    // The name from the pattern and this run's earlier names alone, without looking at
    // existing files or entering it.
    DestinationName Candidate(const std::string& sourceName, int position) const;
    // Enters a name (relative to DDir, with extension) as given to an output of this run.
    void Reserve(const std::string& fileName) { used_.insert(fileName); }

    bool IsUsed(const std::string& fileName) const { return used_.count(fileName) != 0; }

  private:
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    const JobSettings& settings_;
    bool createFolders_;
    std::set<std::string, NoCase> used_;
};

} // namespace tabulonix
