#include "update/INetDetect.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tabulonix;

namespace {

// An interface list the test changes between polls.
struct FakeInterfaces {
    std::vector<std::string> addresses;
    bool fails = false;
    int queries = 0;
    TInterfaceLister Lister()
    {
        return [this](std::vector<std::string>& out) {
            ++queries;
            if (fails)
                return false;
            out = addresses;
            return true;
        };
    }
};

} // namespace

TEST(INetDetect, CreationRecordsTheInterfacesAndPollsOnce)
{
    FakeInterfaces net{{"127.0.0.1", "192.168.1.5"}};
    TINetDetect detector(net.Lister());
    EXPECT_EQ(detector.RecordedAddresses(), net.addresses);
    EXPECT_EQ(net.queries, 2);
    EXPECT_FALSE(detector.Enabled());
    EXPECT_EQ(detector.DispatchInterval(), 1000u);
    EXPECT_FALSE(detector.Timer().isActive());
    EXPECT_FALSE(detector.Online());
    EXPECT_EQ(detector.CurrentIP(), "");
    EXPECT_LE(detector.HostName().size(), 63u);
}

TEST(INetDetect, NewAddressGoesOnlineOnceAndItsLossGoesOffline)
{
    FakeInterfaces net{{"127.0.0.1", "192.168.1.5"}};
    TINetDetect detector(net.Lister());
    int changes = 0;
    detector.OnChanged = [&](TINetDetect& sender) {
        EXPECT_EQ(&sender, &detector);
        ++changes;
    };

    detector.Poll(); // nothing new
    EXPECT_FALSE(detector.Online());
    EXPECT_EQ(changes, 0);

    net.addresses = {"127.0.0.1", "192.168.1.5", "10.64.0.9", "10.64.0.10"};
    detector.Poll();
    EXPECT_TRUE(detector.Online());
    EXPECT_EQ(detector.CurrentIP(), "10.64.0.9"); // the first new one
    EXPECT_EQ(changes, 1);
    detector.Poll();
    EXPECT_EQ(changes, 1);

    // An address present at creation that goes away and comes back never counts.
    net.addresses = {"127.0.0.1", "10.64.0.10"};
    detector.Poll();
    EXPECT_TRUE(detector.Online());
    EXPECT_EQ(detector.CurrentIP(), "10.64.0.10");
    EXPECT_EQ(changes, 1);

    net.addresses = {"127.0.0.1", "192.168.1.5"};
    detector.Poll();
    EXPECT_FALSE(detector.Online());
    EXPECT_EQ(detector.CurrentIP(), "");
    EXPECT_EQ(changes, 2);
}

TEST(INetDetect, UnreadableListChangesNothingAndIsRecordedLater)
{
    FakeInterfaces net{{"127.0.0.1"}};
    net.fails = true;
    TINetDetect detector(net.Lister());
    EXPECT_TRUE(detector.RecordedAddresses().empty());
    int changes = 0;
    detector.OnChanged = [&](TINetDetect&) { ++changes; };

    // The first readable list becomes the record, so what was up at start stays offline.
    net.fails = false;
    net.addresses = {"127.0.0.1", "192.168.1.5"};
    detector.Poll();
    EXPECT_EQ(detector.RecordedAddresses(), net.addresses);
    EXPECT_FALSE(detector.Online());

    net.addresses.push_back("10.0.0.7");
    detector.Poll();
    EXPECT_TRUE(detector.Online());
    net.fails = true;
    detector.Poll(); // a failed read leaves the result as it was
    EXPECT_TRUE(detector.Online());
    EXPECT_EQ(detector.CurrentIP(), "10.0.0.7");
    EXPECT_EQ(changes, 1);
}

TEST(INetDetect, ThrowingListerAndHandlerNeverEscapeAPoll)
{
    bool throwNow = false;
    std::vector<std::string> addresses{"127.0.0.1"};
    TINetDetect detector([&](std::vector<std::string>& out) {
        if (throwNow)
            throw std::runtime_error("broken");
        out = addresses;
        return true;
    });
    detector.SetEnabled(true);
    throwNow = true;
    EXPECT_NO_THROW(detector.Poll());
    EXPECT_TRUE(detector.Timer().isActive()); // polling goes on

    throwNow = false;
    addresses.push_back("10.0.0.7");
    detector.OnChanged = [](TINetDetect&) { throw std::runtime_error("handler"); };
    EXPECT_NO_THROW(detector.Poll());
    EXPECT_TRUE(detector.Online());
    EXPECT_TRUE(detector.Timer().isActive());
}

TEST(INetDetect, EnabledAndIntervalSettersChangeOnlyOnANewValue)
{
    FakeInterfaces net{{"127.0.0.1"}};
    TINetDetect detector(net.Lister());
    detector.SetDispatchInterval(10000);
    EXPECT_EQ(detector.Timer().interval(), 10000);
    EXPECT_FALSE(detector.Timer().isActive());

    detector.SetEnabled(true);
    EXPECT_TRUE(detector.Timer().isActive());
    int remaining = detector.Timer().remainingTime();
    // Setting the same value again does not restart the countdown (it can only have run down).
    detector.SetEnabled(true);
    detector.SetDispatchInterval(10000);
    EXPECT_LE(detector.Timer().remainingTime(), remaining);

    detector.SetDispatchInterval(86400000);
    EXPECT_EQ(detector.DispatchInterval(), 86400000u);
    EXPECT_TRUE(detector.Timer().isActive());
    EXPECT_GT(detector.Timer().remainingTime(), 10000); // the next poll is a day away

    detector.SetEnabled(false);
    EXPECT_FALSE(detector.Timer().isActive());
    detector.Poll(); // a poll of a disabled detector does not re-arm it
    EXPECT_FALSE(detector.Timer().isActive());
    detector.SetEnabled(true);
    detector.Poll();
    EXPECT_TRUE(detector.Timer().isActive());
}

TEST(INetDetect, SystemListHoldsTheLoopbackAddress)
{
    std::vector<std::string> addresses;
    ASSERT_TRUE(SystemInterfaceAddresses(addresses));
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
}
