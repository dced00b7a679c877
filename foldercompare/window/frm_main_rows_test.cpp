#include "foldercompare/window/window_test_fixture.h"

#include "common/file_list_formats.h"
#include "foldercompare/listing/testing_host.h"
#include "platform/testing/print_to.h"
#include "platform/widgets/flex_grid_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace foldercompare {
namespace {

using listing::testing::setModified;
using platform::MessageAnswer::No;
using platform::MessageAnswer::Yes;

constexpr qint64 T1 = 1577934245;
constexpr qint64 T2 = 1609556645;

// Records the addresses that the desktop would open.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    UrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QStringList paths;

public Q_SLOTS:
    void open(const QUrl &url) { paths.append(url.toLocalFile()); }
};

// Trees with subfolders, a desktop whose text editor is a program of the test, and no
// file manager on the session bus.
class RowCommandsTest : public testing::WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        set("XDG_CONFIG_HOME", m_desktop.makeFolder("config"));
        set("XDG_CONFIG_DIRS", m_desktop.makeFolder("etc"));
        set("XDG_DATA_HOME", m_desktop.makeFolder("home"));
        set("XDG_DATA_DIRS", m_desktop.makeFolder("system"));
        QFile::link(QStringLiteral("/usr/share/mime"), m_desktop.filePath("system/mime"));
        set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_desktop.filePath("no-bus"));
        platform::writeProfileString("DSP", "Folder", "1", m_ini);
    }
    void TearDown() override
    {
        for (const auto &[name, value] : m_saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
        WindowTest::TearDown();
    }
    void set(const char *name, const QString &value)
    {
        m_saved.append({name, qgetenv(name)});
        qputenv(name, value.toUtf8());
    }
    // Makes `editor` the desktop's program for text files.
    QString associateEditor()
    {
        const QString editor = m_desktop.writeFile("bin/editor", "#!/bin/sh\n");
        QFile::setPermissions(editor, QFile::permissions(editor) | QFile::ExeOwner);
        m_desktop.writeFile("home/applications/editor.desktop",
                            "[Desktop Entry]\nType=Application\nExec=" + editor.toUtf8() + " %F\n");
        m_desktop.writeFile("config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop;\n");
        return editor;
    }

    std::unique_ptr<Frm_Main> compared()
    {
        for (const char *name : {"one/a.txt", "one/sub/x.txt", "one/sub/deep/y.txt", "one/subway.txt", "one/b.txt",
                                 "one/d.txt", "two/a.txt", "two/only2.txt", "two/b.txt", "two/noext", "one/noext"})
            setModified(file(name, name), QByteArray(name).startsWith("one") ? T1 : T2);
        auto window = readyWindow();
        window->Txt_FolderPath[0]->setText(tree("one"));
        window->Txt_FolderPath[1]->setText(tree("two"));
        window->Btn_GetFileInfoAll_Click();
        return window;
    }
    static int rowOf(const Frm_Main &window, const QString &relative)
    {
        const platform::FlexGrid &grid = *window.Grd_Compare;
        for (int row = grid.fixedRows(); row < grid.rows(); ++row)
            if (grid.textMatrix(row, 4) == relative)
                return row;
        ADD_FAILURE() << "no row " << relative.toStdString();
        return 1;
    }
    static QStringList clipboardFiles()
    {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return data ? common::LocalFilePaths(*data) : QStringList{"(nothing)"};
    }

    platform::testing::TemporaryFolder m_desktop;
    QList<std::pair<const char *, QByteArray>> m_saved;
};

