#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tabulonix {

// Reads an HTTP response as its bytes arrive: header lines through a fixed line buffer,
// then the body passed on block by block. Knows nothing of sockets, so it can be fed from
// anywhere.
class THttpResponseReader {
  public:
    static constexpr size_t LineBufferSize = 8192;
    static constexpr size_t MaxHeaderLines = 100;

    enum class TPhase { Header, Body, Stopped };
    enum class TError { None, LineTooLong, TooManyHeaderLines };

    // Called while reading (each optional).
    std::function<void()> OnHeaderBegin;                  // at the first response line
    std::function<void(const std::string&)> OnHeaderData; // after each non-empty header line
    std::function<bool()> OnHeaderEnd;                    // at the empty line; true reads the body
    std::function<void()> OnHeaderless;                   // the first line was "<HTML>": no header
    std::function<void(const char*, size_t)> OnBody;      // one block of body data
    std::function<void(const std::string&)> OnCookie;     // each Set-Cookie value

    // Forgets the previous response (not the range values, which belong to the next request).
    void Reset();
    // Feeds received bytes. While the header is read at most FreeSpace() bytes are taken into
    // the line buffer at a time; the rest follows in further rounds.
    void Feed(const char* data, size_t size);
    // Bytes the line buffer can take now (header phase); LineBufferSize in the body phase.
    size_t FreeSpace() const;
    // Ignores everything from now on.
    void Stop() { phase_ = TPhase::Stopped; }

    TPhase Phase() const { return phase_; }
    bool HeaderEnded() const { return headerEnded_; }
    TError Error() const { return error_; }

    int StatusCode = 0;
    std::string ReasonPhrase;
    int64_t ContentLength = -1;
    std::string ContentType;
    std::string AcceptRanges;
    std::vector<std::string> WWWAuthenticate;
    std::vector<std::string> HeaderLines;
    bool LocationPending = false;
    std::string Location;
    std::string ContentRangeBegin, ContentRangeEnd;

  private:
    bool ProcessLine(const std::string& line);
    void ProcessBuffer();
    void DeliverBody(const char* data, size_t size);

    std::string buffer_;
    TPhase phase_ = TPhase::Header;
    TError error_ = TError::None;
    bool headerBegun_ = false;
    bool headerEnded_ = false;
    uint64_t resets_ = 0; // a callback may start over with a new response
};

} // namespace tabulonix
