#include "cli/SettingsFile.h"

#include "i18n/IniLang.h"
#include "i18n/LanguageList.h"
#include "i18n/Messages.h"
#include "platform/Files.h"

namespace tabulonix::cli {

namespace {

const char* const kFormatExtensions[] = {"jpg", "gif", "png", "bmp", "wmf", "emf", "tga"};

int SideFromText(const std::string& text)
{
    // The wizard replaces text that is not an integer by "100"; an empty field is taken
    // the same way here, since the engine needs a number.
    return StrToIntDef(text, 100);
}

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

std::string NameFormatForTask(const std::string& pattern, int toDo)
{
    if (toDo == 0)
        return pattern == "<same>" ? "<same>tn" : pattern;
    return pattern == "<same>tn" ? "<same>" : pattern;
}

JobSettings JobFromMainSettings(const MainSettings& m)
{
    JobSettings s;
    s.ToDo = 0;
    s.SDir = m.SDir;
    s.DDir = m.DDir;
    s.Overwrite = m.Overwrite;
    s.Leveys = SideFromText(m.Leveys);
    s.Korkeus = SideFromText(m.Korkeus);
    s.Aspect = m.Aspect;
    s.StretchSmall = m.StretchSmall;
    s.DrawFrame = m.DrawFrame;
    s.Color = m.Color;
    s.Size = static_cast<int16_t>(m.UpDown);
    s.KeepFormat = m.KeepFormat;
    s.Format = m.Format;
    s.NameFormat = NameFormatForTask(m.NameFormat, 0);
    s.Extension = m.KeepFormat ? LangMessage("M019") : kFormatExtensions[m.Format];
    s.TrackBar = m.TrackBar;
    s.Progressive = m.Progressive;
    s.PNGTrackBar = m.PNGTrackBar;
    s.CreateHTML = m.CreateHTML;
    s.FillDimensions = m.FillDimensions;
    s.UseTable = m.UseTable;
    s.Link = m.Link;
    s.Target = m.Target;
    s.BRUp = static_cast<int16_t>(m.BRUp);
    s.IBorderUp = static_cast<int16_t>(m.IBorderUp);
    s.BorderUp = static_cast<int16_t>(m.BorderUp);
    s.TDUp = static_cast<int16_t>(m.TDUp);
    s.TRUp = static_cast<int16_t>(m.TRUp);
    s.CenterCell = m.CenterCell;
    s.CreateMulti = m.CreateMulti;
    s.ImageCountUp = static_cast<int16_t>(m.ImageCountUp);
    return s;
}

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
