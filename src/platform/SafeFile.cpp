#include "platform/SafeFile.h"

#include "platform/Exception.h"
#include "platform/Files.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tabulonix {

std::string ResolveLink(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved))
            return resolved;
    }
    return path;
}

namespace {

// The temporary files being written, for a signal handler: a slot is claimed (1), filled
// and published (2), and freed (0) once its file is renamed or removed.
struct PendingSlot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
PendingSlot pendingSlots[64];

int ClaimSlot(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < static_cast<int>(std::size(pendingSlots)); ++i) {
        int expected = 0;
        PendingSlot& slot = pendingSlots[i];
        if (slot.state.compare_exchange_strong(expected, 1)) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(2);
            return i;
        }
    }
    return -1; // more files at once than slots: that one is not removed by a signal
}

void FreeSlot(int& slot)
{
    if (slot >= 0)
        pendingSlots[slot].state.store(0);
    slot = -1;
}

mode_t ProcessUmask()
{
    // umask can only be read by setting it: two threads doing so at once could leave 0.
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

[[noreturn]] void CreateFailed(const std::string& target, int error)
{
    throw EFCreateError("Cannot create file \"" + target + "\". " + std::strerror(error), error);
}

} // namespace

void RemovePendingTemporaryFiles() noexcept
{
    for (PendingSlot& slot : pendingSlots)
        if (slot.state.load() == 2)
            ::unlink(slot.path);
}

SafeFileWriter::SafeFileWriter(const std::string& target) : target_(ResolveLink(target))
{
    struct stat st {};
    replaces_ = stat(target_.c_str(), &st) == 0;
    // A rename would replace what a direct write could not.
    if (replaces_ && !S_ISREG(st.st_mode))
        CreateFailed(target_, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (replaces_ && access(target_.c_str(), W_OK) != 0)
        CreateFailed(target_, errno);
    mode_ = replaces_ ? (st.st_mode & 07777) : (0666 & ~ProcessUmask());
    owner_ = st.st_uid;
    group_ = st.st_gid;

    // Hidden, and short enough for the file system whatever the target's name length.
    std::string name = ExtractFileName(target_).substr(0, 200);
    std::string pattern = ExtractFilePath(target_) + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0)
        CreateFailed(target_, errno);
    temp_ = buffer.data();
    slot_ = ClaimSlot(temp_);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        int error = errno;
        ::close(fd);
        Discard();
        CreateFailed(target_, error);
    }
}

SafeFileWriter::~SafeFileWriter()
{
    Discard();
}

void SafeFileWriter::Discard() noexcept
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    FreeSlot(slot_);
}

void SafeFileWriter::Write(const void* data, size_t size)
{
    if (!file_)
        throw EStreamError("Stream write error", EBADF);
    if (size > 0 && std::fwrite(data, 1, size, file_) != size)
        throw EStreamError("Stream write error", errno);
}

uint64_t SafeFileWriter::Position() const
{
    off_t p = file_ ? ftello(file_) : -1;
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

void SafeFileWriter::Seek(uint64_t position)
{
    if (!file_ || fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0)
        throw EStreamError("Stream seek error", file_ ? errno : EBADF);
}

uint64_t SafeFileWriter::Size() const
{
    if (!file_)
        return 0;
    off_t here = ftello(file_);
    fseeko(file_, 0, SEEK_END);
    off_t end = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

void SafeFileWriter::Commit()
{
    if (!file_)
        throw EStreamError("Stream write error", EBADF);
    int fd = fileno(file_);
    int error = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_))
        error = errno ? errno : EIO;
    if (!error && replaces_ && (owner_ != geteuid() || group_ != getegid()))
        (void)!fchown(fd, owner_, group_); // best effort: keep the owner when allowed
    if (!error && fchmod(fd, mode_) != 0)
        error = errno;
    // The old content is only given up for data that is on the disk.
    if (!error && replaces_ && fsync(fd) != 0)
        error = errno;
    if (std::fclose(file_) != 0 && !error)
        error = errno;
    file_ = nullptr;
    if (!error && std::rename(temp_.c_str(), target_.c_str()) != 0)
        error = errno;
    if (error) {
        Discard();
        throw EStreamError("Stream write error", error);
    }
    temp_.clear();
    FreeSlot(slot_);
    if (replaces_) {
        std::string folder = ExtractFilePath(target_);
        int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            ::close(dir);
        }
    }
}

bool ReplaceFileContent(const std::string& target, const std::string& content)
{
    try {
        SafeFileWriter file(target);
        file.Write(content.data(), content.size());
        file.Commit();
        return true;
    } catch (const EStreamError& e) {
        errno = e.ErrorNumber() ? e.ErrorNumber() : EIO;
        return false;
    }
}

} // namespace tabulonix
