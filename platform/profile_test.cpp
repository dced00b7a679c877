#include "platform/profile.h"

#include "platform/testing/planted_entries.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/write_faults.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using platform::testing::TemporaryFolder;

class ProfileTest : public ::testing::Test
{
protected:
    QString write(const QByteArray &content) { return m_folder.writeFile("settings.ini", content); }
    QByteArray contents() const { return TemporaryFolder::readFile(m_folder.filePath("settings.ini")); }
    QString path() const { return m_folder.filePath("settings.ini"); }

    TemporaryFolder m_folder;
};

TEST_F(ProfileTest, ReadsValuesByWindowsRules)
{
    write("; comment\n"
          "orphan=before any section\n"
          "[DSP]\n"
          "  RccBakup  =  True  \n"
          "Empty=\n"
          "Japanese=比較ツール\n"
          "=no key\n"
          "[dsp]\n"
          "Second=from a repeated section\n"
          "RccBakup=shadowed\n");
    const struct
    {
        const char *name;
        QString section, key, expected;
    } cases[] = {
        {"trimmed value", "DSP", "RccBakup", "True"},
        {"case-insensitive section and key", "dsp", "RCCBAKUP", "True"},
        {"present but empty", "DSP", "Empty", ""},
        {"multi-byte text whole", "DSP", "Japanese", "比較ツール"},
        {"key in a repeated section", "DSP", "Second", "from a repeated section"},
        {"missing key", "DSP", "Missing", "default"},
        {"missing section", "CSV", "RccBakup", "default"},
        {"line before any section", "", "orphan", "default"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readProfileString(c.section, c.key, "default", path()), c.expected);
    }
}

TEST_F(ProfileTest, MissingFileGivesDefault)
{
    EXPECT_EQ(readProfileString("MUTEX", "ExeMutex", "20261208193000", m_folder.filePath("none.ini")),
              "20261208193000");
}

TEST_F(ProfileTest, LongValueIsCutWithoutSplittingACharacter)
{
    const QString long1023 = QString(1022, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80"); // ends in a pair
    write("[S]\nK=" + long1023.toUtf8() + "tail\n");
    const QString read = readProfileString("S", "K", "", path());
    EXPECT_EQ(read, QString(1022, u'x'));

    write("[S]\nK=" + QByteArray(5000, 'y') + "\n");
    EXPECT_EQ(readProfileString("S", "K", "", path()).size(), ProfileValueMaxLength);
}

TEST_F(ProfileTest, JunkFilesLoadWithDefaults)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 37) & 0xFF));
    const QByteArray samples[] = {
        junk,
        QByteArray(200000, 'a'),
        "no sections at all\nkey=value\n",
        "[DSP\nNomi=1\n",
        QByteArray("[DSP]\nNo\0mi=1\n", 14),
        "\xEF\xBB\xBF[DSP]\r\nNomi=\xFF\xFE\r\n",
    };
    for (const QByteArray &sample : samples) {
        write(sample);
        EXPECT_EQ(readProfileString("CSV", "CsvDblQuot", "True", path()), "True");
        EXPECT_TRUE(writeProfileString("CSV", "CsvDblQuot", "False", path()));
        EXPECT_EQ(readProfileString("CSV", "CsvDblQuot", "True", path()), "False");
        EXPECT_TRUE(contents().startsWith(sample.left(sample.size() - 1)) || sample.isEmpty())
            << "other lines must be kept byte for byte";
    }
}

TEST_F(ProfileTest, WritesKeepOtherLinesAndPlaceNewKeysAtSectionEnd)
{
    write("; keep me\r\n"
          "[DSP]\r\n"
          "Nomi=0\r\n"
          "weird line \xFF\r\n"
          "\r\n"
          "[CSV]\r\n"
          "CsvDblQuot=True\r\n");
    ASSERT_TRUE(writeProfileString("dsp", "NOMI", "1", path()));
    ASSERT_TRUE(writeProfileString("DSP", "Data", "1", path()));
    ASSERT_TRUE(writeProfileString("Window", "Left", "120", path()));
    EXPECT_EQ(contents(), QByteArray("; keep me\r\n"
                                     "[DSP]\r\n"
                                     "NOMI=1\r\n"
                                     "weird line \xFF\r\n"
                                     "Data=1\r\n"
                                     "\r\n"
                                     "[CSV]\r\n"
                                     "CsvDblQuot=True\r\n"
                                     "[Window]\r\n"
                                     "Left=120\r\n"));
}

