#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace tabulonix {

// Fills `addresses` with the dotted IPv4 address of every network interface; false when the
// list cannot be read.
using TInterfaceLister = std::function<bool(std::vector<std::string>& addresses)>;

// The system's list, from getifaddrs() (every interface, however many there are).
bool SystemInterfaceAddresses(std::vector<std::string>& addresses);

// Decides by polling whether the machine has gained a network connection since the
// detector was created: an interface address that was not there at creation means online.
class TINetDetect {
  public:
    explicit TINetDetect(TInterfaceLister lister = SystemInterfaceAddresses);
    ~TINetDetect();
    TINetDetect(const TINetDetect&) = delete;
    TINetDetect& operator=(const TINetDetect&) = delete;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    uint32_t DispatchInterval() const { return dispatchInterval_; }
    void SetDispatchInterval(uint32_t milliseconds);

    bool Online() const { return online_; }
    // The address that made the last poll report online, empty otherwise.
    const std::string& CurrentIP() const { return currentIP_; }
    // The local host name as last read (at most 63 characters).
    const std::string& HostName() const { return hostName_; }

    // Fired after Online has changed.
    std::function<void(TINetDetect& sender)> OnChanged;

    // One poll, as the timer runs it. Never throws.
    void Poll();

    // The addresses recorded at creation.
    const std::vector<std::string>& RecordedAddresses() const { return recorded_; }
    // The timer that drives the polls (for observing its schedule).
    const QTimer& Timer() const { return *timer_; }

  private:
    void Record();
    void ReadHostName();

    TInterfaceLister lister_;
    std::unique_ptr<QTimer> timer_;
    bool enabled_ = false;
    uint32_t dispatchInterval_ = 1000;
    bool online_ = false;
    std::string currentIP_;
    std::string hostName_;
    std::vector<std::string> recorded_;
    bool haveRecord_ = false;
};

} // namespace tabulonix
