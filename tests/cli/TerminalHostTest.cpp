// The terminal host in-process: its lines and its signal handling.
#include "cli/TerminalHost.h"

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/SafeFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

// A second Ctrl-C, SIGTERM and SIGHUP end the tool at once, and the picture being written
// is neither half-replaced nor left behind as a temporary file.
TEST(TerminalHostSignals, EndingSignalsRemoveThePictureBeingWritten)
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        std::string photo = dir.File("photo.bmp");
        WriteText(photo, "the old picture");
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            cli::TerminalHost host(false);
            SafeFileWriter file(photo);
            file.Write("half", 4);
            if (signal == SIGINT) {
                std::raise(SIGINT); // the first only asks the run to stop after this file
                if (!host.AbortRequested() || !FileExists(file.TemporaryPath()))
                    _exit(3);
            }
            std::raise(signal);
            _exit(4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signal << ", exit " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(ReadText(photo), "the old picture");
        EXPECT_EQ(FindFiles(dir.Path(), "*").size(), 1u) << "signal " << signal;
    }
}

TEST(TerminalHostLines, ReasonInParenthesesAfterTheMessage)
{
    TempDir dir;
    FILE* err = std::fopen(dir.File("err").c_str(), "w+");
    ASSERT_TRUE(err);
    {
        cli::TerminalHost host(false, stdout, err);
        host.ShowError("Error opening file /a.tif!", "Permission denied");
        host.ShowError("Error saving HTML-output /g.htm!", "");
        EXPECT_EQ(host.ErrorCount(), 2);
    }
    std::fclose(err);
    EXPECT_EQ(ReadText(dir.File("err")),
              "Error opening file /a.tif! (Permission denied)\nError saving HTML-output /g.htm!\n");
}

} // namespace
