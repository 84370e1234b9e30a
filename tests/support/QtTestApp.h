#pragma once
#include <QApplication>
#include <gtest/gtest.h>

namespace tabulonix::test {

// The one application object a widget test needs: the one that exists, or one made at the
// first call and deleted after the last test. (Left to the exit handlers, its destruction
// crashes once QTest has sent input events.)
inline QApplication& TestApplication()
{
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    // Windows are made without a display unless a test run asks for another platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    struct Owner : ::testing::Environment {
        QApplication* app = nullptr;
        void TearDown() override
        {
            delete app;
            app = nullptr;
        }
    };
    static int argc = 1;
    static char name[] = "tabulonix-tests";
    static char* argv[] = {name, nullptr};
    auto* owner = new Owner;
    owner->app = new QApplication(argc, argv);
    ::testing::AddGlobalTestEnvironment(owner);
    return *owner->app;
}

} // namespace tabulonix::test
