#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The windows need an application object; one serves every test of the suite. It is
// deleted before the program's exit handlers run, which Qt's input devices need.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override
    {
        // Windows are made without a display unless a test run asks for another platform.
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
    char name_[10] = "ui_tests";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace
