#include "engine/BatchHost.h"

#include "platform/Exception.h"

#include <cstring>

namespace tabulonix {

std::string FailureReason(const std::exception& error)
{
    if (auto* stream = dynamic_cast<const EStreamError*>(&error); stream && stream->ErrorNumber())
        return std::strerror(stream->ErrorNumber());
    return error.what();
}

} // namespace tabulonix
