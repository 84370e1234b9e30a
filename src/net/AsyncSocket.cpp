#include "net/AsyncSocket.h"

#include "net/SocketErrors.h"

#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tabulonix {

namespace {

int gLibraryUseCount = 0;

bool LookUpService(const std::string& name, const std::string& proto, int& port)
{
    servent entry{};
    servent* result = nullptr;
    char buffer[1024];
    if (getservbyname_r(name.c_str(), proto.c_str(), &entry, buffer, sizeof buffer, &result) != 0 ||
        !result)
        return false;
    port = ntohs(static_cast<uint16_t>(result->s_port));
    return true;
}

bool LookUpProtocol(const std::string& name, int& number)
{
    protoent entry{};
    protoent* result = nullptr;
    char buffer[1024];
    if (getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &result) == 0 && result) {
        number = result->p_proto;
        return true;
    }
    // The two numbers that matter are fixed; a machine without a protocols file still knows them.
    if (name == "tcp" || name == "TCP") {
        number = IPPROTO_TCP;
        return true;
    }
    if (name == "udp" || name == "UDP") {
        number = IPPROTO_UDP;
        return true;
    }
    return false;
}

[[noreturn]] void Fail(const std::string& message, int error, int* code)
{
    if (code)
        *code = error;
    throw ESocketException(message);
}

} // namespace

bool IsDottedIPv4(const std::string& text, uint32_t* address)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return false;
        unsigned number = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            number = number * 10 + static_cast<unsigned>(text[i] - '0');
            if (number > 255)
                return false;
            ++i;
        }
        value = (value << 8) | number;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i != text.size())
        return false;
    if (address)
        *address = value;
    return true;
}

std::string IPv4ToText(uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
           std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

int SystemNameResolver(const std::string& name, std::vector<std::string>& addresses)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    int rc = getaddrinfo(name.c_str(), nullptr, &hints, &answer);
    if (rc != 0)
        return ResolverErrorToSocketError(rc, errno);
    for (addrinfo* a = answer; a; a = a->ai_next) {
        if (a->ai_family != AF_INET)
            continue;
        auto* in = reinterpret_cast<sockaddr_in*>(a->ai_addr);
        std::string text = IPv4ToText(ntohl(in->sin_addr.s_addr));
        bool seen = false;
        for (const auto& s : addresses)
            seen = seen || s == text;
        if (!seen)
            addresses.push_back(text);
    }
    freeaddrinfo(answer);
    return addresses.empty() ? 11004 : 0;
}

uint32_t ResolveHost(const std::string& host, int* code)
{
    if (host.empty() || host.size() > 256)
        Fail("ResolveHost: '" + host + "' Invalid Hostname.", 10022, code);
    if (host[0] >= '0' && host[0] <= '9') {
        in_addr_t a = inet_addr(host.c_str());
        if (a == INADDR_NONE && host != "255.255.255.255")
            Fail("ResolveHost: '" + host + "' Invalid IP address.", 10022, code);
        return ntohl(a);
    }
    std::vector<std::string> addresses;
    int error = SystemNameResolver(host, addresses);
    uint32_t value = 0;
    if (error == 0 && !IsDottedIPv4(addresses.front(), &value))
        error = 11003;
    if (error != 0)
        Fail(Format("ResolveHost: Cannot convert host address '%s', Error #%d",
                    {host, std::to_string(error)}),
             error, code);
    return value;
}

int ResolvePort(const std::string& port, const std::string& proto, int* code)
{
    if (port.empty() || port.size() >= 32)
        Fail("ResolvePort: Invalid Port.", 10022, code);
    if (proto.empty() || proto.size() >= 32)
        Fail("ResolvePort: Invalid Proto.", 10022, code);
    size_t i = 0;
    while (i < port.size() && port[i] == ' ')
        ++i;
    if (i < port.size() && port[i] >= '0' && port[i] <= '9') {
        unsigned value = 0;
        for (; i < port.size() && port[i] >= '0' && port[i] <= '9'; ++i)
            value = (value * 10 + static_cast<unsigned>(port[i] - '0')) % 65536;
        return static_cast<int>(value);
    }
    int number = 0;
    if (!LookUpService(port, proto, number))
        Fail(Format("ResolvePort: Cannot convert port '%s', Error #%d", {port, "11004"}), 11004,
             code);
    return number;
}

