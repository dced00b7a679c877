#include "foldercompare/window/window_test_fixture.h"

#include "common/dialogs/frm_csv_sepa.h"
#include "foldercompare/listing/testing_host.h"
#include "platform/code_page.h"
#include "platform/testing/print_to.h"
#include "platform/testing/workbook_read_back.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

namespace foldercompare {
namespace {

using listing::testing::setModified;
using platform::testing::TemporaryFolder;

constexpr qint64 T1 = 1577934245; // 2020/01/02 03:04:05 UTC

QByteArray cp932(const QString &text)
{
    return platform::encodeText(platform::CodePage::Cp932, text).bytes;
}

// Records the files that the desktop is asked to open instead of opening them.
class OpenedFiles : public QObject
{
    Q_OBJECT

public:
    OpenedFiles() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~OpenedFiles() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    Q_INVOKABLE void open(const QUrl &url) { paths.append(url.toLocalFile()); }

    QStringList paths;
};

// The export commands of the File menu on a window that compared two small trees.
class ExportCommandTest : public testing::WindowTest
{
protected:
    std::unique_ptr<Frm_Main> compared()
    {
        platform::writeProfileString("CSV", "CsvDblQuot", "False", m_ini);
        platform::writeProfileString("CSV", "CsvSizeFit", "False", m_ini);
        setModified(file("one/a.txt", "old"), T1);
        setModified(file("two/a.txt", "newer"), T1);
        auto window = readyWindow();
        gather(*window, 0, tree("one"));
        gather(*window, 1, tree("two"));
        m_dialogs.clear();
        return window;
    }
    QString output(const QString &name) const { return m_output.filePath(name); }
    QByteArray csvBytes(const Frm_Main &window, const QString &separator) const
    {
        const QStringList lines{window.Txt_FolderPath[0]->text(), window.Txt_FolderPath[1]->text(),
                                QStringList{"No.", "状態", "フォルダ１", "フォルダ２", "ファイル/フォルダの相対パス"}.join(separator),
                                QStringList{"1", "変更", window.Grd_Compare->textMatrix(1, 2),
                                            window.Grd_Compare->textMatrix(1, 3), "a.txt"}
                                    .join(separator)};
        return cp932(lines.join("\r\n") + "\r\n");
    }
    // Answers the separator dialog: types `text` and confirms it, or closes the dialog
    // without its button when `text` is null.
    static void answerSeparatorDialog(Frm_Main &window, const QString &text)
    {
        window.setModalRunner([text](QDialog &shown) {
            auto *dialog = dynamic_cast<common::dialogs::Frm_CsvSepa *>(&shown);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->Txt_CsvSepa->text(), "<SEPA>");
            if (text.isNull()) {
                dialog->reject();
                return;
            }
            dialog->Txt_CsvSepa->setText(text);
            dialog->Btn_OK->click();
        });
    }

