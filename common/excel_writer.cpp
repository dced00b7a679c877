#include "common/excel_writer.h"

#include "common/saved_error.h"

#include <QCoreApplication>

#include <algorithm>
#include <new>

#include <sys/mman.h>

namespace common {

const QString ExcelWriteFailedText = QStringLiteral("エクセルの書込みに失敗しました。   ");

ExcelLeftOut ExcelTableLeftOut(qint64 tableRows, const ExcelCellTable &cells, qint32 cols)
{
    ExcelLeftOut leftOut;
    leftOut.rows = std::max<qint64>(0, tableRows - ExcelMaxRows);
    const qsizetype writtenRows = std::min<qsizetype>(cells.size(), ExcelMaxRows);
    const qsizetype writtenColumns = std::clamp<qsizetype>(cols, 0, ExcelMaxColumns);
    for (qsizetype row = 0; row < writtenRows; ++row) {
        const QStringList &texts = cells[row];
        for (qsizetype column = 0; column < std::min(writtenColumns, texts.size()); ++column)
            leftOut.cutCells += texts[column].size() > platform::CellTextMaxLength ? 1 : 0;
    }
    return leftOut;
}

QString ExcelLeftOutNotice(const ExcelLeftOut &leftOut)
{
    QStringList lines;
    if (leftOut.rows > 0)
        lines.append(QStringLiteral("エクセルのシートは65,536行までのため、残りの%1行は保存していません。　").arg(leftOut.rows));
    if (leftOut.cutCells > 0)
        lines.append(
            QStringLiteral("エクセルのセルは32,767文字までのため、%1個のセルの残りの文字は保存していません。　").arg(leftOut.cutCells));
    return lines.join(QStringLiteral("\r\n"));
}

namespace {

constexpr qint32 TypeMismatchNumber = 13;
constexpr qint32 SubscriptOutOfRangeNumber = 9;
constexpr qint32 ObjectDefinedNumber = 1004;
constexpr qint32 LetterCount = 26;
constexpr qint64 WhiteColour = 0xFFFFFF;
const QString WhiteColourText = QString::number(WhiteColour);
const QString BlockFontName = QStringLiteral("ＭＳ ゴシック");
constexpr double BlockFontSize = 9;
const QString LinkSubAddress = QStringLiteral("Sheet1!A1");
constexpr qint32 LinkColumnOffset = 4; // the fifth column of the block

[[noreturn]] void fail(qint32 number, const QString &description)
{
    throw Failure(number, QCoreApplication::applicationName(), description);
}

[[noreturn]] void failTypeMismatch()
{
    fail(TypeMismatchNumber, QStringLiteral("型が一致しません。"));
}

[[noreturn]] void failSubscript()
{
    fail(SubscriptOutOfRangeNumber, QStringLiteral("インデックスが有効範囲にありません。"));
}

[[noreturn]] void failObjectDefined()
{
    fail(ObjectDefinedNumber, QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。"));
}

QString columnLetters(qint32 column)
{
    QString letters;
    while (column > 0) {
        --column;
        letters.prepend(QChar(u'A' + column % LetterCount));
        column /= LetterCount;
    }
    return letters;
}

// One part of an A1 text ("AB30") as {row, column}.
std::array<qint32, 2> parseCellName(const QString &part)
{
    const qsizetype letterCount = part.size() < 2 || part[1] < u'A' ? 1 : 2;
    if (part.size() <= letterCount)
        failTypeMismatch();
    qint32 column = 0;
    for (qsizetype i = 0; i < letterCount; ++i) {
        if (part[i] < u'A' || part[i] > u'Z')
            failTypeMismatch();
        column = column * LetterCount + (part[i].unicode() - u'A' + 1);
    }
    const QStringView digits = QStringView(part).mid(letterCount);
    if (!std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        failTypeMismatch();
    bool ok = false;
    const qint32 row = digits.toInt(&ok);
    if (!ok)
        failTypeMismatch();
    return {row, column};
}

const QString &cellText(const ExcelCellTable &cells, qint32 row, qint32 column)
{
    if (row < 0 || row >= cells.size() || column < 0 || column >= cells[row].size())
        failSubscript();
    return cells[row][column];
}

// `text` as much of it as a cell holds, a surrogate pair kept whole.
QString textThatFits(const QString &text)
{
    if (text.size() <= platform::CellTextMaxLength)
        return text;
    const qsizetype kept = text[platform::CellTextMaxLength - 1].isHighSurrogate() ? platform::CellTextMaxLength - 1
                                                                                   : platform::CellTextMaxLength;
    return text.left(kept);
}

// The workbook writer, and libxlsxwriter under it, do not survive a failed allocation:
// the library goes on without what it could not allocate and crashes. A block is written
// only when the memory it will take can be had now: about 384 bytes per cell for the cell
// records of both, and 4 bytes per character for the texts (the writer's UTF-16 and the
// library's UTF-8). Throws std::bad_alloc otherwise.
void requireMemoryForBlock(qint32 rows, qint32 cols, const ExcelCellTable &cells)
{
    constexpr qint64 BytesPerCell = 384;
    constexpr qint64 BytesPerCharacter = 4;
    qint64 bytes = BytesPerCell * std::max(rows, 0) * std::max(cols, 0);
    for (qint32 i = 0; i < rows && i < cells.size(); ++i) {
        for (qint32 j = 0; j < cols && j < cells[i].size(); ++j)
            bytes += BytesPerCharacter * cells[i][j].size();
    }
    if (bytes == 0)
        return;
    void *const room = mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (room == MAP_FAILED)
        throw std::bad_alloc();
    munmap(room, size_t(bytes));
}

quint32 colourValue(const QString &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok)
        failTypeMismatch();
    if (value < 0 || value > WhiteColour)
        failObjectDefined();
    return quint32(value);
}

} // namespace

QString RangeAddress(qint32 row1, qint32 col1, qint32 row2, qint32 col2)
{
    const QString first = row1 > 0 && col1 > 0 ? columnLetters(col1) + QString::number(row1) : QString();
    const QString second = row2 > 0 && col2 > 0 ? columnLetters(col2) + QString::number(row2) : QString();
    if (!first.isEmpty() && !second.isEmpty())
        return first + u':' + second;
    return first.isEmpty() ? second : first;
}

std::array<qint32, 4> ParseRangeAddress(const QString &address)
{
    std::array<qint32, 4> result{0, 0, 0, 0};
    if (address.isEmpty())
        return result;
    const QStringList parts = address.toUpper().split(u':');
    for (qsizetype i = 0; i < std::min<qsizetype>(parts.size(), 2); ++i) {
        const std::array<qint32, 2> cell = parseCellName(parts[i]);
        result[i * 2] = cell[0];
        result[i * 2 + 1] = cell[1];
    }
    return result;
}

platform::CellRange excelRange(qint64 row1, qint64 col1, qint64 row2, qint64 col2)
{
    const auto inSheet = [](qint64 row, qint64 column) {
        return row >= 1 && row <= platform::WorksheetMaxRows && column >= 1 && column <= platform::WorksheetMaxColumns;
    };
    if (!inSheet(row1, col1) || !inSheet(row2, col2))
        failObjectDefined();
    return platform::CellRange{int(row1 - 1), int(col1 - 1), int(row2 - 1), int(col2 - 1)};
}

platform::CellRange excelRange(const QString &address)
{
    const std::array<qint32, 4> corners = ParseRangeAddress(address);
    if (corners[2] == 0 && corners[3] == 0)
        return excelRange(corners[0], corners[1], corners[0], corners[1]);
    return excelRange(corners[0], corners[1], corners[2], corners[3]);
}

void clampExcelBlock(qint32 &rows, qint32 &cols)
{
    rows = std::min(rows, ExcelMaxRows);
    cols = std::min(cols, ExcelMaxColumns);
}

platform::Worksheet &newExcelSheet(platform::WorkbookWriter &workbook, const QString &sheet)
{
    workbook.addWorksheet(QStringLiteral("Sheet1"));
    bool ok = false;
    const int number = sheet.trimmed().toInt(&ok);
    if (!ok || number < 1 || number > workbook.worksheetCount())
        failSubscript();
    return workbook.worksheet(number - 1);
}

void writeExcelBlock(platform::Worksheet &sheet, qint32 row1, qint32 col1, qint32 rows, qint32 cols,
                     const ExcelCellTable &cells)
{
    if (rows < 1 || cols < 1)
        return;
    const platform::CellRange block = excelRange(row1, col1, qint64(row1) + rows - 1, qint64(col1) + cols - 1);
    for (qint32 i = 0; i < rows; ++i) {
        for (qint32 j = 0; j < cols; ++j)
            sheet.setValue(block.firstRow + i, block.firstColumn + j, textThatFits(cellText(cells, i, j)));
    }
    sheet.setBorders(block);
    sheet.setFontSize(block, BlockFontSize);
    sheet.setFontName(block, BlockFontName);
}

void paintExcelRowColours(platform::Worksheet &sheet, qint32 row1, qint32 col1, qint32 rows, qint32 cols,
                          const ExcelCellTable &cells)
{
    if (rows < 1 || cols < 2)
        return;
    QString colour = QStringLiteral("*");
    qint32 runStart = -1;
    qint32 runEnd = -1;
    const auto paintRun = [&] {
        sheet.setFillColor(excelRange(qint64(row1) + runStart, qint64(col1) + 1, qint64(row1) + runEnd,
                                      qint64(col1) + cols - 1),
                           colourValue(colour));
    };
    for (qint32 i = 0; i < rows; ++i) {
        const QString &rowColour = cellText(cells, i, cols);
        if (rowColour != colour) {
            if (runStart >= 0)
                paintRun();
            colour = rowColour.isEmpty() ? WhiteColourText : rowColour;
            runStart = i;
        }
        runEnd = i;
    }
    if (runStart >= 0)
        paintRun();
}

ExcelBlockSheet prepareExcelSheet(platform::WorkbookWriter &workbook, const QString &sheet, const QString &startCell,
                                  qint32 &rows, qint32 &cols, const ExcelCellTable &cells,
                                  std::initializer_list<ExcelColumnWidth> widths, int firstTextColumn,
                                  int lastTextColumn)
{
    clampExcelBlock(rows, cols);
    requireMemoryForBlock(rows, cols, cells);
    platform::Worksheet &worksheet = newExcelSheet(workbook, sheet);
    for (const ExcelColumnWidth &width : widths)
        worksheet.setColumnWidth(width.firstColumn, width.lastColumn, width.width);
    worksheet.setColumnNumberFormat(firstTextColumn, lastTextColumn, QStringLiteral("@"));
    const std::array<qint32, 4> start = ParseRangeAddress(startCell);
    writeExcelBlock(worksheet, start[0], start[1], rows, cols, cells);
    return {worksheet, start[0], start[1]};
}

void saveExcelWorkbook(const platform::WorkbookWriter &workbook, const QString &path)
{
    // The writer's own reason follows on a line of its own, so a failed export says why.
    const platform::WorkbookResult result = workbook.save(path);
    if (!result.saved)
        fail(ExcelWriteFailedNumber, ExcelWriteFailedText + QStringLiteral("\r\n") + result.error);
}

bool ExcelSave(const QString &path, const QString &sheet, const QString &startCell, qint32 rows, qint32 cols,
               const ExcelCellTable &cells, const QStringList &links)
{
    try {
        platform::WorkbookWriter workbook;
        // Columns A and B 7 wide, C and D 16, E 70; C to E as text.
        const ExcelBlockSheet block =
            prepareExcelSheet(workbook, sheet, startCell, rows, cols, cells, {{0, 1, 7}, {2, 3, 16}, {4, 4, 70}}, 2, 4);
        for (qint32 k = 0; k < links.size() && k < rows; ++k) {
            if (links[k].isEmpty())
                continue;
            const platform::CellRange cell =
                excelRange(qint64(block.row1) + k, qint64(block.col1) + LinkColumnOffset, qint64(block.row1) + k,
                           qint64(block.col1) + LinkColumnOffset);
            block.sheet.addHyperlink(cell.firstRow, cell.firstColumn, links[k], LinkSubAddress, links[k]);
        }
        paintExcelRowColours(block.sheet, block.row1, block.col1, rows, cols, cells);
        saveExcelWorkbook(workbook, path);
        return true;
    } catch (...) {
        SaveErr();
        RaiseSavedErr();
    }
}

} // namespace common
