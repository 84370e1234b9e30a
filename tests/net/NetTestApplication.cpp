#include "ApplicationEnvironment.h"

namespace {

// The socket layer needs an event loop.
[[maybe_unused]] ::testing::Environment* const kApplication = ::testing::AddGlobalTestEnvironment(
    new tabulonix::test::ApplicationEnvironment<QCoreApplication>("net_tests"));

} // namespace
