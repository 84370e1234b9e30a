#pragma once
#include "engine/BatchHost.h"

#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>

namespace tabulonix::cli {

// The batch engine's window on a terminal: messages as lines (errors on stderr, the
// completion on stdout), a progress bar on stderr when it is a terminal, Ctrl-C as "Abort".
// A second Ctrl-C, SIGTERM or SIGHUP end the program at once and remove the temporary file
// of a picture being written.
class TerminalHost : public BatchHost {
  public:
    TerminalHost(bool showBar, FILE* out = stdout, FILE* err = stderr);
    ~TerminalHost() override;

    void BeginProgress(int maximum) override;
    void SetFileName(const std::string& name) override;
    void StepProgress() override;
    void SetPercentText(const std::string& text) override;
    bool AbortRequested() override;
    void EndProgress() override;
    void ShowError(const std::string& text, const std::string& reason) override;
    void ShowInformation(const std::string& text) override;
    void ProcessMessages() override {}

    int ErrorCount() const { return errors_; }

  private:
    void DrawBar();
    void ClearBar();
    bool showBar_;
    FILE* out_;
    FILE* err_;
    int maximum_ = 0;
    int position_ = 0;
    std::string name_;
    std::string percent_ = "0%";
    bool barShown_ = false;
    int errors_ = 0;
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[std::size(kSignals)]{};
};

} // namespace tabulonix::cli