int ResolveProto(const std::string& proto, int* code)
{
    if (proto.empty() || proto.size() >= 32)
        Fail("ResolveProto: Invalid Protocol.", 10022, code);
    if (proto[0] >= '0' && proto[0] <= '9') {
        int value = 0;
        for (size_t i = 0; i < proto.size() && proto[i] >= '0' && proto[i] <= '9'; ++i)
            value = (value * 10 + (proto[i] - '0')) % 65536;
        return value;
    }
    int number = 0;
    if (!LookUpProtocol(proto, number))
        Fail(Format("ResolveProto: Cannot convert protocol '%s', Error #%d", {proto, "11004"}),
             11004, code);
    return number;
}

// Shared with the lookup threads: a thread posts its answer only while the socket exists.
struct TAsyncSocket::LookupChannel {
    std::mutex mutex;
    QObject* receiver = nullptr;
};

TAsyncSocket::TAsyncSocket()
    : window_(std::make_unique<QObject>()), lookup_(std::make_shared<LookupChannel>())
{
    // Starting the socket library: POSIX sockets need no start-up, but the count of socket
    // objects is kept so the last one can tell it is the last.
    ++gLibraryUseCount;
    lookup_->receiver = window_.get();
    ResetDefaults();
}

TAsyncSocket::~TAsyncSocket()
{
    destroying_ = true;
    // No handler may run against an owner that is itself being destroyed.
    OnDnsLookupDone = nullptr;
    OnSessionConnected = nullptr;
    OnDataAvailable = nullptr;
    OnDataSent = nullptr;
    OnSendData = nullptr;
    OnSessionClosed = nullptr;
    OnSessionAvailable = nullptr;
    OnChangeState = nullptr;
    OnError = nullptr;
    OnBgException = nullptr;
    dnsLookupId_ = 0;
    connectLookupId_ = 0;
    {
        std::lock_guard<std::mutex> lock(lookup_->mutex);
        lookup_->receiver = nullptr;
    }
    if (fd_ >= 0)
        CloseHandle(false);
    queue_.clear();
    window_.reset(); // drops notifications still queued for it
    --gLibraryUseCount;
}

int TAsyncSocket::LibraryUseCount()
{
    return gLibraryUseCount;
}

void TAsyncSocket::SetNameResolver(TNameResolver resolver)
{
    resolver_ = std::move(resolver);
}

void TAsyncSocket::ChangeState(TSocketState newState)
{
    TSocketState old = state_;
    state_ = newState;
    if (old != newState && OnChangeState)
        OnChangeState(*this, old, newState);
}

void TAsyncSocket::ResetDefaults()
{
    proto_ = "tcp";
    localPort_ = "0";
    localAddr_ = "0.0.0.0";
    LingerOnOff = TSocketLingerOnOff::wsLingerOn;
    LingerTimeout = 0;
    state_ = TSocketState::wsClosed;
    DropQueue();
    readCount_ = 0;
    FlushTimeout = 60;
    addr_.clear();
    port_.clear();
    addrResolved_ = portResolved_ = protoResolved_ = localResolved_ = false;
}

void TAsyncSocket::RaiseException(const std::string& message, int code)
{
    if (code != 0)
        lastError_ = code;
    lastErrorMessage_ = message;
    if (OnError) {
        OnError(*this);
        return;
    }
    throw ESocketException(message);
}

void TAsyncSocket::SocketError(const std::string& function, int code)
{
    std::string message = "Error " + std::to_string(code) + " in function " + function + "\r\n" +
                          SocketErrorDesc(code);
    lastError_ = code;
    if ((code == 10054 || code == 10057) && state_ != TSocketState::wsClosed)
        InternalClose(false, code);
    lastError_ = code;
    RaiseException(message, code);
}

void TAsyncSocket::FireSessionClosed(int error)
{
    if (closedFired_ || destroying_)
        return;
    closedFired_ = true;
    if (OnSessionClosed)
        OnSessionClosed(*this, error);
}

void TAsyncSocket::CloseHandle(bool shutdownFirst)
{
    readNotifier_.reset();
    writeNotifier_.reset();
    if (shutdownFirst)
        ::shutdown(fd_, SHUT_WR);
    // close() on a socket does not report would-block; EINTR still releases the descriptor.
    ::close(fd_);
    fd_ = -1;
}

