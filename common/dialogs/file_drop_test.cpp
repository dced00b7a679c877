#include "common/dialogs/clipboard_drop_files.h"
#include "common/dialogs/file_drop.h"

#include "platform/testing/print_to.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace common::dialogs {
namespace {

class FileDropTest : public ::testing::Test
{
protected:
    void SetUp() override { m_dropBox.setReadOnly(true); }
    void TearDown() override { EndFileDrop(); }

    // Drags `data` over `target` and drops it there with the given source actions, Shift
    // held (which proposes a move where the source allows one); returns
    // whether the target took the drag, and the action it chose for the drop.
    static std::pair<bool, Qt::DropAction> dragAndDrop(QWidget *target, const QMimeData &data,
                                                       Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
    {
        QDragEnterEvent enter(QPoint(5, 5), actions, &data, Qt::LeftButton, Qt::ShiftModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return {false, Qt::IgnoreAction};
        QDropEvent drop(QPointF(5, 5), actions, &data, Qt::LeftButton, Qt::ShiftModifier);
        drop.setAccepted(false);
        QApplication::sendEvent(target, &drop);
        return {drop.isAccepted(), drop.dropAction()};
    }
    static QMimeData *files(const QStringList &paths)
    {
        auto *data = new QMimeData;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data->setUrls(urls);
        return data;
    }

    QLineEdit m_dropBox;
    QList<QStringList> m_drops;
    std::function<void(const QStringList &)> m_formDrop = [this](const QStringList &paths) { m_drops.append(paths); };
};

TEST_F(FileDropTest, AllDroppedFilesArriveInOneCallInOrder)
{
    ASSERT_TRUE(StartFileDrop(&m_dropBox, m_formDrop));
    EXPECT_TRUE(m_dropBox.acceptDrops());
    std::unique_ptr<QMimeData> data(files({"/srv/c.txt", "/srv/a.txt", "/srv/日本/"}));
    const auto [accepted, action] = dragAndDrop(&m_dropBox, *data);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(action, Qt::CopyAction) << "a move would let the source remove the files";
    ASSERT_EQ(m_drops.size(), 1);
    EXPECT_EQ(m_drops[0], QStringList({"/srv/c.txt", "/srv/a.txt", "/srv/日本/"}));
}

TEST_F(FileDropTest, DragsWithoutLocalFilesOrWithoutCopyAreNotTaken)
{
    StartFileDrop(&m_dropBox, m_formDrop);
    QMimeData text;
    text.setText("/srv/a.txt");
    EXPECT_FALSE(dragAndDrop(&m_dropBox, text).first);
    std::unique_ptr<QMimeData> data(files({"/srv/a.txt"}));
    EXPECT_FALSE(dragAndDrop(&m_dropBox, *data, Qt::MoveAction).first);
    EXPECT_TRUE(m_drops.isEmpty());
}

TEST_F(FileDropTest, OneHookAtATime)
{
    QLineEdit other;
    other.setReadOnly(true);
    QList<QStringList> otherDrops;
    EXPECT_TRUE(StartFileDrop(&m_dropBox, m_formDrop));
    EXPECT_FALSE(StartFileDrop(&other, [&](const QStringList &paths) { otherDrops.append(paths); }));
    EXPECT_TRUE(other.acceptDrops());
    std::unique_ptr<QMimeData> data(files({"/srv/a.txt"}));
    dragAndDrop(&other, *data);
    EXPECT_TRUE(otherDrops.isEmpty());

    EXPECT_TRUE(EndFileDrop());
    EXPECT_FALSE(EndFileDrop());
    dragAndDrop(&m_dropBox, *data);
    EXPECT_TRUE(m_drops.isEmpty()) << "no hook, no Form_Drop";
}

TEST(ClipboardDropFiles, PutsBothFileListForms)
{
    ClipboardDropFiles({"/home/u/a.txt", "/home/u/日本 b"});
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data("text/uri-list"), "file:///home/u/a.txt\r\nfile:///home/u/%E6%97%A5%E6%9C%AC%20b\r\n");
    EXPECT_EQ(data->data("x-special/gnome-copied-files"),
              "copy\nfile:///home/u/a.txt\nfile:///home/u/%E6%97%A5%E6%9C%AC%20b");
}

TEST(ClipboardDropFiles, ListWithoutNamesStillReplacesTheClipboard)
{
    QGuiApplication::clipboard()->setText("old");
    ClipboardDropFiles({""});
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList({"text/uri-list", "x-special/gnome-copied-files"}));
    EXPECT_EQ(data->data("x-special/gnome-copied-files"), "copy");
    EXPECT_EQ(data->data("text/uri-list"), "");
}

} // namespace
} // namespace common::dialogs
