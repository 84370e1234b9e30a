#include "update/INetDetect.h"

#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <climits>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

namespace tabulonix {

namespace {

int TimerInterval(uint32_t milliseconds)
{
    return static_cast<int>(std::min<uint32_t>(milliseconds, INT_MAX));
}

} // namespace

bool SystemInterfaceAddresses(std::vector<std::string>& addresses)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
            addresses.emplace_back(text);
    }
    ::freeifaddrs(list);
    return true;
}

TINetDetect::TINetDetect(TInterfaceLister lister)
    : lister_(std::move(lister)), timer_(std::make_unique<QTimer>())
{
    timer_->setInterval(TimerInterval(dispatchInterval_));
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Poll(); });
    Record();
    Poll();
}

TINetDetect::~TINetDetect()
{
    OnChanged = nullptr;
    timer_->stop();
}

void TINetDetect::Record()
{
    ReadHostName();
    std::vector<std::string> addresses;
    try {
        haveRecord_ = lister_ && lister_(addresses);
    } catch (...) {
        haveRecord_ = false;
    }
    if (haveRecord_)
        recorded_ = std::move(addresses);
}

void TINetDetect::ReadHostName()
{
    char buffer[64] = {};
    if (::gethostname(buffer, sizeof buffer - 1) == 0)
        hostName_ = buffer;
}

void TINetDetect::SetEnabled(bool value)
{
    if (value == enabled_)
        return;
    enabled_ = value;
    if (value)
        timer_->start();
    else
        timer_->stop();
}

void TINetDetect::SetDispatchInterval(uint32_t milliseconds)
{
    if (milliseconds == dispatchInterval_)
        return;
    dispatchInterval_ = milliseconds;
    timer_->setInterval(TimerInterval(milliseconds)); // restarts a running countdown
}

void TINetDetect::Poll()
{
    timer_->stop();
    try {
        ReadHostName();
        // A list that could not be read at creation is taken at the first poll that can:
        // until then nothing is known to be new.
        if (!haveRecord_)
            Record();
        std::vector<std::string> current;
        if (haveRecord_ && lister_ && lister_(current)) {
            std::string found;
            for (const std::string& address : current) {
                if (std::find(recorded_.begin(), recorded_.end(), address) == recorded_.end()) {
                    found = address;
                    break;
                }
            }
            currentIP_ = found;
            bool online = !found.empty();
            if (online != online_) {
                online_ = online;
                if (OnChanged)
                    OnChanged(*this);
            }
        }
    } catch (...) {
        // A poll never raises; the next one tries again.
    }
    if (enabled_)
        timer_->start();
}

} // namespace tabulonix
