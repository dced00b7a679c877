#include "common/ftp_password_handover.h"

#include "common/command_line.h"
#include "platform/program_folder.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace common {
namespace {

TEST(FtpPasswordHandOver, AddressesGoWithoutPasswordsAndComeBackWhole)
{
    const std::array<QString, 2> paths{QStringLiteral("ftp://alice:s3cr:et@127.0.0.1:2121/pub/a.txt"),
                                       QStringLiteral("/home/alice/b.txt")};
    QString file;
    const QStringList arguments = ArgumentsWithoutFtpPasswords(paths, {QStringLiteral("-Cout.csv")}, file);
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
    EXPECT_EQ(ArgumentsWithoutFtpPasswords({"ftp://host/a.txt", "ftp://user@host/b.txt"}, {}, none),
              (QStringList{"ftp://host/a.txt", "ftp://user@host/b.txt"}));
    EXPECT_EQ(none, "");
    EXPECT_EQ(WithoutFtpPassword("FTP://user:pw@host/a"), "FTP://user@host/a") << "gathered as an FTP side too";

    // Dirgleam reads the switch as the hand-over file: not as the "-PT" or "-PF" patterns
    // and not as an output switch, so no unattended run starts.
    QString forDirgleam;
    StartupRequest request = ParseCommandLine(ArgumentsWithoutFtpPasswords(paths, {"-PT*.txt", "-pf*.bak"}, forDirgleam));
    EXPECT_EQ(request.passwordFile, forDirgleam);
    EXPECT_FALSE(request.batchMode);
    EXPECT_EQ(request.options[5], "*.txt");
    EXPECT_EQ(request.options[6], "*.bak");
    TakeBackFtpPasswords(request.passwordFile, request.paths);
    EXPECT_EQ(request.paths, (std::array<std::optional<QString>, 2>{paths[0], paths[1]}));

    // A runtime folder named relative to the working folder still gives an absolute path,
    // which no "-P" switch with a letter can be mistaken for.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const auto restore = qScopeGuard([&runtime] { qputenv("XDG_RUNTIME_DIR", runtime); });
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(QDir::current().relativeFilePath(QFile::decodeName(runtime))));
    QString fromRelative;
    const QStringList relativeArguments = ArgumentsWithoutFtpPasswords(paths, {}, fromRelative);
    EXPECT_EQ(PasswordFileOf(relativeArguments.last()), std::optional<QString>(fromRelative));
    EXPECT_TRUE(QFileInfo(fromRelative).isAbsolute()) << fromRelative.toStdString();
    QFile::remove(fromRelative);
}

// A file that others may read, or any file of the user's that a switch typed by hand
// names, is neither taken nor deleted.
TEST(FtpPasswordHandOver, OnlyAPrivateHandOverFileIsTaken)
{
    platform::testing::TemporaryFolder elsewhere;
    QString handOver;
    ArgumentsWithoutFtpPasswords({"ftp://u:p@h/a", ""}, {}, handOver);
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const struct
    {
        const char *name;
        QString file;
        QFile::Permissions permissions;
    } cases[] = {
        {"others may read it", handOver, ownerOnly | QFile::ReadOther},
        {"outside the runtime folder", elsewhere.filePath("ftp-address-x"), ownerOnly},
        {"another name in the runtime folder", platform::runtimeFolder() + "/notes.txt", ownerOnly},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(c.file);
        if (!file.exists()) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("ftp://u:p@h/a\n\n") > 0);
            file.close();
        }
        ASSERT_TRUE(file.setPermissions(c.permissions));
        std::array<std::optional<QString>, 2> given{"ftp://u@h/a", ""};
        TakeBackFtpPasswords(c.file, given);
        EXPECT_EQ(*given[0], "ftp://u@h/a");
        EXPECT_TRUE(file.exists());
        file.remove();
    }
}

} // namespace
} // namespace common
