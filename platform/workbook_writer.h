#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace platform {

// Size of an Office Open XML worksheet, and the characters (UTF-16 units) that one cell's
// text holds.
inline constexpr int WorksheetMaxRows = 1048576;
inline constexpr int WorksheetMaxColumns = 16384;
inline constexpr qsizetype CellTextMaxLength = 32767;

// A rectangle of cells, rows and columns counted from 0, both corners included. The
// corners may come in any order: (0, 1)-(4, 0) is the same rectangle as (0, 0)-(4, 1),
// as Excel reads "B1:A5" as A1:B5.
struct CellRange
{
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;
};

// How a save went. `error` says what failed, for a developer's eyes (the programs show
// their own texts); it is empty when the workbook was saved.
struct WorkbookResult
{
    bool saved = false;
    QString error;
};

// One worksheet of a WorkbookWriter. It takes the calls that Excel's automation makes on
// a sheet and keeps their effect until the workbook is saved. Rows and columns count from
// 0 (row 0, column 0 is A1).
//
// A call with a cell or a column outside the sheet, or a text that a cell cannot hold,
// changes nothing; the worksheet keeps the first such fault and the save then fails with
// it, writing nothing.
class Worksheet
{
public:
    ~Worksheet();
    Worksheet(const Worksheet &) = delete;
    Worksheet &operator=(const Worksheet &) = delete;

    QString name() const;

    // Column width in Excel's character units (ColumnWidth): the number of "0" digits of
    // the standard font that fit, without the cell padding.
    void setColumnWidth(int firstColumn, int lastColumn, double width);

    // Number format of whole columns (NumberFormatLocal), "@" for text. Cells of those
    // columns written earlier take the format too; their values stay as they were
    // written, as in Excel, where the format decides only how later entries are read.
    void setColumnNumberFormat(int firstColumn, int lastColumn, const QString &format);

    // Enters `text` into a cell the way Excel's Value assignment does. In a cell whose
    // number format is "@" (text) the text is kept exactly. Elsewhere:
    //   - "" empties the cell (its format stays);
    //   - "=" followed by anything becomes that formula;
    //   - a leading apostrophe marks text: the cell holds the text after it;
    //   - a plain decimal number becomes a number: optional blanks (U+0020) around it,
    //     an optional sign, digits with at most one decimal point (".5" and "5." count),
    //     and an optional exponent ("1e5", "2.5E-3"); leading zeros go ("007" is 7).
    //     A number with an exponent gets the format "0.00E+00" when its cell has none,
    //     as Excel shows such entries. Numbers with more than 15 significant digits
    //     (which Excel would cut to 15) and numbers beyond the range of a double stay text;
    //   - everything else stays text, also what Excel would read as a date, a time, a
    //     percentage, a currency amount, a number with thousands separators, a fraction,
    //     a number in brackets, full-width digits or TRUE/FALSE.
    // A text longer than CellTextMaxLength characters is a fault (see above).
    void setValue(int row, int column, const QString &text);

    // A thin continuous line on every edge of every cell of the range (Borders.LineStyle
    // = 1: the outline and the inner lines).
    void setBorders(const CellRange &range);

    void setFontName(const CellRange &range, const QString &fontName);
    void setFontSize(const CellRange &range, double points);

    // Solid fill (Interior.Color) of a blue-green-red colour value: red in bits 0-7,
    // green in 8-15, blue in 16-23, as the settings files and the grid keep colours.
    void setFillColor(const CellRange &range, quint32 blueGreenRed);

    // A link on one cell (Hyperlinks.Add). `address` is a URL with a scheme ("http://",
    // "ftp://", "mailto:", "file:") or a file path, absolute ("/home/...") or relative to
    // the workbook's folder ("name_files/00000012.xlsx"); `subAddress` a place in the
    // target ("Sheet1!A1"), `screenTip` the tip shown over the link; either may be empty.
    // The cell keeps its value and format and shows as a link (blue, underlined); an
    // empty cell shows the address. A later link on the same cell replaces the earlier.
    // A sheet holds at most 65,530 links; one more is a fault, and so is a sub-address
    // or a tip longer than 255 characters or a link with neither address nor sub-address.
    void addHyperlink(int row, int column, const QString &address, const QString &subAddress,
                      const QString &screenTip);

    // A conditional format (FormatConditions.Add with a formula): cells of the range
    // whose formula is true are filled with the colour (blue-green-red). Relative
    // references in the formula are written for the range's top-left cell, e.g.
    // "=OFFSET(B4,0,2-COLUMN(B4),1,1)=\"変更\"" for a range starting at B4. Conditions
    // are checked in the order they were added, the first one added winning.
    void addFormulaCondition(const CellRange &range, const QString &formula, quint32 fillBlueGreenRed);

private:
    friend class WorkbookWriter;
    explicit Worksheet(const QString &name);

    struct Data;
    std::unique_ptr<Data> m_data;
};

// A new workbook, built in memory and written as an Office Open XML workbook (.xlsx
// content, whatever the file name) by libxlsxwriter when it is saved. It stands in for
// a new workbook of the Excel application: the cells, widths, number formats, fonts,
// borders, fills, links and conditional formats set on its sheets are what the file
// shows. Colours are given in blue-green-red order and written as RGB. The standard font
// is libxlsxwriter's (Calibri 11); column widths are measured in it.
class WorkbookWriter
{
public:
    WorkbookWriter();
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter &) = delete;
    WorkbookWriter &operator=(const WorkbookWriter &) = delete;

    // Adds a worksheet at the end. The name must be a valid sheet name (1 to 31
    // characters, none of []:*?/\) and not used yet; otherwise the save fails.
    Worksheet &addWorksheet(const QString &name);

    int worksheetCount() const;
    // The worksheet at `index`, counted from 0; `index` must be below worksheetCount().
    Worksheet &worksheet(int index);

    // Writes the workbook to exactly `path`. The file is first built in a private scratch
    // folder, then copied to the target through an AtomicFile: a temporary file in the
    // target's folder with every byte count, the sync and the closing checked, which
    // replaces the target only when all of it was written (an existing target keeps its
    // permissions; a symbolic link is followed; a device or FIFO is written into
    // directly). On any failure the target is left as it was and no temporary file stays
    // behind.
    WorkbookResult save(const QString &path) const;

private:
    std::vector<std::unique_ptr<Worksheet>> m_worksheets;
};

} // namespace platform
