#pragma once
#include "net/SocketBuffer.h"
#include "net/SocketErrors.h"
#include "platform/Exception.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QSocketNotifier;

namespace tabulonix {

class ESocketException : public Exception {
  public:
    using Exception::Exception;
};

enum class TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed,
};

enum class TSocketOption { wsoNoReceiveLoop = 1, wsoTcpNoDelay = 2 };
enum class TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum class TSocketSendFlags { wsSendNormal, wsSendUrgent };

// The dotted IPv4 test: four decimal numbers of at most 255 joined by three ".", leading
// and trailing spaces allowed. On success address holds the host-order value.
bool IsDottedIPv4(const std::string& text, uint32_t* address = nullptr);
// Host-order IPv4 address as dotted text.
std::string IPv4ToText(uint32_t address);

// Resolve a host, port or protocol as Connect does; failures raise ESocketException with the
// message Connect reports (without its "connect: " prefix). code, when given, receives the
// socket error number of a failure. ResolveHost asks the system's resolver for a name and
// waits for it: never call it on the GUI thread with a name.
uint32_t ResolveHost(const std::string& host, int* code = nullptr);
int ResolvePort(const std::string& port, const std::string& proto, int* code = nullptr);
int ResolveProto(const std::string& proto, int* code = nullptr);

// A name lookup run on a worker thread: fills addresses (dotted IPv4, in the order of the
// answer) and returns 0, or returns a socket error number (11001 when the name does not
// exist). Must be safe to call from any thread.
using TNameResolver =
    std::function<int(const std::string& name, std::vector<std::string>& addresses)>;
int SystemNameResolver(const std::string& name, std::vector<std::string>& addresses);

// A non-blocking TCP socket driven by the GUI thread's event loop: readiness arrives through
// socket notifiers, name lookups run on a worker thread whose answer is posted back, and
// every event fires on the GUI thread.
class TAsyncSocket {
  public:
    TAsyncSocket();
    ~TAsyncSocket();
    TAsyncSocket(const TAsyncSocket&) = delete;
    TAsyncSocket& operator=(const TAsyncSocket&) = delete;

    // Events (each optional); the sender comes first.
    std::function<void(TAsyncSocket&, int error)> OnDnsLookupDone;
    std::function<void(TAsyncSocket&, int error)> OnSessionConnected;
    std::function<void(TAsyncSocket&, int error)> OnDataAvailable;
    std::function<void(TAsyncSocket&, int error)> OnDataSent;
    std::function<void(TAsyncSocket&, int count)> OnSendData;
    std::function<void(TAsyncSocket&, int error)> OnSessionClosed;
    std::function<void(TAsyncSocket&, int error)> OnSessionAvailable;
    std::function<void(TAsyncSocket&, TSocketState oldState, TSocketState newState)> OnChangeState;
    std::function<void(TAsyncSocket&)> OnError;
    std::function<void(TAsyncSocket&, const std::exception&, bool& canClose)> OnBgException;

    void DnsLookup(const std::string& hostName);
    void CancelDnsLookup();
    // A host name in Addr or LocalAddr is looked up on the worker first; Connect returns at
    // once, and a failed lookup arrives as OnSessionConnected with its error (11001 ...).
    // Close or Abort meanwhile cancels the connection (OnSessionClosed once).
    void Connect();
    // Queues the data and sends what the system accepts; returns len, or -1 when not
    // connected.
    int Send(const void* data, int len);
    int SendStr(const std::string& text)
    {
        return Send(text.data(), static_cast<int>(text.size()));
    }
    // Up to size bytes of what has arrived: the count, 0 when the peer has closed, or -1
    // with LastError set (10035 when nothing is waiting).
    int Receive(void* buffer, int size);
    void Close();
    void Abort();

