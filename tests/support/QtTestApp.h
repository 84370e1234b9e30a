#pragma once
#include <QApplication>

namespace tabulonix::test {

// The suite's application object, which its ApplicationEnvironment made before the first
// test (see the suite's TestApplication.cpp).
inline QApplication& TestApplication()
{
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

} // namespace tabulonix::test
