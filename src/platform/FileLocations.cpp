#include "platform/FileLocations.h"

#include "platform/Files.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace tabulonix {

namespace {

std::string Normalised(const std::string& folder)
{
    std::string text = std::filesystem::path(folder).lexically_normal().string();
    return IncludeTrailingSlash(text);
}

// Beside the executable first, then in the shared data folder of an installed copy; when
// neither holds it, beside the executable (where a portable copy would make it).
std::string DataFolder(const std::string& executableFolder, const std::string& name)
{
    const std::string beside = executableFolder + name + "/";
    if (DirectoryExists(beside))
        return beside;
    const std::string shared = Normalised(executableFolder + "../share/tabulonix/" + name + "/");
    return DirectoryExists(shared) ? shared : beside;
}

bool UnderSystemPrefix(const std::string& folder)
{
    return folder.rfind("/usr/", 0) == 0;
}

// $XDG_CONFIG_HOME, or ~/.config/ when it is unset or (invalid) relative.
std::string ConfigFolder(const std::string& home, const std::string& xdgConfigHome)
{
    if (!xdgConfigHome.empty() && xdgConfigHome[0] == '/')
        return IncludeTrailingSlash(xdgConfigHome);
    return home + ".config/";
}

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

FileLocations DecideLocations(const LocationFacts& facts)
{
    FileLocations where;
    where.executableFolder = IncludeTrailingSlash(facts.executableFolder);
    // A system folder counts as installed even for the super-user, who may write to it.
    where.portable = facts.executableFolderWritable && !UnderSystemPrefix(where.executableFolder);
    where.languageFolder = DataFolder(where.executableFolder, "Languages");
    where.helpFolder = DataFolder(where.executableFolder, "Helps");
    if (where.portable) {
        where.optionsFile = where.executableFolder + "Options.ini";
        where.updateFolder = where.executableFolder;
        return where;
    }
    const std::string home =
        facts.home.empty() ? where.executableFolder : IncludeTrailingSlash(facts.home);
    where.optionsFile = ConfigFolder(home, facts.xdgConfigHome) + "tabulonix/Options.ini";
    where.updateFolder =
        facts.downloadFolder.empty() ? home : IncludeTrailingSlash(facts.downloadFolder);
    return where;
}

bool FolderIsWritable(const std::string& folder)
{
    return DirectoryExists(folder) && access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string DownloadFolderFromUserDirs(const std::string& userDirsText, const std::string& home)
{
    std::istringstream lines(userDirsText);
    std::string folder;
    const std::string key = "XDG_DOWNLOAD_DIR=\"";
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind(key, 0) != 0 || line.size() <= key.size() || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if ((value == "$HOME" || value.rfind("$HOME/", 0) == 0) && !home.empty())
            value = IncludeTrailingSlash(home) + value.substr(std::min<size_t>(value.size(), 6));
        if (value.empty() || value[0] != '/')
            continue;
        folder = IncludeTrailingSlash(value); // a later line wins, as when the shell reads it
    }
    return folder;
}

LocationFacts ProcessLocationFacts()
{
    LocationFacts facts;
    facts.executableFolder = ExecutableFolder();
    facts.executableFolderWritable = FolderIsWritable(facts.executableFolder);
    facts.home = EnvironmentValue("HOME");
    if (facts.home.empty()) {
        if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_dir)
            facts.home = entry->pw_dir;
    }
    facts.xdgConfigHome = EnvironmentValue("XDG_CONFIG_HOME");
    const std::string home = IncludeTrailingSlash(facts.home);
    std::ifstream userDirs(ConfigFolder(home, facts.xdgConfigHome) + "user-dirs.dirs");
    if (userDirs) {
        std::stringstream text;
        text << userDirs.rdbuf();
        facts.downloadFolder = DownloadFolderFromUserDirs(text.str(), facts.home);
    }
    if (facts.downloadFolder.empty() && !home.empty() && DirectoryExists(home + "Downloads"))
        facts.downloadFolder = home + "Downloads/";
    return facts;
}

const FileLocations& Locations()
{
    static const FileLocations where = DecideLocations(ProcessLocationFacts());
    return where;
}

} // namespace tabulonix
