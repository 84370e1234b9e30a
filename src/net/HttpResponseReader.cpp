#include "net/HttpResponseReader.h"

#include <algorithm>
#include <limits>

namespace tabulonix {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// Leading spaces, an optional sign and decimal digits up to the end; false when the text is
// not such a number or does not fit.
bool ReadInteger(const std::string& text, int64_t& value)
{
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos)
        return false;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    int64_t result = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return false;
        if (result > (std::numeric_limits<int64_t>::max() - (c - '0')) / 10)
            return false;
        result = result * 10 + (c - '0');
    }
    value = negative ? -result : result;
    return true;
}

} // namespace

void THttpResponseReader::Reset()
{
    ++resets_;
    buffer_.clear();
    phase_ = TPhase::Header;
    error_ = TError::None;
    headerBegun_ = headerEnded_ = false;
    StatusCode = 0;
    ReasonPhrase.clear();
    ContentLength = -1;
    ContentType.clear();
    AcceptRanges.clear();
    WWWAuthenticate.clear();
    HeaderLines.clear();
    LocationPending = false;
    Location.clear();
}

size_t THttpResponseReader::FreeSpace() const
{
    if (phase_ == TPhase::Header)
        return LineBufferSize - buffer_.size();
    return LineBufferSize;
}

void THttpResponseReader::Feed(const char* data, size_t size)
{
    uint64_t resets = resets_;
    while (size > 0 && resets == resets_) {
        if (phase_ == TPhase::Stopped)
            return;
        if (phase_ == TPhase::Body) {
            size_t block = std::min(size, LineBufferSize);
            DeliverBody(data, block);
            data += block;
            size -= block;
            continue;
        }
        size_t taken = std::min(size, FreeSpace());
        buffer_.append(data, taken);
        data += taken;
        size -= taken;
        ProcessBuffer();
    }
}

void THttpResponseReader::ProcessBuffer()
{
    uint64_t resets = resets_;
    size_t pos = 0;
    while (phase_ == TPhase::Header) {
        size_t lf = buffer_.find('\n', pos);
        if (lf == std::string::npos)
            break;
        std::string line = buffer_.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        pos = lf + 1;
        bool handled = ProcessLine(line);
        if (resets != resets_)
            return;
        if (!handled) {
            // An unreadable number ends the handling of the data that came with it.
            pos = buffer_.size();
            break;
        }
    }
    buffer_.erase(0, pos);
    if (phase_ == TPhase::Header && buffer_.size() >= LineBufferSize) {
        error_ = TError::LineTooLong;
        phase_ = TPhase::Stopped;
    }
    if (phase_ == TPhase::Body && !buffer_.empty()) {
        std::string rest;
        rest.swap(buffer_);
        DeliverBody(rest.data(), rest.size());
    }
    if (phase_ != TPhase::Header)
        buffer_.clear();
}

bool THttpResponseReader::ProcessLine(const std::string& line)
{
    if (!headerBegun_) {
        headerBegun_ = true;
        if (OnHeaderBegin)
            OnHeaderBegin();
        if (phase_ != TPhase::Header)
            return true;
        if (line.size() >= 6 && Lower(line.substr(0, 6)) == "<html>") {
            if (ContentType.empty())
                ContentType = "text/html";
            if (OnHeaderless)
                OnHeaderless();
            if (phase_ == TPhase::Header) {
                phase_ = TPhase::Body;
                DeliverBody(line.data(), line.size());
            }
            return true;
        }
    }
    if (line.empty()) {
        headerEnded_ = true;
        bool body = OnHeaderEnd ? OnHeaderEnd() : true;
        if (phase_ == TPhase::Header)
            phase_ = body ? TPhase::Body : TPhase::Stopped;
        return true;
    }
    if (HeaderLines.size() >= MaxHeaderLines) {
        error_ = TError::TooManyHeaderLines;
        phase_ = TPhase::Stopped;
        return true;
    }
    HeaderLines.push_back(line);

    if (line.compare(0, 8, "HTTP/1.0") == 0 || line.compare(0, 8, "HTTP/1.1") == 0) {
        int64_t code = 0;
        if (line.size() < 10 || !ReadInteger(line.substr(9, 3), code))
            return false;
        StatusCode = static_cast<int>(code);
        ReasonPhrase = line.size() > 13 ? line.substr(13) : std::string();
    } else {
        size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = Lower(line.substr(0, colon));
            size_t start = line.find_first_not_of(' ', colon + 1);
            std::string value = start == std::string::npos ? std::string() : line.substr(start);
            if (name == "location") {
                LocationPending = true;
                Location = value;
            } else if (name == "content-length") {
                int64_t length = 0;
                if (!ReadInteger(Trim(value), length))
                    return false;
                ContentLength = length;
            } else if (name == "content-range") {
                // bytes b-e/t: the next request asks for that range
                size_t dash = value.find('-');
                size_t slash = value.find('/');
                if (Lower(value.substr(0, 6)) == "bytes " && dash != std::string::npos &&
                    dash >= 6 && slash != std::string::npos && slash > dash) {
                    ContentRangeBegin = value.substr(6, dash - 6);
                    ContentRangeEnd = value.substr(dash + 1, slash - dash - 1);
                }
            } else if (name == "accept-ranges") {
                AcceptRanges = value;
            } else if (name == "content-type") {
                ContentType = Lower(value);
            } else if (name == "www-authenticate") {
                WWWAuthenticate.push_back(value);
            } else if (name == "set-cookie") {
                if (OnCookie)
                    OnCookie(value);
            }
        }
    }
    if (OnHeaderData)
        OnHeaderData(line);
    return true;
}

void THttpResponseReader::DeliverBody(const char* data, size_t size)
{
    if (size > 0 && OnBody)
        OnBody(data, size);
}

} // namespace tabulonix
