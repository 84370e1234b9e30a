#include "update/Schedule.h"

#include "i18n/Messages.h"
#include "i18n/QtText.h"
#include "settings/IniFile.h"
#include "update/Update.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace tabulonix {

namespace {

constexpr int kFirstTick = 120000;
constexpr int kRetryTick = 10000;
constexpr int kDaily = 86400000;

// Enabling a running timer must not restart its countdown.
void SetTimerEnabled(QTimer& timer, bool enabled)
{
    if (enabled && !timer.isActive())
        timer.start();
    else if (!enabled && timer.isActive())
        timer.stop();
}

// A changed interval restarts the countdown; the same one leaves it running.
void SetTimerInterval(QTimer& timer, int interval)
{
    if (timer.interval() != interval)
        timer.setInterval(interval);
}

bool AskYesNo(QWidget* owner, QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, QStringLiteral("Tabulonix"), text, QMessageBox::Yes | QMessageBox::No,
                    owner);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

TUpdateSchedule::TUpdateSchedule(int& updateStatus, QWidget* owner, TInterfaceLister interfaces)
    : Internetti(std::move(interfaces)), updateStatus_(updateStatus), owner_(owner)
{
    Paivitys.setInterval(kFirstTick);
    QObject::connect(&Paivitys, &QTimer::timeout, [this] { PaivitysTimer(); });
    Internetti.SetDispatchInterval(kRetryTick);
    Internetti.OnChanged = [this](TINetDetect&) { InternettiChanged(); };

    SettingsPath = OptionsFilePath();
    Today = [] { return tabulonix::Today(); };
    ApplicationActive = [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; };
    RunCheck = [](TUpdateIkkuna& dialog) {
        dialog.btnCheckClick();
        return dialog.CheckOutcome();
    };
    AskNewerVersion = [this](const QString& text) {
        return AskYesNo(owner_, QMessageBox::Information, text);
    };
    AskResetErrors = [this](const QString& text) {
        return AskYesNo(owner_, QMessageBox::Warning, text);
    };
    ShowDialog = [](TUpdateIkkuna& dialog) { dialog.exec(); };
    ShowError = [this](const QString& text) {
        QMessageBox::critical(owner_, QStringLiteral("Tabulonix"), text);
    };
    // A hidden check has no window to close it by: when the program's last window goes, a
    // server that never finishes must not keep the process alive.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        lastWindowClosed_ = QObject::connect(app, &QGuiApplication::lastWindowClosed,
                                             [this] { AbandonAutomaticCheck(); });
}

TUpdateSchedule::~TUpdateSchedule()
{
    QObject::disconnect(lastWindowClosed_);
    Internetti.OnChanged = nullptr;
    Paivitys.stop();
}

void TUpdateSchedule::Arm(const GeneralSettings& general, const UpdateSettings& update,
                          const TFontSpec& interfaceFont)
{
    general_ = general;
    update_ = update;
    interfaceFont_ = interfaceFont;
    SetTimerEnabled(Paivitys, update.AutoUpdate && (update.AlwaysConnected || Internetti.Online()));
    Internetti.SetEnabled(update.AutoUpdate && !update.AlwaysConnected);
}

void TUpdateSchedule::OpenDialog()
{
    TUpdateIkkuna dialog(general_, update_, interfaceFont_, updateStatus_, owner_);
    manual_ = &dialog;
    struct Done {
        TUpdateIkkuna*& manual;
        ~Done() { manual = nullptr; }
    } done{manual_};
    if (ShowDialog)
        ShowDialog(dialog);
}

void TUpdateSchedule::AbandonAutomaticCheck()
{
    if (!automatic_)
        return;
    abandoned_ = true;
    automatic_->Http.Abort();
}

void TUpdateSchedule::InternettiChanged()
{
    SetTimerEnabled(Paivitys, Internetti.Online());
}

void TUpdateSchedule::PaivitysTimer()
{
    SetTimerInterval(Paivitys, kRetryTick);
    if (ApplicationActive && ApplicationActive())
        return;
    // The user's own check holds the local copy; an automatic one now would only fail on it
    // and count an error that is none.
    if (manual_ && manual_->Transferring())
        return;
    SetTimerEnabled(Paivitys, false);
    try {
        AutoCheckForUpdate();
    } catch (const std::exception& e) {
        // Nothing may escape into the event loop; the user hears of it as of any error.
        if (ShowError)
            ShowError(ToQString(e.what()));
    }
}

bool TUpdateSchedule::Due(const TDate& lastChecked, const TDate& today) const
{
    // Year and month are tested each by itself, so a later year with an earlier month is due.
    return lastChecked.year < today.year || lastChecked.month < today.month;
}

void TUpdateSchedule::AutoCheckForUpdate()
{
    const TDate today = Today();
    TIniFile settings(SettingsPath);
    TDate lastChecked = settings.ReadDate("Update", "Last checked", AddDays(today, -1));
    int errors = settings.ReadInteger("Update", "Error type 1 count", 0);

    if (Due(lastChecked, today) && (update_.AlwaysConnected || Internetti.Online())) {
        // Written first, so that a failed check also counts as this month's.
        settings.WriteDate("Update", "Last checked", today);
        lastChecked = today;

        updateStatus_ = usNone;
        // The check keeps its own dialog and reads its own outcome, so a dialog the user
        // opens meanwhile cannot change what this one found.
        auto dialog = std::make_unique<TUpdateIkkuna>(general_, update_, interfaceFont_,
                                                      updateStatus_, owner_);
        automatic_ = dialog.get();
        abandoned_ = false;
        int outcome;
        {
            struct Done {
                TUpdateIkkuna*& automatic;
                ~Done() { automatic = nullptr; }
            } done{automatic_};
            outcome = RunCheck ? RunCheck(*dialog) : usNone;
        }
        if (abandoned_) {
            // The program is closing: no prompt, and no error counted for a check it ended.
        } else if (outcome == usNewerFound) {
            if (AskNewerVersion && AskNewerVersion(ToQString(LangMessage("M002"))) && ShowDialog)
                ShowDialog(*dialog);
        } else if (outcome == usFailed) {
            ++errors;
            if (errors >= 10 && AskResetErrors &&
                AskResetErrors(ToQString(Format(LangMessage("M003"), errors))))
                errors = 0;
        } else {
            errors = 0;
        }
        if (!abandoned_)
            settings.WriteInteger("Update", "Error type 1 count", errors);
    }

    if (Due(lastChecked, today))
        return; // still due: the detector, when it runs, brings the timer back
    SetTimerEnabled(Paivitys, false);
    Internetti.SetEnabled(false);
    if (update_.AlwaysConnected) {
        SetTimerInterval(Paivitys, kDaily);
        SetTimerEnabled(Paivitys, true);
    } else {
        Internetti.SetDispatchInterval(kDaily);
        Internetti.SetEnabled(true);
    }
}

} // namespace tabulonix
