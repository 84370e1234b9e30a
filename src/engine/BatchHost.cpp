#include "engine/BatchHost.h"

#include "codecs/PixelBudget.h"
#include "platform/Exception.h"

#include <cstring>

namespace tabulonix {

std::string FailureReason(const std::exception &error)
{
    if (auto *large = dynamic_cast<const EPictureTooLarge*>(&error))
        return "picture too large: " + std::to_string(large->Width()) + " \u00d7 " +
               std::to_string(large->Height());
    if (auto *stream = dynamic_cast<const EStreamError*>(&error); stream && stream->ErrorNumber())
        return std::strerror(stream->ErrorNumber());
    return error.what();
}

} // namespace tabulonix
