#include "i18n/Messages.h"

#include "i18n/IniLang.h"

#include <array>
#include <vector>

namespace tabulonix {

namespace {

struct MessageEntry {
    const char* id;
    const char* text;
};

// Every run-time message with its English default, looked up in section "Misc" of a
// language file under the same ID.
constexpr std::array<MessageEntry, 43> kMessages = {{
    {"M001", "Browse for folder..."},
    {"M002", "A newer version of Tabulonix detected! Click yes if you want to know more or "
             "download it. No to be reminded later."},
    {"M003", "While checking for updates Tabulonix has run to an error for %d times in a "
             "row. It is recommended to check the options or Merovane web pages to fix this. "
             "Would you like to reset the error counter?"},
    {"M004", "Error opening file %s!"},
    {"M005", "Error saving file %s!"},
    {"M006", "Error saving HTML-output %s!"},
    {"M007", "Complete! %d of %d images processed!"},
    {"M008", "Process images!"},
    {"M009", "Next step"},
    {"M010", "The smallest file size, the worst quality"},
    {"M011", "Small file size, bad quality"},
    {"M012", "Quite small file size, poor quality"},
    {"M013", "Medium file size, medium quality"},
    {"M014", "Quite large file size, good quality"},
    {"M015", "Large file size, excellent quality"},
    {"M016", "The largest file size, the best quality"},
    {"M017", "No images to process!"},
    {"M018", "%d image(s) to process!"},
    {"M019", "default"},
    {"M020", "Can't update, no headers found!"},
    {"M021", "The largest file size, the fastest compression"},
    {"M022", "Large file size, fast compression"},
    {"M023", "Medium file size, medium compression"},
    {"M024", "Small file size, slow compression"},
    {"M025", "The smallest file size, the slowest compression"},
    {"M026", "(%d images loaded)"},
    {"M027", "(%d images loaded @ %s)"},
    {"M028", "A newer program version is available!"},
    {"M029", "Aborted!"},
    {"M030", "Trying to download program update!"},
    {"M031", "Error occured!"},
    {"M032", "Succesfully downloaded the program update!"},
    {"M033", "To install the update you need first to close Tabulonix, uninstall it and "
             "execute the downloaded file!"},
    {"M034", "Checking for update!"},
    {"M035", "Error occured! (%s)"},
    {"M036", "No updates found!"},
    {"M037", "Downloading %d of %d!"},
    {"M038", "Next"},
    {"M039", "Process!"},
    {"M040", "%d unchanged image(s) skipped!"},
    {"M041", "unchanged, kept"},
    {"M042", "Destination names:"},
    {"M043", "and %d more"},
}};

const std::string kMarker = "*|*";

// "*|*" stands for a line break. Pieces are joined so that leading markers collapse into
// one line break while markers in the middle and at the end give one each.
std::string ExpandLineBreaks(const std::string& value)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        size_t at = value.find(kMarker, start);
        if (at == std::string::npos) {
            pieces.push_back(value.substr(start));
            break;
        }
        pieces.push_back(value.substr(start, at - start));
        start = at + kMarker.size();
    }
    std::string result;
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        if (result.empty())
            result = pieces[i];
        else
            result += "\r\n" + pieces[i];
    }
    result += "\r\n" + pieces.back();
    return result;
}

} // namespace

const std::string& DefaultMessage(const std::string& id)
{
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> t;
        for (const auto& m : kMessages)
            t.emplace_back(m.text);
        return t;
    }();
    static const std::string empty;
    for (size_t i = 0; i < kMessages.size(); ++i)
        if (id == kMessages[i].id)
            return texts[i];
    return empty;
}

std::string LangMessage(const std::string& id)
{
    LanguageFilePtr file = CurrentLanguageFile();
    if (!file)
        return DefaultMessage(id);
    std::string value = file->ReadString("Misc", id, "");
    if (value.find(kMarker) == std::string::npos)
        return value;
    return ExpandLineBreaks(value);
}

} // namespace tabulonix
