#include "net/AsyncSocket.h"
#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <netdb.h>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

std::string StateName(TSocketState s)
{
    static const char* const names[] = {"invalid",   "opened",    "bound",     "connecting",
                                        "connected", "accepting", "listening", "closed"};
    return names[static_cast<int>(s)];
}

// Records every event of a socket as one line of text, in order.
struct EventLog {
    std::vector<std::string> events;
    void Attach(TAsyncSocket& s)
    {
        s.OnChangeState = [this](TAsyncSocket&, TSocketState, TSocketState n) {
            events.push_back("state " + StateName(n));
        };
        s.OnSessionConnected = [this](TAsyncSocket&, int e) {
            events.push_back("connected " + std::to_string(e));
        };
        s.OnSessionClosed = [this](TAsyncSocket&, int e) {
            events.push_back("closed " + std::to_string(e));
        };
        s.OnDataSent = [this](TAsyncSocket&, int e) {
            events.push_back("sent " + std::to_string(e));
        };
        s.OnDnsLookupDone = [this](TAsyncSocket&, int e) {
            events.push_back("lookup " + std::to_string(e));
        };
    }
    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e.rfind(prefix, 0) == 0;
        return n;
    }
    std::string Joined() const
    {
        std::string all;
        for (const auto& e : events)
            all += e + "; ";
        return all;
    }
};

std::string MessageOf(const std::function<void()>& body)
{
    try {
        body();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "(no exception)";
}

void ConnectTo(TAsyncSocket& s, int port)
{
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(port));
    s.Connect();
}

} // namespace

