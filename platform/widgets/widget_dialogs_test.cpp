#include "platform/widgets/widget_dialogs.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace platform::widgets {
namespace {

// Runs `act` on the modal dialog of type Dialog as soon as it shows.
template<typename Dialog>
void whenShown(std::function<void(Dialog *)> act, int triesLeft = 200)
{
    QTimer::singleShot(10, [act, triesLeft] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget()))
            act(dialog);
        else if (triesLeft > 0)
            whenShown<Dialog>(act, triesLeft - 1);
        else
            ADD_FAILURE() << "no dialog was shown";
    });
}

class WidgetDialogsTest : public ::testing::Test
{
protected:
    WidgetDialogs m_dialogs;
};

TEST_F(WidgetDialogsTest, InstallsItselfWhileItLives)
{
    EXPECT_EQ(&dialogs(), &m_dialogs);
    {
        WidgetDialogs inner;
        EXPECT_EQ(&dialogs(), &inner);
    }
    EXPECT_NE(&dialogs(), static_cast<UserDialogs *>(&m_dialogs));
    installDialogs(&m_dialogs);
}

TEST_F(WidgetDialogsTest, MessageBoxesShowTheClassicStylesAndAnswerTheirCodes)
{
    using Box = QMessageBox;
    const struct
    {
        const char *name;
        int style;
        QList<Box::StandardButton> buttons;
        Box::StandardButton defaultButton;
        Box::Icon icon;
        Box::StandardButton pressed; // NoButton: the box is closed
        int answer;
    } cases[] = {
        {"OK only", 0, {Box::Ok}, Box::Ok, Box::NoIcon, Box::Ok, 1},
        {"OK/Cancel with question", 1 + 32, {Box::Ok, Box::Cancel}, Box::Ok, Box::Question, Box::Cancel, 2},
        {"Abort/Retry/Ignore, third default", 2 + 16 + 512, {Box::Abort, Box::Retry, Box::Ignore}, Box::Ignore,
         Box::Critical, Box::Ignore, 5},
        {"Yes/No/Cancel, second default", 3 + 48 + 256, {Box::Yes, Box::No, Box::Cancel}, Box::No, Box::Warning,
         Box::No, 7},
        {"Yes/No with information", 4 + 64, {Box::Yes, Box::No}, Box::Yes, Box::Information, Box::Yes, 6},
        {"Yes/No closed", 4, {Box::Yes, Box::No}, Box::Yes, Box::NoIcon, Box::NoButton, 7},
        {"Yes/No/Cancel closed", 3, {Box::Yes, Box::No, Box::Cancel}, Box::Yes, Box::NoIcon, Box::NoButton, 2},
        {"Retry/Cancel", 5, {Box::Retry, Box::Cancel}, Box::Retry, Box::NoIcon, Box::Retry, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        whenShown<Box>([&](Box *box) {
            for (Box::StandardButton button : c.buttons)
                EXPECT_NE(box->button(button), nullptr);
            EXPECT_EQ(box->buttons().size(), c.buttons.size());
            EXPECT_EQ(box->defaultButton(), box->button(c.defaultButton));
            EXPECT_EQ(box->icon(), c.icon);
            if (c.pressed == Box::NoButton)
                box->close();
            else
                box->button(c.pressed)->click();
        });
        EXPECT_EQ(m_dialogs.messageBox("prompt", c.style, "title"), c.answer);
    }
}

TEST_F(WidgetDialogsTest, MessageTextBreaksLinesAndEmptyTitleNamesTheProgram)
{
    QCoreApplication::setApplicationName("Dirgleam");
    QString text, title;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        title = box->windowTitle();
        box->button(QMessageBox::Ok)->click();
    });
    m_dialogs.messageBox("ファイルが存在しません。　\r\n\r\n/tmp/<a>.txt\rend", 0, "");
    EXPECT_EQ(text, "ファイルが存在しません。　\n\n/tmp/<a>.txt\nend");
    EXPECT_EQ(title, "Dirgleam");
}

TEST_F(WidgetDialogsTest, ColourDialogWorksOnBlueGreenRedValues)
{
    QColor shown;
    whenShown<QColorDialog>([&](QColorDialog *dialog) {
        shown = dialog->currentColor();
        dialog->setCurrentColor(QColor(0xAA, 0xBB, 0xCC));
        static_cast<QDialog *>(dialog)->accept();
    });
    EXPECT_EQ(m_dialogs.chooseColor(0x332211), std::optional<quint32>(0xCCBBAA));
    EXPECT_EQ(shown, QColor(0x11, 0x22, 0x33));

    whenShown<QColorDialog>([](QColorDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(m_dialogs.chooseColor(0), std::nullopt);
}

TEST_F(WidgetDialogsTest, SaveDialogTellsTheChosenFileType)
{
    platform::testing::TemporaryFolder folder;
    const QList<FileFilter> filters = {{"Excel 97-2003", {"*.xls"}}, {"Excel", {"*.xlsx"}}, {"すべて", {"*.*"}}};
    QStringList offered;
    QString preselected;
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        offered = dialog->nameFilters();
        preselected = dialog->selectedNameFilter();
        dialog->selectNameFilter(offered[2]);
        dialog->selectFile(folder.filePath("FoldDiff.csv"));
        static_cast<QDialog *>(dialog)->accept();
    });
    const auto chosen = m_dialogs.saveFile("保存", folder.filePath("FoldDiff"), filters, 1);
    EXPECT_EQ(offered, QStringList({"Excel 97-2003 (*.xls)", "Excel (*.xlsx)", "すべて (*.*)"}));
    EXPECT_EQ(preselected, "Excel (*.xlsx)");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->path, folder.filePath("FoldDiff.csv"));
    EXPECT_EQ(chosen->filterIndex, 2);

    whenShown<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(m_dialogs.openFile("開く", folder.path(), filters, 0), std::nullopt);
}

TEST_F(WidgetDialogsTest, FolderDialogGivesTheChosenFolderOrNothing)
{
    platform::testing::TemporaryFolder folder;
    const QString chosenFolder = folder.makeFolder("chosen");
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        dialog->setDirectory(chosenFolder);
        static_cast<QDialog *>(dialog)->accept();
    });
    EXPECT_EQ(m_dialogs.browseFolder("フォルダを指定してください", folder.path()), chosenFolder);

    whenShown<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(m_dialogs.browseFolder("", folder.path()), "");
}

} // namespace
} // namespace platform::widgets