TEST_F(ProfileTest, CreatesFileAndRoundTripsValues)
{
    const QString created = m_folder.filePath("new.ini");
    const QString values[] = {"True", "", "/home/user/フォルダ 1\t/tmp/b", "a=b=c", "  padded  "};
    for (const QString &value : values) {
        ASSERT_TRUE(writeProfileString("HISTORY", "Item0", value, created));
        EXPECT_EQ(readProfileString("HISTORY", "Item0", "NONE", created), value.trimmed());
    }
    EXPECT_EQ(TemporaryFolder::readFile(created), QByteArray("[HISTORY]\nItem0=padded\n"));
    // Settings files can hold FTP passwords.
    EXPECT_EQ(QFile::permissions(created) & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(ProfileTest, AWriteCutShortKeepsTheOldFile)
{
    const QByteArray old = "[Window]\nLeft=120\n[HISTORY]\nItem0=" + QByteArray(800, 'h') + "\n";
    write(old);
    {
        const platform::testing::FileSizeLimit limit(1024);
        EXPECT_FALSE(writeProfileString("HISTORY", "Item1", QString(500, u'n'), path()));
    }
    EXPECT_EQ(contents(), old);
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});
}

TEST_F(ProfileTest, RefusesLineBreaksAndUnwritableFiles)
{
    write("[DSP]\nPath0=/a\n");
    EXPECT_FALSE(writeProfileString("DSP", "Path0", "/a\nb", path()));
    EXPECT_EQ(readProfileString("DSP", "Path0", "", path()), "/a");
    EXPECT_FALSE(writeProfileString("DSP", "Path0", "/b", m_folder.filePath("missing-folder/x.ini")));
}

// A settings file that someone else could have put there is neither read nor replaced:
// another user's file, a link, a FIFO (which must hold nothing up), a file that others or
// a group of others may write to. A file of the user's private group stays his.
TEST_F(ProfileTest, PlantedFilesAreLeftAlone)
{
    using platform::testing::Planted;
    const QByteArray planted = "[PROXY]\nServer_HTTP=attacker:8080\n";
    const struct
    {
        const char *name;
        Planted kind;
    } cases[] = {
        {"another user's file", Planted::OthersFile}, {"a link to a file of ours", Planted::Link},
        {"a FIFO", Planted::Fifo},                     {"writable by others", Planted::WritableByOthers},
        {"of a group of others", Planted::SharedGroupFile},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = m_folder.filePath(QString::fromUtf8(c.name) + ".ini");
        if (!platform::testing::plant(c.kind, file, planted))
            continue;
        const QByteArray before = platform::testing::entryState(file);
        platform::testing::FifoWatch watch(file);
        EXPECT_EQ(readProfileString("PROXY", "Server_HTTP", "none", file), "none");
        EXPECT_FALSE(writeProfileString("PROXY", "Server_HTTP", "", file));
        EXPECT_FALSE(watch.heldUp());
        EXPECT_EQ(platform::testing::entryState(file), before);
    }
    const QString ownGroup = write(planted);
    ASSERT_EQ(::chmod(QFile::encodeName(ownGroup).constData(), 0660), 0);
    EXPECT_EQ(readProfileString("PROXY", "Server_HTTP", "none", ownGroup), "attacker:8080") << "a private group";
    platform::testing::skipWithoutOtherUser();
}

TEST_F(ProfileTest, ConcurrentWritersLoseNoKey)
{
    // Several processes write distinct keys of one file at the same time; the lock and
    // the atomic replacement must keep every key.
    constexpr int writers = 4;
    constexpr int keysEach = 25;
    QList<QProcess *> processes;
    for (int w = 0; w < writers; ++w) {
        auto *process = new QProcess;
        QStringList arguments{"--gtest_filter=ProfileWriterChild.*"};
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PROFILE_CHILD_FILE", path());
        environment.insert("PROFILE_CHILD_WRITER", QString::number(w));
        environment.insert("PROFILE_CHILD_KEYS", QString::number(keysEach));
        process->setProcessEnvironment(environment);
        process->start(QCoreApplication::applicationFilePath(), arguments);
        processes.append(process);
    }
    for (QProcess *process : processes) {
        ASSERT_TRUE(process->waitForFinished(60000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardOutput().toStdString();
        delete process;
    }
    for (int w = 0; w < writers; ++w)
        for (int k = 0; k < keysEach; ++k)
            EXPECT_EQ(readProfileString(QString("W%1").arg(w), QString("K%1").arg(k), "lost", path()),
                      QString::number(k));
}

// Runs only as a child of ConcurrentWritersLoseNoKey.
TEST(ProfileWriterChild, WriteKeys)
{
    const QString file = qEnvironmentVariable("PROFILE_CHILD_FILE");
    if (file.isEmpty())
        GTEST_SKIP() << "child of ConcurrentWritersLoseNoKey";
    const int writer = qEnvironmentVariableIntValue("PROFILE_CHILD_WRITER");
    const int keys = qEnvironmentVariableIntValue("PROFILE_CHILD_KEYS");
    for (int k = 0; k < keys; ++k)
        ASSERT_TRUE(writeProfileString(QString("W%1").arg(writer), QString("K%1").arg(k), QString::number(k), file));
}

} // namespace
} // namespace platform
