#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace tabulonix {

// The file a write to `path` actually replaces: a link is followed so that it stays a link.
std::string ResolveLink(const std::string& path);

// A new content for a file, written to a temporary file beside it and renamed over it only
// when complete, so that a failed or interrupted write leaves the old file (or none) and
// no temporary file behind.
class SafeFileWriter {
  public:
    // Creates the temporary file in the folder of `target` (a link is followed). An
    // existing target that is not a regular file or that may not be written is refused, as
    // a direct write would be. Throws EFCreateError carrying the system's error number.
    explicit SafeFileWriter(const std::string& target);
    // Without Commit the temporary file is removed and the target left as it was.
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Throw EStreamError carrying the system's error number.
    void Write(const void* data, size_t size);
    uint64_t Position() const;
    void Seek(uint64_t position);
    uint64_t Size() const;
    // Puts the content in place: the mode (and, where allowed, the owner) of the file it
    // replaces, or the default mode of a new file; a replaced file's data reaches the disk
    // before the rename. Throws EStreamError; the target then stays as it was.
    void Commit();

    const std::string& Target() const { return target_; }
    const std::string& TemporaryPath() const { return temp_; }

  private:
    void Discard() noexcept;
    std::string target_;
    std::string temp_;
    FILE* file_ = nullptr;
    int slot_ = -1; // in the list of pending temporary files
    bool replaces_ = false;
    unsigned mode_ = 0;
    unsigned owner_ = 0, group_ = 0;
};

// Replaces the content of the file `target` (created when missing) through a
// SafeFileWriter. Returns false on any failure, with errno telling why; the old file is
// then untouched and the temporary file removed.
bool ReplaceFileContent(const std::string& target, const std::string& content);

// Removes every temporary file being written at this moment. Uses only async-signal-safe
// calls, for a signal handler that ends the process.
void RemovePendingTemporaryFiles() noexcept;

} // namespace tabulonix
