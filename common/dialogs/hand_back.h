#pragma once

#include <QString>

namespace common::dialogs {

// The answers that the separator, code-change and date-change dialogs hand back to the
// main window that opened them, read after the dialog has closed. A main window holds
// one and passes it to each of these dialogs.
struct HandBack
{
    // Separator of a CSV export with a chosen separator: the text confirmed with the
    // dialog's button (an empty text included), or "<SEPA>" when the dialog was closed
    // any other way.
    QString CsvSepaStr;
    // True only when the separator was confirmed. The export must not run without it:
    // "<SEPA>" is the dialog's starting text, not a separator the user chose.
    bool CsvSepaConfirmed = false;

    // Code conversion. Before the dialog opens: presets of the source code, the target
    // code and the line end. After it closes: the source code name, empty when each
    // file's code is to be judged; the target code name; the line-end characters (CR,
    // LF or CR LF). All three are empty when the user cancelled, so a confirmed start is
    // told by CodeChgCd2 not being empty.
    QString CodeChgCd1;
    QString CodeChgCd2;
    QString CodeChgCd3;

    // Date change: "COPY" (give each file the other side's date), or the new date and
    // time "yyyy/mm/dd hh:mm:ss"; empty when the user cancelled.
    QString DateChgDtm;
};

} // namespace common::dialogs
