#include "common/browse_for_folder.h"

#include "platform/testing/print_to.h"
#include "platform/testing/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(BrowseForFolder, ReturnsTheChosenFolder)
{
    platform::testing::ScriptedDialogs dialogs;
    dialogs.chooseNextFolder("/srv/new");
    EXPECT_EQ(BrowseForFolder("フォルダを指定してください", "/srv/old"), "/srv/new");
}

TEST(BrowseForFolder, CancelKeepsTheInitialPathOrGivesEmpty)
{
    platform::testing::ScriptedDialogs dialogs;
    EXPECT_EQ(BrowseForFolder("t", "/srv/old"), "/srv/old");
    EXPECT_EQ(BrowseForFolder("t", "/srv/old", BrowseCancel::Empty), "");
}

} // namespace
} // namespace common
