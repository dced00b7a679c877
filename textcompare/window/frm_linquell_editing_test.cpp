#include "textcompare/window/linquell_window_test_fixture.h"

#include "common/dialogs/frm_code_chg.h"
#include "common/dialogs/frm_date_chg.h"
#include "textcompare/window/frm_color_viewer.h"
#include "textcompare/window/frm_len_of_row.h"
#include "textcompare/window/frm_line_text.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace textcompare {
namespace {

using platform::testing::TemporaryFolder;

// A compared window whose trash and desktop settings lie in the test's folder.
class FrmLinquellEditingTest : public testing::LinquellWindowTest
{
protected:
    void SetUp() override
    {
        LinquellWindowTest::SetUp();
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            m_savedEnvironment.append({name, qgetenv(name)});
        qputenv("XDG_DATA_HOME", m_folder.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toUtf8());
        setPaths(m_file1, m_file2);
        m_window->resize(900, 600);
        m_window->show();
        m_window->Form_Activate();
    }
    void TearDown() override
    {
        LinquellWindowTest::TearDown();
        for (const auto &[name, value] : m_savedEnvironment) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    void select(int firstRow, int lastRow, int col) { m_window->Grd_Compare->setSelection(firstRow, col, lastRow, col); }
    QByteArray file1() const { return TemporaryFolder::readFile(m_file1); }
    QByteArray file2() const { return TemporaryFolder::readFile(m_file2); }

    QList<std::pair<const char *, QByteArray>> m_savedEnvironment;
};

TEST_F(FrmLinquellEditingTest, OneLineChangeUndoAndRedo)
{
    m_window->Grd_Compare->setCurrentCell(2, 4);
    m_window->setModalRunner([](QDialog &dialog) {
        auto &lineText = static_cast<Frm_LineText &>(dialog);
        EXPECT_EQ(lineText.Txt_LineText[0]->text(), "two");
        EXPECT_EQ(lineText.Txt_ChrJudge[1]->text(), "*");
        EXPECT_TRUE(lineText.Btn_SaveText[1]->isEnabled());
        lineText.Txt_LineText[1]->setText("zwei");
        lineText.Btn_SaveText[1]->click();
    });
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    m_window->LineText_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"ファイルを変更(行変更)します。宜しいですか？    \r\n"
                                               "念のため初回変更前にごみ箱へバックアップします。      \r\n\r\n"
                                               + m_file2 + "    "});
    EXPECT_EQ(file2(), "one\nzwei\nthree\nfour\n");
    EXPECT_EQ(gridRow(2), (QStringList{"2", "変更", "2", "two", "zwei", "2"})) << "compared again";
    EXPECT_EQ(QDir(m_folder.filePath("data/Trash/files")).entryList(QDir::Files), QStringList{"b.txt"});
    EXPECT_EQ(m_window->FileEditing.LastEditPath, m_file2);
    m_window->Grd_Compare->setCurrentCell(1, 3);
    EXPECT_TRUE(m_window->EditRedo.menu->isEnabled()) << "offered with the file commands of either side";

    m_window->EditRedo_Click();
    EXPECT_EQ(file2(), "one\n2\nthree\nfour\n");
    m_window->EditRedo_Click();
    EXPECT_EQ(file2(), "one\nzwei\nthree\nfour\n") << "a second undo redoes";
    EXPECT_EQ(m_dialogs.shown().size(), 1) << "undo asks nothing";

    // Insert above and delete through the selection on file 1.
    select(2, 3, 3);
    m_window->LineInsert1_Click();
    EXPECT_EQ(file1(), "one\n\n\ntwo\nthree\n");
    EXPECT_EQ(m_window->Cmb_FileCode[0]->currentText(), "SJIS") << "judged again after the lists went to automatic";
    select(2, 3, 2);
    m_window->LineDelete_Click();
    EXPECT_EQ(file1(), "one\ntwo\nthree\n");
    select(2, 4, 5);
    m_window->LineCopy_Click();
    EXPECT_EQ(file1(), "one\nzwei\nthree\nfour\n") << "file 2's lines over file 1's rows";
}

