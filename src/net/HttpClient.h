#pragma once
#include "net/AsyncSocket.h"
#include "net/HttpResponseReader.h"
#include "net/ReceiveStream.h"
#include "platform/Exception.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace tabulonix {

class EHttpException : public Exception {
  public:
    EHttpException(const std::string& message, int code) : Exception(message), code_(code) {}
    int ErrorCode() const { return code_; }

  private:
    int code_;
};

enum class THttpRequest { httpAbort, httpGET, httpPOST, httpHEAD };

enum class THttpState {
    Idle,
    Starting,
    Connected,
    Resolving,
    Resolved,
    AwaitingHeader,
    ReceivingBody,
    Aborting
};

// The parts of a URL, a proxy text or a Location value.
struct TUrlParts {
    std::string Scheme, User, Password, Host, Port, Path;
};
// Splits text into its parts. A text beginning with "./" or "../" is resolved against
// basePath and becomes the path.
TUrlParts ParseURL(const std::string& text, const std::string& basePath = "");

// The standard Base64 encoding, with "=" fill.
std::string Base64Encode(const std::string& data);

// An HTTP/1.0 client over TAsyncSocket, event-driven on the GUI thread, with a blocking Get
// that keeps the event loop running while it waits.
class THttpClient {
  public:
    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // Configuration.
    std::string URL;
    std::string Proxy;
    std::string ProxyPort = "80";
    std::string LocalAddr = "0.0.0.0";
    std::string Agent = "Mozilla/3.0 (compatible)";
    std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    bool NoCache = false;
    std::string Username, Password;
    std::string ProxyUsername, ProxyPassword;
    std::string Sender, Reference, AcceptLanguage, Cookie;
    std::time_t ModifiedSince = 0; // UTC; 0 sends no If-Modified-Since
    std::string ContentTypePost = "application/x-www-form-urlencoded";
    std::string ContentRangeBegin, ContentRangeEnd;
    bool MultiThreaded = false;
    // A SOCKS layer is not built: a request with a SocksServer set fails rather than going
    // direct behind the caller's back.
    std::string SocksServer, SocksPort = "1080", SocksLevel = "5", SocksUsercode, SocksPassword;
    bool SocksAuthentication = false;
    // The caller's stream for the body; may be null (the body is then only counted).
    TReceiveStream* ReceiveStream = nullptr;

    // Events (each optional); the sender comes first.
    std::function<void(THttpClient&)> OnStateChange;
    std::function<void(THttpClient&)> OnSessionConnected;
    std::function<void(THttpClient&)> OnRequestHeaderBegin;
    std::function<void(THttpClient&, const std::string& method, std::vector<std::string>& lines)>
        OnBeforeHeaderSend;
    std::function<void(THttpClient&, std::string& line)> OnCommand;
    std::function<void(THttpClient&)> OnRequestHeaderEnd;
    std::function<void(THttpClient&)> OnHeaderBegin;
    std::function<void(THttpClient&)> OnHeaderData;
    std::function<void(THttpClient&)> OnHeaderEnd;
    std::function<void(THttpClient&)> OnDocBegin;
    std::function<void(THttpClient&, const char* data, int len)> OnDocData;
    std::function<void(THttpClient&)> OnDocEnd;
    std::function<void(THttpClient&)> OnLocationChange;
    std::function<void(THttpClient&, const std::string& data, bool& accept)> OnCookie;
    std::function<void(THttpClient&, THttpRequest request, int error)> OnRequestDone;

    // Issues a GET for URL and waits until the client is idle again; fails with
    // EHttpException (ReasonPhrase, StatusCode) for a status of 400 or more.
    void Get();
    // Starts a GET and returns at once; the end is reported through OnRequestDone.
    void GetASync();
    void Abort();

    THttpState State() const { return state_; }
    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    int64_t ContentLength() const { return contentLength_; }
    int64_t ReceivedCount() const { return receivedCount_; }
    const std::string& ContentType() const { return contentType_; }
    const std::vector<std::string>& RcvdHeader() const { return reader_.HeaderLines; }
    const std::string& Location() const { return location_; }
    const std::string& LastResponse() const { return lastResponse_; }
    const std::vector<std::string>& WWWAuthenticate() const { return reader_.WWWAuthenticate; }
    const std::string& AcceptRanges() const { return reader_.AcceptRanges; }
    // The error code OnRequestDone reports for the last request (0, 3 after Abort, 4 for a
    // header the client refused).
    int RequestDoneError() const { return requestDoneError_; }

    // The socket the client talks through (for instance to replace its name lookup).
    TAsyncSocket& Socket() { return socket_; }

    // Redirections followed in a row before a request is given up.
    static constexpr int MaxRedirections = 20;

  private:
    void StartRequest(THttpRequest request);
    void DoLookup();
    void SetState(THttpState state);
    void EndRequest();
    void SendRequest();
    std::string BuildHeader(const std::string& method, const std::string& target);
    void SocketDnsLookupDone(int error);
    void SocketSessionConnected(int error);
    void SocketDataAvailable();
    void SocketSessionClosed(int error);
    void FailRequest(const std::string& reason, int doneError);
    void StartRelocation();
    bool ReaderHeaderEnd();
    void ReaderBody(const char* data, size_t size);
    void ClearResponse();
    void SyncFromReader();
    std::string RequestTarget() const;

    TAsyncSocket socket_;
    THttpResponseReader reader_;
    std::unique_ptr<QObject> window_; // receives the client's posted messages
    std::vector<char> readBuffer_;

    THttpState state_ = THttpState::Idle;
    THttpRequest request_ = THttpRequest::httpGET;
    uint64_t serial_ = 0; // one per request, so messages posted for an earlier one are dropped
    bool inRequest_ = false;
    bool failed_ = false;
    bool closeAfterFirstBlock_ = false;
    int redirections_ = 0;
    int requestDoneError_ = 0;

    int statusCode_ = 0;
    std::string reasonPhrase_;
    int64_t contentLength_ = -1;
    int64_t receivedCount_ = 0;
    int64_t bodyBlocks_ = 0;
    int64_t headerLines_ = 0;
    std::string contentType_;
    std::string location_;
    std::string lastResponse_;

    // Per request: where the document is and where the connection goes.
    std::string scheme_, targetHost_, urlPort_, path_;
    std::string connectHost_, connectPort_;
    bool viaProxy_ = false;
};

} // namespace tabulonix
