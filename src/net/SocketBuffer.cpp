#include "net/SocketBuffer.h"

#include <algorithm>
#include <cstring>

namespace tabulonix {

TBuffer::TBuffer(int size) : data_(static_cast<size_t>(size > 0 ? size : DefaultSize)) {}

int TBuffer::Write(const void* data, int len)
{
    int taken = std::clamp(len, 0, Free());
    if (taken > 0)
        std::memcpy(data_.data() + writeCount_, data, static_cast<size_t>(taken));
    writeCount_ += taken;
    return taken;
}

const char* TBuffer::Peek(int& len) const
{
    len = Unread();
    return data_.data() + readCount_;
}

void TBuffer::Remove(int len)
{
    readCount_ += std::clamp(len, 0, Unread());
    if (readCount_ == writeCount_)
        readCount_ = writeCount_ = 0;
}

void TBuffer::SetSize(int size)
{
    if (size <= 0)
        size = DefaultSize;
    int keep = std::min(Unread(), size);
    std::vector<char> resized(static_cast<size_t>(size));
    if (keep > 0)
        std::memcpy(resized.data(), data_.data() + readCount_, static_cast<size_t>(keep));
    data_.swap(resized);
    readCount_ = 0;
    writeCount_ = keep;
}

} // namespace tabulonix