    const std::string& Addr() const { return addr_; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return proto_; }
    void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return localPort_; }
    void SetLocalPort(const std::string& value);

    const std::string& DnsResult() const { return dnsResult_; }
    const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    // The text of the last reported failure (what OnError handlers show).
    const std::string& LastErrorMessage() const { return lastErrorMessage_; }
    int64_t ReadCount() const { return readCount_; }
    // Bytes waiting to be read, as the system reports them.
    int RcvdCount() const;
    // True when everything queued has gone out.
    bool AllSent() const;

    unsigned ComponentOptions = 0; // TSocketOption bits
    TSocketLingerOnOff LingerOnOff = TSocketLingerOnOff::wsLingerOn;
    int LingerTimeout = 0;
    TSocketSendFlags SendFlags = TSocketSendFlags::wsSendNormal;
    int FlushTimeout = 60;

    // Replaces the background name lookup (for example with one that never leaves the
    // machine); an empty resolver restores the system's.
    void SetNameResolver(TNameResolver resolver);

    // Socket objects alive in the process (the socket library is started with the first and
    // stopped with the last).
    static int LibraryUseCount();

    static constexpr int SendBlockSize = 1460;

  private:
    struct LookupChannel;
    struct LookupAnswer {
        int error = 0;
        std::vector<std::string> addresses;
    };
    enum Notification : unsigned { nRead = 1, nWrite = 2, nAccept = 4, nConnect = 8, nClose = 16 };

    void ChangeState(TSocketState newState);
    void ResetDefaults();
    void RaiseException(const std::string& message, int code);
    void SocketError(const std::string& function, int code);
    void FireSessionClosed(int error);
    void CloseHandle(bool shutdownFirst);
    void InternalClose(bool shutdownFirst, int error);
    void TryToSend();
    void DropQueue();
    void UpdateNotifiers();
    void PostWriteNotification();
    void OnReadable();
    void OnWritable();
    void HandleNotification(unsigned kinds, int error, uint64_t generation);
    void ReceiveLoop(bool alwaysLoop, uint64_t generation);
    void HandleBackgroundException(const std::exception& e);
    void InBackground(const std::function<void()>& body);
    // False (after reporting "Cannot change <property> if not closed") unless the socket is
    // closed with no lookup under way.
    bool ClosedForChange(const char* property);
    // Resolves the names in order on a worker thread; returns 0 or the error of starting it.
    int StartLookup(std::vector<std::string> names, uint64_t& id);
    void LookupDone(uint64_t id, const std::vector<LookupAnswer>& answers);
    void ConnectLookupDone(const std::vector<LookupAnswer>& answers);
    // The part of Connect after every name is known; false when it failed (and reported).
    bool OpenAndConnect();
    bool Current(uint64_t generation) const { return generation == generation_ && fd_ >= 0; }

    std::string addr_, port_, proto_ = "tcp", localAddr_ = "0.0.0.0", localPort_ = "0";
    bool addrResolved_ = false, portResolved_ = false, protoResolved_ = false,
         localResolved_ = false;
    uint32_t resolvedAddr_ = 0;
    int resolvedPort_ = 0, resolvedProto_ = 0, resolvedLocalPort_ = 0;
    uint32_t resolvedLocalAddr_ = 0;

    std::string dnsResult_;
    std::vector<std::string> dnsResultList_;
    TSocketState state_ = TSocketState::wsClosed;
    int lastError_ = 0;
    std::string lastErrorMessage_;
    int64_t readCount_ = 0;

    int fd_ = -1;
    uint64_t generation_ = 0; // one per socket handle, so stale notifications are ignored
    bool closedFired_ = false;
    bool destroying_ = false;
    bool lastReceiveFailed_ = false;
    std::deque<TBuffer> queue_;

    std::unique_ptr<QObject> window_; // receives posted notifications and lookup answers
    std::unique_ptr<QSocketNotifier> readNotifier_, writeNotifier_;
    std::shared_ptr<LookupChannel> lookup_;
    uint64_t lookupSerial_ = 0;
    uint64_t dnsLookupId_ = 0;     // the DnsLookup waiting for its answer, 0 when none
    uint64_t connectLookupId_ = 0; // the Connect waiting for its names, 0 when none
    bool lookupLocal_ = false, lookupRemote_ = false;
    TNameResolver resolver_;
};

} // namespace tabulonix
