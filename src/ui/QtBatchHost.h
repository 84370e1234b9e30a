#pragma once
#include "engine/BatchHost.h"
#include "ui/Progress.h"

#include <QPointer>

#include <memory>

class QWidget;

namespace tabulonix {

// The batch engine's window in the wizard: the wizard is disabled for the run, the progress
// window follows it, each failed file gets a modal error box and the end an information box.
class TQtBatchHost : public BatchHost {
  public:
    TQtBatchHost(QWidget& wizard, TWindowLanguage language);
    ~TQtBatchHost() override;

    void SetWizardEnabled(bool enabled) override;
    void BeginProgress(int maximum) override;
    void SetFileName(const std::string& name) override;
    void StepProgress() override;
    void SetPercentText(const std::string& text) override;
    bool AbortRequested() override;
    void EndProgress() override;
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void ProcessMessages() override;

    // The progress window while a run shows it.
    TProgressIkkuna* ProgressWindow() const { return progress_.get(); }

  private:
    // Message boxes belong to the progress window while it exists (the wizard is disabled
    // then), otherwise to the wizard.
    QWidget* MessageParent() const;

    QPointer<QWidget> wizard_;
    TWindowLanguage language_;
    std::unique_ptr<TProgressIkkuna> progress_;
};

} // namespace tabulonix
