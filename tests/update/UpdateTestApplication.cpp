#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The dialog, the timers and the socket layer need one widget application for every test.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override
    {
        // ctest hands discovered tests only part of their environment list; the windows must
        // never need a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QCoreApplication::instance())
            app_ = new QApplication(argc_, argv_);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

  private:
    int argc_ = 1;
    char name_[13] = "update_tests";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace
