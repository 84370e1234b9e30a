#include "net/HttpClient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <cstdio>

namespace tabulonix {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size())
            return false;
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool IsSchemeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

std::string ErrorText(int code)
{
    return SocketErrorDesc(code) + " (Error #" + std::to_string(code) + ")";
}

std::string HttpDate(std::time_t when)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t{};
    gmtime_r(&when, &t);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %2.2d %s %4.4d %2.2d:%2.2d:%2.2d", days[t.tm_wday % 7],
                  t.tm_mday, months[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min,
                  t.tm_sec);
    return text;
}

} // namespace

TUrlParts ParseURL(const std::string& text, const std::string& basePath)
{
    TUrlParts parts;
    if (text.empty())
        return parts;

    if (text.compare(0, 2, "./") == 0 || text.compare(0, 3, "../") == 0) {
        std::string base = basePath;
        std::string rest = text;
        for (;;) {
            if (rest.compare(0, 2, "./") == 0) {
                rest.erase(0, 2);
            } else if (rest.compare(0, 3, "../") == 0) {
                rest.erase(0, 3);
                if (!base.empty() && base.back() == '/')
                    base.pop_back();
                size_t slash = base.rfind('/');
                base = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
            } else {
                break;
            }
        }
        if (!base.empty() && base.back() != '/')
            base += '/';
        parts.Path = base + rest;
        return parts;
    }

    std::string rest;
    size_t separator = text.find("://");
    if (separator != std::string::npos) {
        if (std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(separator),
                        IsSchemeChar)) {
            parts.Scheme = text.substr(0, separator);
            rest = text.substr(separator + 3);
        } else {
            // Anything else before "://" (capitals included) is no scheme at all.
            parts.Scheme = "http";
            rest = text;
        }
    } else if (text[0] == '/') {
        parts.Scheme = "http";
        if (text.size() < 2 || text[1] != '/') {
            parts.Path = text;
            return parts;
        }
        rest = text.substr(1);
    } else if (StartsWithNoCase(text, "http:")) {
        parts.Scheme = "http";
        if (text.size() > 6 && text[6] != '/') {
            parts.Path = text.substr(5);
            return parts;
        }
        rest = text.size() > 6 ? text.substr(6) : std::string();
    } else if (StartsWithNoCase(text, "mailto:")) {
        parts.Scheme = "mailto";
        rest = text.substr(text.find(':') + 1);
    } else {
        rest = text;
    }

    size_t pathStart = rest.find_first_of("/?");
    std::string authority = rest.substr(0, pathStart);
    if (pathStart != std::string::npos)
        parts.Path = rest.substr(pathStart);

    std::string hostPort = authority;
    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string userInfo = authority.substr(0, at);
        hostPort = authority.substr(at + 1);
        size_t colon = userInfo.find(':');
        parts.User = userInfo.substr(0, colon);
        if (colon != std::string::npos)
            parts.Password = userInfo.substr(colon + 1);
    }
    size_t colon = hostPort.rfind(':');
    parts.Host = hostPort.substr(0, colon);
    if (colon != std::string::npos)
        parts.Port = hostPort.substr(colon + 1);
    return parts;
}