TEST(AsyncSocket, DottedIPv4Test)
{
    struct Case {
        const char* text;
        bool dotted;
    } cases[] = {
        {"10.1.2.3", true},   {"  127.0.0.1  ", true}, {"255.255.255.255", true},
        {"0.0.0.0", true},    {"10.1.2.300", false},   {".1.2.3", false},
        {"1.2.3.", false},    {"1.2.3", false},        {"1.2.3.4.5", false},
        {"1..2.3", false},    {"1.2.3.4x", false},     {"", false},
        {"1.2.3.4 x", false}, {"a.b.c.d", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDottedIPv4(c.text), c.dotted) << c.text;
    uint32_t address = 0;
    ASSERT_TRUE(IsDottedIPv4(" 192.168.0.10", &address));
    EXPECT_EQ(IPv4ToText(address), "192.168.0.10");
}

TEST(AsyncSocket, ErrorNumbersAndTexts)
{
    EXPECT_EQ(ErrnoToSocketError(ECONNREFUSED), 10061);
    EXPECT_EQ(ErrnoToSocketError(ECONNRESET), 10054);
    EXPECT_EQ(ErrnoToSocketError(EWOULDBLOCK), 10035);
    EXPECT_EQ(ErrnoToSocketError(ENOTCONN), 10057);
    EXPECT_EQ(ErrnoToSocketError(ETIMEDOUT), 10060);
    EXPECT_EQ(ErrnoToSocketError(EADDRINUSE), 10048);
    EXPECT_EQ(ResolverErrorToSocketError(EAI_NONAME, 0), 11001);
    EXPECT_EQ(SocketErrorDesc(0), "No Error");
    EXPECT_EQ(SocketErrorDesc(10061), "Connection refused");
    EXPECT_EQ(SocketErrorDesc(10047), "Address family not supported by protocol family");
    EXPECT_EQ(SocketErrorDesc(11004), "No Data");
    EXPECT_EQ(SocketErrorDesc(12345), "Not a WinSock error");
}

TEST(AsyncSocket, ResolvingPortProtocolAndHost)
{
    EXPECT_EQ(ResolvePort("8080abc", "tcp"), 8080);
    EXPECT_EQ(ResolvePort("  80", "tcp"), 80);
    EXPECT_EQ(ResolvePort("70000", "tcp"), 70000 % 65536);
    EXPECT_EQ(ResolvePort("0", "tcp"), 0);
    EXPECT_EQ(MessageOf([] { ResolvePort("", "tcp"); }), "ResolvePort: Invalid Port.");
    EXPECT_EQ(MessageOf([] { ResolvePort(std::string(32, '1'), "tcp"); }),
              "ResolvePort: Invalid Port.");
    EXPECT_EQ(MessageOf([] { ResolvePort("80", ""); }), "ResolvePort: Invalid Proto.");
    EXPECT_EQ(MessageOf([] { ResolvePort("no-such-service-here", "tcp"); }),
              "ResolvePort: Cannot convert port 'no-such-service-here', Error #11004");
    if (getservbyname("http", "tcp")) {
        EXPECT_EQ(ResolvePort("http", "tcp"), 80);
    }

    EXPECT_EQ(ResolveProto("tcp"), 6);
    EXPECT_EQ(ResolveProto("17"), 17);
    EXPECT_EQ(MessageOf([] { ResolveProto(""); }), "ResolveProto: Invalid Protocol.");
    EXPECT_EQ(MessageOf([] { ResolveProto("no-such-proto"); }),
              "ResolveProto: Cannot convert protocol 'no-such-proto', Error #11004");

    EXPECT_EQ(IPv4ToText(ResolveHost("127.0.0.1")), "127.0.0.1");
    EXPECT_EQ(IPv4ToText(ResolveHost("255.255.255.255")), "255.255.255.255");
    EXPECT_EQ(MessageOf([] { ResolveHost(""); }), "ResolveHost: '' Invalid Hostname.");
    EXPECT_EQ(MessageOf([] { ResolveHost("300.1.2.3"); }),
              "ResolveHost: '300.1.2.3' Invalid IP address.");
    EXPECT_EQ(MessageOf([] { ResolveHost(std::string(257, 'a')); }),
              "ResolveHost: '" + std::string(257, 'a') + "' Invalid Hostname.");
}

TEST(AsyncSocket, LibraryIsCountedPerSocket)
{
    int before = TAsyncSocket::LibraryUseCount();
    {
        TAsyncSocket a;
        TAsyncSocket b;
        EXPECT_EQ(TAsyncSocket::LibraryUseCount(), before + 2);
    }
    EXPECT_EQ(TAsyncSocket::LibraryUseCount(), before);
}

TEST(AsyncSocket, DottedLookupCompletesInsideTheCallNamesInTheBackground)
{
    TestResolver resolver(
        std::map<std::string, std::vector<std::string>>{{"10.1.2.300", {"127.0.0.2"}}});
    TAsyncSocket s;
    s.SetNameResolver(resolver.Function());
    std::vector<int> done;
    s.OnDnsLookupDone = [&](TAsyncSocket&, int e) { done.push_back(e); };

    s.DnsLookup("10.1.2.3");
    ASSERT_EQ(done, std::vector<int>{0});
    EXPECT_EQ(s.DnsResult(), "10.1.2.3");
    EXPECT_TRUE(resolver.Asked().empty());

    s.DnsLookup("10.1.2.300"); // fails the dotted test: looked up as a name
    EXPECT_EQ(done.size(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return done.size() == 2; }));
    EXPECT_EQ(done[1], 0);
    EXPECT_EQ(s.DnsResult(), "127.0.0.2");
    EXPECT_EQ(resolver.Asked(), std::vector<std::string>{"10.1.2.300"});

    s.DnsLookup("nosuchhost.invalid");
    ASSERT_TRUE(WaitUntil([&] { return done.size() == 3; }));
    EXPECT_EQ(done[2], 11001);
    EXPECT_TRUE(s.DnsResultList().empty());
}

TEST(AsyncSocket, SystemLookupOfLocalhostStaysOnTheMachine)
{
    if (!LocalhostAnsweredByHostsFile())
        GTEST_SKIP() << "localhost is not answered by the hosts file first";
    std::vector<std::string> addresses;
    ASSERT_EQ(SystemNameResolver("localhost", addresses), 0);
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
}

TEST(AsyncSocket, EmptyLookupReportsThroughOnErrorOrRaises)
{
    TAsyncSocket s;
    std::vector<std::string> order;
    s.OnError = [&](TAsyncSocket& sender) {
        order.push_back("error: " + sender.LastErrorMessage());
    };
    s.OnDnsLookupDone = [&](TAsyncSocket&, int e) { order.push_back("done " + std::to_string(e)); };
    s.DnsLookup("");
    EXPECT_EQ(order,
              (std::vector<std::string>{"error: DNS lookup: invalid host name.", "done 10022"}));

    TAsyncSocket raising;
    EXPECT_EQ(MessageOf([&] { raising.DnsLookup(""); }), "DNS lookup: invalid host name.");
}

