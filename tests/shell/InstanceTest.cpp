#include "TestSupport.h"

#include "platform/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tabulonix::test {
namespace {

// True while another process holds the lock file.
bool LockHeld(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

template <class Condition> bool WaitFor(Condition condition, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        // A poll interval, not a timing assumption: the condition decides.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The program finds Options.ini beside itself, so each test runs its own copy.
std::string CopyProgram(const TempDir& dir)
{
    const std::string program = dir.File("tabulonix");
    WriteBytes(program, ReadBytes(BinDir() + "tabulonix"));
    ::chmod(program.c_str(), 0755);
    return program;
}

TEST(SingleInstance, SecondStartEndsAtOnceAndLeavesTheFirst)
{
    TempDir dir;
    const std::string program = CopyProgram(dir);
    const std::string options = "[General]\r\nShow splashscreen=0\r\nLanguage index=0\r\n";
    WriteText(dir.File("Options.ini"), options);
    const std::string lock = dir.File("Tabulonix.lock");

    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(WaitFor([&] { return LockHeld(lock); }, std::chrono::seconds(120)));

    const CommandResult second =
        RunCommand("XDG_RUNTIME_DIR=" + ShellQuote(dir.Path()) +
                   " QT_QPA_PLATFORM=offscreen timeout 60 " + ShellQuote(program));
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(ReadText(dir.File("Options.ini")), options) << "the second copy wrote nothing";
    int status = 0;
    EXPECT_EQ(::waitpid(first, &status, WNOHANG), 0) << "the first copy still runs";

    ::kill(first, SIGTERM);
    ::waitpid(first, &status, 0);
    EXPECT_FALSE(LockHeld(lock)) << "the lock ends with its process";
}

} // namespace
} // namespace tabulonix::test
