// tabulonix-batch: the batch engine without a window.
#include "cli/CommandLine.h"
#include "cli/Report.h"
#include "cli/TerminalHost.h"
#include "codecs/Registry.h"
#include "engine/Batch.h"
#include "engine/BatchHost.h"
#include "engine/Gallery.h"
#include "engine/OutputEncoders.h"
#include "i18n/Messages.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Version.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace tabulonix;
using namespace tabulonix::cli;

namespace {

// Identifies a folder whatever path leads to it.
struct FolderId {
    dev_t device;
    ino_t inode;
    friend bool operator<(const FolderId& a, const FolderId& b)
    {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    }
};

// The files of `root` + `relative` whose extension opens a picture, named relative to
// `root`; with `recursive` those of its subfolders too. Links to folders are not followed
// (so no walk can loop), and `skip` (the destination inside the source) is left out.
void CollectReadableFiles(const std::string& root, const std::string& relative, bool recursive,
                          const std::vector<std::string>& readable,
                          const std::optional<FolderId>& skip, std::vector<std::string>& names)
{
    for (const auto& entry : FindFiles(root + relative, "*")) {
        const std::string path = root + relative + entry.name;
        if (entry.isDirectory) {
            struct stat st {};
            if (!recursive || lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                continue;
            if (skip && st.st_dev == skip->device && st.st_ino == skip->inode)
                continue;
            CollectReadableFiles(root, relative + entry.name + "/", recursive, readable, skip,
                                 names);
            continue;
        }
        std::string ext = LowerCase(ExtractFileExt(entry.name));
        if (ext.size() > 1 && std::binary_search(readable.begin(), readable.end(), ext.substr(1)))
            names.push_back(relative + entry.name);
    }
}

std::vector<std::string> ReadableFiles(const std::string& folder, bool recursive,
                                       const std::string& destination)
{
    std::optional<FolderId> skip;
    if (struct stat st{}; recursive && stat(destination.c_str(), &st) == 0)
        skip = FolderId{st.st_dev, st.st_ino};
    std::vector<std::string> names;
    CollectReadableFiles(folder, "", recursive, ReadableExtensions(), skip, names);
    return names;
}

int Run(const std::vector<std::string>& args)
{
    CommandLine c;
    try {
        c = ParseCommandLine(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tabulonix-batch: %s\nTry 'tabulonix-batch --help'.\n",
                     e.message.c_str());
        return 2;
    }
    if (c.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (c.version) {
        std::printf("tabulonix-batch %s\n", ProgramVersion().c_str());
        return 0;
    }

    JobSettings& s = c.settings;
    s.SDir = IncludeTrailingSlash(AbsolutePath(c.sourceDir));
    s.DDir = IncludeTrailingSlash(AbsolutePath(c.destDir));
    if (!DirectoryExists(s.SDir)) {
        struct stat st {};
        bool exists = stat(c.sourceDir.c_str(), &st) == 0;
        std::fprintf(stderr, "tabulonix-batch: source folder %s %s\n", c.sourceDir.c_str(),
                     exists ? "is a file, not a folder" : "does not exist");
        return 2;
    }
    for (const auto& f : c.files)
        if (f.find('/') != std::string::npos) {
            std::fprintf(stderr,
                         "tabulonix-batch: %s: give names inside SOURCE_DIR, without folders\n",
                         f.c_str());
            return 2;
        }

    if (c.noHtml) {
        s.CreateHTML = 2;
    } else if (!c.htmlUpdate.empty()) {
        s.HTMLFile = AbsolutePath(c.htmlUpdate);
        bool markers = false;
        try {
            markers = HasGalleryMarkers(s.HTMLFile);
        } catch (const std::exception&) {
            std::fprintf(stderr, "%s\n", Format(LangMessage("M004"), {s.HTMLFile}).c_str());
            return 1;
        }
        // A page without its marker pair is the user's own: refuse before anything is done
        // rather than replace it with a new gallery.
        if (!markers && FileExists(s.HTMLFile)) {
            std::fprintf(stderr, "%s\n", LangMessage("M020").c_str());
            return 2;
        }
        s.CreateHTML = markers ? 1 : 0;
        if (!markers)
            std::fprintf(stderr, "%s\n", LangMessage("M020").c_str());
    } else if (!c.htmlCreate.empty()) {
        s.CreateHTML = 0;
        s.HTMLFile = AbsolutePath(c.htmlCreate);
    } else if (s.ToDo == 0) {
        s.CreateHTML = 0;
        s.HTMLFile = s.DDir + "QVHTML.htm";
    } else {
        s.CreateHTML = 2;
    }

    SelectedFileList selected =
        MakeSelectedFiles(c.files.empty() ? ReadableFiles(s.SDir, c.recursive, s.DDir) : c.files);
    if (selected.Empty()) {
        std::fprintf(stderr, "%s\n", LangMessage("M017").c_str());
        return 0;
    }

    const std::string jsonFile = c.jsonFile.empty() ? std::string() : AbsolutePath(c.jsonFile);
    auto writeReport = [&](const BatchResult& r) {
        if (jsonFile.empty())
            return true;
        const std::string text = JsonReport(s, r, c.dryRun);
        try {
            WriteOutputFile(jsonFile, std::vector<uint8_t>(text.begin(), text.end()));
            return true;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s (%s)\n", Format(LangMessage("M005"), {jsonFile}).c_str(),
                         FailureReason(e).c_str());
            return false;
        }
    };

    if (c.dryRun) {
        BatchResult plan;
        plan.total = static_cast<int>(selected.Count());
        plan.files = PlanTheRun(s, selected);
        for (const FileOutcome& f : plan.files) {
            if (f.kind == FileOutcome::Failed) {
                std::fprintf(stderr, "%s (%s)\n", f.message.c_str(), f.reason.c_str());
                continue;
            }
            std::printf("%s\n", PlanLine(f).c_str());
            ++plan.processed;
            plan.skipped += f.kind == FileOutcome::Skipped;
        }
        bool reported = writeReport(plan);
        return plan.processed == plan.total && reported ? 0 : 1;
    }

    TerminalHost host(!c.quiet && isatty(STDERR_FILENO));
    BatchResult result;
    try {
        result = DoTheHonkyPonky(s, selected, host, c.jobs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tabulonix-batch: %s\n", e.what());
        return 1;
    }
    const bool reported = writeReport(result);
    if (result.destinationUnusable)
        return 2;
    if (result.skipped > 0)
        std::printf("%s\n", Format(LangMessage("M040"), {std::to_string(result.skipped)}).c_str());
    // The engine reports completion only for a run that was not stopped.
    if (result.aborted) {
        std::printf("Stopped: %d of %d images processed.\n", result.processed, result.total);
        return 1;
    }
    bool allDone = result.processed == result.total && host.ErrorCount() == 0 && reported;
    return allDone ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return Run(args);
}
