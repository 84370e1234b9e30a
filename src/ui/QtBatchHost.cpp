#include "ui/QtBatchHost.h"

#include "i18n/QtText.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QWidget>
#include <QWindow>

namespace tabulonix {

TQtBatchHost::TQtBatchHost(QWidget& wizard, TWindowLanguage language)
    : wizard_(&wizard), language_(std::move(language))
{
}

TQtBatchHost::~TQtBatchHost() = default;

void TQtBatchHost::SetWizardEnabled(bool enabled)
{
    if (wizard_)
        wizard_->setEnabled(enabled);
}

void TQtBatchHost::BeginProgress(int maximum)
{
    // A window of its own rather than a child: a child of the disabled wizard would be
    // disabled too, and "Abort" could not be pressed.
    progress_ = std::make_unique<TProgressIkkuna>(language_);
    progress_->ProgressBar->setRange(0, maximum);
    progress_->ProgressBar->setValue(0);
    if (wizard_ && wizard_->window()->windowHandle()) {
        progress_->winId(); // makes the native window, so that it can stay above the wizard
        progress_->windowHandle()->setTransientParent(wizard_->window()->windowHandle());
    }
    progress_->show();
    ProcessMessages();
}

void TQtBatchHost::SetFileName(const std::string& name)
{
    if (progress_)
        progress_->FileName->setText(ToQString(name));
}

void TQtBatchHost::StepProgress()
{
    if (progress_) {
        QProgressBar* bar = progress_->ProgressBar;
        bar->setValue(std::min(bar->value() + 1, bar->maximum()));
    }
}

void TQtBatchHost::SetPercentText(const std::string& text)
{
    if (progress_)
        progress_->Edistys->setText(ToQString(text));
}

bool TQtBatchHost::AbortRequested()
{
    return progress_ && progress_->Aborted();
}

void TQtBatchHost::EndProgress()
{
    progress_.reset();
}

QWidget* TQtBatchHost::MessageParent() const
{
    if (progress_)
        return progress_.get();
    return wizard_ ? wizard_->window() : nullptr;
}

void TQtBatchHost::ShowError(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), ToQString(text),
                    QMessageBox::Ok, MessageParent());
    box.exec();
}

void TQtBatchHost::ShowInformation(const std::string& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), ToQString(text),
                    QMessageBox::Ok, MessageParent());
    box.exec();
}

void TQtBatchHost::ProcessMessages()
{
    QCoreApplication::processEvents();
}

} // namespace tabulonix