TEST(AsyncSocket, CancelledLookupReports10004Once)
{
    TestResolver resolver;
    resolver.Block("slow.invalid");
    std::vector<int> done;
    {
        TAsyncSocket s;
        s.SetNameResolver(resolver.Function());
        s.OnDnsLookupDone = [&](TAsyncSocket&, int e) { done.push_back(e); };
        s.DnsLookup("slow.invalid");
        ASSERT_TRUE(WaitUntil([&] { return resolver.Asked().size() == 1; }));
        s.CancelDnsLookup();
        s.CancelDnsLookup(); // nothing running any more
        EXPECT_EQ(done, std::vector<int>{10004});
    }
    resolver.Release(); // the worker answers a socket that no longer exists
    EXPECT_EQ(done, std::vector<int>{10004});
}

TEST(AsyncSocket, ConnectRefusesMissingOrBadProperties)
{
    struct Case {
        std::string addr, port, proto, message;
    } cases[] = {
        {"127.0.0.1", "", "tcp", "Connect: No Port Specified"},
        {"", "80", "tcp", "Connect: No IP Address Specified"},
        {"127.0.0.1", "80", "", "Connect: No Protocol Specified"},
        {"127.0.0.1", std::string(40, '8'), "tcp", "connect: ResolvePort: Invalid Port."},
        {"127.0.0.1", "no-such-service-here", "tcp",
         "connect: ResolvePort: Cannot convert port 'no-such-service-here', Error #11004"},
        {"127.0.0.1", "80", "no-such-proto",
         "connect: ResolveProto: Cannot convert protocol 'no-such-proto', Error #11004"},
        {"999.1.1.1", "80", "tcp", "connect: ResolveHost: '999.1.1.1' Invalid IP address."},
    };
    for (const auto& c : cases) {
        TAsyncSocket s;
        s.SetAddr(c.addr);
        s.SetPort(c.port);
        s.SetProto(c.proto);
        EXPECT_EQ(MessageOf([&] { s.Connect(); }), c.message);
        EXPECT_EQ(s.State(), TSocketState::wsClosed);
    }
}

