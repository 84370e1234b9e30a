// Reads arbitrary bytes as a language file and fetches every message from it.
#include "i18n/IniLang.h"
#include "i18n/Messages.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    auto file = std::make_shared<const TLanguageFile>(TLanguageFile::Parse(bytes));
    file->Dump();
    file->ReadString("PaaIkkuna", "PaaIkkuna.Caption", "");
    SetCurrentLanguageFile(file);
    for (int i = 1; i <= 39; ++i) {
        char id[8];
        std::snprintf(id, sizeof id, "M%03d", i);
        LangMessage(id);
    }
    SetCurrentLanguageFile(nullptr);
    return 0;
}
