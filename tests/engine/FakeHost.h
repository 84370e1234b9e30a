#pragma once
#include "engine/BatchHost.h"

#include <functional>
#include <string>
#include <vector>

namespace tabulonix::test {

// Records every call of the engine as one line ("error: ...", "step", "percent 12%", ...).
class FakeHost : public BatchHost {
  public:
    std::vector<std::string> events;
    std::vector<std::string> errors;
    std::vector<std::string> reasons; // one per error, as given
    std::vector<std::string> infos;
    int position = 0;
    int maximum = -1;
    // Called at each message run; may set `abort`.
    std::function<void(FakeHost&)> onProcessMessages;
    bool abort = false;

    void SetWizardEnabled(bool enabled) override
    {
        events.push_back(enabled ? "enable" : "disable");
    }
    void BeginProgress(int max) override
    {
        maximum = max;
        position = 0;
        events.push_back("begin " + std::to_string(max));
    }
    void SetFileName(const std::string& name) override { events.push_back("file " + name); }
    void StepProgress() override
    {
        ++position;
        events.push_back("step");
    }
    void SetPercentText(const std::string& text) override { events.push_back("percent " + text); }
    bool AbortRequested() override
    {
        events.push_back("abort?");
        return abort;
    }
    void EndProgress() override { events.push_back("end"); }
    void ShowError(const std::string& text, const std::string& reason) override
    {
        errors.push_back(text);
        reasons.push_back(reason);
        events.push_back("error " + text);
    }
    void ShowInformation(const std::string& text) override
    {
        infos.push_back(text);
        events.push_back("info " + text);
    }
    void ProcessMessages() override
    {
        events.push_back("messages");
        if (onProcessMessages)
            onProcessMessages(*this);
    }
};

} // namespace tabulonix::test
