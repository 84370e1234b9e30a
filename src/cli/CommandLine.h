#pragma once
#include "engine/JobSettings.h"

#include <string>
#include <vector>

namespace tabulonix::cli {

// What the command line asks for, before the folders are looked at.
struct CommandLine {
    JobSettings settings;
    std::string sourceDir;
    std::string destDir;
    std::vector<std::string> files; // as given; empty = every readable file of the folder

    bool help = false;
    bool version = false;
    bool quiet = false;
    bool recursive = false; // take the pictures of the subfolders too
    bool dryRun = false;    // print the plan, write nothing
    std::string jsonFile;   // the report of the run, or of the plan
    int jobs = 0;           // worker threads; 0 = one per core

    // Resolved after parsing (see Finish in the .cpp).
    bool nameGiven = false;
    bool formatGiven = false;
    bool extensionGiven = false;
    bool noHtml = false;
    std::string htmlCreate; // --html
    std::string htmlUpdate; // --update-html
    std::string settingsFile;
    std::string languageFile;
};

// Bad usage: the message is the one-line reason.
struct UsageError {
    std::string message;
};

// Parses the arguments (without the program name); throws UsageError.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The option list for --help.
std::string HelpText();

// A path made absolute against the working folder, with "." and ".." segments and
// doubled slashes removed (no links are followed).
std::string AbsolutePath(const std::string& path);

} // namespace tabulonix::cli
