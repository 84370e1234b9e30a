#pragma once
#include <QApplication>

#include <gtest/gtest.h>

namespace tabulonix::test {

// The one application object a widget test needs: the one that exists, or one made at the
// first call. A made one is deleted after the last test, before the program's exit
// handlers run: Qt's input devices cannot be torn down from there, and a never-deleted
// application leaves the font library's memory behind for the leak checker.
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
    auto* app = new QApplication(argc, argv);
    struct Deleter : ::testing::Environment {
        explicit Deleter(QApplication* a) : app(a) {}
        void TearDown() override { delete app; }
        QApplication* app;
    };
    ::testing::AddGlobalTestEnvironment(new Deleter(app));
    return *app;
}

} // namespace tabulonix::test