TEST_F(FrmLinquellEditingTest, RefusedEditsChangeNothing)
{
    const QByteArray original1 = file1();
    const QByteArray original2 = file2();
    const struct
    {
        const char *name;
        std::function<void(Frm_Linquell &window, const QString &file1)> prepare;
        int side;
        QString prompt;
    } cases[] = {
        {"changed by another program, not overwritten",
         [](Frm_Linquell &, const QString &path) {
             QFile file(path);
             file.open(QIODevice::Append);
             file.write("added elsewhere\n");
         },
         0, "このファイルは比較した後に他のプログラムで変更されています。"},
        {"a read-only file",
         [](Frm_Linquell &, const QString &path) { QFile::setPermissions(path, QFileDevice::ReadOwner); }, 0,
         "ファイルを変更出来ませんでした。　\r\n(読み取り専用のファイルです)"},
        {"a character that Shift-JIS cannot write",
         [](Frm_Linquell &window, const QString &) {
             window.setModalRunner([](QDialog &dialog) {
                 auto &lineText = static_cast<Frm_LineText &>(dialog);
                 lineText.Txt_LineText[1]->setText(QStringLiteral("\U0001F600"));
                 lineText.Btn_SaveText[1]->click();
             });
         },
         1, "ファイルを変更出来ませんでした。　\r\n(SJIS で表せない文字があります。)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_folder.writeFile("a.txt", original1);
        m_window->Btn_DiffList_Click();
        m_dialogs.clear();
        c.prepare(*m_window, m_file1);
        const QByteArray before = file1();
        m_dialogs.answerNext(platform::MessageAnswer::No);
        if (c.side == 0) {
            select(2, 2, 3);
            m_window->LineDelete_Click();
        } else {
            m_window->Grd_Compare->setCurrentCell(2, 4);
            m_window->LineText_Click();
        }
        ASSERT_FALSE(m_dialogs.shown().isEmpty());
        EXPECT_TRUE(m_dialogs.shown()[0].prompt.startsWith(c.prompt)) << m_dialogs.shown()[0].prompt.toStdString();
        EXPECT_EQ(file1(), before);
        EXPECT_EQ(file2(), original2);
        EXPECT_EQ(m_window->FileEditing.LastEditPath, "");
        QFile::setPermissions(m_file1, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // Rows past the grid's limit still hold the lines below the selection: deleting rows
    // that hold no line of file 1 keeps every line.
    const QString longer = m_folder.writeFile("c.txt", "one\nX\nY\nZ\ntwo\nthree\n");
    setPaths(m_file1, longer);
    m_window->LineMax = 3;
    m_dialogs.answerNext(platform::MessageAnswer::Ok);
    m_window->Btn_DiffList_Click();
    select(2, 3, 3);
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    m_window->LineDelete_Click();
    EXPECT_EQ(file1(), original1);
    m_window->LineMax = 50000;
    setPaths(m_file1, m_file2);

    // Display lines of a wrap width are no file lines.
    m_window->LenOfRow = 2;
    m_window->Btn_DiffList_Click();
    select(2, 2, 3);
    EXPECT_FALSE(m_window->LineDelete.menu->isEnabled());
    m_window->LineDelete_Click();
    EXPECT_EQ(file1(), original1);
}

TEST_F(FrmLinquellEditingTest, WhatAnotherProgramWroteGoesToTheTrashBeforeItIsOverwritten)
{
    using platform::MessageAnswer::Yes;
    const auto trashed = [this] {
        QByteArrayList contents;
        const QDir trash(m_folder.filePath("data/Trash/files"));
        for (const QString &name : trash.entryList(QDir::Files))
            contents.append(TemporaryFolder::readFile(trash.filePath(name)));
        std::sort(contents.begin(), contents.end());
        return contents;
    };
    const auto questionStyle = [this] {
        return m_dialogs.shown().isEmpty() ? -1 : m_dialogs.shown().first().style;
    };
    select(2, 2, 3);
    m_dialogs.answerNext(Yes);
    m_window->LineDelete_Click();
    ASSERT_EQ(file1(), "one\nthree\n");

    // Changed by another program since the comparison: overwritten only on はい.
    m_folder.writeFile("a.txt", "one\nthree\ntheirs\n");
    m_dialogs.clear();
    m_dialogs.answerNext(Yes);
    m_dialogs.answerNext(Yes);
    select(3, 3, 3);
    m_window->LineDelete_Click();
    EXPECT_TRUE(m_dialogs.prompts().value(0).startsWith("このファイルは比較した後に他のプログラムで変更されています。"));
    EXPECT_EQ(questionStyle(), platform::MessageStyle::YesNo | platform::MessageStyle::DefaultButton2)
        << "いいえ is the default button";
    EXPECT_EQ(file1(), "one\n");
    EXPECT_EQ(trashed(), (QByteArrayList{"one\nthree\ntheirs\n", "one\ntwo\nthree\n"}))
        << "not only before the first change";

    // The same for an undo over another program's change.
    m_folder.writeFile("a.txt", "theirs again\n");
    m_dialogs.clear();
    m_dialogs.answerNext(Yes);
    m_window->EditRedo_Click();
    EXPECT_TRUE(m_dialogs.prompts().value(0).startsWith("このファイルは最後の編集の後に他のプログラムで変更されています。"));
    EXPECT_EQ(questionStyle(), platform::MessageStyle::YesNo | platform::MessageStyle::DefaultButton2);
    EXPECT_EQ(file1(), "one\nthree\ntheirs\n");
    EXPECT_EQ(trashed(), (QByteArrayList{"one\nthree\ntheirs\n", "one\ntwo\nthree\n", "theirs again\n"}));
}

TEST_F(FrmLinquellEditingTest, FileCommandsOnTheCurrentColumnsFile)
{
    m_window->Grd_Compare->setCurrentCell(1, 1);
    m_window->CodeChg_Click();
    m_window->DateChg_Click();
    EXPECT_TRUE(m_dialogs.shown().isEmpty()) << "no side in the state column";

    m_window->Grd_Compare->setCurrentCell(1, 3);
    m_window->setModalRunner([](QDialog &dialog) {
        auto &codes = static_cast<common::dialogs::Frm_CodeChg &>(dialog);
        EXPECT_EQ(codes.Cmb_Code[0]->currentText(), "SJIS");
        EXPECT_EQ(codes.Cmb_Code[2]->currentText(), "LF");
        codes.Cmb_Code[1]->setCurrentText("UNICODE");
        codes.Cmb_Code[2]->setCurrentText("CRLF");
        codes.Btn_OK->click();
    });
    m_window->CodeChg_Click();
    EXPECT_EQ(file1(), QByteArray("o\0n\0e\0\r\0\n\0t\0w\0o\0\r\0\n\0t\0h\0r\0e\0e\0\r\0\n\0", 34));
    EXPECT_EQ(m_window->Cmb_FileCode[0]->currentText(), "UNICODE") << "judged again";
    EXPECT_EQ(m_window->FileEditing.LastEditPath, "") << "a conversion is no edit to undo";

    m_window->setModalRunner([](QDialog &dialog) {
        auto &date = static_cast<common::dialogs::Frm_DateChg &>(dialog);
        EXPECT_EQ(date.Lbl_Message->text(), "ファイル１（旧）側のファイルを日時変更します。\r\n作成日時/更新日時が変更されます。");
        const char *parts[6] = {"2001", "2", "3", "4", "5", "6"};
        for (int index = 0; index < 6; ++index)
            date.Txt_DateTime[index]->setText(parts[index]);
        date.Btn_OK->click();
    });
    m_dialogs.clear();
    m_window->DateChg_Click();
    EXPECT_EQ(QFileInfo(m_file1).lastModified(), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    QFile::setPermissions(m_file1, QFileDevice::ReadOwner);
    m_window->DateChg_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"ファイル日時変更出来ませんでした。　\r\n\r\n" + m_file1});
    QFile::setPermissions(m_file1, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    m_window->Cmb_FileCode[1]->setCurrentText("BIN");
    m_window->Grd_Compare->setCurrentCell(1, 4);
    m_dialogs.clear();
    m_window->CodeChg_Click();
    EXPECT_EQ(m_dialogs.prompts(), QStringList{"バイナリファイルの文字コード変換は出来ません　　"});

    const QString plain = m_folder.writeFile("plain", "x\n");
    m_folder.writeFile("data/applications/editor.desktop", "[Desktop Entry]\nType=Application\nExec=/bin/true %F\n");
    m_folder.writeFile("config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop;\n");
    m_window->Txt_FilePath[1]->setText(plain);
    m_dialogs.clear();
    m_dialogs.answerNext(platform::MessageAnswer::Yes);
    m_window->OpenExt_Click();
    ASSERT_EQ(m_starts.starts().size(), 1) << "a file without an extension opens as a text";
    EXPECT_EQ(m_starts.starts()[0].arguments, QStringList{plain});
    m_window->Properties_Click();
    ASSERT_EQ(m_dialogs.shown().size(), 2);
    EXPECT_TRUE(m_dialogs.shown()[1].prompt.startsWith("名前 : plain\r\n"));
}

TEST(FrmLineText, MarksMirrorsAndKeepsItsHeight)
{
    QString line1 = "a\tbc";
    QString line2 = " \tbd";
    bool saved1 = true;
    bool saved2 = true;
    Frm_LineText dialog(line1, line2, saved1, saved2, nullptr);
    EXPECT_FALSE(saved1 || saved2);
    EXPECT_EQ(dialog.Txt_ChrJudge[0]->text(), "*\t *");
    dialog.Txt_LineText[0]->setText("edited");
    EXPECT_EQ(dialog.Txt_ChrJudge[0]->text(), "*\t *") << "computed once";

    dialog.Txt_LineText[0]->setSelection(1, 2);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::ShiftModifier);
    QCoreApplication::sendEvent(dialog.Txt_LineText[0], &release);
    EXPECT_EQ(dialog.Txt_LineText[1]->selectionStart(), 1);
    EXPECT_EQ(dialog.Txt_LineText[1]->selectionLength(), 2);

    dialog.resize(100, 300);
    EXPECT_EQ(dialog.size(), QSize(LineTextLayout::MinimumWidth, LineTextLayout::Height));
    dialog.resize(900, 73);
    dialog.Form_Resize();
    const LineTextLayout layout = LineTextLayout::forWidth(900);
    EXPECT_EQ(layout.boxWidth, 900 - 125);
    EXPECT_EQ(dialog.Txt_LineText[1]->width(), layout.boxWidth);
    EXPECT_EQ(dialog.Btn_SaveText[0]->x(), layout.buttonLeft);

    dialog.Btn_SaveText[0]->click();
    EXPECT_EQ(line1, "edited");
    EXPECT_TRUE(saved1);
    EXPECT_FALSE(saved2);
}

TEST(ViewerSettingDialogs, ColourAndWrapWidth)
{
    platform::testing::TemporaryFolder folder;
    platform::testing::ScriptedDialogs dialogs;
    const QString ini = folder.filePath("Linquell.ini");
    DiffColors colors;
    {
        Frm_Color dialog(colors, ini);
        EXPECT_EQ(dialog.Txt_Color[3]->text(), "0000FF");
        dialogs.chooseNextColor(0x123456);
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(dialog.Txt_Color[0], &doubleClick);
        EXPECT_EQ(dialog.Txt_Color[0]->text(), "123456");
        dialog.Txt_Color[2]->setText("xyz");
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &escape);
        EXPECT_EQ(colors, DiffColors{}) << "nothing before the button";
        dialog.Btn_Ok->click();
    }
    EXPECT_EQ(colors.DIFFCUPD, 0x123456u);
    EXPECT_EQ(colors.DIFFCDEL, 0u);
    EXPECT_EQ(platform::readProfileString("DSP", "DIFFCNO1", "", ini), "FF");
    EXPECT_EQ(platform::readProfileString("DSP", "DIFFCDEL", "", ini), "0");

    qint32 width = -8;
    Frm_LenOfRow wrap(width);
    EXPECT_FALSE(wrap.Chk_LenOfRow->isChecked());
    EXPECT_EQ(wrap.Txt_LenOfRow->text(), "8");
    wrap.Chk_LenOfRow->setChecked(true);
    wrap.Txt_LenOfRow->setText("7");
    dialogs.answerNext(platform::MessageAnswer::No);
    wrap.Btn_OK->click();
    EXPECT_EQ(width, -8) << "No keeps the dialog open";
    wrap.Txt_LenOfRow->setText("abc");
    wrap.Btn_OK->click();
    EXPECT_EQ(dialogs.prompts().last(), "システムエラー : Btn_OK_Click\r\n型が一致しません。");
    wrap.Txt_LenOfRow->setText("7");
    wrap.Btn_OK->click();
    EXPECT_EQ(width, 8);
}

} // namespace
} // namespace textcompare