TEST_F(RowCommandsTest, ClipboardFileListsNameEachSelectedEntryOnce)
{
    auto window = compared();
    platform::FlexGrid &grid = *window->Grd_Compare;
    const struct
    {
        const char *name;
        QString first;
        QString last;
        int side;
        bool upwards;
        QStringList expected;
    } cases[] = {
        {"a folder carries what lies below it", "sub/", "sub/x.txt", 0, false, {tree("one/sub")}},
        {"a name that only starts like the folder stays", "sub/", "subway.txt", 0, false,
         {tree("one/sub"), tree("one/subway.txt")}},
        {"a selection dragged upwards", "sub/", "subway.txt", 0, true, {tree("one/sub"), tree("one/subway.txt")}},
        {"rows only on the other side", "only2.txt", "only2.txt", 0, false, {}},
        {"folder 2", "a.txt", "only2.txt", 1, false, {tree("two/a.txt"), tree("two/b.txt"), tree("two/noext"),
                                                       tree("two/only2.txt")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->setText("before");
        const int first = rowOf(*window, c.first);
        const int last = rowOf(*window, c.last);
        if (c.upwards)
            grid.setSelection(last, 4, first, 1);
        else
            grid.setSelection(first, 2, last, 3);
        // The menu items are disabled where no row exists on the side; the command itself
        // still replaces the clipboard.
        if (c.side == 0)
            window->ClipBoardFOld_Click();
        else
            window->ClipBoardFNew_Click();
        EXPECT_EQ(clipboardFiles(), c.expected);
        EXPECT_NE(QGuiApplication::clipboard()->text(), "before") << "the clipboard is always replaced";
        EXPECT_EQ(window->MousePointer, 0);
    }
    EXPECT_EQ(m_dialogs.prompts(), QStringList());

    grid.setSelection(rowOf(*window, "a.txt"), 1, rowOf(*window, "a.txt"), 1);
    window->ClipBoardFNew.popup->trigger();
    EXPECT_EQ(clipboardFiles(), QStringList{tree("two/a.txt")}) << "the popup twin runs the menu command";
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(data->data("x-special/gnome-copied-files"), "copy\n" + QUrl::fromLocalFile(tree("two/a.txt")).toEncoded())
        << "a paste in a file manager copies the files";

    grid.setSelection(rowOf(*window, "only2.txt"), 1, rowOf(*window, "only2.txt"), 1);
    window->ClipBoardFOld_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("x-special/gnome-copied-files"), "copy")
        << "a list without names";
}

TEST_F(RowCommandsTest, ClipboardFileListOfAMissingRootOrASingleFile)
{
    auto window = compared();
    QGuiApplication::clipboard()->setText("before");
    window->SideRoot[0] = tree("gone");
    window->ClipDropFile(0);
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"フォルダが存在しません。　\r\n\r\n" + tree("gone")});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");

    window->Txt_FolderPath[0]->setText(tree("one/a.txt"));
    window->Txt_FolderPath[1]->setText(tree("two/a.txt"));
    window->Btn_GetFileInfoAll_Click();
    ASSERT_EQ(window->Grd_Compare->textMatrix(1, 4), "");
    window->Grd_Compare->setCurrentCell(1, 1);
    window->ClipBoardFNew_Click();
    EXPECT_EQ(clipboardFiles(), QStringList{tree("two/a.txt")});
}

