#include "foldercompare/window/window_test_fixture.h"

#include "common/dialogs/frm_code_chg.h"
#include "common/dialogs/frm_date_chg.h"
#include "common/non_code_class.h"
#include "platform/file_handles.h"
#include "platform/testing/print_to.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace foldercompare {
namespace {

using platform::MessageAnswer::Yes;
using platform::testing::TemporaryFolder;

const QDateTime Old(QDate(2020, 1, 2), QTime(3, 4, 5));

// Two local sides, gathered and compared, with the trash in a folder of the test.
class OperationCommandsTest : public testing::WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_trees.filePath("data").toUtf8());
    }
    void TearDown() override
    {
        if (m_savedDataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_savedDataHome);
        WindowTest::TearDown();
    }
    std::unique_ptr<Frm_Main> comparedWindow()
    {
        auto window = readyWindow();
        gather(*window, 0, tree("one"));
        gather(*window, 1, tree("two"));
        window->Grd_Compare->setSelection(1, 1, window->Grd_Compare->rows() - 1, 4);
        m_dialogs.clear();
        return window;
    }
    QByteArray m_savedDataHome;
};

TEST_F(OperationCommandsTest, PathInputsAndOptionBoxesHaveTheirTooltips)
{
    auto window = openWindow();
    const std::pair<QWidget *, QString> tips[] = {
        {window->Btn_GetFileInfo[0], "フォルダ１の情報(更新日時やサイズ)を取得します"},
        {window->Btn_GetFileInfo[1], "フォルダ２の情報(更新日時やサイズ)を取得します"},
        {window->Txt_FileInfoDate[0], "フォルダ１の情報を取得した日時です"},
        {window->Txt_FileInfoDate[1], "フォルダ２の情報を取得した日時です"},
        {window->Txt_Ext[0], "一覧表示するファイルのパス(sub/*,sub/*.c,*.h,*.)を指定します(カンマ区切りで複数指定可)"},
        {window->Txt_Ext[1], "一覧表示しないファイルのパス(sub/*,sub/*.c,*.h,*.)を指定します(カンマ区切りで複数指定可)"},
        {window->Chk_Folder, "情報取得したフォルダ階層数分(MAX)のサブフォルダを表示します"},
        {window->Chk_Nomi, "追加/更新/削除されたファアイル/フォルダのみ一覧表示します"},
        {window->Chk_Data, "データの中身を比較します/チェックを外した時は更新日時とサイズのみの比較です"},
    };
    for (const auto &[control, tip] : tips)
        EXPECT_EQ(control->toolTip(), tip) << control->metaObject()->className();
}

TEST_F(OperationCommandsTest, CopyAndDeleteFromThePopupMenuConfirmRunAndRefresh)
{
    file("one/a.txt", "alpha");
    file("two/b.txt", "beta");
    auto window = comparedWindow();
    m_dialogs.answerNext(platform::MessageAnswer::Ok);
    m_dialogs.answerNext(Yes);
    window->CopyOldToNew.popup->trigger();
    ASSERT_GE(m_dialogs.shown().size(), 2);
    EXPECT_EQ(m_dialogs.shown()[0].title, QStringLiteral("コピーしますか？"));
    EXPECT_TRUE(m_dialogs.shown()[0].prompt.contains(QStringLiteral("ごみ箱にバックアップされます")));
    EXPECT_EQ(m_dialogs.shown()[1].prompt,
              QStringLiteral("コピーが完了しました。　\r\n\r\n最新の状況を取得し一覧に反映しますか？"));
    EXPECT_EQ(TemporaryFolder::readFile(tree("two/a.txt")), "alpha");
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "追加|b.txt"})) << "side 2 was gathered again and compared";
    EXPECT_FALSE(window->BusyFlag);

    m_dialogs.clear();
    window->Grd_Compare->setSelection(2, 1, 2, 4);
    m_dialogs.answerNext(platform::MessageAnswer::Ok);
    m_dialogs.answerNext(platform::MessageAnswer::No);
    window->DeleteNew.menu->trigger();
    EXPECT_EQ(m_dialogs.shown().value(0).title, QStringLiteral("削除しますか？"));
    EXPECT_FALSE(QFileInfo::exists(tree("two/b.txt")));
    EXPECT_EQ(statusRows(*window), (QStringList{"|a.txt", "追加|b.txt"})) << "No to the refresh keeps the grid";
}

