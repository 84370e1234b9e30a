#include "i18n/LanguageList.h"

#include "platform/Exception.h"
#include "platform/FileLocations.h"
#include "platform/Files.h"

#include <exception>

namespace tabulonix {

namespace {

TBitmap NewFlag(TColor background)
{
    TBitmap flag;
    flag.SetSize(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            flag.SetPixel(x, y, background);
    return flag;
}

void Frame(TBitmap& flag, int top, int bottom)
{
    for (int x = 0; x < 16; ++x) {
        flag.SetPixel(x, top, clGray);
        flag.SetPixel(x, bottom, clGray);
    }
    for (int y = top; y <= bottom; ++y) {
        flag.SetPixel(0, y, clGray);
        flag.SetPixel(15, y, clGray);
    }
}

// Loads a flag picture; false when it cannot be read as a bitmap.
bool LoadFlag(const std::string& path, TBitmap& flag)
{
    try {
        flag.ReadFile(path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

TBitmap EnglishFlag()
{
    // A red cross on white, framed, in the 16 x 11 middle of the icon.
    TBitmap flag = NewFlag(clFuchsia);
    for (int y = 2; y <= 12; ++y)
        for (int x = 0; x < 16; ++x)
            flag.SetPixel(x, y, (x == 7 || x == 8 || y == 7) ? clRed : clWhite);
    Frame(flag, 2, 12);
    flag.SetTransparentColor(clFuchsia);
    return flag;
}

TBitmap BlankFlag()
{
    TBitmap flag = NewFlag(clFuchsia);
    for (int y = 2; y <= 12; ++y)
        for (int x = 0; x < 16; ++x)
            flag.SetPixel(x, y, clWhite);
    Frame(flag, 2, 12);
    flag.SetTransparentColor(clFuchsia);
    return flag;
}

std::string LanguageFolder()
{
    return Locations().languageFolder;
}

LanguageList BuildLanguageList(const std::string& folder, FlagSize size)
{
    LanguageList list;
    list.icons.push_back(EnglishFlag());
    list.icons.push_back(BlankFlag());
    list.entries.push_back({kDefaultLanguageName, kEnglishFlagIcon});

    const std::string dir = IncludeTrailingSlash(folder);
    for (const FolderEntry& file : FindFiles(dir, "*.txt")) {
        if (file.isDirectory || file.name.size() < 4)
            continue;
        LanguageEntry entry;
        entry.text = file.name.substr(0, file.name.size() - 4);
        const std::string flagPath = dir + entry.text + ".bmp";
        TBitmap flag;
        if (FileExists(flagPath) && LoadFlag(flagPath, flag)) {
            if (size == FlagSize::Cut16)
                flag.SetSize(16, 16); // keeps the top-left corner, pads with white
            entry.icon = static_cast<int>(list.icons.size());
            list.icons.push_back(std::move(flag));
        }
        list.entries.push_back(std::move(entry));
    }
    return list;
}

std::string FileListText(const std::string& folder, const std::string& mask, bool fullPaths)
{
    const std::string dir = IncludeTrailingSlash(folder);
    std::string text;
    for (const FolderEntry& file : FindFiles(dir, mask)) {
        if (file.isDirectory)
            continue;
        std::string item;
        if (fullPaths) {
            item = dir + file.name;
        } else {
            item = file.name.substr(0, file.name.size() - ExtractFileExt(file.name).size());
        }
        if (!text.empty())
            text += ',';
        text += '"' + item + '"';
    }
    return text;
}

} // namespace tabulonix
