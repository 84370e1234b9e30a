#include "update/Schedule.h"
#include "update/Update.h"

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Version.h"
#include "settings/IniFile.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <future>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

class ScheduleTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::vector<std::string> interfaces{"127.0.0.1", "192.168.1.5"};
    int updateStatus = -1;
    TUpdateSchedule schedule{updateStatus, nullptr, [this](std::vector<std::string>& out) {
                                 out = interfaces;
                                 return true;
                             }};
    TDate today{2024, 6, 5};
    bool active = false;
    // What the fake check returns, and what it saw.
    int outcome = usNothingNewer;
    int checks = 0;
    TDate lastCheckedDuringCheck;
    std::vector<std::string> asked;
    bool answer = false;
    int shown = 0;
    GeneralSettings general = DefaultGeneral();
    UpdateSettings update = DefaultUpdate();

    void SetUp() override
    {
        schedule.SettingsPath = dir.File("Options.ini");
        schedule.Today = [this] { return today; };
        schedule.ApplicationActive = [this] { return active; };
        schedule.RunCheck = [this](TUpdateIkkuna&) {
            ++checks;
            lastCheckedDuringCheck = Settings().ReadDate("Update", "Last checked", TDate{});
            return outcome;
        };
        schedule.AskNewerVersion = [this](const QString& text) {
            asked.push_back("M002 " + text.toStdString());
            return answer;
        };
        schedule.AskResetErrors = [this](const QString& text) {
            asked.push_back("M003 " + text.toStdString());
            return answer;
        };
        schedule.ShowDialog = [this](TUpdateIkkuna&) { ++shown; };
        schedule.ShowError = [this](const QString& text) {
            asked.push_back("error " + text.toStdString());
        };
        update.AutoUpdate = true;
        update.AlwaysConnected = true;
    }

    TIniFile Settings() const { return TIniFile(dir.File("Options.ini")); }
    void Store(TDate lastChecked, int errors = -1)
    {
        Settings().WriteDate("Update", "Last checked", lastChecked);
        if (errors >= 0)
            Settings().WriteInteger("Update", "Error type 1 count", errors);
    }
    TDate LastChecked() const { return Settings().ReadDate("Update", "Last checked", TDate{}); }
    int Errors() const { return Settings().ReadInteger("Update", "Error type 1 count", -1); }
    void Arm() { schedule.Arm(general, update, InterfaceFontFrom(general)); }
    void GoOnline() { interfaces.push_back("10.64.0.9"); }
};

std::string M003(int count)
{
    return "M003 While checking for updates Tabulonix has run to an error for " +
           std::to_string(count) +
           " times in a row. It is recommended to check the options or Merovane web pages to "
           "fix this. Would you like to reset the error counter?";
}

} // namespace

TEST_F(ScheduleTest, CreationLeavesEverythingOff)
{
    EXPECT_FALSE(schedule.Paivitys.isActive());
    EXPECT_EQ(schedule.Paivitys.interval(), 120000);
    EXPECT_FALSE(schedule.Internetti.Enabled());
    EXPECT_EQ(schedule.Internetti.DispatchInterval(), 10000u);
}

TEST_F(ScheduleTest, ArmingFollowsTheTwoSettingsAndTheConnection)
{
    struct Case {
        bool autoUpdate, alwaysConnected, online;
        bool timer, detector;
    } cases[] = {
        {false, false, false, false, false}, {false, true, true, false, false},
        {true, true, false, true, false},    {true, false, false, false, true},
        {true, false, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.autoUpdate << c.alwaysConnected << c.online);
        std::vector<std::string> list{"127.0.0.1"};
        TUpdateSchedule s(updateStatus, nullptr, [&](std::vector<std::string>& out) {
            out = list;
            return true;
        });
        if (c.online) {
            list.push_back("10.64.0.9");
            s.Internetti.Poll();
        }
        update.AutoUpdate = c.autoUpdate;
        update.AlwaysConnected = c.alwaysConnected;
        s.Arm(general, update, InterfaceFontFrom(general));
        EXPECT_EQ(s.Paivitys.isActive(), c.timer);
        EXPECT_EQ(s.Internetti.Enabled(), c.detector);
    }
}

