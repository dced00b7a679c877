#pragma once

#include <QString>

namespace platform::testing {

// While alive, the process runs with the effective user and group "nobody" (65534) when
// the tests run as root, so that permission bits deny access as they do for a user;
// otherwise it changes nothing. Folders that the test works in must let others in
// (for instance with mode 0755), since the temporary folders are private to their owner.
class UnprivilegedScope
{
public:
    UnprivilegedScope();
    ~UnprivilegedScope();
    UnprivilegedScope(const UnprivilegedScope &) = delete;
    UnprivilegedScope &operator=(const UnprivilegedScope &) = delete;

private:
    bool m_switched = false;
};

// Lets every user read and enter `path` (mode 0755 for a folder, 0644 for a file).
void allowOthers(const QString &path);

} // namespace platform::testing
