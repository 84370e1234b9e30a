#pragma once
#include "codecs/surface/Bitmap.h"

#include <string>
#include <vector>

namespace tabulonix {

constexpr const char* kDefaultLanguageName = "Default (English)";

// Icon positions of the two built-in flags.
constexpr int kEnglishFlagIcon = 0;
constexpr int kBlankFlagIcon = 1;

struct LanguageEntry {
    std::string text; // the language name: its file name without ".txt"
    int icon = kBlankFlagIcon;
};

// The language list: entry 0 is the built-in English, then one entry per language file.
// `icons` is the image list the entries point into: the English flag, the blank flag,
// then every flag picture loaded, in entry order.
struct LanguageList {
    std::vector<LanguageEntry> entries;
    std::vector<TBitmap> icons;
};

enum class FlagSize {
    AsLoaded, // the chooser adds each flag as it is
    Cut16,    // the options dialog cuts or extends it to 16 x 16 at its top-left corner
};

// The language folder of this copy (FileLocations): "Languages/" beside the executable,
// or the shared one of an installed copy.
std::string LanguageFolder();

// Lists the "*.txt" files of `folder` (folders skipped, hidden files included) in the order
// the file system gives them. A file name + ".bmp" beside one is its flag; a flag that is
// not a readable bitmap gets the blank flag.
LanguageList BuildLanguageList(const std::string& folder, FlagSize size);

// The built-in 16 x 16 flags.
TBitmap EnglishFlag();
TBitmap BlankFlag();

// The entries of a folder matching `mask` (folders skipped) as one comma-separated text of
// double-quoted items: full paths, or names without their extension.
std::string FileListText(const std::string& folder, const std::string& mask, bool fullPaths);

} // namespace tabulonix