TEST(AsyncSocket, ExchangesDataAndReportsEventsInOrder)
{
    std::string payload(4000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>('a' + i % 26);
    std::string received;
    TestServer server([&](Connection& c) {
        received = c.ReadBytes(payload.size());
        c.Write("thanks");
    });

    TAsyncSocket s;
    EventLog log;
    log.Attach(s);
    std::vector<int> accepted;
    std::string answer;
    s.OnSendData = [&](TAsyncSocket&, int n) { accepted.push_back(n); };
    s.OnSessionConnected = [&](TAsyncSocket& sender, int e) {
        log.events.push_back("connected " + std::to_string(e));
        EXPECT_EQ(sender.Send(payload.data(), static_cast<int>(payload.size())), 4000);
        EXPECT_EQ(log.Count("sent"), 0); // OnDataSent comes later, from the event loop
    };
    s.OnDataAvailable = [&](TAsyncSocket& sender, int) {
        char buffer[100];
        int n = sender.Receive(buffer, sizeof buffer);
        if (n > 0)
            answer.append(buffer, static_cast<size_t>(n));
    };
    s.OnSessionClosed = [&](TAsyncSocket& sender, int e) {
        log.events.push_back("closed " + std::to_string(e));
        sender.Close(); // inside the event: no second OnSessionClosed
    };
    ConnectTo(s, server.Port());
    EXPECT_EQ(s.State(), TSocketState::wsConnecting);
    ASSERT_TRUE(WaitUntil([&] { return log.Count("closed") > 0; })) << log.Joined();

    EXPECT_EQ(accepted, (std::vector<int>{1460, 1460, 1080}));
    EXPECT_EQ(received, payload);
    EXPECT_EQ(answer, "thanks");
    EXPECT_EQ(s.ReadCount(), 0); // reset with the defaults after the close
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    EXPECT_EQ(s.Addr(), "");
    EXPECT_EQ(log.Count("closed"), 1);
    std::vector<std::string> expected = {"state opened", "state connecting", "state connected",
                                         "connected 0",  "sent 0",           "closed 0",
                                         "state closed"};
    EXPECT_EQ(log.events, expected);
}

TEST(AsyncSocket, AllWaitingDataIsOfferedBeforeTheClose)
{
    std::string big(200000, 'x');
    TestServer server([&](Connection& c) { c.Write(big); });
    TAsyncSocket s;
    size_t total = 0;
    bool closedEarly = false;
    int closes = 0;
    s.OnDataAvailable = [&](TAsyncSocket& sender, int) {
        char buffer[700]; // small reads: the receive loop must come back for the rest
        int n = sender.Receive(buffer, sizeof buffer);
        if (n > 0)
            total += static_cast<size_t>(n);
        closedEarly = closedEarly || closes > 0;
    };
    s.OnSessionClosed = [&](TAsyncSocket&, int) { ++closes; };
    ConnectTo(s, server.Port());
    ASSERT_TRUE(WaitUntil([&] { return closes > 0; }));
    EXPECT_EQ(total, big.size());
    EXPECT_FALSE(closedEarly);
    EXPECT_EQ(closes, 1);
}

TEST(AsyncSocket, PropertiesChangeOnlyWhileClosed)
{
    TestServer server([](Connection& c) { c.WaitForClose(); });
    TAsyncSocket s;
    bool connected = false;
    s.OnSessionConnected = [&](TAsyncSocket&, int) { connected = true; };
    ConnectTo(s, server.Port());
    ASSERT_TRUE(WaitUntil([&] { return connected; }));
    EXPECT_EQ(MessageOf([&] { s.SetAddr("127.0.0.2"); }), "Cannot change Addr if not closed");
    EXPECT_EQ(MessageOf([&] { s.SetPort("1"); }), "Cannot change Port if not closed");
    EXPECT_EQ(MessageOf([&] { s.SetProto("udp"); }), "Cannot change Proto if not closed");
    EXPECT_EQ(MessageOf([&] { s.SetLocalAddr("127.0.0.1"); }),
              "Cannot change LocalAddr if not closed");
    EXPECT_EQ(MessageOf([&] { s.SetLocalPort("1"); }), "Cannot change LocalPort if not closed");
    EXPECT_EQ(MessageOf([&] { s.Connect(); }), "Connect: Socket already in use");
    EXPECT_EQ(s.Addr(), "127.0.0.1");

    char buffer[16];
    EXPECT_EQ(s.Receive(buffer, sizeof buffer), -1);
    EXPECT_EQ(s.LastError(), 10035);

    int closes = 0;
    s.OnSessionClosed = [&](TAsyncSocket&, int e) {
        ++closes;
        EXPECT_EQ(e, 0);
    };
    s.Abort();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    s.SetAddr("127.0.0.2"); // closed again: allowed
    EXPECT_EQ(s.Addr(), "127.0.0.2");
}

TEST(AsyncSocket, BindsTheLocalAddressAndReportsTheBoundPort)
{
    TestServer server([](Connection& c) { c.WaitForClose(); });
    TAsyncSocket s;
    bool connected = false;
    s.OnSessionConnected = [&](TAsyncSocket&, int) { connected = true; };
    s.SetLocalAddr("127.0.0.1");
    ConnectTo(s, server.Port());
    EXPECT_NE(s.LocalPort(), "0");
    EXPECT_GT(std::stoi(s.LocalPort()), 0);
    ASSERT_TRUE(WaitUntil([&] { return connected; }));
    s.Close();
}

TEST(AsyncSocket, RefusedConnectionsFailOnceAndClose)
{
    for (int port : {ClosedPort(), 0}) {
        TAsyncSocket s;
        EventLog log;
        log.Attach(s);
        std::string failure;
        s.OnError = [&](TAsyncSocket& sender) { failure = sender.LastErrorMessage(); };
        ConnectTo(s, port);
        if (failure.empty()) {
            ASSERT_TRUE(WaitUntil([&] { return log.Count("closed") > 0; })) << log.Joined();
            EXPECT_EQ(log.Count("connected 10061"), 1) << log.Joined();
            EXPECT_EQ(log.Count("closed"), 1);
        } else {
            // Refused inside connect(): reported at once, and the caller closes.
            EXPECT_EQ(failure, "Error 10061 in function Connect\r\nConnection refused");
            EXPECT_EQ(s.LastError(), 10061);
            s.Close();
        }
        EXPECT_EQ(s.State(), TSocketState::wsClosed);
    }
}

TEST(AsyncSocket, SendWhileNotConnectedFails)
{
    TAsyncSocket s;
    std::string failure;
    s.OnError = [&](TAsyncSocket& sender) { failure = sender.LastErrorMessage(); };
    EXPECT_EQ(s.SendStr("x"), -1);
    EXPECT_EQ(s.LastError(), 10057);
    EXPECT_EQ(failure, "Error 10057 in function Send\r\nSocket is not connected");

    TAsyncSocket raising;
    EXPECT_EQ(MessageOf([&] { raising.SendStr("x"); }),
              "Error 10057 in function Send\r\nSocket is not connected");
}

TEST(AsyncSocket, HandlerExceptionGoesToOnBgExceptionAndAborts)
{
    TestServer server([](Connection& c) { c.WaitForClose(); });
    for (bool allowClose : {true, false}) {
        TAsyncSocket s;
        std::string seen;
        int closes = 0;
        s.OnSessionConnected = [](TAsyncSocket&, int) {
            throw std::runtime_error("handler failed");
        };
        s.OnBgException = [&](TAsyncSocket&, const std::exception& e, bool& canClose) {
            seen = e.what();
            canClose = allowClose;
        };
        s.OnSessionClosed = [&](TAsyncSocket&, int) { ++closes; };
        ConnectTo(s, server.Port());
        ASSERT_TRUE(WaitUntil([&] { return !seen.empty(); }));
        EXPECT_EQ(seen, "handler failed");
        EXPECT_EQ(s.State(), allowClose ? TSocketState::wsClosed : TSocketState::wsConnected);
        EXPECT_EQ(closes, allowClose ? 1 : 0);
        s.Close();
    }
}

TEST(AsyncSocket, DataTheSystemCannotTakeAtOnceStaysQueuedUntilWritable)
{
    std::string payload(16 << 20, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 31 % 253);
    std::string received;
    std::promise<void> sendReturned;
    TestServer server([&](Connection& c) {
        sendReturned.get_future().wait(); // nothing is read before Send has queued everything
        received = c.ReadBytes(payload.size());
    });
    TAsyncSocket s;
    s.LingerOnOff = TSocketLingerOnOff::wsLingerNoSet; // let the system finish sending on close
    int sentEvents = 0;
    bool allSentAfterSend = true;
    int64_t accepted = 0;
    s.OnSendData = [&](TAsyncSocket&, int n) { accepted += n; };
    s.OnSessionConnected = [&](TAsyncSocket& sender, int) {
        sender.Send(payload.data(), static_cast<int>(payload.size()));
        allSentAfterSend = sender.AllSent();
        sendReturned.set_value();
    };
    s.OnDataSent = [&](TAsyncSocket&, int) { ++sentEvents; };
    ConnectTo(s, server.Port());
    ASSERT_TRUE(WaitUntil([&] { return sentEvents > 0; }));
    EXPECT_FALSE(allSentAfterSend); // 16 MB do not fit an unread connection's buffers
    EXPECT_EQ(accepted, static_cast<int64_t>(payload.size()));
    EXPECT_EQ(sentEvents, 1);
    bool closed = false;
    s.OnSessionClosed = [&](TAsyncSocket&, int) { closed = true; };
    ASSERT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_TRUE(received == payload);
}

TEST(AsyncSocket, HandlerThatLeavesDataWaitingIsNotCalledInACircle)
{
    for (bool throwing : {false, true}) {
        std::atomic<bool> acknowledged{false};
        TestServer server([&](Connection& c) {
            c.Write("x");
            acknowledged = c.ReadBytes(3) == "ack";
            c.WaitForClose();
        });
        TAsyncSocket s;
        int calls = 0;
        s.OnDataAvailable = [&](TAsyncSocket&, int) {
            ++calls;
            if (throwing)
                throw std::runtime_error("not now");
        };
        ConnectTo(s, server.Port());
        ASSERT_TRUE(WaitUntil([&] { return calls > 0; }));
        s.SendStr("ack");
        ASSERT_TRUE(WaitUntil([&] { return acknowledged.load(); }));
        ASSERT_TRUE(WaitUntil([&] { return s.AllSent(); }));
        EXPECT_EQ(calls, 1) << (throwing ? "throwing" : "not reading");
        char buffer[4];
        EXPECT_EQ(s.Receive(buffer, sizeof buffer), 1); // the data is still there for a later read
        s.Close();
    }
}

TEST(AsyncSocket, ConnectLooksUpNamesOnTheWorkerAndReturnsAtOnce)
{
    TestServer server([](Connection& c) { c.WaitForClose(); });
    TestResolver resolver(std::map<std::string, std::vector<std::string>>{
        {"origin.test", {"127.0.0.1"}}, {"me.test", {"127.0.0.1"}}});
    resolver.Block("origin.test");
    TAsyncSocket s;
    s.SetNameResolver(resolver.Function());
    EventLog log;
    log.Attach(s);
    s.SetAddr("origin.test");
    s.SetPort(server.PortText());
    s.SetLocalAddr("me.test");
    s.Connect(); // the resolver is held: a blocking lookup would never return
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    EXPECT_EQ(MessageOf([&] { s.Connect(); }), "Connect: Socket already in use");
    EXPECT_EQ(MessageOf([&] { s.SetAddr("127.0.0.1"); }), "Cannot change Addr if not closed");
    ASSERT_TRUE(WaitUntil([&] { return resolver.Asked().size() == 2; }));
    EXPECT_EQ(resolver.Asked(), (std::vector<std::string>{"me.test", "origin.test"}));
    EXPECT_TRUE(log.events.empty()) << log.Joined();

    resolver.Release();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("connected") == 1; }));
    EXPECT_EQ(log.Joined(), "state opened; state connecting; state connected; connected 0; ");
    EXPECT_EQ(s.State(), TSocketState::wsConnected);
    // The server thread accepts in its own time.
    EXPECT_TRUE(WaitUntil([&] { return server.Connections() == 1; }));
    s.Close();
}

