#include "ApplicationEnvironment.h"

#include <QApplication>

namespace {

// The dialog, the timers and the socket layer need one widget application.
[[maybe_unused]] ::testing::Environment* const kApplication = ::testing::AddGlobalTestEnvironment(
    new tabulonix::test::ApplicationEnvironment<QApplication>("update_tests"));

} // namespace
