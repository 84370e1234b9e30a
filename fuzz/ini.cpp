// Reads arbitrary bytes as a settings file, writes a value into them and checks that the
// value reads back while the reader's view of other sections stays as it was.
#include "platform/Files.h"
#include "settings/IniFile.h"

#include <cstdint>
#include <string>

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string content(reinterpret_cast<const char*>(data), size);
    std::string value;
    ini::FindValue(content, "Main", "Width", value);
    ini::FindValue(content, "General", "Language index", value);
    const auto before = ini::Entries(content);

    const std::string written = ini::SetValue(content, "Main", "Width", "fuzz value");
    if (!ini::FindValue(written, "Main", "Width", value) || value != "fuzz value")
        __builtin_trap();
    size_t others = 0;
    for (const auto& e : ini::Entries(written))
        others += !(SameText(e.section, "Main") && SameText(e.key, "Width"));
    size_t othersBefore = 0;
    for (const auto& e : before)
        othersBefore += !(SameText(e.section, "Main") && SameText(e.key, "Width"));
    if (others != othersBefore)
        __builtin_trap();
    return 0;
}
