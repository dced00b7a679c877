#include "platform/testing/unprivileged_scope.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace platform::testing {

namespace {
constexpr uid_t Nobody = 65534;
}

UnprivilegedScope::UnprivilegedScope()
{
    if (geteuid() != 0)
        return;
    EXPECT_EQ(setegid(Nobody), 0);
    EXPECT_EQ(seteuid(Nobody), 0);
    m_switched = true;
}

UnprivilegedScope::~UnprivilegedScope()
{
    if (!m_switched)
        return;
    EXPECT_EQ(seteuid(0), 0);
    EXPECT_EQ(setegid(0), 0);
}

void allowOthers(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info;
    if (stat(encoded.constData(), &info) != 0)
        return;
    chmod(encoded.constData(), S_ISDIR(info.st_mode) ? 0755 : 0644);
}

} // namespace platform::testing
