// The commands of the line editing with its undo, of the file commands on a compared
// file, of the one-line comparison window and of the viewer's own setting dialogs. Their
// menu items, popup twins, shortcuts and enabling are in place; the commands themselves
// are not built yet, so each handler does nothing. The Excel-reading and proxy dialogs of
// the sources are not built yet either.

#include "textcompare/window/frm_linquell.h"

namespace textcompare {

void Frm_Linquell::LineText_Click()
{
}

void Frm_Linquell::LineTextE_Click()
{
}

void Frm_Linquell::LineDelete_Click()
{
}

void Frm_Linquell::LineInsert1_Click()
{
}

void Frm_Linquell::LineInsert2_Click()
{
}

void Frm_Linquell::LineCopy_Click()
{
}

void Frm_Linquell::EditRedo_Click()
{
}

void Frm_Linquell::OpenExt_Click()
{
}

void Frm_Linquell::Properties_Click()
{
}

void Frm_Linquell::DateChg_Click()
{
}

void Frm_Linquell::CodeChg_Click()
{
}

void Frm_Linquell::SetLenOfRow_Click()
{
}

void Frm_Linquell::SetDiffColor_Click()
{
}

} // namespace textcompare
