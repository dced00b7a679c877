#include "textcompare/window/frm_linquell.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "textcompare/window/frm_excel.h"
#include "textcompare/window/frm_proxy_viewer.h"

namespace textcompare {

void Frm_Linquell::SetExcel_Click()
{
    try {
        Frm_Excel dialog(MaxLine, SheetNo);
        dialog.exec();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SetExcel_Click"));
    }
}

void Frm_Linquell::SetProxy_Click()
{
    try {
        Frm_Proxy dialog(Server_HTTP, Server_FTP);
        dialog.exec();
    } catch (...) {
        common::SaveErr();
        common::ShowSavedErr(QStringLiteral("SetProxy_Click"));
    }
}

} // namespace textcompare
