#include "common/ftp_password_handover.h"
#include "platform/code_page.h"
#include "platform/profile.h"
#include "platform/testing/ftp_test_server.h"
#include "platform/testing/http_test_server.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/workbook_read_back.h"
#include "textcompare/engine/document_test_support.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace textcompare {
namespace {

using platform::testing::TemporaryFolder;

struct RunResult
{
    int exitCode = -1;
    QString standardError;
};

// Unattended runs of the built viewer, each in a program folder of its own and with no
// display at all.
class LinquellBatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store("MUTEX", "ExeMutex",
              QStringLiteral("b%1x%2").arg(QCoreApplication::applicationPid()).arg(QDateTime::currentMSecsSinceEpoch()));
        store("ETC", "Editor", "vi %F%");
    }

    // `addressSpace` above 0 limits the run's address space to that many bytes;
    // `environment` adds variables ("name=value") to the run's environment.
    RunResult run(const QStringList &arguments, qint64 addressSpace = 0, const QStringList &variables = {})
    {
        QProcess process;
        if (addressSpace > 0) {
            process.setChildProcessModifier([addressSpace] {
                const rlimit limit{rlim_t(addressSpace), rlim_t(addressSpace)};
                setrlimit(RLIMIT_AS, &limit);
            });
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DIRGLEAM_SUITE_FOLDER", m_folder.path());
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        for (const QString &variable : variables)
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_folder.path());
        process.start(platform::testing::builtProgramsFolder() + "/Linquell", arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        RunResult result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.standardError = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

    void store(const char *section, const char *key, const QString &value)
    {
        ASSERT_TRUE(platform::writeProfileString(section, key, value, m_ini));
    }
    QString write(const QString &name, const QString &text)
    {
        return m_folder.writeFile(name, platform::encodeText(platform::CodePage::Cp932, text).bytes);
    }
    QByteArray read(const QString &name) const { return TemporaryFolder::readFile(m_folder.filePath(name)); }
    static QByteArray cp932(const QString &text) { return platform::encodeText(platform::CodePage::Cp932, text).bytes; }

    TemporaryFolder m_folder;
    QString m_ini = m_folder.filePath("Linquell.ini");
};

const QString CsvHeader = ",状態,行No.,ファイル１,ファイル２,行No.\r\n";

TEST_F(LinquellBatchTest, HtmlPageWithoutADisplay)
{
    const QString a = write("a & b.txt", "同じ行\r\n古い行\r\n<end>\r\n");
    const QString b = write("b.txt", "同じ行\r\n新しい行\r\n<end>\r\n追加 行\r\n");
    const RunResult result = run({a, b, "-Hout/sub/diff.html"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    const QString expected
        = "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Language\" content=\"ja\">\r\n"
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">\r\n"
          "<title>Linquell</title>\r\n</head>\r\n<body>\r\n<basefont size=\"2\">\r\n"
        + a.toHtmlEscaped().replace("&quot;", "\"") + "<br>\r\n" + b + "<br>\r\n"
        + "<table border=\"1\" cellspacing=\"0\" style=\"table-layout:fixed;font-size:13px;\">\r\n"
          "<tr bgcolor=\"#FFFFFF\"><td align=\"center\" width=\"50\">No.</td><td align=\"center\" width=\"50\">状態</td>"
          "<td align=\"center\" width=\"50\">行No.</td><td align=\"center\" width=\"385\">ファイル１</td>"
          "<td align=\"center\" width=\"385\">ファイル２</td><td align=\"center\" width=\"50\">行No.</td></tr>\r\n"
          "<tr bgcolor=\"#FFFFFF\"><td align=\"right\">1</td><td align=\"center\">&nbsp;</td><td align=\"right\">1</td>"
          "<td align=\"left\">同じ行</td><td align=\"left\">同じ行</td><td align=\"right\">1</td></tr>\r\n"
          "<tr bgcolor=\"#BBFFFF\"><td align=\"right\">2</td><td align=\"center\">変更</td><td align=\"right\">2</td>"
          "<td align=\"left\">古い行</td><td align=\"left\">新しい行</td><td align=\"right\">2</td></tr>\r\n"
          "<tr bgcolor=\"#FFFFFF\"><td align=\"right\">3</td><td align=\"center\">&nbsp;</td><td align=\"right\">3</td>"
          "<td align=\"left\">&lt;end&gt;</td><td align=\"left\">&lt;end&gt;</td><td align=\"right\">3</td></tr>\r\n"
          "<tr bgcolor=\"#FFBBBB\"><td align=\"right\">4</td><td align=\"center\">追加</td>"
          "<td align=\"right\">&nbsp;</td><td align=\"left\">&nbsp;</td><td align=\"left\">追加 行</td>"
          "<td align=\"right\">4</td></tr>\r\n"
          "</table>\r\n</body>\r\n</html>\r\n";
    EXPECT_EQ(read("out/sub/diff.html"), cp932(expected));

    // A character without a code-page-932 form: a reference in the page, "?" in a list.
    const QString c = m_folder.writeFile("c.txt", QStringLiteral("café 😀\r\n").toUtf8());
    ASSERT_EQ(run({c, b, "-He.html"}).exitCode, 0);
    EXPECT_TRUE(read("e.html").contains("caf&#xE9; &#x1F600;")) << read("e.html").toStdString();
    ASSERT_EQ(run({c, b, "-Ce.csv"}).exitCode, 0);
    EXPECT_TRUE(read("e.csv").contains("caf? ?"));
}

TEST_F(LinquellBatchTest, CsvSeparatorsAndDifferencesOnly)
{
    const QString a = write("a.txt", "x\r\ny\r\nz\r\n");
    const QString b = write("b.txt", "x\r\nY\"\r\nz\r\n");
    const QByteArray paths = cp932(a + "\r\n" + b + "\r\n");
    const struct
    {
        const char *name;
        QStringList switches;
        QString separator;
        QString rows;
    } cases[] = {
        {"comma", {"-Cd.csv"}, ",", "1,,1,\"x\",\"x\",1\r\n2,変更,2,\"y\",\"Y\"\"\",2\r\n3,,3,\"z\",\"z\",3\r\n"},
        {"semicolon, differences only", {"-n", "-Cd.csv", "-s;"}, ";", "1;変更;2;\"y\";\"Y\"\"\";2\r\n"},
        {"TAB", {"-STAB", "-N", "-Cd.csv"}, "\t", "1\t変更\t2\t\"y\"\t\"Y\"\"\"\t2\r\n"},
        {"the last output switch wins", {"-Hd.html", "-N", "-Cd.csv", "-S"}, "", "1変更2\"y\"\"Y\"\"\"2\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_folder.filePath("d.csv"));
        const RunResult result = run(QStringList{a, b} + c.switches);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        QString header = CsvHeader;
        header.replace(u',', c.separator);
        EXPECT_EQ(read("d.csv"), paths + cp932(header + c.rows));
    }
    EXPECT_FALSE(QFile::exists(m_folder.filePath("d.html")));
}

TEST_F(LinquellBatchTest, StoredOptionsChangeTheBytes)
{
    const QString a = write("a.txt", "tab\there\r\nsame\r\n");
    const QString b = write("b.txt", "tabhere\r\nsame\r\n");
    store("CSV", "CsvDblQuot", "False");
    RunResult result = run({a, b, "-Cd.csv"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(read("d.csv"), cp932(a + "\r\n" + b + "\r\n" + CsvHeader + "1,,1,tab\there,tabhere,1\r\n2,,2,same,same,2\r\n"))
        << "blanks are ignored by default, fields unquoted";

    store("DSP", "NoSpCheck", "False");
    store("CSV", "CsvHtmlUni", "True");
    store("DSP", "DIFFCUPD", "123456");
    result = run({a, b, "-Cd.csv", "-N"});
    EXPECT_EQ(result.exitCode, 0);
    const QString text = a + "\r\n" + b + "\r\n" + CsvHeader + "1,変更,1,tab\there,tabhere,1\r\n";
    QByteArray utf16("\xFF\xFE", 2);
    for (const QChar c : text) {
        utf16.append(char(c.unicode() & 0xFF));
        utf16.append(char(c.unicode() >> 8));
    }
    EXPECT_EQ(read("d.csv"), utf16);

    result = run({a, b, "-Hd.html", "-N"});
    EXPECT_EQ(result.exitCode, 0);
    const QByteArray page = read("d.html");
    EXPECT_TRUE(page.startsWith(QByteArray("\xFF\xFE<\0", 4)));
    EXPECT_TRUE(page.contains(QByteArray("c\0h\0a\0r\0s\0e\0t\0=\0u\0n\0i\0c\0o\0d\0e\0", 30)));
    EXPECT_TRUE(page.contains(QByteArray("#\0" "5\0" "6\0" "3\0" "4\0" "1\0" "2\0", 14))) << "the stored colour, as RGB";

    EXPECT_EQ(platform::readProfileString("DSP", "NoSpCheck", "", m_ini), "False");
    EXPECT_EQ(platform::readProfileString("DSP", "Nomi", "<none>", m_ini), "<none>") << "a batch run writes no settings";
}

TEST_F(LinquellBatchTest, NoDifferenceWritesNothingWithX)
{
    const QString a = write("a.txt", "same\r\n");
    const QString b = m_folder.writeFile("b.txt", "same\n"); // other line ends, same lines
    RunResult result = run({a, b, "-X", "-Hd.html"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_FALSE(QFile::exists(m_folder.filePath("d.html")));
    result = run({a, b, "-Hd.html"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(QFile::exists(m_folder.filePath("d.html")));

    const QString c = write("c.txt", "other\r\n");
    result = run({a, c, "-Xyz", "-Ce.csv"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(read("e.csv"), cp932(a + "\r\n" + c + "\r\n" + CsvHeader + "1,変更,1,\"same\",\"other\",1\r\n"));
}

TEST_F(LinquellBatchTest, EmptyPathsCompareAsEmptyTexts)
{
    const QString b = write("b.txt", "one\r\ntwo\r\n");
    RunResult result = run({"", b, "-N", "-Cd.csv"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(read("d.csv"), cp932("\r\n" + b + "\r\n" + CsvHeader + "1,追加,,\"\",\"one\",1\r\n2,追加,,\"\",\"two\",2\r\n"))
        << "the lines of an added file are listed as added, also with differences only";
    result = run({b, "", "-Hd.html"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(read("d.html").contains(cp932("<td align=\"center\">削除</td>"))) << "and those of a deleted file";
}

TEST_F(LinquellBatchTest, CodesJudgedOrChosen)
{
    const QString text = "日本語の行\r\n半角ｶﾅ\r\n";
    const QString euc = m_folder.writeFile("euc.txt", platform::encodeText(platform::CodePage::EucJp, text).bytes);
    const QString utf8 = m_folder.writeFile("utf8.txt", text.toUtf8());
    RunResult result = run({euc, utf8, "-X", "-Hd.html"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_FALSE(QFile::exists(m_folder.filePath("d.html"))) << "the same text in two codes";

    result = run({euc, utf8, "-M1BIN", "-N", "-Cd.csv"});
    EXPECT_EQ(result.exitCode, 0);
    const QByteArray dump = read("d.csv");
    EXPECT_TRUE(dump.contains("1,\x95\xCF\x8D\x58,1,\"C6FC")) << dump.toStdString();
    EXPECT_TRUE(dump.contains("\"E697A5")) << "both sides are dumped";

    result = run({euc, utf8, "-m1euc", "-M2utf8", "-X", "-Cd2.csv"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(QFile::exists(m_folder.filePath("d2.csv")));

    result = run({euc, utf8, "-M2UTF-8", "-Cd3.csv"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.standardError.contains("システムエラー : Main\n文字コード名が正しくありません。 -M2UTF-8"))
        << result.standardError.toStdString();
    EXPECT_FALSE(QFile::exists(m_folder.filePath("d3.csv")));

    result = run({euc, utf8, "-M2SJIS", "-Cd4.csv"});
    EXPECT_NE(result.exitCode, 0) << "UTF-8 bytes that are no Shift-JIS";
    EXPECT_TRUE(result.standardError.contains("システムエラー : TextRead\nSJIS として読めないデータがあります。"))
        << result.standardError.toStdString();
    EXPECT_FALSE(QFile::exists(m_folder.filePath("d4.csv")));
}

TEST_F(LinquellBatchTest, AutomaticJudgementLineCount)
{
    const QString a = write("a.txt", "A\r\nB\r\nC\r\nD\r\nY\r\n");
    const QString b = write("b.txt", "D\r\nE\r\nF\r\nG\r\nZ\r\n");
    store("DSP", "HanteiLine", "1");
    RunResult result = run({a, b, "-N", "-Cd.csv"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(read("d.csv").count("\r\n"), 3 + 7);
    result = run({a, b, "-N", "-K", "-Cd.csv"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(read("d.csv").count("\r\n"), 3 + 5) << "the count of 2 lays the block out side by side";
    EXPECT_EQ(platform::readProfileString("DSP", "HanteiLine", "", m_ini), "1");
}

TEST_F(LinquellBatchTest, WrapWidthFromTheSettings)
{
    const QString a = write("a.txt", "0123456789AB\r\n");
    const QString b = write("b.txt", "0123456789XY\r\n");
    store("DSP", "LenOfRow", "10");
    const RunResult result = run({a, b, "-N", "-S|", "-Cd.csv"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(read("d.csv"), cp932(a + "\r\n" + b + "\r\n|状態|行No.|ファイル１|ファイル２|行No.\r\n1|変更|2|\"AB\"|\"XY\"|2\r\n"));
}

TEST_F(LinquellBatchTest, WorkbookUnderExactlyTheGivenName)
{
    const QString a = write("a.txt", "same\r\nold\r\n");
    const QString b = write("b.txt", "same\r\nnew\r\n007\r\n");
    RunResult result = run({a, b, "-Eout/diff.xls"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    QJsonObject facts = platform::testing::readWorkbookBack(m_folder.filePath("out/diff.xls"), {"A1:F6"});
    auto cell = [&facts](const char *name) { return facts["cells"].toObject()[QLatin1String(name)].toObject(); };
    EXPECT_EQ(facts["maxRow"].toInt(), 6);
    EXPECT_EQ(cell("A1")["value"].toString(), a);
    EXPECT_EQ(cell("A2")["value"].toString(), b);
    EXPECT_EQ(cell("E3")["value"].toString(), "ファイル２");
    EXPECT_EQ(cell("B5")["value"].toString(), "変更");
    EXPECT_EQ(cell("E6")["value"].toString(), "007");
    EXPECT_EQ(cell("F6")["value"].toInt(), 3);
    EXPECT_EQ(cell("C5")["fill"].toString(), "FFBBFFFF");
    EXPECT_EQ(cell("C4")["fill"].toString(), "FFFFFFFF");
    EXPECT_TRUE(facts["conditions"].toArray().isEmpty());

    store("XLS", "XlsFormatCnd", "True");
    result = run({a, b, "-N", "-Ed.xlsx"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    facts = platform::testing::readWorkbookBack(m_folder.filePath("d.xlsx"), {"A4:F5"});
    EXPECT_EQ(facts["maxRow"].toInt(), 5) << "differences only";
    EXPECT_TRUE(cell("B4")["value"].toString().startsWith("=IF(OFFSET(B4,0,1,1,1)=\"\","));
    EXPECT_EQ(facts["conditions"].toArray().size(), 3);

    result = run({a, a, "-X", "-Esame.xlsx"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(QFile::exists(m_folder.filePath("same.xlsx")));

    m_folder.writeFile("plain", "a file");
    result = run({a, b, "-Eplain/d.xlsx"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.standardError.contains("エクセルの書込みに失敗しました。")) << result.standardError.toStdString();
}

// A workbook cut to the sheet, or with a line cut to what a cell holds, fails the run
// with a notice naming the limit; what fits is saved.
TEST_F(LinquellBatchTest, AWorkbookCutToTheSheetFailsTheRun)
{
    QByteArray lines;
    for (int line = 0; line < 65534; ++line)
        lines += QByteArray::number(line) + "\r\n";
    m_folder.writeFile("lines.txt", lines);
    // A line of 124,055 characters, as a real source file has one.
    m_folder.writeFile("long.txt", "first\r\n" + QByteArray(124055, 'x') + "\r\nlast\r\n");
    const struct
    {
        const char *name;
        QString file;
        QString notice;
        const char *cell;
        QString value;
    } cases[] = {
        {"65,534 lines", "lines.txt", "エクセルのシートは65,536行までのため、残りの1行は保存していません。", "D65536",
         "65532"},
        {"a line of 124,055 characters", "long.txt",
         "エクセルのセルは32,767文字までのため、2個のセルの残りの文字は保存していません。", "E5", QString(32767, u'x')},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult result = run({c.file, c.file, "-Ecut.xlsx"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.standardError.contains(c.notice)) << result.standardError.toStdString();
        const QJsonObject facts = platform::testing::readWorkbookBack(m_folder.filePath("cut.xlsx"), {c.cell});
        EXPECT_EQ(facts["cells"].toObject()[QLatin1String(c.cell)].toObject()["value"].toString(), c.value)
            << "what fits is still saved";
        QFile::remove(m_folder.filePath("cut.xlsx"));
    }
}

TEST_F(LinquellBatchTest, FailuresEndWithAMessageAndNoFile)
{
    const QString a = write("a.txt", "a\r\n");
    const QString missing = m_folder.filePath("missing.txt");
    RunResult result = run({a, missing, "-Hd.html"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.standardError.contains("ファイルが存在しません。　\n")) << result.standardError.toStdString();
    EXPECT_TRUE(result.standardError.contains(missing));
    EXPECT_FALSE(QFile::exists(m_folder.filePath("d.html")));

    result = run({"ftp://host/a.txt", a, "-Hd.html"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.standardError.contains("ＵＲＬが存在しません。")) << result.standardError.toStdString();

    m_folder.writeFile("plain", "a file");
    result = run({a, a, "-Hplain/d.html"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.standardError.contains("システムエラー : CreateFolder\n")) << result.standardError.toStdString();
    EXPECT_TRUE(result.standardError.contains("システムエラー : Main\n"));

    m_folder.writeFile("keep.csv", "old");
    result = run({a, missing, "-Ckeep.csv"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(read("keep.csv"), "old");
}

// Addresses and documents compare unattended as local texts do; a source that cannot be
// read ends the run with its message (the password of an address hidden), status 1 and no
// file.
TEST_F(LinquellBatchTest, AddressesAndDocuments)
{
    TemporaryFolder served;
    served.writeFile("a.txt", "same\r\nold\r\n");
    served.writeFile("sjis.txt", cp932("シフトJIS"));
    TemporaryFolder ftpRoot;
    platform::testing::writeRawFile(ftpRoot.path(), "dir/b.txt", "same\r\nnew\r\n");
    platform::testing::HttpTestServer http(served.path());
    platform::testing::FtpTestServer ftp(ftpRoot.path());
    ASSERT_TRUE(http.start());
    ASSERT_TRUE(ftp.start());
    const QByteArray workbook = R"(
import sys, openpyxl
wb = openpyxl.Workbook()
wb.active.append(["name", 1.5])
wb.active.append([sys.argv[2], 2])
wb.save(sys.argv[1])
)";
    testing::runPython(workbook, {m_folder.filePath("old.xlsx"), "old"});
    testing::runPython(workbook, {m_folder.filePath("new.xlsx"), "new"});
    testing::writePackage(m_folder.filePath("old.docx"),
                          testing::wordPackage("<w:p><w:r><w:t>差分表示のための文書です。</w:t></w:r></w:p>"));
    m_folder.writeFile("new.doc", TemporaryFolder::readFile(testing::fixturePath("document.doc")));

    const struct
    {
        const char *name;
        QStringList paths;
        QByteArray changedRow;
    } compared[] = {
        {"http and ftp", {http.url("/a.txt"), ftp.url("/dir/b.txt")}, "1,変更,2,\"old\",\"new\",2\r\n"},
        {"workbooks", {"old.xlsx", "new.xlsx"}, "1,変更,2,\"old\t2\",\"new\t2\",2\r\n"},
        {"Word documents", {"old.docx", "new.doc"}, "1,追加,,\"\",\"tab\tafter\",2\r\n"},
    };
    for (const auto &c : compared) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_folder.filePath("out.csv"));
        const RunResult result = run(c.paths + QStringList{"-Cout.csv", "-N"});
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_TRUE(read("out.csv").contains(cp932(QString::fromUtf8(c.changedRow)))) << read("out.csv").toStdString();
    }
    // The downloads went into the run's own work folder and went with the run.
    QDirIterator downloads(m_folder.path(), {"*.tmp"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    EXPECT_FALSE(downloads.hasNext()) << downloads.next().toStdString();
    // The reports name an address with its password hidden.
    const QString hidden = http.url("/a.txt").replace("//", "//u:****@");
    for (const QString &report : QStringList{"-Cout.csv", "-Hout.html", "-Eout.xlsx"}) {
        SCOPED_TRACE(report.toStdString());
        const RunResult result = run({QString(hidden).replace("****", "secret"), ftp.url("/dir/b.txt"), report});
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        if (report.startsWith("-E")) {
            const QJsonObject cells
                = platform::testing::readWorkbookBack(m_folder.filePath("out.xlsx"), {"A1:A2"})["cells"].toObject();
            EXPECT_EQ(cells["A1"].toObject()["value"].toString(), hidden);
            EXPECT_EQ(cells["A2"].toObject()["value"].toString(), ftp.url("/dir/b.txt").replace(":secret@", ":****@"));
        } else {
            EXPECT_TRUE(read(report.mid(2)).contains(cp932(hidden))) << read(report.mid(2)).toStdString();
            EXPECT_FALSE(read(report.mid(2)).contains("secret"));
        }
    }
    // Dirgleam hands the FTP password over in a file of the user's, not in the arguments.
    QString handOver;
    const QStringList handedArguments
        = common::ArgumentsWithoutFtpPasswords({http.url("/a.txt"), ftp.url("/dir/b.txt")}, {"-Cout.csv", "-N"}, handOver);
    ASSERT_FALSE(handedArguments.join(u' ').contains(ftp.password()));
    const RunResult handedOver = run(handedArguments);
    EXPECT_EQ(handedOver.exitCode, 0) << handedOver.standardError.toStdString();
    EXPECT_TRUE(read("out.csv").contains("\"new\"")) << read("out.csv").toStdString();
    EXPECT_FALSE(QFileInfo::exists(handOver)) << "the viewer removes the file it read";

    RunResult proxied = run({"http://viewer.invalid/a.txt", "old.xlsx", "-Cout.csv"}, 0, {"http_proxy=" + http.hostAndPort()});
    EXPECT_EQ(proxied.exitCode, 0) << proxied.standardError.toStdString();
    EXPECT_EQ(http.proxiedAddresses(), QStringList{"http://viewer.invalid/a.txt"}) << "the environment's proxy";

    store("PROXY", "TimeOut", "1");
    m_folder.writeFile("damaged.xlsx", "not a workbook");
    const struct
    {
        const char *name;
        QString path;
        QString message;
        QStringList options = {};
    } failed[] = {
        {"status 404", http.url("/status/404").replace("//", "//u:secret@"),
         "ＵＲＬが存在しません。　\n\n" + http.url("/status/404").replace("//", "//u:****@") + "\n(HTTP 404)"},
        {"a stalled server", http.url("/stall-body"), "(Operation too slow"},
        {"a damaged workbook", "damaged.xlsx", "システムエラー : RdExcelValue\nzip として読めません"},
        {"a body that does not decode", http.url("/sjis.txt").replace("//", "//u:secret@"),
         "UTF8 として読めないデータがあります。 " + http.url("/sjis.txt").replace("//", "//u:****@"), {"-M2UTF8"}},
    };
    for (const auto &c : failed) {
        SCOPED_TRACE(c.name);
        const RunResult result = run(QStringList{"old.xlsx", c.path, "-Cfailed.csv"} + c.options);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.standardError.contains(c.message)) << result.standardError.toStdString();
        EXPECT_FALSE(result.standardError.contains("secret"));
        EXPECT_FALSE(QFile::exists(m_folder.filePath("failed.csv")));
    }
}

// Under a limit of its address space, a run that fits is complete, and a run that runs out
// of memory, in the comparison or in the workbook, ends with the message and status 1 and
// writes nothing.
TEST_F(LinquellBatchTest, OutOfMemoryEndsWithTheMessage)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit under an address-space limit";
#endif
    constexpr qint64 Limit = qint64(320) << 20;
    // `count` lines "a", the middle one "b" in the second file.
    const auto manyLines = [this](const QString &name, int count) {
        QByteArray text = QByteArray("a\n").repeated(count);
        m_folder.writeFile(name + "1.txt", text);
        text[2 * (count / 2)] = 'b';
        m_folder.writeFile(name + "2.txt", text);
    };
    manyLines("fit", 3000000);
    manyLines("large", 16000000);
    QByteArray longLines;
    for (int k = 0; k < 70000; ++k)
        longLines += QByteArray(400, char('a' + k % 26)) + '\n';
    m_folder.writeFile("wide1.txt", longLines);
    m_folder.writeFile("wide2.txt", longLines.replace(400 * 401, 400, "changed"));

    const struct
    {
        const char *name;
        QStringList arguments;
        QString output;
        bool fits;
    } cases[] = {
        {"3,000,000 lines each", {"fit1.txt", "fit2.txt", "-N", "-Cfit.csv"}, "fit.csv", true},
        {"16,000,000 lines each", {"large1.txt", "large2.txt", "-N", "-Clarge.csv"}, "large.csv", false},
        {"a workbook of 65,536 long rows", {"wide1.txt", "wide2.txt", "-Ewide.xlsx"}, "wide.xlsx", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult result = run(c.arguments, Limit);
        if (c.fits) {
            EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
            EXPECT_TRUE(read(c.output).contains(cp932("1,追加,,\"\",\"b\",1500001\r\n")));
        } else {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_TRUE(result.standardError.contains("メモリが不足しています。")) << result.standardError.toStdString();
            EXPECT_FALSE(QFile::exists(m_folder.filePath(c.output)));
        }
    }
}

} // namespace
} // namespace textcompare
