#include "platform/widgets/qt_translation.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

namespace platform::widgets {
namespace {

TEST(QtTranslation, StandardButtonsReadJapanese)
{
    if (!QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).exists(QStringLiteral("qtbase_ja.qm")))
        GTEST_SKIP() << "Qt's Japanese translation is not installed";
    QTranslator *translator = installQtJapanese();
    ASSERT_NE(translator, nullptr);
    const struct
    {
        QMessageBox::StandardButton button;
        const char *text;
    } cases[] = {
        {QMessageBox::Yes, "はい"},
        {QMessageBox::No, "いいえ"},
        {QMessageBox::Cancel, "キャンセル"},
    };
    QMessageBox box;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        // With its access key behind: "はい(&Y)".
        const QString text = box.addButton(c.button)->text();
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.text))) << text.toStdString();
    }
    // The other tests of this program expect Qt's own texts.
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

} // namespace
} // namespace platform::widgets