TEST_F(ScheduleTest, ArmingAgainDoesNotRestartARunningCountdown)
{
    Arm();
    ASSERT_TRUE(schedule.Paivitys.isActive());
    int remaining = schedule.Paivitys.remainingTime();
    Arm();
    EXPECT_TRUE(schedule.Paivitys.isActive());
    EXPECT_LE(schedule.Paivitys.remainingTime(), remaining);

    update.AutoUpdate = false; // the options dialog switches it off
    Arm();
    EXPECT_FALSE(schedule.Paivitys.isActive());
    EXPECT_FALSE(schedule.Internetti.Enabled());
}

TEST_F(ScheduleTest, DetectorChangesStartAndStopTheTimer)
{
    update.AlwaysConnected = false;
    Arm();
    EXPECT_FALSE(schedule.Paivitys.isActive());
    GoOnline();
    schedule.Internetti.Poll();
    EXPECT_TRUE(schedule.Paivitys.isActive());
    EXPECT_EQ(schedule.Paivitys.interval(), 120000);
    interfaces.pop_back();
    schedule.Internetti.Poll();
    EXPECT_FALSE(schedule.Paivitys.isActive());
}

TEST_F(ScheduleTest, TickWhileTheApplicationIsActiveWaitsTenSeconds)
{
    Store({2024, 5, 20});
    Arm();
    active = true;
    for (int tick = 0; tick < 3; ++tick)
        schedule.PaivitysTimer();
    EXPECT_EQ(checks, 0);
    EXPECT_TRUE(schedule.Paivitys.isActive());
    EXPECT_EQ(schedule.Paivitys.interval(), 10000);

    active = false;
    schedule.PaivitysTimer();
    EXPECT_EQ(checks, 1);
}

TEST_F(ScheduleTest, DueByYearOrByMonthEachTestedAlone)
{
    Arm();
    struct Case {
        TDate lastChecked, today;
        bool due;
    } cases[] = {
        {{2023, 12, 12}, {2024, 1, 5}, true}, // an earlier year
        {{2024, 3, 3}, {2024, 3, 28}, false}, // this month already
        {{2024, 1, 31}, {2024, 2, 1}, true},  // an earlier month
        {{2025, 8, 10}, {2024, 6, 5}, false}, // clock set back: 8 is not less than 6
        {{2025, 3, 10}, {2024, 6, 5}, true},  // clock set back, but month 3 < 6
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.lastChecked.year << "-" << c.lastChecked.month << "-"
                                          << c.lastChecked.day);
        checks = 0;
        Store(c.lastChecked, 0);
        today = c.today;
        schedule.AutoCheckForUpdate();
        EXPECT_EQ(checks, c.due ? 1 : 0);
        EXPECT_EQ(LastChecked(), c.due ? c.today : c.lastChecked);
    }
}

TEST_F(ScheduleTest, WithoutAStoredDateOnlyTheFirstOfAMonthIsDue)
{
    Arm();
    today = {2024, 6, 1};
    schedule.AutoCheckForUpdate();
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(LastChecked(), today);

    std::remove(dir.File("Options.ini").c_str());
    today = {2024, 6, 2};
    schedule.AutoCheckForUpdate();
    EXPECT_EQ(checks, 1);
    EXPECT_FALSE(FileExists(dir.File("Options.ini"))); // nothing written
}

TEST_F(ScheduleTest, LastCheckedIsWrittenBeforeTheCheckRuns)
{
    Arm();
    Store({2024, 5, 20}, 3);
    outcome = usFailed;
    schedule.AutoCheckForUpdate();
    EXPECT_EQ(lastCheckedDuringCheck, today);
    EXPECT_EQ(Errors(), 4);
    EXPECT_EQ(updateStatus, usNone); // set before the check; the fake check leaves it
}

TEST_F(ScheduleTest, AfterTheCheckTheScheduleTurnsDaily)
{
    for (bool always : {true, false}) {
        SCOPED_TRACE(always ? "always connected" : "detector");
        update.AlwaysConnected = always;
        GoOnline();
        schedule.Internetti.Poll();
        Arm();
        Store({2024, 5, 20});
        schedule.PaivitysTimer();
        EXPECT_EQ(schedule.Paivitys.isActive(), always);
        EXPECT_EQ(schedule.Internetti.Enabled(), !always);
        if (always) {
            EXPECT_EQ(schedule.Paivitys.interval(), 86400000);
        } else {
            EXPECT_EQ(schedule.Internetti.DispatchInterval(), 86400000u);
        }
        interfaces.pop_back();
    }
}

