#include "codecs/core/Stream.h"

#include "platform/Exception.h"

#include <cerrno>
#include <cstring>

namespace tabulonix {

void TStream::ReadBuffer(void* buffer, size_t count)
{
    if (Read(buffer, count) != count)
        throw EStreamError("Stream read error");
}

std::vector<uint8_t> TStream::ReadRemaining()
{
    std::vector<uint8_t> bytes(static_cast<size_t>(Remaining()));
    size_t n = bytes.empty() ? 0 : Read(bytes.data(), bytes.size());
    bytes.resize(n);
    return bytes;
}

void TStream::ReadRemaining(ByteBuffer& bytes)
{
    bytes.resize(static_cast<size_t>(Remaining())); // not cleared: the read overwrites it
    size_t n = bytes.empty() ? 0 : Read(bytes.data(), bytes.size());
    bytes.resize(n);
}

size_t TMemoryStream::Read(void* buffer, size_t count)
{
    if (position_ >= data_.size())
        return 0;
    size_t n = std::min<uint64_t>(count, data_.size() - position_);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

void TMemoryStream::Write(const void* buffer, size_t count)
{
    if (count == 0)
        return;
    if (position_ + count > data_.size())
        data_.resize(static_cast<size_t>(position_ + count));
    std::memcpy(data_.data() + position_, buffer, count);
    position_ += count;
}

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path)
{
    file_ = std::fopen(path.c_str(), mode == OpenRead ? "rb" : "wb");
    if (!file_) {
        int error = errno;
        if (mode == OpenRead)
            throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(error), error);
        throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(error), error);
    }
}

TFileStream::~TFileStream()
{
    if (file_)
        std::fclose(file_);
}

size_t TFileStream::Read(void* buffer, size_t count)
{
    return std::fread(buffer, 1, count, file_);
}

void TFileStream::Write(const void* buffer, size_t count)
{
    if (count > 0 && std::fwrite(buffer, 1, count, file_) != count)
        throw EStreamError("Stream write error", errno);
}

uint64_t TFileStream::Position() const
{
    long p = std::ftell(file_);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

void TFileStream::Seek(uint64_t position)
{
    std::fseek(file_, static_cast<long>(position), SEEK_SET);
}

uint64_t TFileStream::Size() const
{
    long here = std::ftell(file_);
    std::fseek(file_, 0, SEEK_END);
    long end = std::ftell(file_);
    std::fseek(file_, here, SEEK_SET);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

void TFileStream::Close()
{
    if (!file_)
        return;
    int error = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_))
        error = errno ? errno : EIO;
    if (std::fclose(file_) != 0 && !error)
        error = errno;
    file_ = nullptr;
    if (error)
        throw EStreamError("Stream write error", error);
}

} // namespace tabulonix
