#pragma once
#include <string>

namespace tabulonix {

// What the batch engine needs of its window: the wizard implements it with its progress
// window and message boxes, the command-line tool with a terminal bar and stderr.
class BatchHost {
  public:
    virtual ~BatchHost() = default;

    // The wizard is disabled for the run and enabled again at its end.
    virtual void SetWizardEnabled(bool enabled) { (void)enabled; }

    // Create and show the progress window: range 0..maximum, step 1, position 0.
    virtual void BeginProgress(int maximum) = 0;
    virtual void SetFileName(const std::string &name) = 0;
    virtual void StepProgress() = 0;
    virtual void SetPercentText(const std::string &text) = 0;
    // Read after each successful file only.
    virtual bool AbortRequested() = 0;
    // Destroy the progress window.
    virtual void EndProgress() = 0;

    // Modal message boxes with one "OK" button.
    virtual void ShowError(const std::string &text) = 0;
    virtual void ShowInformation(const std::string &text) = 0;

    // Let pending window messages run (repaints, the "Abort" click).
    virtual void ProcessMessages() = 0;
};

} // namespace tabulonix
