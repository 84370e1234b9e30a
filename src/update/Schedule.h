#pragma once
#include "i18n/InterfaceFont.h"
#include "settings/SettingsKeys.h"
#include "update/INetDetect.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace tabulonix {

class TUpdateIkkuna;

// The monthly automatic update check that the main window owns: the timer `Paivitys`, the
// connection detector `Internetti` and `AutoCheckForUpdate`.
class TUpdateSchedule {
  public:
    // `updateStatus` is the main window's UpdateStatus; `owner` parents the dialogs and
    // message boxes.
    TUpdateSchedule(int& updateStatus, QWidget* owner,
                    TInterfaceLister interfaces = SystemInterfaceAddresses);
    ~TUpdateSchedule();
    TUpdateSchedule(const TUpdateSchedule&) = delete;
    TUpdateSchedule& operator=(const TUpdateSchedule&) = delete;

    // Start-up and the options dialog's OK: takes the main window's current settings and
    // font (the dialog of a later check is made with them) and arms the timer and the
    // detector from "Automatic update" and "Always connected to the Internet".
    void Arm(const GeneralSettings& general, const UpdateSettings& update,
             const TFontSpec& interfaceFont);

    // The main window's btnUpdate: the dialog with the armed settings, shown modally and
    // destroyed when it closes.
    void OpenDialog();

    void InternettiChanged();
    void PaivitysTimer();
    void AutoCheckForUpdate();

    QTimer Paivitys;
    TINetDetect Internetti;

    // What the schedule asks of its surroundings; tests replace them.
    std::string SettingsPath;                // Options.ini beside the executable
    std::function<TDate()> Today;            // the calendar
    std::function<bool()> ApplicationActive; // one of the program's windows is in front
    // Runs the check on the hidden dialog and returns its outcome (a TUpdateStatus).
    std::function<int(TUpdateIkkuna& dialog)> RunCheck;
    // M002 and M003: true for Yes.
    std::function<bool(const QString& text)> AskNewerVersion;
    std::function<bool(const QString& text)> AskResetErrors;
    // Yes to M002, and OpenDialog: the dialog shown modally.
    std::function<void(TUpdateIkkuna& dialog)> ShowDialog;
    // A failure of the schedule itself (the settings file cannot be written).
    std::function<void(const QString& text)> ShowError;

  private:
    bool Due(const TDate& lastChecked, const TDate& today) const;
    void AbandonAutomaticCheck();

    int& updateStatus_;
    QWidget* owner_;
    GeneralSettings general_;
    UpdateSettings update_;
    TFontSpec interfaceFont_;
    // The dialogs of the moment: the hidden one of a running automatic check and the one the
    // user opened. Neither is owned here.
    TUpdateIkkuna* automatic_ = nullptr;
    TUpdateIkkuna* manual_ = nullptr;
    bool abandoned_ = false;
    QMetaObject::Connection lastWindowClosed_;
};

} // namespace tabulonix
