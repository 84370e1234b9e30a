#include "i18n/HelpFile.h"

#include "platform/FileLocations.h"
#include "platform/Files.h"

namespace tabulonix {

std::string ChooseHelpFile(const std::string& languageName, const std::string& folder)
{
    const std::string helps =
        folder.empty() ? Locations().helpFolder : IncludeTrailingSlash(folder) + "Helps/";
    const std::string own = helps + "QV" + languageName + ".hlp";
    return FileExists(own) ? own : helps + "QVEnglish.hlp";
}

} // namespace tabulonix
