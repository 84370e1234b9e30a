// The language files the program ships: complete, consistent with each other and with the
// message table, each with a readable flag.
#include "codecs/surface/Bitmap.h"
#include "i18n/IniLang.h"
#include "i18n/Messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>

using namespace tabulonix;

namespace {

const std::string kFolder = TABULONIX_LANGUAGES_DIR "/";
const char* const kShipped[] = {"Finnish", "German", "French", "Spanish"};

TLanguageFile Load(const std::string& name)
{
    LanguageFilePtr file = OpenLanguageFileAt(kFolder + name + ".txt");
    if (!file)
        throw std::runtime_error("cannot read " + name + ".txt");
    return *file;
}

// "SECTION/KEY" of every entry (upper-cased, as the file matches them).
std::set<std::string> Keys(const TLanguageFile& file)
{
    std::set<std::string> keys;
    std::istringstream dump(file.Dump());
    std::string section;
    for (std::string line; std::getline(dump, line);) {
        if (!line.empty() && line.front() == '[')
            section = line.substr(1, line.size() - 2);
        else if (line.find('=') != std::string::npos)
            keys.insert(section + "/" + line.substr(0, line.find('=')));
    }
    return keys;
}

// The conversions a message is formatted with, in order ("%d%d", "%s").
std::string Conversions(const std::string& text)
{
    static const std::regex conversion("%[a-z]");
    std::string out;
    for (std::sregex_iterator it(text.begin(), text.end(), conversion), end; it != end; ++it)
        out += it->str();
    return out;
}

std::string MessageId(int n)
{
    char id[8];
    std::snprintf(id, sizeof id, "M%03d", n);
    return id;
}

} // namespace

TEST(ShippedLanguages, EveryMessageTranslatedWithTheSameConversions)
{
    for (const char* name : kShipped) {
        const TLanguageFile file = Load(name);
        for (int n = 1; n <= 39; ++n) {
            const std::string id = MessageId(n);
            const std::string text = file.ReadString("Misc", id, "");
            ASSERT_FALSE(text.empty()) << name << " " << id;
            EXPECT_NE(text, DefaultMessage(id)) << name << " " << id << " left in English";
            // A lost or swapped conversion would print garbage or read a wrong argument.
            EXPECT_EQ(Conversions(text), Conversions(DefaultMessage(id))) << name << " " << id;
        }
    }
}

TEST(ShippedLanguages, AllLanguagesTranslateTheSameTextsUnderWellFormedKeys)
{
    const std::set<std::string> reference = Keys(Load(kShipped[0]));
    EXPECT_GT(reference.size(), 150u);
    // A window key is the section's window, an optional component and a text property.
    const std::regex windowKey(
        R"(([A-Z]+)/([A-Z]+)(\.[A-Z0-9_]+)?\.(CAPTION|HINT|LINES\[\d+\]|ITEMS\[\d+\]))");
    const std::set<std::string> windows = {"PAAIKKUNA",      "OPTIONSIKKUNA", "KUVAIKKUNA",
                                           "PROGRESSIKKUNA", "UPDATEIKKUNA",  "ABOUTBOX"};
    for (const std::string& key : reference) {
        if (key.rfind("MISC/", 0) == 0)
            continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(key, m, windowKey)) << key;
        EXPECT_EQ(m[1], m[2]) << key << ": the key's window is not its section";
        EXPECT_TRUE(windows.count(m[1])) << key << ": not a translated window";
    }
    for (const char* name : kShipped)
        EXPECT_EQ(Keys(Load(name)), reference) << name << " differs from " << kShipped[0];
}

TEST(ShippedLanguages, EachHasAFlagOfSixteenBySixteen)
{
    for (const char* name : kShipped) {
        TBitmap flag;
        ASSERT_NO_THROW(flag.ReadFile(kFolder + name + ".bmp")) << name;
        EXPECT_EQ(flag.Width(), 16) << name;
        EXPECT_EQ(flag.Height(), 16) << name;
        // The lists take the bottom-left pixel as the transparent colour: the flag itself
        // must not reach it.
        EXPECT_EQ(flag.Pixel(0, 15), clFuchsia) << name;
        EXPECT_NE(flag.Pixel(8, 8), clFuchsia) << name;
    }
}
