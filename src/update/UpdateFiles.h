#pragma once
#include "net/ReceiveStream.h"

#include <cstdint>
#include <limits>
#include <string>

namespace tabulonix {

// The local copy of the update information file, in the "Save update directory".
constexpr const char* kUpdateInfoCopyName = "Tabulonix.upd";
// The information file is a few lines; a server that sends more is refused rather than
// allowed to fill the disk.
constexpr uint64_t kMaxUpdateInfoSize = 1u << 20;

// A file written by one transfer at a time: it is created (or truncated) only when no other
// transfer of this program holds it, and held until it is closed, so two transfers aimed at
// the same name cannot write into each other's file.
class TExclusiveFile : public TReceiveStream {
  public:
    // Throws EFCreateError when the file cannot be created or is held by another transfer.
    explicit TExclusiveFile(const std::string& path,
                            uint64_t limit = std::numeric_limits<uint64_t>::max());
    ~TExclusiveFile() override;
    TExclusiveFile(const TExclusiveFile&) = delete;
    TExclusiveFile& operator=(const TExclusiveFile&) = delete;

    // Throws EStreamError when the data cannot be stored, Exception("Document too large")
    // beyond the limit.
    void Write(const char* data, size_t size) override;
    // Throws EStreamError when the file cannot be completed; closing twice does nothing.
    void Close();
    uint64_t Size() const { return size_; }

  private:
    std::string path_;
    int fd_ = -1;
    uint64_t limit_;
    uint64_t size_ = 0;
};

// Deletes the file unless a TExclusiveFile holds it (as a file that is open cannot be deleted
// elsewhere); every failure is ignored. Never removes a folder.
void DeleteUnlessInUse(const std::string& path);

// The local name of a download: the part of the URL after its last "/", "\" or ":" (for an
// http URL its last path segment, query included).
std::string DownloadFileName(const std::string& url);

} // namespace tabulonix
