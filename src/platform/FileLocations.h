#pragma once
#include <string>

namespace tabulonix {

// Where the program keeps and finds its files; nothing else knows the rule.
//
// A copy whose executable folder it can write to (the build folder, a portable copy) keeps
// everything beside the executable. An installed copy (a folder it cannot write, or any
// folder under /usr/) keeps Options.ini in the user's configuration folder and saves
// updates into the user's download folder. Either way "Languages/" and "Helps/" are taken
// from beside the executable when there, else from ../share/tabulonix/ relative to it.
struct FileLocations {
    bool portable = true;
    std::string executableFolder; // every folder here ends with "/"
    std::string optionsFile;      // full path of Options.ini
    std::string updateFolder;     // default of "Save update directory"
    std::string languageFolder;   // ".../Languages/"
    std::string helpFolder;       // ".../Helps/"
};

// What the decision depends on, gathered from the process or given by a test.
struct LocationFacts {
    std::string executableFolder;
    bool executableFolderWritable = true;
    std::string home;           // $HOME (or the password entry's home)
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME as set, "" when unset
    std::string downloadFolder; // the user's download folder, "" when not configured
};

FileLocations DecideLocations(const LocationFacts& facts);

// Whether this process may create files in the folder.
bool FolderIsWritable(const std::string& folder);

// The facts of this process: /proc/self/exe, write access to its folder, the environment
// and the user's folder configuration (user-dirs.dirs).
LocationFacts ProcessLocationFacts();

// DecideLocations(ProcessLocationFacts()), decided once per process.
const FileLocations& Locations();

// The download folder that a user-dirs.dirs text names (XDG_DOWNLOAD_DIR, "$HOME/..." or an
// absolute path), ending with "/"; "" when it names none.
std::string DownloadFolderFromUserDirs(const std::string& userDirsText, const std::string& home);

} // namespace tabulonix