std::string Base64Encode(const std::string& data)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(data[i]) << 16) |
                     (static_cast<unsigned char>(data[i + 1]) << 8) |
                     static_cast<unsigned char>(data[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size())
            v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < data.size() ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

THttpClient::THttpClient()
    : window_(std::make_unique<QObject>()), readBuffer_(THttpResponseReader::LineBufferSize)
{
    socket_.OnDnsLookupDone = [this](TAsyncSocket&, int error) { SocketDnsLookupDone(error); };
    socket_.OnSessionConnected = [this](TAsyncSocket&, int error) {
        SocketSessionConnected(error);
    };
    socket_.OnDataAvailable = [this](TAsyncSocket&, int) { SocketDataAvailable(); };
    socket_.OnSessionClosed = [this](TAsyncSocket&, int error) { SocketSessionClosed(error); };

    reader_.OnHeaderBegin = [this] {
        if (OnHeaderBegin)
            OnHeaderBegin(*this);
    };
    reader_.OnHeaderData = [this](const std::string& line) {
        lastResponse_ = line;
        ++headerLines_;
        SyncFromReader();
        if (OnHeaderData)
            OnHeaderData(*this);
    };
    reader_.OnHeaderEnd = [this] { return ReaderHeaderEnd(); };
    reader_.OnHeaderless = [this] {
        SyncFromReader();
        SetState(THttpState::ReceivingBody);
    };
    reader_.OnBody = [this](const char* data, size_t size) { ReaderBody(data, size); };
    reader_.OnCookie = [this](const std::string& value) {
        bool accept = true;
        if (OnCookie)
            OnCookie(*this, value, accept);
    };
}

THttpClient::~THttpClient()
{
    socket_.OnDnsLookupDone = nullptr;
    socket_.OnSessionConnected = nullptr;
    socket_.OnDataAvailable = nullptr;
    socket_.OnSessionClosed = nullptr;
}

void THttpClient::SetState(THttpState state)
{
    if (state == state_)
        return;
    state_ = state;
    if (OnStateChange)
        OnStateChange(*this);
    if (state == THttpState::Idle) {
        THttpRequest request = request_;
        int error = requestDoneError_;
        QMetaObject::invokeMethod(
            window_.get(),
            [this, request, error] {
                try {
                    if (OnRequestDone)
                        OnRequestDone(*this, request, error);
                } catch (...) {
                    // nothing may escape into the event loop
                }
            },
            Qt::QueuedConnection);
    }
}

void THttpClient::Get()
{
    // Without an application object nothing would ever deliver the socket's events.
    if (!QCoreApplication::instance())
        throw EHttpException("HTTP component needs a running application", 0);
    StartRequest(THttpRequest::httpGET);
    while (state_ != THttpState::Idle)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (statusCode_ >= 400)
        throw EHttpException(reasonPhrase_, statusCode_);
}

void THttpClient::GetASync()
{
    StartRequest(THttpRequest::httpGET);
}

void THttpClient::ClearResponse()
{
    reader_.Reset();
    statusCode_ = 0;
    reasonPhrase_.clear();
    contentLength_ = -1;
    contentType_.clear();
    lastResponse_.clear();
    bodyBlocks_ = 0;
    headerLines_ = 0;
    closeAfterFirstBlock_ = false;
}

void THttpClient::SyncFromReader()
{
    statusCode_ = reader_.StatusCode;
    reasonPhrase_ = reader_.ReasonPhrase;
    contentLength_ = reader_.ContentLength;
    contentType_ = reader_.ContentType;
    if (!reader_.ContentRangeBegin.empty() || !reader_.ContentRangeEnd.empty()) {
        ContentRangeBegin = reader_.ContentRangeBegin;
        ContentRangeEnd = reader_.ContentRangeEnd;
        reader_.ContentRangeBegin.clear();
        reader_.ContentRangeEnd.clear();
    }
}

void THttpClient::StartRequest(THttpRequest request)
{
    if (state_ != THttpState::Idle)
        throw EHttpException("HTTP component is busy", 1);
    uint64_t serial = ++serial_;
    request_ = request;
    inRequest_ = true;
    failed_ = false;
    redirections_ = 0;
    requestDoneError_ = 0;
    SetState(THttpState::Starting);
    if (serial != serial_ || !inRequest_)
        return;
    ClearResponse();
    receivedCount_ = 0;
    location_ = URL;

    TUrlParts url = ParseURL(URL);
    scheme_ = url.Scheme;
    targetHost_ = url.Host;
    urlPort_ = url.Port;
    path_ = url.Path;
    viaProxy_ = !Proxy.empty();
    if (!viaProxy_) {
        connectHost_ = url.Host;
        connectPort_ = url.Port.empty() ? "80" : url.Port;
    } else {
        TUrlParts proxy = ParseURL(Proxy);
        connectHost_ = proxy.Host;
        connectPort_ = proxy.Port.empty() ? ProxyPort : proxy.Port;
    }
    if (!url.User.empty())
        Username = url.User;
    if (!url.Password.empty())
        Password = url.Password;

    if (!SocksServer.empty()) {
        statusCode_ = 404;
        reasonPhrase_ = "can't connect: SOCKS servers are not supported";
        EndRequest();
        return;
    }
    DoLookup();
}

void THttpClient::DoLookup()
{
    uint64_t serial = serial_;
    SetState(THttpState::Resolving);
    if (serial != serial_ || !inRequest_)
        return;
    if (connectHost_.empty()) {
        statusCode_ = 404;
        reasonPhrase_ = "can't resolve hostname to IP address";
        SocketSessionClosed(0);
        return;
    }
    try {
        socket_.DnsLookup(connectHost_);
    } catch (const ESocketException& e) {
        statusCode_ = 404;
        reasonPhrase_ = e.what();
        EndRequest();
    }
}

void THttpClient::SocketDnsLookupDone(int error)
{
    if (!inRequest_ || state_ != THttpState::Resolving)
        return;
    uint64_t serial = serial_;
    if (error != 0) {
        statusCode_ = 404;
        reasonPhrase_ = "can't resolve hostname to IP address";
        requestDoneError_ = error;
        SocketSessionClosed(error);
        return;
    }
    SetState(THttpState::Resolved);
    if (serial != serial_ || !inRequest_)
        return;
    try {
        socket_.SetAddr(socket_.DnsResult());
        socket_.SetPort(connectPort_);
        socket_.SetProto("tcp");
        socket_.SetLocalAddr(LocalAddr);
        socket_.Connect();
    } catch (const ESocketException&) {
        int code = socket_.LastError();
        if (serial != serial_ || !inRequest_)
            return;
        statusCode_ = 404;
        reasonPhrase_ = "can't connect: " + ErrorText(code);
        requestDoneError_ = code;
        EndRequest();
    }
}

void THttpClient::SocketSessionConnected(int error)
{
    if (!inRequest_ || state_ != THttpState::Resolved)
        return;
    uint64_t serial = serial_;
    if (error != 0) {
        // The socket closes itself after this; that close belongs to no request any more.
        statusCode_ = 404;
        reasonPhrase_ = ErrorText(error);
        requestDoneError_ = error;
        EndRequest();
        return;
    }
    SetState(THttpState::Connected);
    if (serial != serial_ || !inRequest_)
        return;
    if (OnSessionConnected)
        OnSessionConnected(*this);
    if (serial != serial_ || !inRequest_)
        return;
    SetState(THttpState::AwaitingHeader);
    if (serial != serial_ || !inRequest_)
        return;
    SendRequest();
}

std::string THttpClient::RequestTarget() const
{
    if (!viaProxy_)
        return path_.empty() ? "/" : path_;
    return (scheme_.empty() ? "http" : scheme_) + "://" + targetHost_ +
           (urlPort_.empty() ? "" : ":" + urlPort_) + path_;
}

std::string THttpClient::BuildHeader(const std::string& method, const std::string& target)
{
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(*this);
    std::vector<std::string> lines;
    lines.push_back(method + " " + target + " HTTP/1.0");
    if (!Sender.empty())
        lines.push_back("From: " + Sender);
    if (!Accept.empty())
        lines.push_back("Accept: " + Accept);
    if (!Reference.empty())
        lines.push_back("Referer: " + Reference);
    if (!AcceptLanguage.empty())
        lines.push_back("Accept-Language: " + AcceptLanguage);
    if (!Agent.empty())
        lines.push_back("User-Agent: " + Agent);
    lines.push_back("Host: " + targetHost_);
    if (NoCache)
        lines.push_back("Pragma: no-cache");
    if (ModifiedSince != 0)
        lines.push_back("If-Modified-Since: " + HttpDate(ModifiedSince) + " GMT");
    if (!Username.empty())
        lines.push_back("Authorization: Basic " + Base64Encode(Username + ":" + Password));
    if (viaProxy_ && !ProxyUsername.empty())
        lines.push_back("Proxy-Authorization: Basic " +
                        Base64Encode(ProxyUsername + ":" + ProxyPassword));
    if (!Cookie.empty())
        lines.push_back("Cookie: " + Cookie);
    if (!ContentRangeBegin.empty() || !ContentRangeEnd.empty()) {
        lines.push_back("Range: bytes=" + ContentRangeBegin + "-" + ContentRangeEnd);
        ContentRangeBegin.clear();
        ContentRangeEnd.clear();
    }
    if (OnBeforeHeaderSend)
        OnBeforeHeaderSend(*this, method, lines);
    std::string header;
    lines.emplace_back(); // the empty line that ends the header
    for (std::string& line : lines) {
        if (OnCommand)
            OnCommand(*this, line);
        header += line;
        header += "\r\n";
    }
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(*this);
    return header;
}

void THttpClient::SendRequest()
{
    uint64_t serial = serial_;
    std::string header = BuildHeader("GET", RequestTarget());
    if (serial != serial_ || !inRequest_)
        return;
    try {
        socket_.SendStr(header);
    } catch (const ESocketException& e) {
        if (serial == serial_ && inRequest_)
            FailRequest(e.what(), socket_.LastError());
    }
}

void THttpClient::SocketDataAvailable()
{
    bool reading = inRequest_ && reader_.Phase() != THttpResponseReader::TPhase::Stopped &&
                   (state_ == THttpState::AwaitingHeader || state_ == THttpState::ReceivingBody);
    if (!reading) {
        socket_.Receive(readBuffer_.data(),
                        static_cast<int>(readBuffer_.size())); // nobody wants it
        return;
    }
    size_t room = reader_.Phase() == THttpResponseReader::TPhase::Header ? reader_.FreeSpace()
                                                                         : readBuffer_.size();
    int n = socket_.Receive(readBuffer_.data(), static_cast<int>(room));
    if (n <= 0)
        return;
    uint64_t serial = serial_;
    reader_.Feed(readBuffer_.data(), static_cast<size_t>(n));
    if (serial != serial_ || !inRequest_)
        return;
    if (reader_.Error() == THttpResponseReader::TError::LineTooLong) {
        FailRequest("HTTP line too long", 4);
        return;
    }
    if (reader_.Error() == THttpResponseReader::TError::TooManyHeaderLines) {
        FailRequest("HTTP header too large", 4);
        return;
    }
    if (closeAfterFirstBlock_) {
        // An error page is not read beyond what came with its header.
        closeAfterFirstBlock_ = false;
        socket_.Close();
    }
}

bool THttpClient::ReaderHeaderEnd()
{
    SyncFromReader();
    uint64_t serial = serial_;
    auto alive = [&] { return serial == serial_ && inRequest_; };
    if (reader_.LocationPending) {
        if (OnHeaderEnd)
            OnHeaderEnd(*this);
        if (alive())
            socket_.Close(); // the redirection starts when the close is reported
        return false;
    }
    if (contentLength_ == 0) {
        if (OnHeaderEnd)
            OnHeaderEnd(*this);
        if (alive())
            EndRequest();
        return false;
    }
    SetState(THttpState::ReceivingBody);
    if (!alive())
        return false;
    if (OnHeaderEnd)
        OnHeaderEnd(*this);
    if (!alive())
        return false;
    closeAfterFirstBlock_ = statusCode_ >= 400;
    return true;
}

void THttpClient::ReaderBody(const char* data, size_t size)
{
    if (!inRequest_ || failed_)
        return;
    uint64_t serial = serial_;
    if (bodyBlocks_ == 0 && OnDocBegin) {
        OnDocBegin(*this);
        if (serial != serial_ || !inRequest_)
            return;
    }
    ++bodyBlocks_;
    receivedCount_ += static_cast<int64_t>(size);
    if (ReceiveStream) {
        try {
            ReceiveStream->Write(data, size);
        } catch (const std::exception& e) {
            FailRequest(e.what(), 4);
            return;
        }
    }
    if (OnDocData)
        OnDocData(*this, data, static_cast<int>(size));
}

void THttpClient::FailRequest(const std::string& reason, int doneError)
{
    failed_ = true;
    statusCode_ = 404;
    reasonPhrase_ = reason;
    requestDoneError_ = doneError;
    reader_.Stop();
    uint64_t serial = serial_;
    if (socket_.State() != TSocketState::wsClosed)
        socket_.Close(); // reports the close, which ends the request
    if (serial == serial_ && inRequest_)
        SocketSessionClosed(0);
}

void THttpClient::SocketSessionClosed(int)
{
    if (!inRequest_)
        return;
    uint64_t serial = serial_;
    auto alive = [&] { return serial == serial_ && inRequest_; };
    if (!reader_.HeaderEnded() && reader_.Phase() != THttpResponseReader::TPhase::Body) {
        if (OnHeaderEnd)
            OnHeaderEnd(*this);
        if (!alive())
            return;
    }
    if (reader_.LocationPending && !failed_) {
        StartRelocation();
        return;
    }
    if (bodyBlocks_ > 0 && OnDocEnd) {
        OnDocEnd(*this);
        if (!alive())
            return;
    }
    EndRequest();
}

void THttpClient::StartRelocation()
{
    if (redirections_ >= MaxRedirections) {
        // A server that redirects in a circle would otherwise keep the caller waiting forever.
        statusCode_ = 404;
        reasonPhrase_ = "too many redirections";
        EndRequest();
        return;
    }
    ++redirections_;

    std::string value = reader_.Location;
    size_t hash = value.find('#');
    if (hash != std::string::npos)
        value.erase(hash);
    if (!value.empty() && value[0] == '/') {
        path_ = value;
    } else if (value.compare(0, 7, "http://") == 0) {
        TUrlParts url = ParseURL(value);
        scheme_ = "http";
        targetHost_ = url.Host;
        urlPort_ = url.Port;
        path_ = url.Path.empty() ? "/" : url.Path;
        if (!url.User.empty() && !url.Password.empty()) {
            Username = url.User;
            Password = url.Password;
        }
        if (!viaProxy_) {
            connectHost_ = url.Host;
            connectPort_ = url.Port.empty() ? "80" : url.Port;
        }
    } else {
        // Relative to the current path, up to its last "/" or ":" before any query.
        size_t query = path_.find('?');
        std::string beforeQuery = path_.substr(0, query);
        size_t last = beforeQuery.find_last_of("/:");
        path_ = (last == std::string::npos ? std::string() : path_.substr(0, last + 1)) + value;
    }
    location_ = (scheme_.empty() ? "http" : scheme_) + "://" + targetHost_ +
                (urlPort_.empty() ? "" : ":" + urlPort_) + path_;

    uint64_t serial = serial_;
    if (OnLocationChange)
        OnLocationChange(*this);
    if (serial != serial_ || !inRequest_)
        return;
    // The reader itself starts over with the posted restart: this may run inside its callback.
    reader_.HeaderLines.clear();
    statusCode_ = 0;
    contentLength_ = -1;
    contentType_.clear();
    headerLines_ = 0;
    bodyBlocks_ = 0;
    QMetaObject::invokeMethod(
        window_.get(),
        [this, serial] {
            try {
                if (serial != serial_ || !inRequest_)
                    return;
                ClearResponse();
                DoLookup();
            } catch (...) {
                // Queued from the event loop, where nothing may escape into Qt. DoLookup
                // ends the request itself on socket errors; what reaches here is a state
                // handler's own exception, which is the handler's to report.
            }
        },
        Qt::QueuedConnection);
}

void THttpClient::EndRequest()
{
    if (!inRequest_)
        return;
    inRequest_ = false;
    reader_.Stop();
    if (socket_.State() != TSocketState::wsClosed)
        socket_.Close(); // no longer part of the request, so its close event changes nothing
    uint64_t serial = serial_;
    QMetaObject::invokeMethod(
        window_.get(),
        [this, serial] {
            try {
                if (serial == serial_ && state_ != THttpState::Idle)
                    SetState(THttpState::Idle);
            } catch (...) {
                // As above: a state handler's exception must not escape into the event loop.
            }
        },
        Qt::QueuedConnection);
}

void THttpClient::Abort()
{
    if (state_ == THttpState::Idle) {
        if (socket_.State() != TSocketState::wsClosed)
            socket_.Close();
        return;
    }
    uint64_t serial = serial_;
    bool wasResolving = state_ == THttpState::Resolving;
    SetState(THttpState::Aborting);
    if (serial != serial_)
        return;
    if (wasResolving) {
        try {
            socket_.CancelDnsLookup();
        } catch (...) {
            // A lookup that cannot be cancelled any more: the abort goes on regardless.
        }
    }
    statusCode_ = 404;
    reasonPhrase_ = "Connection aborted on request";
    requestDoneError_ = 3;
    failed_ = true;
    if (wasResolving)
        SocketSessionClosed(0);
    else if (socket_.State() != TSocketState::wsClosed)
        socket_.Close();
    if (serial == serial_ && inRequest_)
        EndRequest(); // between two hops there is no connection whose close would end it
    if (serial == serial_)
        SetState(THttpState::Idle);
}

} // namespace tabulonix
