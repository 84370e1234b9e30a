#include "i18n/HelpFile.h"

#include "platform/Files.h"

namespace tabulonix {

std::string ChooseHelpFile(const std::string& languageName, const std::string& folder)
{
    const std::string base = folder.empty() ? ExecutableFolder() : IncludeTrailingSlash(folder);
    const std::string own = base + "Helps/QV" + languageName + ".hlp";
    return FileExists(own) ? own : base + "Helps/QVEnglish.hlp";
}

} // namespace tabulonix
