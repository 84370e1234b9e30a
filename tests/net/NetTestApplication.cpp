#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

// The socket layer needs an event loop; one application object serves every test.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override
    {
        if (!QCoreApplication::instance())
            app_ = new QCoreApplication(argc_, argv_);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

  private:
    int argc_ = 1;
    char name_[10] = "net_tests";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace
