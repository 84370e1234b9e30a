#include "cli/CommandLine.h"

#include "cli/SettingsFile.h"
#include "engine/JobFromSettings.h"

#include "platform/Exception.h"
#include "platform/Files.h"
#include "settings/ColorNames.h"

#include <charconv>
#include <functional>
#include <unistd.h>

namespace tabulonix::cli {

namespace {

using Apply = std::function<void(CommandLine&, const std::string& value)>;

struct Option {
    const char* name;
    const char* value; // nullptr for a flag
    const char* help;
    Apply apply;
};

int ParseInt(const std::string& option, const std::string& text, IntRange range)
{
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        throw UsageError{option + ": '" + text + "' is not a whole number"};
    if (!range.Contains(v))
        throw UsageError{option + ": " + text + " is out of range (" + std::to_string(range.low) +
                         "-" + std::to_string(range.high) + ")"};
    return static_cast<int>(v);
}

constexpr IntRange kSide{1, 1000000};

IntRange MainRange(const char* key)
{
    return SettingRange("Main", key);
}

// Every option in one table: adding an option is adding a row.
const std::vector<Option>& Options()
{
    static const std::vector<Option> table = {
        {"--convert", nullptr, "only convert (default: make thumbnails)",
         [](CommandLine& c, const std::string&) { c.settings.ToDo = 1; }},
        {"--width", "N", "requested width in pixels (default 100)",
         [](CommandLine& c, const std::string& v) {
             c.settings.Leveys = ParseInt("--width", v, kSide);
         }},
        {"--height", "N", "requested height in pixels (default 100)",
         [](CommandLine& c, const std::string& v) {
             c.settings.Korkeus = ParseInt("--height", v, kSide);
         }},
        {"--aspect", "height|width|none|fit",
         "keep the aspect ratio favouring the height (default) or width, or not, or fit the "
         "picture in the width x height box",
         [](CommandLine& c, const std::string& v) {
             if (v == "height")
                 c.settings.Aspect = 0;
             else if (v == "width")
                 c.settings.Aspect = 1;
             else if (v == "none")
                 c.settings.Aspect = 2;
             else if (v == "fit")
                 c.settings.Aspect = 3;
             else
                 throw UsageError{"--aspect: expected height, width, none or fit, not '" + v + "'"};
         }},
        {"--enlarge", nullptr, "enlarge pictures smaller than the requested size",
         [](CommandLine& c, const std::string&) { c.settings.StretchSmall = true; }},
        {"--auto-rotate", nullptr,
         "turn JPEG and TIFF photos upright by their EXIF orientation before sizing",
         [](CommandLine& c, const std::string&) { c.settings.AutoRotate = true; }},
        {"--smooth", nullptr,
         "shrink by averaging the source pixels each output pixel covers (default: nearest)",
         [](CommandLine& c, const std::string&) { c.settings.Smooth = true; }},
        {"--frame", "COLOR", "draw a frame (clRed, $00BBGGRR or an integer)",
         [](CommandLine& c, const std::string& v) {
             try {
                 c.settings.Color = StringToColor(v);
             } catch (const Exception& e) {
                 throw UsageError{"--frame: " + e.Message()};
             }
             c.settings.DrawFrame = true;
         }},
        {"--frame-size", "N", "frame width in pixels, 1-100 (default 1)",
         [](CommandLine& c, const std::string& v) {
             c.settings.Size =
                 static_cast<int16_t>(ParseInt("--frame-size", v, MainRange("Frame size")));
         }},
        {"--format", "jpg|gif|png|bmp|wmf|emf|tga",
         "output format, any letter case, jpeg for jpg (default: keep each source's format)",
         [](CommandLine& c, const std::string& v) {
             std::string name = LowerCase(v);
             if (name == "jpeg")
                 name = "jpg";
             for (int i = 0; i < kOutputFormatCount; ++i)
                 if (name == FormatExtension(i)) {
                     c.settings.Format = i;
                     c.formatGiven = true;
                     return;
                 }
             throw UsageError{"--format: unknown format '" + v + "'"};
         }},
        {"--extension", "EXT", "extension of the output files, without the dot (needs --format)",
         [](CommandLine& c, const std::string& v) {
             c.settings.Extension = v;
             c.extensionGiven = true;
         }},
        {"--name", "PATTERN",
         "output name with <same> and <inc> (default <same>tn, or <same> with --convert)",
         [](CommandLine& c, const std::string& v) {
             c.settings.NameFormat = v;
             c.nameGiven = true;
         }},
        {"--no-overwrite", nullptr, "never replace existing pictures; number the new ones instead",
         [](CommandLine& c, const std::string&) { c.settings.Overwrite = false; }},
        {"--skip-unchanged", nullptr,
         "leave out sources whose output of an earlier run with the same settings is newer",
         [](CommandLine& c, const std::string&) { c.settings.SkipUnchanged = true; }},
        {"--quality", "N", "JPEG quality, 1-100 (default 80)",
         [](CommandLine& c, const std::string& v) {
             c.settings.TrackBar = ParseInt("--quality", v, MainRange("JPG compression"));
         }},
        {"--baseline", nullptr, "baseline JPEG (default: progressive)",
         [](CommandLine& c, const std::string&) { c.settings.Progressive = false; }},
        {"--png-level", "N", "PNG compression level, 0-9 (default 9)",
         [](CommandLine& c, const std::string& v) {
             c.settings.PNGTrackBar = ParseInt("--png-level", v, MainRange("PNG compression"));
         }},
        {"--html", "FILE", "write a new HTML gallery (default for thumbnails: DEST_DIR/QVHTML.htm)",
         [](CommandLine& c, const std::string& v) { c.htmlCreate = v; }},
        {"--update-html", "FILE", "replace the generated part of an existing HTML file",
         [](CommandLine& c, const std::string& v) { c.htmlUpdate = v; }},
        {"--no-html", nullptr, "write no HTML",
         [](CommandLine& c, const std::string&) { c.noHtml = true; }},
        {"--no-dimensions", nullptr, "leave out the width and height of the images",
         [](CommandLine& c, const std::string&) { c.settings.FillDimensions = false; }},
        {"--no-table", nullptr, "place the images without a table",
         [](CommandLine& c, const std::string&) { c.settings.UseTable = false; }},
        {"--no-link", nullptr, "do not link the images to their source files",
         [](CommandLine& c, const std::string&) { c.settings.Link = false; }},
        {"--target", "NAME", "target frame of the links",
         [](CommandLine& c, const std::string& v) { c.settings.Target = v; }},
        {"--per-line", "N", "images on one line without a table, 1-10000 (default 5)",
         [](CommandLine& c, const std::string& v) {
             c.settings.BRUp =
                 static_cast<int16_t>(ParseInt("--per-line", v, MainRange("Images on same line")));
         }},
        {"--image-border", "N", "image border, 0-20 (default 0)",
         [](CommandLine& c, const std::string& v) {
             c.settings.IBorderUp =
                 static_cast<int16_t>(ParseInt("--image-border", v, MainRange("Image border")));
         }},
        {"--table-border", "N", "table border, 0-20 (default 1)",
         [](CommandLine& c, const std::string& v) {
             c.settings.BorderUp =
                 static_cast<int16_t>(ParseInt("--table-border", v, MainRange("Table border")));
         }},
        {"--per-cell", "N", "images in one table cell, 1-10000 (default 1)",
         [](CommandLine& c, const std::string& v) {
             c.settings.TDUp =
                 static_cast<int16_t>(ParseInt("--per-cell", v, MainRange("Images on same cell")));
         }},
        {"--per-row", "N", "images in one table row, 1-10000 (default 5)",
         [](CommandLine& c, const std::string& v) {
             c.settings.TRUp =
                 static_cast<int16_t>(ParseInt("--per-row", v, MainRange("Images on same row")));
         }},
        {"--no-center", nullptr, "do not centre the images in their cells",
         [](CommandLine& c, const std::string&) { c.settings.CenterCell = false; }},
        {"--pages", "N", "several linked pages of N images each, 1-10000",
         [](CommandLine& c, const std::string& v) {
             c.settings.ImageCountUp =
                 static_cast<int16_t>(ParseInt("--pages", v, MainRange("Images on same page")));
             c.settings.CreateMulti = true;
         }},
        {"--settings", "FILE", "take the job settings from a settings file",
         [](CommandLine& c, const std::string& v) { c.settingsFile = v; }},
        {"--language", "FILE|NAME", "messages from a language file or a shipped language",
         [](CommandLine& c, const std::string& v) { c.languageFile = v; }},
        {"--jobs", "N", "worker threads preparing files, 1-256 (default: one per core)",
         [](CommandLine& c, const std::string& v) {
             c.jobs = ParseInt("--jobs", v, IntRange{1, 256});
         }},
        {"--recursive", nullptr,
         "take the pictures of the subfolders too; outputs go into the same subfolders",
         [](CommandLine& c, const std::string&) { c.recursive = true; }},
        {"--dry-run", nullptr,
         "print each source, the destination name and size it would get, and write nothing",
         [](CommandLine& c, const std::string&) { c.dryRun = true; }},
        {"--json", "FILE", "write a report of the run (or of the dry run) as JSON",
         [](CommandLine& c, const std::string& v) { c.jsonFile = v; }},
        {"--quiet", nullptr, "no progress bar",
         [](CommandLine& c, const std::string&) { c.quiet = true; }},
        {"--help", nullptr, "show this help",
         [](CommandLine& c, const std::string&) { c.help = true; }},
        {"--version", nullptr, "show the program version",
         [](CommandLine& c, const std::string&) { c.version = true; }},
    };
    return table;
}

const Option* FindOption(const std::string& name)
{
    for (const auto& o : Options())
        if (name == o.name)
            return &o;
    return nullptr;
}

// Settles what depends on several options.
void Finish(CommandLine& c)
{
    JobSettings& s = c.settings;
    if (!c.nameGiven)
        s.NameFormat = NameFormatForTask(s.NameFormat, s.ToDo);
    if (c.formatGiven) {
        s.KeepFormat = false;
        if (!c.extensionGiven)
            s.Extension = FormatExtension(s.Format);
    } else if (c.extensionGiven) {
        throw UsageError{"--extension needs --format (sources keep their own format otherwise)"};
    }
    int htmlChoices =
        (c.noHtml ? 1 : 0) + (c.htmlCreate.empty() ? 0 : 1) + (c.htmlUpdate.empty() ? 0 : 1);
    if (htmlChoices > 1)
        throw UsageError{"choose only one of --html, --update-html and --no-html"};
    // A settings file that asks for no HTML keeps it off unless an option asks for some.
    if (!c.settingsFile.empty() && htmlChoices == 0 && s.CreateHTML == 2)
        c.noHtml = true;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine c;
    // --language and --settings first, so that every other option applies over the file.
    ApplyFileOptions(args, c);
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg[1] != '-')
            throw UsageError{"unknown option " + arg};
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg, value;
        bool inlineValue = false;
        if (size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        const Option* option = FindOption(name);
        if (!option)
            throw UsageError{"unknown option " + name};
        if (option->value && !inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError{name + " needs a value (" + option->value + ")"};
            value = args[++i];
        } else if (!option->value && inlineValue) {
            throw UsageError{name + " takes no value"};
        }
        option->apply(c, value);
    }
    if (c.help || c.version)
        return c;
    // With a settings file the two folders may come from it.
    if (positional.size() < 2 && !(positional.empty() && !c.settingsFile.empty()))
        throw UsageError{"expected SOURCE_DIR and DEST_DIR"};
    if (positional.size() >= 2) {
        c.sourceDir = positional[0];
        c.destDir = positional[1];
        c.files.assign(positional.begin() + 2, positional.end());
    } else if (c.sourceDir.empty() || c.destDir.empty()) {
        throw UsageError{"the settings file names no source or destination folder"};
    }
    Finish(c);
    return c;
}

std::string HelpText()
{
    std::string out =
        "Usage: tabulonix-batch [OPTIONS] SOURCE_DIR DEST_DIR [FILE...]\n"
        "Makes thumbnails of (or converts) the pictures of SOURCE_DIR into DEST_DIR and writes\n"
        "an HTML gallery. FILE... are names inside SOURCE_DIR; without them every readable\n"
        "picture of the folder is taken.\n\nOptions:\n";
    for (const auto& o : Options()) {
        std::string left = std::string("  ") + o.name + (o.value ? std::string(" ") + o.value : "");
        if (left.size() < 36)
            left.resize(36, ' ');
        else
            left += "\n" + std::string(36, ' ');
        out += left + o.help + "\n";
    }
    std::string endOfOptions = "  --";
    endOfOptions.resize(36, ' ');
    out += endOfOptions + "end of the options: what follows are folders and file names\n";
    out += "\nExit status: 0 when every file was processed, 1 when any failed or the run was "
           "stopped,\n"
           "2 for bad usage.\n";
    return out;
}

std::string AbsolutePath(const std::string& path)
{
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char buf[4096];
        std::string cwd = getcwd(buf, sizeof buf) ? buf : ".";
        full = cwd + "/" + full;
    }
    bool trailing = full.size() > 1 && full.back() == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= full.size()) {
        size_t end = full.find('/', start);
        if (end == std::string::npos)
            end = full.size();
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    if (out.empty())
        return "/";
    if (trailing)
        out += "/";
    return out;
}

} // namespace tabulonix::cli
