#include "platform/testing/test_runtime_folder.h"

#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace platform::testing {

namespace {

// Set by the outermost test program; its children see it and keep the folder.
constexpr char OwnerVariable[] = "DIRGLEAM_TEST_RUNTIME_DIR";

} // namespace

TestRuntimeFolder::TestRuntimeFolder()
{
    if (qEnvironmentVariableIsSet(OwnerVariable))
        return;
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/dirgleam-test-runtime-XXXXXX"));
    if (!folder.isValid())
        return;
    folder.setAutoRemove(false);
    m_owned = folder.path();
    QFile::setPermissions(m_owned, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv(OwnerVariable, QFile::encodeName(m_owned));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_owned));
}

TestRuntimeFolder::~TestRuntimeFolder()
{
    if (m_owned.isEmpty())
        return;
    removeRawContents(m_owned);
    QDir().rmdir(m_owned);
}

} // namespace platform::testing
