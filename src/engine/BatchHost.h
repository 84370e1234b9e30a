#pragma once
#include <exception>
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
    virtual void SetFileName(const std::string& name) = 0;
    virtual void StepProgress() = 0;
    virtual void SetPercentText(const std::string& text) = 0;
    // Read after each successful file only.
    virtual bool AbortRequested() = 0;
    // Destroy the progress window.
    virtual void EndProgress() = 0;

    // Modal message boxes with one "OK" button. `reason` says why the operation failed (see
    // FailureReason; empty when there is nothing to add): the wizard shows it as the box's
    // detailed text, the command-line tool after the message on the same line.
    virtual void ShowError(const std::string& text, const std::string& reason) = 0;
    virtual void ShowInformation(const std::string& text) = 0;

    // Let pending window messages run (repaints, the "Abort" click).
    virtual void ProcessMessages() = 0;
};

// Why an operation failed, in a few words: the system's error text for file errors that
// carry one ("No space left on device"), the size of a picture refused for its size
// ("picture too large: 20000 × 20000"), else the exception's own message.
std::string FailureReason(const std::exception& error);

} // namespace tabulonix
