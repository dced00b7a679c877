#include "common/ftp_password_handover.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace common {
namespace {

TEST(FtpPasswordHandOver, AddressesGoWithoutPasswordsAndComeBackWhole)
{
    const std::array<QString, 2> paths{QStringLiteral("ftp://alice:s3cr:et@127.0.0.1:2121/pub/a.txt"),
                                       QStringLiteral("/home/alice/b.txt")};
    QString file;
    const QStringList arguments = ViewerArgumentsWithoutPasswords(paths, {QStringLiteral("-Cout.csv")}, file);
    ASSERT_EQ(arguments.size(), 4);
    EXPECT_EQ(arguments.mid(0, 3), (QStringList{"ftp://alice@127.0.0.1:2121/pub/a.txt", paths[1], "-Cout.csv"}));
    EXPECT_EQ(arguments[3], PasswordFileSwitch + file);
    EXPECT_FALSE(arguments.join(u' ').contains("s3cr")) << "no password where every user can read it";
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    std::array<std::optional<QString>, 2> given{arguments[0], arguments[1]};
    TakeBackFtpPasswords(file, given);
    EXPECT_EQ(*given[0], paths[0]);
    EXPECT_EQ(*given[1], paths[1]);
    EXPECT_FALSE(QFileInfo::exists(file)) << "read once, then gone";

    QString none;
    EXPECT_EQ(ViewerArgumentsWithoutPasswords({"ftp://host/a.txt", "ftp://user@host/b.txt"}, {}, none),
              (QStringList{"ftp://host/a.txt", "ftp://user@host/b.txt"}));
    EXPECT_EQ(none, "");
}

TEST(FtpPasswordHandOver, AFileOthersMayReadIsNotTaken)
{
    QString file;
    const QStringList arguments = ViewerArgumentsWithoutPasswords({"ftp://u:p@h/a", ""}, {}, file);
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    std::array<std::optional<QString>, 2> given{arguments[0], arguments[1]};
    TakeBackFtpPasswords(file, given);
    EXPECT_EQ(*given[0], "ftp://u@h/a");
    EXPECT_TRUE(QFileInfo::exists(file));
    QFile::remove(file);
}

} // namespace
} // namespace common
