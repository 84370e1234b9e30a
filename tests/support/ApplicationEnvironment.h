#pragma once
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <string>

namespace tabulonix::test {

// One application object of type App for every test of a suite, made before the first test
// and deleted after the last (before the program's exit handlers, which Qt needs). Windows
// are made without a display unless the run asks for another platform: ctest hands
// discovered tests only part of their environment list.
template <class App> class ApplicationEnvironment : public ::testing::Environment {
  public:
    explicit ApplicationEnvironment(const char* name) : name_(name) {}
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QCoreApplication::instance())
            app_ = new App(argc_, argv_);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

  private:
    std::string name_;
    int argc_ = 1;
    char* argv_[2] = {name_.data(), nullptr};
    App* app_ = nullptr;
};

} // namespace tabulonix::test