void TAsyncSocket::InternalClose(bool shutdownFirst, int error)
{
    if (connectLookupId_ != 0) {
        // A connect still waiting for its names ends here; its answer is ignored.
        connectLookupId_ = 0;
        FireSessionClosed(error);
        ResetDefaults();
        return;
    }
    if (fd_ < 0) {
        if (state_ != TSocketState::wsClosed) {
            ChangeState(TSocketState::wsClosed);
            ResetDefaults();
        }
        return;
    }
    uint64_t generation = generation_;
    CloseHandle(shutdownFirst);
    ChangeState(TSocketState::wsClosed);
    if (generation != generation_)
        return; // a handler has already opened the next connection
    FireSessionClosed(error);
    if (fd_ < 0 && generation == generation_)
        ResetDefaults();
}

void TAsyncSocket::Close()
{
    InternalClose(true, 0);
}

void TAsyncSocket::Abort()
{
    if (dnsLookupId_ != 0)
        CancelDnsLookup();
    DropQueue();
    if (fd_ >= 0 && state_ == TSocketState::wsConnected && resolvedProto_ == IPPROTO_TCP) {
        linger off{0, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    }
    InternalClose(false, 0);
}

void TAsyncSocket::SetAddr(const std::string& value)
{
    if (!ClosedForChange("Addr"))
        return;
    addr_ = value;
    addrResolved_ = false;
}

bool TAsyncSocket::ClosedForChange(const char* property)
{
    if (state_ == TSocketState::wsClosed && connectLookupId_ == 0)
        return true;
    RaiseException(std::string("Cannot change ") + property + " if not closed", 0);
    return false; // an OnError handler took the error
}

void TAsyncSocket::SetPort(const std::string& value)
{
    if (!ClosedForChange("Port"))
        return;
    port_ = value;
    portResolved_ = false;
}

void TAsyncSocket::SetProto(const std::string& value)
{
    if (!ClosedForChange("Proto"))
        return;
    proto_ = value;
    protoResolved_ = portResolved_ = localResolved_ = false;
}

void TAsyncSocket::SetLocalAddr(const std::string& value)
{
    if (!ClosedForChange("LocalAddr"))
        return;
    localAddr_ = value.empty() ? "0.0.0.0" : value;
    localResolved_ = false;
}

void TAsyncSocket::SetLocalPort(const std::string& value)
{
    if (!ClosedForChange("LocalPort"))
        return;
    localPort_ = value;
    localResolved_ = false;
}

int TAsyncSocket::RcvdCount() const
{
    if (fd_ < 0)
        return 0;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) < 0)
        return 0;
    return count;
}

bool TAsyncSocket::AllSent() const
{
    return queue_.empty() || (queue_.size() == 1 && queue_.front().Unread() == 0);
}

void TAsyncSocket::DropQueue()
{
    queue_.clear();
}

// ---------------------------------------------------------------- name lookup

void TAsyncSocket::DnsLookup(const std::string& hostName)
{
    if (hostName.empty()) {
        RaiseException("DNS lookup: invalid host name.", 10022);
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, 10022);
        return;
    }
    dnsLookupId_ = 0; // an answer to an earlier lookup no longer matches
    dnsResult_.clear();
    dnsResultList_.clear();
    uint32_t address = 0;
    if (IsDottedIPv4(hostName, &address)) {
        dnsResult_ = IPv4ToText(address);
        dnsResultList_.push_back(dnsResult_);
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, 0);
        return;
    }
    uint64_t id = 0;
    int code = StartLookup({hostName}, id);
    if (code != 0) {
        RaiseException(
            Format("%s: can't start DNS lookup, error #%d", {hostName, std::to_string(code)}),
            code);
        return;
    }
    dnsLookupId_ = id;
}

int TAsyncSocket::StartLookup(std::vector<std::string> names, uint64_t& id)
{
    id = ++lookupSerial_;
    TNameResolver resolver = resolver_ ? resolver_ : TNameResolver(SystemNameResolver);
    std::shared_ptr<LookupChannel> channel = lookup_;
    TAsyncSocket* self = this;
    uint64_t serial = id;
    try {
        // The answer is posted to the event loop, so it can never be handled before this call
        // has returned; an early answer simply waits in the queue.
        std::thread([channel, resolver, names = std::move(names), serial, self] {
            std::vector<LookupAnswer> answers;
            for (const std::string& name : names) {
                LookupAnswer answer;
                try {
                    answer.error = resolver(name, answer.addresses);
                } catch (...) {
                    answer.error = 11003;
                    answer.addresses.clear();
                }
                if (answer.error == 0 && answer.addresses.empty())
                    answer.error = 11004;
                answers.push_back(std::move(answer));
            }
            std::lock_guard<std::mutex> lock(channel->mutex);
            if (!channel->receiver)
                return;
            QMetaObject::invokeMethod(
                channel->receiver, [self, serial, answers] { self->LookupDone(serial, answers); },
                Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error& e) {
        return ErrnoToSocketError(e.code().value());
    }
    return 0;
}

void TAsyncSocket::LookupDone(uint64_t id, const std::vector<LookupAnswer>& answers)
{
    if (id == 0)
        return;
    if (id == connectLookupId_) {
        ConnectLookupDone(answers);
        return;
    }
    if (id != dnsLookupId_ || answers.empty())
        return;
    dnsLookupId_ = 0;
    int error = answers.front().error;
    if (error == 0) {
        dnsResultList_ = answers.front().addresses;
        dnsResult_ = dnsResultList_.front();
    }
    InBackground([&] {
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, error);
    });
}

void TAsyncSocket::CancelDnsLookup()
{
    if (dnsLookupId_ == 0)
        return;
    dnsLookupId_ = 0;
    if (!destroying_ && OnDnsLookupDone)
        OnDnsLookupDone(*this, 10004);
}

// ---------------------------------------------------------------- connecting

namespace {

// A host text that only a name lookup can turn into an address; everything else converts
// (or fails) at once.
bool NeedsNameLookup(const std::string& host)
{
    return !host.empty() && host.size() <= 256 && !(host[0] >= '0' && host[0] <= '9');
}

} // namespace

void TAsyncSocket::Connect()
{
    if ((fd_ >= 0 && state_ != TSocketState::wsClosed) || connectLookupId_ != 0) {
        RaiseException("Connect: Socket already in use", 10056);
        return;
    }
    if (port_.empty()) {
        RaiseException("Connect: No Port Specified", 10022);
        return;
    }
    if (addr_.empty()) {
        RaiseException("Connect: No IP Address Specified", 10022);
        return;
    }
    if (proto_.empty()) {
        RaiseException("Connect: No Protocol Specified", 10022);
        return;
    }

    // Names go to the worker-thread resolver: a slow name server must never hold up the
    // event loop. Numbers, ports and protocols come from local tables and convert at once.
    int code = 0;
    std::vector<std::string> names;
    lookupLocal_ = lookupRemote_ = false;
    try {
        if (!protoResolved_) {
            resolvedProto_ = ResolveProto(proto_, &code);
            protoResolved_ = true;
        }
        std::string protoName = resolvedProto_ == IPPROTO_UDP ? "udp" : "tcp";
        if (!portResolved_) {
            resolvedPort_ = ResolvePort(port_, protoName, &code);
            portResolved_ = true;
        }
        if (!localResolved_) {
            resolvedLocalPort_ = ResolvePort(localPort_, protoName, &code);
            if (NeedsNameLookup(localAddr_)) {
                lookupLocal_ = true;
                names.push_back(localAddr_);
            } else {
                resolvedLocalAddr_ = ResolveHost(localAddr_, &code);
                localResolved_ = true;
            }
        }
        if (!addrResolved_) {
            if (NeedsNameLookup(addr_)) {
                lookupRemote_ = true;
                names.push_back(addr_);
            } else {
                resolvedAddr_ = ResolveHost(addr_, &code);
                addrResolved_ = true;
            }
        }
    } catch (const ESocketException& e) {
        RaiseException(std::string("connect: ") + e.what(), code);
        return;
    }

    if (names.empty()) {
        OpenAndConnect();
        return;
    }
    std::string firstName = names.front();
    uint64_t id = 0;
    code = StartLookup(std::move(names), id);
    if (code != 0) {
        RaiseException(
            Format("%s: can't start DNS lookup, error #%d", {firstName, std::to_string(code)}),
            code);
        return;
    }
    closedFired_ = false;
    connectLookupId_ = id;
}

void TAsyncSocket::ConnectLookupDone(const std::vector<LookupAnswer>& answers)
{
    connectLookupId_ = 0;
    std::vector<std::string> names;
    if (lookupLocal_)
        names.push_back(localAddr_);
    if (lookupRemote_)
        names.push_back(addr_);
    int error = 0;
    std::string message;
    std::vector<uint32_t> values;
    for (size_t i = 0; i < names.size() && error == 0; ++i) {
        uint32_t value = 0;
        error = i < answers.size() ? answers[i].error : 11003;
        if (error == 0 && !IsDottedIPv4(answers[i].addresses.front(), &value))
            error = 11003;
        if (error != 0)
            message = Format("connect: ResolveHost: Cannot convert host address '%s', Error #%d",
                             {names[i], std::to_string(error)});
        values.push_back(value);
    }
    InBackground([&] {
        if (error == 0) {
            size_t next = 0;
            if (lookupLocal_) {
                resolvedLocalAddr_ = values[next++];
                localResolved_ = true;
            }
            if (lookupRemote_) {
                resolvedAddr_ = values[next];
                addrResolved_ = true;
            }
            // A failure to open reports through OnError or an exception; either way the
            // caller hears of it below, as a failed connection.
            try {
                if (OpenAndConnect())
                    return;
            } catch (const ESocketException&) {
            }
            error = lastError_ != 0 ? lastError_ : 10022;
        } else {
            lastError_ = error;
            lastErrorMessage_ = message;
        }
        uint64_t generation = generation_;
        if (OnSessionConnected)
            OnSessionConnected(*this, error);
        if (generation == generation_ && fd_ >= 0 && state_ != TSocketState::wsClosed)
            Close();
    });
}

bool TAsyncSocket::OpenAndConnect()
{
    DropQueue();
    int type = resolvedProto_ == IPPROTO_TCP   ? SOCK_STREAM
               : resolvedProto_ == IPPROTO_UDP ? SOCK_DGRAM
                                               : SOCK_RAW;
    int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, resolvedProto_);
    if (fd < 0) {
        SocketError("Connect (socket)", ErrnoToSocketError(errno));
        return false;
    }
    fd_ = fd;
    uint64_t generation = ++generation_;
    closedFired_ = false;
    readCount_ = 0;
    ChangeState(TSocketState::wsOpened);
    if (generation != generation_ || state_ != TSocketState::wsOpened) {
        SocketError("Connect (Invalid operation in OnChangeState)", 10022);
        return false;
    }

    auto setOption = [&](int level, int name, const void* value, socklen_t size, const char* what) {
        if (::setsockopt(fd_, level, name, value, size) == 0)
            return true;
        SocketError(what, ErrnoToSocketError(errno));
        return false;
    };
    int on = 1;
    if (!setOption(SOL_SOCKET, SO_REUSEADDR, &on, sizeof on, "setsockopt(SO_REUSEADDR)"))
        return false;
    if (type == SOCK_STREAM &&
        (ComponentOptions & static_cast<unsigned>(TSocketOption::wsoTcpNoDelay)) &&
        !setOption(IPPROTO_TCP, TCP_NODELAY, &on, sizeof on,
                   "setsockopt(IPPROTO_TCP, TCP_NODELAY)"))
        return false;
    if (LingerOnOff != TSocketLingerOnOff::wsLingerNoSet) {
        linger value{LingerOnOff == TSocketLingerOnOff::wsLingerOn ? 1 : 0, LingerTimeout};
        if (!setOption(SOL_SOCKET, SO_LINGER, &value, sizeof value, "setsockopt(SO_LINGER)"))
            return false;
    }
    if (!setOption(SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on, "setsockopt(SO_KEEPALIVE)"))
        return false;

    if (resolvedLocalPort_ != 0 || localAddr_ != "0.0.0.0") {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<uint16_t>(resolvedLocalPort_));
        local.sin_addr.s_addr = htonl(resolvedLocalAddr_);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            int error = ErrnoToSocketError(errno);
            RaiseException(Format("winsock.bind failed, error #%d", error), error);
            return false;
        }
        socklen_t size = sizeof local;
        if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
            int error = ErrnoToSocketError(errno);
            RaiseException(Format("winsock.getsockname failed, error #%d", error), error);
            return false;
        }
        localPort_ = std::to_string(ntohs(local.sin_port));
    }

    readNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, window_.get(),
                     [this, generation] {
                         InBackground([&] {
                             if (Current(generation))
                                 OnReadable();
                         });
                     });
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, window_.get(),
                     [this, generation] {
                         InBackground([&] {
                             if (Current(generation))
                                 OnWritable();
                         });
                     });

    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(resolvedPort_));
    remote.sin_addr.s_addr = htonl(resolvedAddr_);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0 ||
        errno == EINPROGRESS) {
        ChangeState(TSocketState::wsConnecting);
        return true;
    }
    int error = ErrnoToSocketError(errno);
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    lastError_ = error;
    SocketError("Connect", error);
    return false;
}