TEST_F(OperationCommandsTest, DateAndCodeDialogsHandTheirAnswersToTheRuns)
{
    common::NonCodeClass codes;
    const QString a = file("one/a.txt", codes.VbUnicode_To_SJIS(u"日本語\r\n"));
    file("two/a.txt", "x");
    ASSERT_TRUE(platform::SetFileDate(tree("two/a.txt"), Old));
    auto window = comparedWindow();
    window->setModalRunner([](QDialog &shown) {
        auto *dialog = dynamic_cast<common::dialogs::Frm_DateChg *>(&shown);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->Chk_Copy->text(), QStringLiteral("フォルダ２(新)側のファイル日時を設定する"));
        EXPECT_TRUE(dialog->Lbl_Message->text().startsWith(QStringLiteral("フォルダ１（旧）側の")));
        dialog->Chk_Copy->setChecked(true);
        dialog->Btn_OK->click();
    });
    window->DateChgOld.menu->trigger();
    EXPECT_EQ(QFileInfo(a).lastModified(), Old);
    EXPECT_EQ(m_dialogs.prompts().value(0).left(10), QStringLiteral("日時変更が完了しました。　").left(10));

    m_dialogs.clear();
    window->setModalRunner([](QDialog &shown) {
        auto *dialog = dynamic_cast<common::dialogs::Frm_CodeChg *>(&shown);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->Cmb_Code[0]->currentText(), QStringLiteral("自動判定"));
        EXPECT_EQ(dialog->Cmb_Code[1]->currentText(), QStringLiteral("SJIS")) << "preset from the first text file";
        EXPECT_EQ(dialog->Cmb_Code[2]->currentText(), QStringLiteral("CRLF"));
        dialog->Cmb_Code[1]->setCurrentText(QStringLiteral("UTF8"));
        dialog->Cmb_Code[2]->setCurrentText(QStringLiteral("LF"));
        dialog->Btn_OK->click();
    });
    window->CodeChgOld.popup->trigger();
    EXPECT_EQ(TemporaryFolder::readFile(a), codes.VbUnicode_To_UTF8(u"日本語\n", false));
}

// What a command wrote is no change after the comparison to a later command, also once
// the list was compared again without gathering that side again.
TEST_F(OperationCommandsTest, AWrittenFileStaysTheProgramsWhenTheListIsComparedAgain)
{
    file("one/a.txt", "alpha");
    file("two/a.txt", "x");
    ASSERT_TRUE(platform::SetFileDate(tree("one/a.txt"), Old));
    auto window = comparedWindow();
    window->setModalRunner([](QDialog &shown) {
        auto *dialog = dynamic_cast<common::dialogs::Frm_DateChg *>(&shown);
        ASSERT_NE(dialog, nullptr);
        dialog->Chk_Copy->setChecked(true);
        dialog->Btn_OK->click();
    });
    m_dialogs.answerNext(platform::MessageAnswer::No);
    window->DateChgNew.menu->trigger();
    ASSERT_EQ(QFileInfo(tree("two/a.txt")).lastModified(), Old);
    window->Btn_Compare->click();

    m_dialogs.clear();
    window->Grd_Compare->setSelection(1, 1, 1, 4);
    m_dialogs.answerNext(platform::MessageAnswer::Ok);
    m_dialogs.answerNext(platform::MessageAnswer::No);
    window->CopyOldToNew.menu->trigger();
    EXPECT_EQ(TemporaryFolder::readFile(tree("two/a.txt")), "alpha");
    EXPECT_EQ(m_dialogs.prompts().value(1), QStringLiteral("コピーが完了しました。　\r\n\r\n最新の状況を取得し一覧に反映しますか？"));
}

} // namespace
} // namespace foldercompare