TEST_F(RowCommandsTest, EntryCommandsTakeTheSideOfTheClickedColumn)
{
    UrlRecorder opened;
    auto window = compared();
    const struct
    {
        const char *name;
        const char *row;
        int col;
        QString expected;
    } cases[] = {
        {"folder 1 date of a row on both sides", "b.txt", 2, tree("one/b.txt")},
        {"folder 2 date of a row on both sides", "b.txt", 3, tree("two/b.txt")},
        {"the path column takes folder 2", "b.txt", 4, tree("two/b.txt")},
        {"an empty folder 2 date takes folder 1", "d.txt", 3, tree("one/d.txt")},
        {"an empty folder 1 date takes folder 2", "only2.txt", 2, tree("two/only2.txt")},
        {"a folder row", "sub/", 2, tree("one/sub") + "/"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_dialogs.clear();
        opened.paths.clear();
        window->Grd_Compare->setCurrentCell(rowOf(*window, c.row), c.col);
        m_dialogs.answerNext(Yes);
        window->OpenExt.menu->trigger();
        EXPECT_EQ(m_dialogs.prompts(),
                  QStringList{"関連づけられたプログラムを起動します。宜しいですか？　\r\n\r\n" + c.expected});
        EXPECT_EQ(opened.paths, QStringList{c.expected});
    }
    EXPECT_TRUE(m_starts.starts().isEmpty()) << "nothing goes through a started program or shell";
}

TEST_F(RowCommandsTest, OpenWithTheAssociatedProgram)
{
    UrlRecorder opened;
    auto window = compared();
    const QString editor = associateEditor();
    window->Grd_Compare->setCurrentCell(rowOf(*window, "b.txt"), 3);
    QFile::remove(tree("two/b.txt"));
    m_dialogs.answerNext(No);
    window->OpenExt_Click();
    EXPECT_EQ(m_dialogs.prompts().size(), 1) << "No asks nothing further";

    m_dialogs.clear();
    window->OpenExt_Click();
    EXPECT_EQ(m_dialogs.prompts().value(1), "ファイルが存在しません。　\r\n\r\n" + tree("two/b.txt"));
    EXPECT_TRUE(opened.paths.isEmpty());

    window->Grd_Compare->setCurrentCell(rowOf(*window, "noext"), 2);
    window->OpenExt_Click();
    ASSERT_EQ(m_starts.starts().size(), 1) << "a file without extension opens as a text";
    EXPECT_EQ(m_starts.starts()[0].program, editor);
    EXPECT_EQ(m_starts.starts()[0].arguments, QStringList{tree("one/noext")});

    m_dialogs.clear();
    m_starts.setSucceeds(false);
    window->OpenExt_Click();
    ASSERT_EQ(m_dialogs.prompts().size(), 2);
    EXPECT_TRUE(m_dialogs.prompts()[1].startsWith("システムエラー : OpenExt_Click\r\n"));
}

TEST_F(RowCommandsTest, OpenInTheTextEditor)
{
    auto window = compared();
    window->Grd_Compare->setCurrentCell(rowOf(*window, "b.txt"), 2);
    window->OpenText.menu->trigger();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"テキストエディタを起動出来ませんでした。　\r\n\r\n \"" + tree("one/b.txt") + "\""})
        << "no program for texts";

    m_dialogs.clear();
    const QString editor = associateEditor();
    window->OpenText_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList());
    ASSERT_EQ(m_starts.starts().size(), 1);
    EXPECT_EQ(m_starts.starts()[0].program, editor);
    EXPECT_EQ(m_starts.starts()[0].arguments, QStringList{tree("one/b.txt")});

    window->Grd_Compare->setCurrentCell(rowOf(*window, "sub/"), 4);
    window->OpenText_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"テキストエディタでフォルダを開く事は出来ません。　\r\n\r\n" + tree("one/sub/")});
    EXPECT_EQ(m_starts.starts().size(), 1);
}

TEST_F(RowCommandsTest, PropertiesShowOurOwnBoxWithoutAFileManager)
{
    auto window = compared();
    window->Grd_Compare->setCurrentCell(rowOf(*window, "b.txt"), 2);
    window->Properties.menu->trigger();
    ASSERT_EQ(m_dialogs.shown().size(), 1);
    EXPECT_EQ(m_dialogs.shown()[0].title, "プロパティ");
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith("名前 : b.txt\r\n場所 : " + tree("one") + "\r\n"));

    m_dialogs.clear();
    QFile::remove(tree("one/b.txt"));
    window->Properties_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"ファイルが存在しません。　\r\n\r\n" + tree("one/b.txt")});
}

TEST_F(RowCommandsTest, SelectAllAndCopyFollowTheFocusedControl)
{
    auto window = compared();
    platform::FlexGrid &grid = *window->Grd_Compare;
    window->show();
    window->m_gridView->setFocus();
    QApplication::processEvents();
    window->AllRowSelect.menu->trigger();
    EXPECT_EQ(window->GetSelection(), (std::array<int, 4>{1, 1, grid.rows() - 1, 4}));

    grid.setSelection(1, 1, 3, 4);
    window->ClipBoardCopy.menu->trigger();
    QString expected;
    for (int row = 1; row <= 3; ++row)
        expected += QStringList{grid.textMatrix(row, 1), grid.textMatrix(row, 2), grid.textMatrix(row, 3),
                                grid.textMatrix(row, 4)}
                        .join(u'\t')
                    + "\r\n";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
    EXPECT_EQ(window->MousePointer, 0);

    window->Txt_FolderPath[0]->setFocus();
    QApplication::processEvents();
    window->AllRowSelect_Click();
    EXPECT_EQ(window->Txt_FolderPath[0]->selectedText(), tree("one"));
    window->Txt_FolderPath[0]->setSelection(0, 4);
    window->ClipBoardCopy_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), tree("one").left(4));
    EXPECT_EQ(window->GetSelection(), (std::array<int, 4>{1, 1, 3, 4})) << "the grid is left alone";

    window->m_gridView->setFocus();
    window->GridInit();
    window->AllRowSelect_Click();
    EXPECT_EQ(window->GetSelection(), (std::array<int, 4>{1, 1, 1, 1})) << "nothing to select without a list";
}

} // namespace
} // namespace foldercompare

#include "frm_main_rows_test.moc"
