#include "foldercompare/operations/code_change.h"
#include "foldercompare/operations/copy_delete.h"
#include "foldercompare/operations/operations_test_fixture.h"
#include "platform/testing/print_to.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <memory>

namespace foldercompare::operations {
namespace {

using platform::MessageAnswer::No;
using platform::MessageAnswer::Yes;

const QString Refresh = QStringLiteral("\r\n\r\n最新の状況を取得し一覧に反映しますか？");

class OperationFrameTest : public testing::OperationsTest
{
protected:
    QStringList readOnlyFiles(int count, const QString &folder) const
    {
        QStringList names;
        for (int index = 0; index < count; ++index) {
            const QString name = folder + QStringLiteral("/r%1.txt").arg(index);
            QFile::setPermissions(file("one/" + name, "x"), QFile::ReadOwner);
            names.append(name);
        }
        return names;
    }
};

TEST_F(OperationFrameTest, AMissingRootEndsTheRunBeforeAnything)
{
    OperationSides sides = localSides();
    sides.sideRoot[1] = tree("gone");
    CopyOperation copy(0);
    EXPECT_FALSE(run(copy, rows({"a.txt"}), sides));
    EXPECT_EQ(m_dialogs.prompts(),
              QStringList{QStringLiteral("フォルダまたはファイルが存在しません。　\r\n\r\n") + tree("gone")});
    EXPECT_TRUE(m_host.busyChanges.isEmpty());
    EXPECT_TRUE(m_host.progressMessages.isEmpty());
}

TEST_F(OperationFrameTest, TheReadOnlyQuestionComesOnceAndItsListStopsAtFive)
{
    struct Case
    {
        const char *name;
        int answer;
        QString result;
    };
    const Case cases[] = {
        {"answer No: every read-only file is skipped and listed, so the run is partial", No,
         QStringLiteral("一部のファイルが削除されました。　\r\n"
                        "削除したファイル（行）：1件　削除出来なかったファイル（行）：7件　")
             + Refresh},
        {"answer Yes: every one is deleted", Yes, QStringLiteral("削除が完了しました。　") + Refresh},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_dialogs.clear();
        m_host = {};
        const QStringList names = readOnlyFiles(7, c.answer == Yes ? "yes" : "no");
        file("one/writable.txt", "w");
        // The question, the read-only list's box (after No), the refresh question.
        m_dialogs.answerNext(c.answer);
        if (c.answer == No)
            m_dialogs.answerNext(platform::MessageAnswer::Ok);
        m_dialogs.answerNext(c.answer);
        DeleteOperation remove(0);
        EXPECT_TRUE(run(remove, rows(names + QStringList{"writable.txt"}), localSides()));
        const QString question = QStringLiteral("読み取り専用のファイルがあります。　\r\n\r\n読み取り専用のファイルも削除しますか？  ");
        EXPECT_EQ(m_dialogs.prompts().count(question), 1);
        EXPECT_EQ(m_host.visibility, (QList<bool>{false, true}));
        EXPECT_EQ(lastPrompt(), c.result);
        QString listed;
        for (int index = 0; index < 5; ++index)
            listed += QStringLiteral("\r\n") + tree("one/" + names[index]);
        if (c.answer == No) {
            EXPECT_EQ(m_readOnlyList, listed + QStringLiteral("\r\n．．．"));
            EXPECT_TRUE(m_dialogs.prompts().contains(
                QStringLiteral("読み取り専用のため削除出来ないファイルがありました。　\r\n") + m_readOnlyList));
            EXPECT_TRUE(QFileInfo::exists(tree("one/no/r6.txt")));
            EXPECT_TRUE(m_host.refreshed.isEmpty());
        } else {
            EXPECT_TRUE(m_readOnlyList.isEmpty());
            EXPECT_FALSE(QFileInfo::exists(tree("one/yes/r0.txt")));
            EXPECT_EQ(m_host.refreshed, QList<int>{0});
        }
        EXPECT_EQ(m_host.busyChanges, (QList<bool>{true, false}));
        EXPECT_EQ(m_host.progressEnds, 1);
    }
}

TEST_F(OperationFrameTest, CancelAndAbortStopBeforeTheNextRow)
{
    for (const bool byProgressWindow : {true, false}) {
        SCOPED_TRACE(byProgressWindow ? "cancel in the progress window" : "Esc in the window");
        m_dialogs.clear();
        m_host = {};
        const QStringList names{"a.txt", "b.txt", "c.txt", "d.txt"};
        for (const QString &name : names)
            file("one/" + name, "x");
        m_host.onRow = [this, byProgressWindow](int row) {
            if (row == 2)
                (byProgressWindow ? m_host.cancelled : m_host.abort) = true;
        };
        DeleteOperation remove(0);
        run(remove, rows(names), localSides());
        EXPECT_EQ(remove.rowsDeleted(), 2);
        EXPECT_TRUE(QFileInfo::exists(tree("one/c.txt")));
        EXPECT_EQ(m_host.percents, (QList<double>{0, 25, 50}));
        EXPECT_EQ(lastPrompt(), QStringLiteral("一部のファイルが削除されました。　\r\n"
                                               "削除したファイル（行）：2件　削除出来なかったファイル（行）：2件　")
                                    + Refresh);
        EXPECT_EQ(m_host.progressEnds, 1);
    }
}

// Copies and conversions end behind the walk: the failure of a first row that ends
// late is still listed before that of a second row that failed at once (its file gone:
// a copy's source fails, a file to convert changed after the comparison).
TEST_F(OperationFrameTest, FailuresOfWorkBehindTheWalkKeepTheRowsOrder)
{
    const QString gone = QString::fromLocal8Bit(std::strerror(ENOENT));
    struct Case
    {
        const char *name;
        std::function<std::unique_ptr<FileOperation>()> operation;
        QString firstRow;
        QString firstPath;
        QString firstReason;
        QString secondReason;
    };
    const Case cases[] = {
        {"copy onto a folder", [] { return std::make_unique<CopyOperation>(0); }, "a.txt", tree("two/a.txt"),
         QString::fromLocal8Bit(std::strerror(EISDIR)), gone},
        {"conversion of a binary file",
         [this] {
             return std::make_unique<CodeChangeOperation>(0, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"),
                                                          tree("work.tmp"));
         },
         "a.exe", tree("one/a.exe"), QStringLiteral("バイナリファイルと判定されたため変換しません"),
         QStringLiteral("比較の後に変更されたため、文字コード変換しませんでした")},
    };
    file("one/a.txt", "a");
    m_trees.makeFolder("two/a.txt");
    file("one/a.exe", "MZ");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<FileOperation> operation = c.operation();
        const QList<OperationRow> rows{{QStringLiteral("2020/01/02 03:04:05"), QString(), c.firstRow},
                                       {QStringLiteral("2020/01/02 03:04:05"), QString(), QStringLiteral("b.txt")}};
        run(*operation, rows, localSides());
        EXPECT_EQ(m_errorList, QStringLiteral("\r\n") + c.firstPath + QStringLiteral(" : ") + c.firstReason
                                   + QStringLiteral("\r\n") + tree("one/b.txt") + QStringLiteral(" : ") + c.secondReason);
    }
}

TEST_F(OperationFrameTest, AnUnexpectedFailureIsReportedAndEndsTheRun)
{
    OperationSides sides = localSides();
    sides.pathBox[1] = QStringLiteral("ftp://127.0.0.1:1/pub/");
    file("one/a.txt", "x");
    CopyOperation copy(0);
    run(copy, rows({"a.txt"}), sides);
    ASSERT_EQ(m_dialogs.prompts().size(), 1);
    EXPECT_TRUE(lastPrompt().startsWith(QStringLiteral("システムエラー : CopyFile\r\n"))) << lastPrompt().toStdString();
    EXPECT_EQ(m_host.busyChanges, (QList<bool>{true, false}));
    EXPECT_EQ(m_host.progressEnds, 1);
    EXPECT_FALSE(QFileInfo::exists(tree("two/a.txt")));
}

} // namespace
} // namespace foldercompare::operations
