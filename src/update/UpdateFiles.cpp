#include "update/UpdateFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulonix {

TExclusiveFile::TExclusiveFile(const std::string& path, uint64_t limit) : path_(path), limit_(limit)
{
    // Not truncated before the lock is ours: the holder's data must stay intact.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EFCreateError("Cannot create file \"" + path + "\". Not a regular file.");
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        throw EFCreateError("Cannot create file \"" + path + "\". The file is in use.");
    }
    if (::ftruncate(fd_, 0) != 0) {
        int error = errno;
        ::close(fd_);
        fd_ = -1;
        throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(error));
    }
}

TExclusiveFile::~TExclusiveFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void TExclusiveFile::Write(const char* data, size_t size)
{
    if (fd_ < 0)
        throw EStreamError("Error writing file \"" + path_ + "\"");
    if (size > limit_ - size_)
        throw Exception("Document too large");
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd_, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EStreamError("Error writing file \"" + path_ + "\"");
        done += static_cast<size_t>(n);
    }
    size_ += size;
}

void TExclusiveFile::Close()
{
    if (fd_ < 0)
        return;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        throw EStreamError("Error writing file \"" + path_ + "\"");
}

void DeleteUnlessInUse(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        if (held)
            return;
    }
    ::unlink(path.c_str()); // fails on a folder, which is what we want
}

std::string DownloadFileName(const std::string& url)
{
    size_t last = url.find_last_of("/\\:");
    return last == std::string::npos ? url : url.substr(last + 1);
}

} // namespace tabulonix
