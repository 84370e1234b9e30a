#pragma once
#include <QApplication>

namespace tabulonix::test {

// The one application object a widget test needs: the one that exists, or one made at the
// first call and kept until the test program ends.
inline QApplication& TestApplication()
{
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    // Windows are made without a display unless a test run asks for another platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tabulonix-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down from the exit handlers crashes in its input devices.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace tabulonix::test