// ---------------------------------------------------------------- notifications

void TAsyncSocket::UpdateNotifiers()
{
    if (writeNotifier_)
        writeNotifier_->setEnabled(state_ == TSocketState::wsConnecting || !AllSent());
}

void TAsyncSocket::OnReadable()
{
    uint64_t generation = generation_;
    if (state_ == TSocketState::wsConnecting) {
        OnWritable();
        return;
    }
    if (RcvdCount() > 0) {
        HandleNotification(nRead, 0, generation);
        if (!Current(generation) || RcvdCount() > 0)
            return;
    }
    // Nothing waiting but readable: the peer has closed or reset the connection.
    char probe;
    ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0)
        HandleNotification(nClose, 0, generation);
    else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        HandleNotification(nClose, ErrnoToSocketError(errno), generation);
}

void TAsyncSocket::OnWritable()
{
    uint64_t generation = generation_;
    if (state_ == TSocketState::wsConnecting) {
        int soError = 0;
        socklen_t size = sizeof soError;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &soError, &size) != 0)
            soError = errno;
        HandleNotification(nConnect, ErrnoToSocketError(soError), generation);
        return;
    }
    HandleNotification(nWrite, 0, generation);
}

void TAsyncSocket::HandleNotification(unsigned kinds, int error, uint64_t generation)
{
    InBackground([&] {
        if (!Current(generation))
            return;
        if (kinds & nConnect) {
            if (state_ != TSocketState::wsConnected) {
                ChangeState(TSocketState::wsConnected);
                UpdateNotifiers();
                if (OnSessionConnected)
                    OnSessionConnected(*this, error);
                if (error != 0 && Current(generation) && state_ != TSocketState::wsClosed)
                    Close();
            }
            if (!Current(generation))
                return;
        }
        if (kinds & nRead) {
            if (state_ != TSocketState::wsConnected) {
                ChangeState(TSocketState::wsConnected);
                if (OnSessionConnected)
                    OnSessionConnected(*this, 0);
                if (!Current(generation))
                    return;
            }
            ReceiveLoop(false, generation);
            if (!Current(generation))
                return;
        }
        if (kinds & nWrite) {
            TryToSend();
            if (!Current(generation))
                return;
            if (AllSent()) {
                UpdateNotifiers();
                if (OnDataSent)
                    OnDataSent(*this, 0);
                if (!Current(generation))
                    return;
            }
        }
        if (kinds & nAccept) {
            if (OnSessionAvailable)
                OnSessionAvailable(*this, error);
            if (!Current(generation))
                return;
        }
        if ((kinds & nClose) && state_ != TSocketState::wsConnecting) {
            ReceiveLoop(true, generation);
            if (!Current(generation))
                return;
            FireSessionClosed(error);
            if (Current(generation) && state_ != TSocketState::wsClosed)
                Close();
        }
    });
}

