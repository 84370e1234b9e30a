#include "platform/Version.h"

#include "platform/VersionNumbers.h"

namespace tabulonix {

std::string ProgramVersion()
{
    return std::to_string(TABULONIX_VERSION_MAJOR) + "." + std::to_string(TABULONIX_VERSION_MINOR) +
           "." + std::to_string(TABULONIX_VERSION_PATCH) + "." +
           std::to_string(TABULONIX_VERSION_TWEAK);
}

} // namespace tabulonix