    TemporaryFolder m_output;
    OpenedFiles m_opened;
};

QStringList captions(const QList<platform::FileFilter> &filters)
{
    QStringList result;
    for (const platform::FileFilter &filter : filters)
        result.append(filter.caption + u'|' + filter.patterns.join(u';'));
    return result;
}

TEST_F(ExportCommandTest, FileMenuHoldsTheCommandsBeforeTheirOptions)
{
    auto window = openWindow();
    const QList<QAction *> actions = window->MenuF->actions();
    const qsizetype first = actions.indexOf(window->ExcelSave);
    ASSERT_GE(first, 0);
    EXPECT_EQ(actions.mid(first, 11),
              (QList<QAction *>{window->ExcelSave, window->HtmlSave, window->CsvSaveKan, window->CsvSaveTab,
                                window->CsvSaveStr, actions.value(first + 5), window->CsvDblQuot, window->CsvSizeFit,
                                window->TxtDifAlll, window->TxtDifNomi, window->TxtDifKeis}));
    EXPECT_TRUE(actions.value(first + 5)->isSeparator());
}

TEST_F(ExportCommandTest, HtmlPageIsWrittenAndOpened)
{
    auto window = compared();
    const QString path = output("sub/page.html");
    m_dialogs.chooseNextFile({path, 0});
    window->HtmlSave->trigger();

    ASSERT_EQ(m_dialogs.fileDialogs().size(), 1);
    const auto &dialog = m_dialogs.fileDialogs()[0];
    EXPECT_TRUE(dialog.save);
    EXPECT_EQ(dialog.title, "表示内容をHTML形式で保存");
    EXPECT_EQ(dialog.initialPath, "FoldDiff");
    EXPECT_EQ(captions(dialog.filters), (QStringList{"HTMLﾌｧｲﾙ(*.html)|*.html", "全てのﾌｧｲﾙ(*.*)|*.*"}));
    EXPECT_TRUE(TemporaryFolder::readFile(path).startsWith("<html>\r\n<head>\r\n"));
    EXPECT_EQ(m_opened.paths, QStringList{path});
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
    EXPECT_TRUE(window->MenuF->isEnabled() && window->Btn_Compare->isEnabled()) << "busy mode ends";
    EXPECT_EQ(window->Grd_Compare->col(), 1);
    EXPECT_EQ(window->Grd_Compare->row(), window->Grd_Compare->rows() - 1);

    for (QAction *command : {window->HtmlSave, window->CsvSaveKan, window->CsvSaveStr, window->ExcelSave})
        command->trigger();
    EXPECT_EQ(m_dialogs.fileDialogs().size(), 5);
    EXPECT_TRUE(m_dialogs.shown().isEmpty()) << "a cancelled save dialog ends a command quietly";
    EXPECT_EQ(m_opened.paths, QStringList{path});
}

TEST_F(ExportCommandTest, CsvCommandsWithTheirSeparators)
{
    auto window = compared();
    const struct
    {
        const char *name;
        QAction *command;
        QString answer; // the separator dialog's answer, null for no dialog
        QString separator;
        const char *firstFilter;
    } cases[] = {
        {"comma", window->CsvSaveKan, QString(), ",", "CSVﾌｧｲﾙ(*.csv)|*.csv"},
        {"TAB", window->CsvSaveTab, QString(), "\t", "ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt"},
        {"chosen", window->CsvSaveStr, "::", "::", "ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt"},
        {"chosen empty", window->CsvSaveStr, "", "", "ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_dialogs.clear();
        const QString path = output(QString::fromUtf8(c.name) + ".csv");
        m_dialogs.chooseNextFile({path, 1});
        if (!c.answer.isNull())
            answerSeparatorDialog(*window, c.answer);
        c.command->trigger();
        EXPECT_EQ(TemporaryFolder::readFile(path), csvBytes(*window, c.separator));
        EXPECT_EQ(m_dialogs.prompts(), QStringList{"保存しました。    "});
        EXPECT_EQ(captions(m_dialogs.fileDialogs().last().filters).first(), c.firstFilter);
    }
    EXPECT_EQ(m_dialogs.fileDialogs()[2].title, "表示内容をCSV形式で保存(任意区切)");
    EXPECT_TRUE(m_opened.paths.isEmpty()) << "a CSV file is not opened";
}

TEST_F(ExportCommandTest, SeparatorDialogClosedWithoutItsButtonCancels)
{
    auto window = compared();
    const QString path = output("never.csv");
    m_dialogs.chooseNextFile({path, 0});
    answerSeparatorDialog(*window, QString());
    window->CsvSaveStr->trigger();
    EXPECT_FALSE(QFile::exists(path)) << "\"<SEPA>\" is no separator the user chose";
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

TEST_F(ExportCommandTest, ExcelCommandRemembersTheFileType)
{
    auto window = compared();
    const struct
    {
        const char *stored; // null: no key yet
        int initialFilter;
        const char *chosen;
        const char *storedAfter;
    } cases[] = {
        {nullptr, 0, "book.xlsx", "xlsx"},
        {"xlsx", 1, "book", "xlsx"},
        {"XLS", 0, "book.XLS", "xls"},
        {"other", 1, "book.xls", "xls"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chosen);
        if (c.stored)
            platform::writeProfileString("EXCEL", "ExtXls", c.stored, m_ini);
        const QString path = output(c.chosen);
        QFile::remove(path);
        m_opened.paths.clear();
        m_dialogs.chooseNextFile({path, 0});
        window->ExcelSave->trigger();
        const auto &dialog = m_dialogs.fileDialogs().last();
        EXPECT_EQ(dialog.title, "表示内容をエクセル形式で保存");
        EXPECT_EQ(dialog.initialFilter, c.initialFilter);
        EXPECT_EQ(captions(dialog.filters), (QStringList{"EXCELﾌｧｲﾙ(*.xls)|*.xls", "EXCELﾌｧｲﾙ(*.xlsx)|*.xlsx",
                                                         "全てのﾌｧｲﾙ(*.*)|*.*"}));
        EXPECT_EQ(platform::readProfileString("EXCEL", "ExtXls", "", m_ini), c.storedAfter);
        EXPECT_TRUE(TemporaryFolder::readFile(path).startsWith("PK")) << "a workbook under exactly the chosen name";
        EXPECT_EQ(m_opened.paths, QStringList{path});
    }
    EXPECT_TRUE(m_dialogs.shown().isEmpty());
}

// A workbook cut to the sheet, or with a cell cut to what it holds, is saved and says so.
TEST_F(ExportCommandTest, AWorkbookCutToTheSheetSaysSo)
{
    const struct
    {
        const char *name;
        int rows;            // the grid's rows
        qsizetype pathLength; // of row 1's relative path
        QString notice;
    } cases[] = {
        {"the two path rows push the grid's last two rows off the sheet", 65536, 5,
         "エクセルのシートは65,536行までのため、残りの2行は保存していません。　"},
        {"a relative path of 40,000 characters", 2, 40000,
         "エクセルのセルは32,767文字までのため、1個のセルの残りの文字は保存していません。　"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto window = compared();
        ASSERT_TRUE(window->Grd_Compare->setRows(c.rows));
        const QString relativePath = QString(c.pathLength, u'p');
        ASSERT_TRUE(window->Grd_Compare->setTextMatrix(1, 4, relativePath));
        const QString path = output("long.xlsx");
        m_dialogs.chooseNextFile({path, 1});
        window->ExcelSave->trigger();
        const QJsonObject facts = platform::testing::readWorkbookBack(path, {"E4"});
        EXPECT_EQ(facts["cells"].toObject()["E4"].toObject()["value"].toString(), relativePath.left(32767));
        EXPECT_EQ(m_dialogs.prompts(), QStringList{c.notice});
    }
}

TEST_F(ExportCommandTest, FailuresAreReportedAndNothingIsOpened)
{
    auto window = compared();
    m_output.writeFile("plain", "a file, not a folder");
    m_dialogs.chooseNextFile({output("plain/book.xlsx"), 1});
    window->ExcelSave->trigger();
    ASSERT_EQ(m_dialogs.prompts().size(), 1);
    EXPECT_TRUE(m_dialogs.prompts().front().startsWith("エクセルの書込みに失敗しました。   \r\ncannot write " +
                                                       output("plain/book.xlsx")))
        << "the workbook's failure alone, with the writer's reason";

    m_dialogs.clear();
    m_dialogs.chooseNextFile({output("plain/page.html"), 0});
    window->HtmlSave->trigger();
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : HtmlSave_Click\r\n"));
    EXPECT_EQ(m_dialogs.shown()[0].title, "");

    m_dialogs.clear();
    m_dialogs.chooseNextFile({output("plain/list.csv"), 0});
    window->CsvSaveKan->trigger();
    ASSERT_EQ(m_dialogs.shown().size(), 1) << "no notice after a failure";
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("システムエラー : CsvSaveKan_Click\r\n"));

    EXPECT_TRUE(m_opened.paths.isEmpty());
    EXPECT_TRUE(window->MenuF->isEnabled() && window->Btn_Compare->isEnabled()) << "busy mode ends";
}

} // namespace
} // namespace foldercompare

#include "frm_main_exports_test.moc"