void TAsyncSocket::ReceiveLoop(bool alwaysLoop, uint64_t generation)
{
    bool once =
        !alwaysLoop && (ComponentOptions & static_cast<unsigned>(TSocketOption::wsoNoReceiveLoop));
    while (Current(generation)) {
        if (alwaysLoop && RcvdCount() <= 0)
            return;
        int64_t before = readCount_;
        lastReceiveFailed_ = false;
        try {
            if (OnDataAvailable) {
                OnDataAvailable(*this, 0);
            } else {
                char discard[1024];
                Receive(discard, sizeof discard);
            }
        } catch (...) {
            // A failing handler ends the loop; its error goes no further. If it read nothing,
            // wait for a read as below instead of failing again at once.
            if (Current(generation) && readCount_ == before && readNotifier_)
                readNotifier_->setEnabled(false);
            return;
        }
        if (!Current(generation) || once || lastReceiveFailed_ || RcvdCount() <= 0)
            return;
        if (readCount_ == before) {
            // The handler leaves the data waiting: stop watching until it reads, rather than
            // spinning on a socket that stays readable.
            if (readNotifier_)
                readNotifier_->setEnabled(false);
            return;
        }
    }
}

// ---------------------------------------------------------------- sending and receiving

int TAsyncSocket::Send(const void* data, int len)
{
    if (state_ != TSocketState::wsConnected) {
        SocketError("Send", 10057);
        return -1;
    }
    const char* bytes = static_cast<const char*>(data);
    while (len > 0) {
        if (queue_.empty() || queue_.back().Free() == 0)
            queue_.emplace_back(SendBlockSize);
        int taken = queue_.back().Write(bytes, len);
        bytes += taken;
        len -= taken;
    }
    int total = static_cast<int>(bytes - static_cast<const char*>(data));
    uint64_t generation = generation_;
    TryToSend();
    if (Current(generation) && AllSent())
        PostWriteNotification();
    return total;
}