TEST_F(ScheduleTest, DueWithoutAConnectionRunsNothingAndWaits)
{
    update.AlwaysConnected = false;
    Arm();
    Store({2024, 5, 20}, 2);
    schedule.PaivitysTimer();
    EXPECT_EQ(checks, 0);
    EXPECT_EQ(LastChecked(), (TDate{2024, 5, 20}));
    EXPECT_EQ(Errors(), 2);
    EXPECT_FALSE(schedule.Paivitys.isActive());
    EXPECT_TRUE(schedule.Internetti.Enabled());
    EXPECT_EQ(schedule.Internetti.DispatchInterval(), 10000u);

    // The connection comes: the detector brings the timer back and the check runs.
    GoOnline();
    schedule.Internetti.Poll();
    ASSERT_TRUE(schedule.Paivitys.isActive());
    schedule.PaivitysTimer();
    EXPECT_EQ(checks, 1);
}

TEST_F(ScheduleTest, TenFailuresInARowWarnUntilTheCounterIsReset)
{
    Arm();
    outcome = usFailed;
    Store({2024, 1, 10}, 8);
    today = {2024, 2, 3};
    schedule.AutoCheckForUpdate();
    EXPECT_EQ(Errors(), 9);
    EXPECT_TRUE(asked.empty());

    answer = false;
    today = {2024, 3, 3};
    schedule.AutoCheckForUpdate();
    EXPECT_EQ(asked, std::vector<std::string>{M003(10)});
    EXPECT_EQ(Errors(), 10);

    today = {2024, 4, 3};
    schedule.AutoCheckForUpdate();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked.back(), M003(11));
    EXPECT_EQ(Errors(), 11);

    answer = true;
    today = {2024, 5, 3};
    schedule.AutoCheckForUpdate();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked.back(), M003(12));
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(checks, 4);
}

TEST_F(ScheduleTest, NewerVersionPromptsAndYesShowsTheDialog)
{
    Arm();
    Store({2024, 5, 1}, 4);
    outcome = usNewerFound;
    answer = false;
    schedule.AutoCheckForUpdate();
    const std::string m002 =
        "M002 A newer version of Tabulonix detected! Click yes if you want to know more or "
        "download it. No to be reminded later.";
    EXPECT_EQ(asked, std::vector<std::string>{m002});
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(Errors(), 4); // unchanged

    schedule.AutoCheckForUpdate(); // answered No: nothing more this month
    EXPECT_EQ(asked.size(), 1u);

    answer = true;
    today = {2024, 7, 2};
    schedule.AutoCheckForUpdate();
    EXPECT_EQ(shown, 1);

    outcome = usNothingNewer;
    today = {2024, 8, 2};
    schedule.AutoCheckForUpdate();
    EXPECT_EQ(Errors(), 0);
}

TEST_F(ScheduleTest, UnwritableSettingsStopTheCheckWithAnError)
{
    schedule.SettingsPath = dir.File("no-such-folder/Options.ini");
    today = {2024, 6, 1}; // due by the default date
    Arm();
    EXPECT_NO_THROW(schedule.PaivitysTimer());
    EXPECT_EQ(checks, 0);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("error Unable to write to", 0), 0u) << asked[0];
    EXPECT_FALSE(schedule.Paivitys.isActive());
}

