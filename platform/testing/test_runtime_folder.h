#pragma once

#include <QString>

namespace platform::testing {

// Gives a test program and every process it starts a runtime folder of their own for lock
// files, removed when the test program ends, so that the many instance and settings locks
// that tests take never pile up in the user's runtime folder. A child process started by
// a test finds its parent's folder in the environment and uses it as it is.
class TestRuntimeFolder
{
public:
    TestRuntimeFolder();
    ~TestRuntimeFolder();
    TestRuntimeFolder(const TestRuntimeFolder &) = delete;
    TestRuntimeFolder &operator=(const TestRuntimeFolder &) = delete;

private:
    QString m_owned;
};

} // namespace platform::testing
