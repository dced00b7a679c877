#include "platform/testing/test_runtime_folder.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    platform::testing::TestRuntimeFolder runtimeFolder;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
