#pragma once
#include <cstddef>
#include <string>

#include "platform/Exception.h"

namespace tabulonix {

// Where the HTTP client writes a document's body, block by block as it arrives. Write throws
// (any Exception) when the data cannot be stored; the transfer then ends with that message.
class TReceiveStream {
  public:
    virtual ~TReceiveStream() = default;
    virtual void Write(const char* data, size_t size) = 0;
};

// Keeps the body in memory, refusing more than a limit so a large answer cannot exhaust it.
class TStringReceiveStream : public TReceiveStream {
  public:
    explicit TStringReceiveStream(size_t limit = 16u << 20) : limit_(limit) {}
    void Write(const char* data, size_t size) override
    {
        if (size > limit_ - text_.size())
            throw Exception("Document too large");
        text_.append(data, size);
    }
    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

  private:
    std::string text_;
    size_t limit_;
};

} // namespace tabulonix
