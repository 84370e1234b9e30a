#include "NetTestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace tabulonix::test {

namespace {

bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

int ListenOnLoopback(int& port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return done();
}

std::string Connection::ReadRequest()
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(fd_, 10000)) {
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<size_t>(n));
    }
    if (server_)
        server_->Record(request);
    return request;
}

std::string Connection::ReadBytes(size_t count)
{
    std::string data;
    char buffer[4096];
    while (data.size() < count && WaitReadable(fd_, 10000)) {
        ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - data.size()), 0);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
    }
    return data;
}

void Connection::Write(const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

bool Connection::WaitForClose(int timeoutMs)
{
    char buffer[4096];
    while (WaitReadable(fd_, timeoutMs)) {
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
    }
    return false;
}

TestServer::TestServer(Handler handler) : handler_(std::move(handler))
{
    listenFd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { Run(); });
}

TestServer::~TestServer()
{
    stop_ = true;
    thread_.join();
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

void TestServer::Run()
{
    while (!stop_ && listenFd_ >= 0) {
        if (!WaitReadable(listenFd_, 20))
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++connections_;
        Connection connection(fd, this);
        try {
            handler_(connection);
        } catch (...) {
        }
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
}

std::vector<std::string> TestServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void TestServer::Record(const std::string& request)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
}

std::unique_ptr<TestServer> FixedResponseServer(const std::string& response)
{
    return std::make_unique<TestServer>([response](Connection& c) {
        c.ReadRequest();
        c.Write(response);
    });
}

// Forwards one proxied request to the origin on 127.0.0.1 named in its request target and
// relays the answer; refuses any other target.
void ForwardToLoopback(Connection& client)
{
    std::string request = client.ReadRequest();
    std::string line = request.substr(0, request.find("\r\n"));
    const std::string prefix = "GET http://127.0.0.1:";
    if (line.rfind(prefix, 0) != 0) {
        client.Write("HTTP/1.0 502 Bad Gateway\r\n\r\n");
        return;
    }
    size_t pathStart = line.find('/', prefix.size());
    int port = std::stoi(line.substr(prefix.size(), pathStart - prefix.size()));
    std::string forwarded = "GET " + line.substr(pathStart) + request.substr(line.size());

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        Connection origin(fd, nullptr);
        origin.Write(forwarded);
        std::string answer;
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, static_cast<size_t>(n));
        client.Write(answer);
    }
    ::close(fd);
}

bool LocalhostAnsweredByHostsFile()
{
    std::ifstream hosts("/etc/hosts");
    bool mapped = false;
    for (std::string line; std::getline(hosts, line);) {
        std::istringstream words(line);
        std::string address, name;
        words >> address;
        while (address == "127.0.0.1" && words >> name)
            mapped = mapped || name == "localhost";
    }
    std::ifstream nss("/etc/nsswitch.conf");
    for (std::string line; std::getline(nss, line);) {
        std::istringstream words(line);
        std::string key, first;
        words >> key >> first;
        if (key == "hosts:")
            return mapped && first == "files";
    }
    return false;
}

int ClosedPort()
{
    int port = 0;
    int fd = ListenOnLoopback(port);
    ::close(fd);
    return port;
}

TestResolver::TestResolver(std::map<std::string, std::vector<std::string>> table)
    : shared_(std::make_shared<Shared>())
{
    shared_->table = std::move(table);
    shared_->released = shared_->gate.get_future().share();
}

TNameResolver TestResolver::Function()
{
    std::shared_ptr<Shared> shared = shared_;
    return [shared](const std::string& name, std::vector<std::string>& addresses) {
        bool blocked = false;
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->asked.push_back(name);
            for (const auto& b : shared->blocked)
                blocked = blocked || b == name;
        }
        if (blocked)
            shared->released.wait();
        std::lock_guard<std::mutex> lock(shared->mutex);
        ++shared->answered;
        auto it = shared->table.find(name);
        if (it == shared->table.end())
            return 11001;
        addresses = it->second;
        return 0;
    };
}

std::vector<std::string> TestResolver::Asked() const
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->asked;
}

int TestResolver::Answered() const
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->answered;
}

void TestResolver::Block(const std::string& name)
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->blocked.push_back(name);
}

void TestResolver::Release()
{
    try {
        shared_->gate.set_value();
    } catch (const std::future_error&) {
    }
}

} // namespace tabulonix::test
