#include "cli/SettingsFile.h"

#include "engine/JobFromSettings.h"
#include "i18n/IniLang.h"
#include "i18n/LanguageList.h"
#include "platform/Files.h"

namespace tabulonix::cli {

namespace {

// The value of an option given as "--name VALUE" or "--name=VALUE" before "--"; the last
// one counts, as when options are applied in order.
bool FindOptionValue(const std::vector<std::string>& args, const std::string& name,
                     std::string& value)
{
    bool found = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            break;
        if (arg == name && i + 1 < args.size()) {
            value = args[++i];
            found = true;
        } else if (arg.compare(0, name.size() + 1, name + "=") == 0) {
            value = arg.substr(name.size() + 1);
            found = true;
        }
    }
    return found;
}

} // namespace

void ApplyFileOptions(const std::vector<std::string>& args, CommandLine& c)
{
    // --help and --version answer without looking at any file.
    for (const auto& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "--version")
            return;
    }
    std::string path;
    if (FindOptionValue(args, "--language", path)) {
        std::string full = AbsolutePath(path);
        // A bare name that is no file here names one of the program's own languages.
        if (!FileExists(full) && path.find('/') == std::string::npos)
            full = LanguageFolder() + path + ".txt";
        LanguageFilePtr file = OpenLanguageFileAt(full);
        if (!file)
            throw UsageError{"--language: cannot read " + full};
        SetCurrentLanguageFile(file);
        c.languageFile = full;
    }
    if (FindOptionValue(args, "--settings", path)) {
        const std::string full = AbsolutePath(path);
        if (!FileExists(full))
            throw UsageError{"--settings: no such file " + full};
        MainSettings main;
        try {
            main = ReadMainSection(full, true);
        } catch (const Exception& e) {
            throw UsageError{"--settings: " + e.Message()};
        }
        c.settings = JobFromMainSettings(main);
        c.sourceDir = main.SDir;
        c.destDir = main.DDir;
        c.settingsFile = full;
    }
}

} // namespace tabulonix::cli