void TAsyncSocket::PostWriteNotification()
{
    uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        window_.get(),
        [this, generation] { InBackground([&] { HandleNotification(nWrite, 0, generation); }); },
        Qt::QueuedConnection);
}

void TAsyncSocket::TryToSend()
{
    uint64_t generation = generation_;
    while (Current(generation) && !queue_.empty()) {
        int len = 0;
        const char* p = queue_.front().Peek(len);
        if (len == 0) {
            if (queue_.size() == 1)
                break; // the last block stays for reuse
            queue_.pop_front();
            continue;
        }
        int flags = MSG_NOSIGNAL | (SendFlags == TSocketSendFlags::wsSendUrgent ? MSG_OOB : 0);
        ssize_t sent = ::send(fd_, p, static_cast<size_t>(len), flags);
        if (sent < 0) {
            int error = ErrnoToSocketError(errno);
            if (error == 10035)
                break;
            if (error == 10022 || error == 10038 || error == 10053 || error == 10054 ||
                error == 10057) {
                InternalClose(false, error);
                return;
            }
            SocketError("TryToSend failed", error);
            return;
        }
        queue_.front().Remove(static_cast<int>(sent));
        if (OnSendData)
            OnSendData(*this, static_cast<int>(sent));
        if (sent < len)
            break; // the system takes no more for now
    }
    if (Current(generation))
        UpdateNotifiers();
}

int TAsyncSocket::Receive(void* buffer, int size)
{
    lastReceiveFailed_ = false;
    if (fd_ < 0) {
        lastError_ = 10038;
        lastReceiveFailed_ = true;
        return -1;
    }
    ssize_t n = ::recv(fd_, buffer, static_cast<size_t>(size > 0 ? size : 0), MSG_DONTWAIT);
    if (n < 0) {
        lastError_ = ErrnoToSocketError(errno);
        lastReceiveFailed_ = true;
        return -1;
    }
    readCount_ += n;
    if (n > 0 && readNotifier_ && !readNotifier_->isEnabled())
        readNotifier_->setEnabled(true);
    return static_cast<int>(n);
}

void TAsyncSocket::InBackground(const std::function<void()>& body)
{
    // Runs from the event loop, where nothing may escape into Qt: an error goes to the
    // background-exception handler instead.
    try {
        body();
    } catch (const std::exception& e) {
        HandleBackgroundException(e);
    } catch (...) {
        HandleBackgroundException(std::runtime_error("Unknown exception"));
    }
}

void TAsyncSocket::HandleBackgroundException(const std::exception& e)
{
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(*this, e, canClose);
        } catch (...) {
            // The handler of last resort failed too; there is nobody left to tell.
        }
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
            // Aborting a socket that has already failed: its own errors add nothing.
        }
    }
}

} // namespace tabulonix