TEST(AsyncSocket, ConnectToAnUnknownNameFailsThroughOnSessionConnected)
{
    TestResolver resolver;
    TAsyncSocket s;
    s.SetNameResolver(resolver.Function());
    EventLog log;
    log.Attach(s);
    s.SetAddr("nosuchhost.invalid");
    s.SetPort("80");
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return !log.events.empty(); }));
    EXPECT_EQ(log.Joined(), "connected 11001; ");
    EXPECT_EQ(s.LastError(), 11001);
    EXPECT_EQ(s.LastErrorMessage(),
              "connect: ResolveHost: Cannot convert host address 'nosuchhost.invalid', Error "
              "#11001");
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
}

TEST(AsyncSocket, CloseWhileTheNameIsLookedUpCancelsTheConnection)
{
    TestServer server([](Connection& c) { c.WaitForClose(); });
    TestResolver resolver(std::map<std::string, std::vector<std::string>>{
        {"origin.test", {"127.0.0.1"}}, {"other.test", {"127.0.0.1"}}});
    resolver.Block("origin.test");
    TAsyncSocket sockets[2];
    for (bool abort : {false, true}) {
        TAsyncSocket& s = sockets[abort];
        s.SetNameResolver(resolver.Function());
        EventLog log;
        log.Attach(s);
        s.SetAddr("origin.test");
        s.SetPort(server.PortText());
        s.Connect();
        if (abort)
            s.Abort();
        else
            s.Close();
        s.Close(); // nothing left to close
        EXPECT_EQ(log.Joined(), "closed 0; ");
        EXPECT_TRUE(s.Addr().empty());

        // The same socket connects again at once while the first answer is still out.
        bool connected = false;
        s.OnSessionConnected = [&](TAsyncSocket&, int e) { connected = e == 0; };
        ConnectTo(s, server.Port());
        ASSERT_TRUE(WaitUntil([&] { return connected; }));
        s.Close();
        s.OnChangeState = nullptr;
        s.OnSessionConnected = nullptr;
        s.OnSessionClosed = nullptr;
        s.OnDnsLookupDone = nullptr;
    }
    resolver.Release();
    ASSERT_TRUE(WaitUntil([&] { return resolver.Answered() == 2; }));
    // A later lookup on each socket comes back after the late answers have been delivered.
    for (auto& s : sockets) {
        bool done = false;
        s.OnDnsLookupDone = [&](TAsyncSocket&, int) { done = true; };
        s.DnsLookup("other.test");
        ASSERT_TRUE(WaitUntil([&] { return done; }));
        EXPECT_EQ(s.State(), TSocketState::wsClosed);
    }
    EXPECT_EQ(server.Connections(), 2);
}
