#include "cli/TerminalHost.h"

#include "i18n/Messages.h"
#include "platform/SafeFile.h"

namespace tabulonix::cli {

namespace {

volatile std::sig_atomic_t abortFlag = 0;

void OnSignal(int signal)
{
    // The first Ctrl-C asks the run to stop after the current file.
    if (signal == SIGINT && !abortFlag) {
        abortFlag = 1;
        return;
    }
    // A second Ctrl-C, or a request to terminate, ends the program at once, without
    // leaving the file being written half-done.
    RemovePendingTemporaryFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

TerminalHost::TerminalHost(bool showBar, FILE* out, FILE* err)
    : showBar_(showBar), out_(out), err_(err)
{
    abortFlag = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // The file being read or written when Ctrl-C comes is finished, not cut short.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &action, &previous_[i]);
}

TerminalHost::~TerminalHost()
{
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &previous_[i], nullptr);
}

void TerminalHost::BeginProgress(int maximum)
{
    maximum_ = maximum;
    position_ = 0;
    percent_ = "0%";
    name_.clear();
}

void TerminalHost::SetFileName(const std::string& name)
{
    name_ = name;
    DrawBar();
}

void TerminalHost::StepProgress()
{
    if (position_ < maximum_)
        ++position_;
}

void TerminalHost::SetPercentText(const std::string& text)
{
    percent_ = text;
    DrawBar();
}

bool TerminalHost::AbortRequested()
{
    return abortFlag != 0;
}

void TerminalHost::EndProgress()
{
    ClearBar();
}

void TerminalHost::ShowError(const std::string& text, const std::string& reason)
{
    ++errors_;
    ClearBar();
    if (reason.empty())
        std::fprintf(err_, "%s\n", text.c_str());
    else
        std::fprintf(err_, "%s (%s)\n", text.c_str(), reason.c_str());
    std::fflush(err_);
}

void TerminalHost::ShowInformation(const std::string& text)
{
    ClearBar();
    // The completion goes to stdout; other notes (a page that lost its markers) are
    // warnings and belong with the errors.
    FILE* to = text == LangMessage("M020") ? err_ : out_;
    std::fprintf(to, "%s\n", text.c_str());
    std::fflush(to);
}

void TerminalHost::DrawBar()
{
    if (!showBar_)
        return;
    constexpr int kWidth = 30;
    int filled = maximum_ > 0 ? position_ * kWidth / maximum_ : 0;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kWidth, '-');
    std::string name = name_.size() > 40 ? "..." + name_.substr(name_.size() - 37) : name_;
    std::fprintf(err_, "\r\033[K[%s] %4s %d/%d %s", bar.c_str(), percent_.c_str(), position_,
                 maximum_, name.c_str());
    std::fflush(err_);
    barShown_ = true;
}

void TerminalHost::ClearBar()
{
    if (!barShown_)
        return;
    std::fprintf(err_, "\r\033[K");
    std::fflush(err_);
    barShown_ = false;
}

} // namespace tabulonix::cli
