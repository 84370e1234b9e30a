#include "ApplicationEnvironment.h"

#include <QApplication>

namespace {

// The windows need one widget application for the whole suite.
[[maybe_unused]] ::testing::Environment* const kApplication = ::testing::AddGlobalTestEnvironment(
    new tabulonix::test::ApplicationEnvironment<QApplication>("i18nui_tests"));

} // namespace
