#include "textcompare/window/frm_excel.h"
#include "textcompare/window/frm_proxy_viewer.h"

#include "platform/testing/print_to.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

TEST(FrmProxyViewer, TheButtonStoresBothProxiesInMemory)
{
    QString http = "web.proxy:8080";
    QString ftp = "";
    {
        Frm_Proxy dialog(http, ftp);
        EXPECT_EQ(dialog.windowTitle(), "プロキシサーバの設定");
        EXPECT_EQ(dialog.Label1->text(), "プロキシサーバ HTTP(proxy.example.jp:8080)");
        EXPECT_EQ(dialog.Label2->text(), "プロキシサーバ FTP (proxy.example.jp:8080)");
        EXPECT_EQ(dialog.Txt_Proxy_HTTP->text(), "web.proxy:8080");
        dialog.Txt_Proxy_HTTP->setText("changed:1");
        dialog.reject();
    }
    EXPECT_EQ(http, "web.proxy:8080") << "closing keeps the old values";

    Frm_Proxy dialog(http, ftp);
    dialog.Txt_Proxy_HTTP->setText("");
    dialog.Txt_Proxy_FTP->setText(" ftp.proxy:21 ");
    dialog.Btn_Ok->click();
    EXPECT_EQ(http, "");
    EXPECT_EQ(ftp, " ftp.proxy:21 ") << "stored as typed";
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(FrmExcel, BoxesHoldNumbers)
{
    QString maxLine = "1000";
    std::array<QString, 2> sheetNo{"1", "2"};
    Frm_Excel dialog(maxLine, sheetNo);
    EXPECT_EQ(dialog.windowTitle(), "EXCELファイル読込条件の設定");
    EXPECT_EQ(dialog.Lbl_MaxLine->text(), "シートの最大行数(大きくすると遅くなります)");
    EXPECT_EQ(dialog.Lbl_SheetNo[1]->text(), "ファイル２(新)のシート番号");
    EXPECT_EQ(dialog.Txt_SheetNo[1]->text(), "2");

    const struct
    {
        const char *typed;
        const char *left;
    } cases[] = {{"2000abc", "2000"}, {"abc", "0"}, {" 12.5", "12.5"}, {"-3", "-3"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        dialog.Txt_MaxLine->setText(c.typed);
        dialog.Txt_MaxLine_Validate();
        EXPECT_EQ(dialog.Txt_MaxLine->text(), c.left);
    }
    dialog.Txt_MaxLine->setText("5000 rows");
    dialog.Txt_SheetNo[0]->setText("3rd");
    dialog.Txt_SheetNo_Validate(0);
    EXPECT_EQ(dialog.Txt_SheetNo[0]->text(), "3");
    EXPECT_EQ(maxLine, "1000") << "nothing changes before the button";
    dialog.Btn_Ok->click();
    EXPECT_EQ(maxLine, "5000");
    EXPECT_EQ(sheetNo, (std::array<QString, 2>{"3", "2"}));
}

} // namespace
} // namespace textcompare
