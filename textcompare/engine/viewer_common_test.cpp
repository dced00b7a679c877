#include "textcompare/engine/viewer_common.h"

#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(ViewerRecyclerDelete, FailureIsReportedAndNothingIsLost)
{
    platform::testing::ScriptedDialogs dialogs;
    platform::testing::TemporaryFolder folder;
    const QString missing = folder.filePath("gone.txt");
    EXPECT_NE(RecyclerDelete(missing), 0);
    ASSERT_EQ(dialogs.shown().size(), 1);
    EXPECT_TRUE(dialogs.shown()[0].prompt.startsWith("システムエラー : RecyclerDelete\r\n"));
    EXPECT_GT(dialogs.shown()[0].prompt.size(), QString("システムエラー : RecyclerDelete\r\n").size())
        << "the reason is shown";
}

TEST(ViewerRecyclerDelete, FileGoesToTheTrash)
{
    platform::testing::ScriptedDialogs dialogs;
    platform::testing::TemporaryFolder folder;
    const QString dataHome = folder.makeFolder("data");
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataHome.toUtf8());
    const QString file = folder.writeFile("home/a.txt", "text");
    const int result = RecyclerDelete(file);
    qputenv("XDG_DATA_HOME", previous);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(dialogs.shown().isEmpty());
}

} // namespace
} // namespace textcompare
