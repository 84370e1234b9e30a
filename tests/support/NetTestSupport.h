#pragma once
// Loopback peers and event-loop waits for the networking tests. Everything listens and
// connects on 127.0.0.1 only.
#include "net/AsyncSocket.h"

#include <atomic>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tabulonix::test {

// Runs the event loop until done() holds or timeoutMs passes; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// One accepted connection of a TestServer (blocking socket, every wait bounded).
class TestServer;
class Connection {
  public:
    Connection(int fd, TestServer* server) : fd_(fd), server_(server) {}
    // Reads up to the empty line that ends a request header (or the peer's close); the
    // server records it.
    std::string ReadRequest();
    // Reads exactly count bytes (fewer when the peer closes first).
    std::string ReadBytes(size_t count);
    void Write(const std::string& data);
    // Waits until the peer closes or resets the connection; false on timeout.
    bool WaitForClose(int timeoutMs = 10000);
    int Fd() const { return fd_; }

  private:
    int fd_;
    TestServer* server_;
};

// A TCP server on 127.0.0.1 with an ephemeral port; each accepted connection is handed to
// the handler on the server's thread and closed afterwards.
class TestServer {
  public:
    using Handler = std::function<void(Connection&)>;
    explicit TestServer(Handler handler);
    ~TestServer();
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + PortText() + path;
    }
    int Connections() const { return connections_; }
    // Request headers read so far, in order.
    std::vector<std::string> Requests() const;
    void Record(const std::string& request);

  private:
    void Run();
    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A server that answers every request with the same response and closes.
std::unique_ptr<TestServer> FixedResponseServer(const std::string& response);

// A forwarding proxy's handler: relays one proxied request to the origin on 127.0.0.1 named
// in its request target ("GET http://127.0.0.1:PORT/..."); any other target gets 502.
void ForwardToLoopback(Connection& client);

// True when the hosts file maps localhost to 127.0.0.1 and is consulted before any name
// server, so that looking up "localhost" never leaves the machine.
bool LocalhostAnsweredByHostsFile();

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

// A name lookup that never leaves the process: known names answer from a table, every
// other name is unknown (11001); names in blocked wait until Release().
class TestResolver {
  public:
    explicit TestResolver(std::map<std::string, std::vector<std::string>> table = {});
    TNameResolver Function();
    std::vector<std::string> Asked() const;
    // Lookups that have given their answer.
    int Answered() const;
    void Block(const std::string& name);
    void Release();

  private:
    struct Shared {
        std::mutex mutex;
        std::map<std::string, std::vector<std::string>> table;
        std::vector<std::string> asked;
        int answered = 0;
        std::vector<std::string> blocked;
        std::promise<void> gate;
        std::shared_future<void> released;
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace tabulonix::test