// The real check, through a real server: the prompt's Yes shows the dialog with its results,
// and a check the user starts by hand meanwhile neither disturbs the automatic one's transfer
// and file nor changes what it acts on.
TEST_F(ScheduleTest, AutomaticCheckKeepsItsOwnDialogAndOutcome)
{
    TestResolver resolver;
    auto newer = FixedResponseServer("HTTP/1.0 200 OK\r\n\r\n[UpdateInfo]\r\nVersion=9999.1\r\n");
    update.Address = newer->Url("/Tabulonix.ini");
    update.SaveTo = dir.Path();
    Arm();
    Store({2024, 5, 1}, 0);

    int manualOutcome = -1;
    std::string manualStatus;
    schedule.RunCheck = [&](TUpdateIkkuna& dialog) {
        dialog.Http.Socket().SetNameResolver(resolver.Function());
        QTimer::singleShot(0, [&] {
            TUpdateIkkuna manual(general, update, InterfaceFontFrom(general), updateStatus);
            manual.btnCheckClick();
            manualOutcome = manual.CheckOutcome();
            manualStatus = manual.Status->text().toStdString();
        });
        dialog.btnCheckClick();
        return dialog.CheckOutcome();
    };
    std::string shownVersion;
    bool downloadOffered = false;
    schedule.ShowDialog = [&](TUpdateIkkuna& dialog) {
        shownVersion = dialog.VersionAvailable->text().toStdString();
        downloadOffered = dialog.btnDownload->isEnabled();
    };
    answer = true;
    schedule.PaivitysTimer();
    // The automatic check held the local copy, so the hand-made one failed at once.
    EXPECT_EQ(manualOutcome, usFailed);
    EXPECT_EQ(manualStatus, "Error occured! ()");
    EXPECT_EQ(updateStatus, usNewerFound);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("M002 ", 0), 0u);
    EXPECT_EQ(shownVersion, "9999.1");
    EXPECT_TRUE(downloadOffered);
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(newer->Connections(), 1);
    EXPECT_FALSE(FileExists(dir.File("Tabulonix.upd")));
    resolver.Release();
}

// The dialog the user opens takes the armed settings; while its check waits for the server,
// a tick runs no automatic check (it would only fail on the held local copy) and waits.
TEST_F(ScheduleTest, HandOpenedDialogTakesTheArmedSettingsAndHoldsOffTheTimer)
{
    TestResolver resolver;
    std::promise<void> go;
    std::shared_future<void> released = go.get_future().share();
    TestServer server([&](Connection& c) {
        c.ReadRequest();
        released.wait();
        c.Write("HTTP/1.0 200 OK\r\n\r\n[UpdateInfo]\r\nVersion=0.0.0.1\r\n");
    });
    update.Address = server.Url("/Tabulonix.ini");
    update.SaveTo = dir.Path();
    Arm();
    Store({2024, 5, 1}, 0);
    std::string address;
    std::string status;
    schedule.ShowDialog = [&](TUpdateIkkuna& dialog) {
        ++shown;
        address = dialog.RemoteAddress->text().toStdString();
        dialog.Http.Socket().SetNameResolver(resolver.Function());
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (server.Requests().size() != 1)
                return;
            tick.stop();
            schedule.PaivitysTimer(); // the user has left the program meanwhile
            EXPECT_EQ(checks, 0);
            EXPECT_TRUE(schedule.Paivitys.isActive());
            EXPECT_EQ(schedule.Paivitys.interval(), 10000);
            go.set_value();
        });
        tick.start();
        dialog.btnCheckClick();
        status = dialog.Status->text().toStdString();
    };
    schedule.OpenDialog();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(address, update.Address);
    EXPECT_EQ(status, "No updates found!");
    EXPECT_EQ(updateStatus, usNothingNewer);

    schedule.PaivitysTimer(); // the dialog is gone: the check runs
    EXPECT_EQ(checks, 1);
    resolver.Release();
}

// Closing the program's last window ends a hidden check that a server keeps waiting; the
// ended check neither prompts nor counts as an error.
TEST_F(ScheduleTest, LastWindowClosedEndsAWaitingAutomaticCheck)
{
    TestResolver resolver;
    TestServer endless([](Connection& c) {
        c.ReadRequest();
        c.Write("HTTP/1.0 200 OK\r\n\r\n[UpdateInfo]\r\n");
        c.WaitForClose();
    });
    update.Address = endless.Url("/Tabulonix.ini");
    update.SaveTo = dir.Path();
    Arm();
    Store({2024, 5, 1}, 4);
    int outcome = -1;
    schedule.RunCheck = [&](TUpdateIkkuna& dialog) {
        dialog.Http.Socket().SetNameResolver(resolver.Function());
        QTimer closing;
        closing.setInterval(1);
        QObject::connect(&closing, &QTimer::timeout, [&] {
            if (dialog.Http.State() == THttpState::ReceivingBody) {
                closing.stop();
                emit qApp->lastWindowClosed();
            }
        });
        closing.start();
        dialog.btnCheckClick();
        outcome = dialog.CheckOutcome();
        return outcome;
    };
    schedule.PaivitysTimer();
    EXPECT_EQ(outcome, usFailed);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Errors(), 4);
    EXPECT_EQ(LastChecked(), today);
    EXPECT_FALSE(FileExists(dir.File("Tabulonix.upd")));
    resolver.Release();
}
