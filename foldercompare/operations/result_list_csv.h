#pragma once

#include "foldercompare/operations/result_list_export.h"

#include <QString>

namespace foldercompare {

// The [CSV] options and the display options that shape the CSV fields.
struct CsvOptions
{
    bool doubleQuote = true; // CsvDblQuot: every grid field in double quotes
    bool sizeFit = true;     // CsvSizeFit: columns 0 to 3 padded to fixed widths
    // Width of the two date columns: 7 when they show character codes (TextCodeDsp
    // checked and Chk_Data ticked), otherwise 21 with NewDateAsta checked, else 19.
    int dateWidth = 19;
};

// The width of the date columns for the display options (see CsvOptions::dateWidth).
int CsvDateWidth(bool codesShown, bool newDateAsta);

// Number of bytes that `text` takes in code page 932: 2 for a double-byte character, 1
// for every other character (one without a form is written as the one byte "?").
int Cp932Width(QStringView text);

// A field padded with blanks (CsvSizeFit) by its Cp932Width N: column 0 right-aligned to
// width 5, column 1 centred in 4 and columns 2 and 3 centred in `dateWidth` (the smaller
// half before, (W - N) / 2 and (W + 1 - N) / 2 blanks, each rounded down); a text at or
// over its width and any further column stay as they are.
QString CsvSizeFit(const QString &text, int column, int dateWidth);

// Writes the result list as separated text in code page 932, lines ending in CR LF: the
// two path texts as they stand, then every grid row, header included, its fields joined
// by `separator` (any text, several characters or none). With sizeFit the first four
// fields are padded; with doubleQuote each field is wrapped in double quotes and a quote
// inside it doubled. Missing folders above `path` are created first; the file goes
// through a temporary file, then the per-row files follow. Nothing happens under the
// "-X" rule. Throws common::Failure when the file cannot be written (an existing file
// then stays as it was).
void BatCsvSave(const ResultListExport &source, const CsvOptions &options, const QString &path,
                const QString &separator);

} // namespace foldercompare
