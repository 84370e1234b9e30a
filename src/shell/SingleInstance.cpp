#include "shell/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tabulonix {

std::string SingleInstance::LockPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime && *runtime ? runtime : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder + "Tabulonix.lock";
}

SingleInstance::SingleInstance()
{
    // Close-on-exec: a program started from ours (a browser, a help viewer) must not keep
    // the lock alive after we end.
    fd_ = ::open(LockPath().c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return;
    int result;
    do
        result = ::flock(fd_, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    first_ = result == 0 || errno != EWOULDBLOCK;
}

SingleInstance::~SingleInstance()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace tabulonix
