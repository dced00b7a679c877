#include "platform/workbook_writer.h"

#include "platform/atomic_file.h"
#include "platform/bgr_color.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <new>
#include <optional>

#include <xlsxwriter.h>

namespace platform {

namespace {

constexpr qsizetype LinksPerSheetMax = 65530;
constexpr qsizetype LinkTextMaxLength = 255; // of a sub-address and of a tip
constexpr double ColumnWidthMax = 255;
constexpr int MostSignificantDigits = 15;
const QString TextFormat = QStringLiteral("@");
const QString ScientificFormat = QStringLiteral("0.00E+00");
constexpr quint32 LinkFontRgb = 0x0000FF;
constexpr qint64 CopyChunkBytes = 1 << 20;

// Everything that a cell's format holds. Empty texts, size 0 and no fill are the
// standard font and format.
struct CellStyle
{
    QString numberFormat;
    QString fontName;
    double fontSize = 0;
    bool borders = false;
    bool filled = false;
    quint32 fillRgb = 0;
    bool link = false; // blue and underlined

    friend bool operator==(const CellStyle &, const CellStyle &) = default;
};

size_t qHash(const CellStyle &style, size_t seed = 0)
{
    return qHashMulti(seed, style.numberFormat, style.fontName, style.fontSize, style.borders, style.filled,
                      style.fillRgb, style.link);
}

enum class CellKind { Blank, Text, Number, Formula };

struct Cell
{
    CellKind kind = CellKind::Blank;
    QString text; // the text, or the formula without its "="
    double number = 0;
    CellStyle style;
};

struct Link
{
    QString address;
    QString subAddress;
    QString screenTip;
};

// Width below 0: not set.
struct Column
{
    double width = -1;
    QString numberFormat;

    friend bool operator==(const Column &, const Column &) = default;
};

struct Condition
{
    CellRange range;
    QString formula;
    quint32 fillRgb = 0;
};

quint64 cellKey(int row, int column)
{
    return (quint64(quint32(row)) << 32) | quint32(column);
}

int keyRow(quint64 key)
{
    return int(key >> 32);
}

int keyColumn(quint64 key)
{
    return int(key & 0xFFFFFFFFu);
}

// libxlsxwriter reads colour 0 as "not set" and wants black as a value of its own.
lxw_color_t lxwColor(quint32 rgb)
{
    return rgb == 0 ? lxw_color_t(LXW_COLOR_BLACK) : lxw_color_t(rgb);
}

struct EnteredNumber
{
    double value = 0;
    bool exponent = false;
};

// The number that Excel reads from an entry, under the rules listed at setValue().
std::optional<EnteredNumber> enteredNumber(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;

    QByteArray ascii;
    ascii.reserve(end - begin);
    QByteArray digits;
    qsizetype at = begin;
    const auto isDigit = [&](qsizetype index) { return index < end && text[index] >= u'0' && text[index] <= u'9'; };
    if (at < end && (text[at] == u'+' || text[at] == u'-')) {
        if (text[at] == u'-')
            ascii += '-';
        ++at;
    }
    for (; isDigit(at); ++at)
        digits += char(text[at].unicode());
    ascii += digits;
    if (at < end && text[at] == u'.') {
        ascii += '.';
        for (++at; isDigit(at); ++at) {
            digits += char(text[at].unicode());
            ascii += char(text[at].unicode());
        }
    }
    if (digits.isEmpty())
        return std::nullopt;

    EnteredNumber number;
    if (at < end && (text[at] == u'e' || text[at] == u'E')) {
        ascii += 'e';
        ++at;
        if (at < end && (text[at] == u'+' || text[at] == u'-'))
            ascii += char(text[at++].unicode());
        if (!isDigit(at))
            return std::nullopt;
        for (; isDigit(at); ++at)
            ascii += char(text[at].unicode());
        number.exponent = true;
    }
    if (at != end)
        return std::nullopt;

    qsizetype first = 0;
    while (first < digits.size() && digits[first] == '0')
        ++first;
    qsizetype last = digits.size();
    while (last > first && digits[last - 1] == '0')
        --last;
    if (last - first > MostSignificantDigits)
        return std::nullopt;

    const auto [rest, error] = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), number.value);
    if (error != std::errc() || rest != ascii.constData() + ascii.size() || !std::isfinite(number.value))
        return std::nullopt;
    if (number.value != 0 && std::fpclassify(number.value) == FP_SUBNORMAL)
        return std::nullopt;
    if (number.value == 0)
        number.value = 0; // no negative zero
    return number;
}

// Excel reads "_x" + four hex digits + "_" in a stored text as an escaped character; a
// text that holds such a run literally is stored with its "_" escaped as "_x005F_".
QString escapeStoredText(const QString &text)
{
    if (!text.contains(QLatin1String("_x"), Qt::CaseInsensitive))
        return text;
    static const QRegularExpression escapeLike(QStringLiteral("(_[xX][0-9A-Fa-f]{4}_)"));
    QString escaped = text;
    return escaped.replace(escapeLike, QStringLiteral("_x005F\\1"));
}

bool hasScheme(const QString &address)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(address).hasMatch();
}

// A file path as the path of a URI: ASCII characters that a path may not hold as they
// are (blanks, "%", "#", "?", ":", ...) become %XX; other characters stay, as Excel
// writes them.
QString escapedPath(const QString &path)
{
    static const QByteArray plain("-._~/!$&'()*+,;=@");
    QString escaped;
    escaped.reserve(path.size());
    for (const QChar character : path) {
        const char16_t unit = character.unicode();
        const bool asIs = unit >= 0x80 || (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z')
                          || (unit >= u'0' && unit <= u'9') || plain.contains(char(unit));
        if (asIs)
            escaped += character;
        else
            escaped += QStringLiteral("%%1").arg(unit, 2, 16, QLatin1Char('0')).toUpper();
    }
    return escaped;
}

// The link in libxlsxwriter's notation. Its "external:" form would turn "/" into "\",
// so file paths are given as relative URI references or file:// URLs instead.
QString lxwLinkUrl(const Link &link)
{
    if (link.address.isEmpty())
        return QStringLiteral("internal:") + link.subAddress;
    QString url;
    if (hasScheme(link.address))
        url = link.address;
    else if (link.address.startsWith(u'/'))
        url = QStringLiteral("file://") + escapedPath(link.address);
    else
        url = escapedPath(link.address);
    if (!link.subAddress.isEmpty())
        url += u'#' + link.subAddress;
    return url;
}

QString lxwErrorText(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

// The formats of one libxlsxwriter workbook, one per distinct style.
class FormatCache
{
public:
    explicit FormatCache(lxw_workbook *workbook) : m_workbook(workbook) {}

    // nullptr for the standard format.
    lxw_format *cellFormat(const CellStyle &style)
    {
        if (style == CellStyle())
            return nullptr;
        lxw_format *&format = m_cellFormats[style];
        if (!format) {
            format = newFormat();
            if (!style.numberFormat.isEmpty())
                format_set_num_format(format, style.numberFormat.toUtf8().constData());
            if (!style.fontName.isEmpty())
                format_set_font_name(format, style.fontName.toUtf8().constData());
            if (style.fontSize > 0)
                format_set_font_size(format, style.fontSize);
            if (style.borders)
                format_set_border(format, LXW_BORDER_THIN);
            if (style.filled) {
                format_set_pattern(format, LXW_PATTERN_SOLID);
                format_set_bg_color(format, lxwColor(style.fillRgb));
            }
            if (style.link) {
                format_set_font_color(format, lxwColor(LinkFontRgb));
                format_set_underline(format, LXW_UNDERLINE_SINGLE);
            }
        }
        return format;
    }

    lxw_format *conditionFormat(quint32 fillRgb)
    {
        lxw_format *&format = m_conditionFormats[fillRgb];
        if (!format) {
            format = newFormat();
            format_set_bg_color(format, lxwColor(fillRgb));
        }
        return format;
    }

private:
    lxw_format *newFormat()
    {
        lxw_format *format = workbook_add_format(m_workbook);
        if (!format)
            throw std::bad_alloc();
        return format;
    }

    lxw_workbook *m_workbook;
    QHash<CellStyle, lxw_format *> m_cellFormats;
    QHash<quint32, lxw_format *> m_conditionFormats;
};

// A libxlsxwriter workbook writing to `file`, its scratch files in `scratchFolder`;
// freed with the object unless it was closed.
class LxwWorkbook
{
public:
    LxwWorkbook(const QString &file, const QString &scratchFolder)
        : m_scratchFolder(QFile::encodeName(scratchFolder))
    {
        lxw_workbook_options options{};
        options.tmpdir = m_scratchFolder.data();
        m_workbook = workbook_new_opt(QFile::encodeName(file).constData(), &options);
    }
    ~LxwWorkbook()
    {
        if (m_workbook)
            lxw_workbook_free(m_workbook);
    }
    LxwWorkbook(const LxwWorkbook &) = delete;
    LxwWorkbook &operator=(const LxwWorkbook &) = delete;

    lxw_workbook *get() const { return m_workbook; }

    // Writes the file and frees the workbook.
    lxw_error close() { return workbook_close(std::exchange(m_workbook, nullptr)); }

private:
    QByteArray m_scratchFolder;
    lxw_workbook *m_workbook = nullptr;
};

// Copies `from` into `to` through an AtomicFile, which replaces `to` only when every
// byte was written, synced and closed.
WorkbookResult replaceFile(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("cannot read the built workbook: ") + source.errorString()};
    AtomicFile target(to);
    const auto failed = [&to, &target] {
        return WorkbookResult{false, QStringLiteral("cannot write %1: %2").arg(to, target.errorString())};
    };
    if (!target.open())
        return failed();
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(CopyChunkBytes);
        if (chunk.isEmpty()) {
            target.cancel();
            return {false, QStringLiteral("cannot read the built workbook: ") + source.errorString()};
        }
        if (!target.write(chunk))
            return failed();
    }
    if (!target.commit())
        return failed();
    return {true, QString()};
}

} // namespace

struct Worksheet::Data
{
    QString name;
    QHash<quint64, Cell> cells;
    QHash<quint64, Link> links;
    std::map<int, Column> columns;
    std::vector<Condition> conditions;
    QString fault;

    void fail(const QString &text)
    {
        if (fault.isEmpty())
            fault = text;
    }

    bool checkCell(int row, int column)
    {
        if (row >= 0 && row < WorksheetMaxRows && column >= 0 && column < WorksheetMaxColumns)
            return true;
        fail(QStringLiteral("cell (%1, %2) is outside the sheet").arg(row).arg(column));
        return false;
    }

    bool checkColumns(int first, int last)
    {
        if (first >= 0 && last >= first && last < WorksheetMaxColumns)
            return true;
        fail(QStringLiteral("columns %1 to %2 are outside the sheet").arg(first).arg(last));
        return false;
    }

    std::optional<CellRange> normalized(const CellRange &range)
    {
        const CellRange ordered{std::min(range.firstRow, range.lastRow), std::min(range.firstColumn, range.lastColumn),
                                std::max(range.firstRow, range.lastRow), std::max(range.firstColumn, range.lastColumn)};
        if (!checkCell(ordered.firstRow, ordered.firstColumn) || !checkCell(ordered.lastRow, ordered.lastColumn))
            return std::nullopt;
        return ordered;
    }

    // The cell, created empty with its column's format when it is not there yet.
    Cell &cellAt(int row, int column)
    {
        const auto found = cells.find(cellKey(row, column));
        if (found != cells.end())
            return *found;
        Cell cell;
        const auto formatted = columns.find(column);
        if (formatted != columns.end())
            cell.style.numberFormat = formatted->second.numberFormat;
        return *cells.insert(cellKey(row, column), cell);
    }

    template <typename Change>
    void changeStyles(const CellRange &range, Change change)
    {
        const std::optional<CellRange> cellsOf = normalized(range);
        if (!cellsOf)
            return;
        for (int row = cellsOf->firstRow; row <= cellsOf->lastRow; ++row) {
            for (int column = cellsOf->firstColumn; column <= cellsOf->lastColumn; ++column)
                change(cellAt(row, column).style);
        }
    }

    QString writeInto(lxw_workbook *workbook, FormatCache &formats) const;
    QString writeColumns(lxw_worksheet *sheet, FormatCache &formats) const;
    QString writeCells(lxw_worksheet *sheet, FormatCache &formats) const;
    QString writeConditions(lxw_worksheet *sheet, FormatCache &formats) const;
};

QString Worksheet::Data::writeInto(lxw_workbook *workbook, FormatCache &formats) const
{
    const QByteArray sheetName = name.toUtf8();
    if (const lxw_error error = workbook_validate_sheet_name(workbook, sheetName.constData()))
        return QStringLiteral("sheet name \"%1\": %2").arg(name, lxwErrorText(error));
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, sheetName.constData());
    if (!sheet)
        return QStringLiteral("sheet \"%1\" could not be added").arg(name);
    QString error = writeColumns(sheet, formats);
    if (error.isEmpty())
        error = writeCells(sheet, formats);
    if (error.isEmpty())
        error = writeConditions(sheet, formats);
    return error.isEmpty() ? error : name + QStringLiteral(": ") + error;
}

QString Worksheet::Data::writeColumns(lxw_worksheet *sheet, FormatCache &formats) const
{
    for (auto run = columns.begin(); run != columns.end();) {
        auto next = std::next(run);
        int last = run->first;
        while (next != columns.end() && next->first == last + 1 && next->second == run->second) {
            last = next->first;
            ++next;
        }
        const Column &column = run->second;
        CellStyle style;
        style.numberFormat = column.numberFormat;
        const double width = column.width < 0 ? LXW_DEF_COL_WIDTH : column.width;
        if (const lxw_error error = worksheet_set_column(sheet, lxw_col_t(run->first), lxw_col_t(last), width,
                                                         formats.cellFormat(style)))
            return QStringLiteral("columns %1 to %2: %3").arg(run->first).arg(last).arg(lxwErrorText(error));
        run = next;
    }
    return QString();
}

QString Worksheet::Data::writeCells(lxw_worksheet *sheet, FormatCache &formats) const
{
    // In row order, which libxlsxwriter stores faster than any other order.
    QList<quint64> keys = cells.keys();
    std::sort(keys.begin(), keys.end());
    for (const quint64 key : keys) {
        const lxw_row_t row = lxw_row_t(keyRow(key));
        const lxw_col_t column = lxw_col_t(keyColumn(key));
        const Cell &cell = *cells.constFind(key);
        const auto link = links.constFind(key);
        CellStyle style = cell.style;
        style.link = link != links.cend();
        lxw_format *format = formats.cellFormat(style);

        lxw_error error = LXW_NO_ERROR;
        if (style.link) {
            // The link writes its display text into the cell; a number or a formula is
            // written over that text afterwards and keeps the link.
            const QString display = cell.kind == CellKind::Text ? cell.text : link->address;
            const QByteArray url = lxwLinkUrl(*link).toUtf8();
            const QByteArray shown = escapeStoredText(display).toUtf8();
            const QByteArray tip = link->screenTip.toUtf8();
            error = worksheet_write_url_opt(sheet, row, column, url.constData(), format, shown.constData(),
                                            tip.isEmpty() ? nullptr : tip.constData());
        }
        if (!error) {
            switch (cell.kind) {
            case CellKind::Blank:
                if (!style.link)
                    error = worksheet_write_blank(sheet, row, column, format);
                break;
            case CellKind::Text:
                if (!style.link)
                    error = worksheet_write_string(sheet, row, column, escapeStoredText(cell.text).toUtf8().constData(),
                                                   format);
                break;
            case CellKind::Number:
                error = worksheet_write_number(sheet, row, column, cell.number, format);
                break;
            case CellKind::Formula:
                error = worksheet_write_formula(sheet, row, column, cell.text.toUtf8().constData(), format);
                break;
            }
        }
        if (error)
            return QStringLiteral("cell (%1, %2): %3").arg(row).arg(column).arg(lxwErrorText(error));
    }
    return QString();
}

QString Worksheet::Data::writeConditions(lxw_worksheet *sheet, FormatCache &formats) const
{
    for (const Condition &condition : conditions) {
        QByteArray formula = condition.formula.toUtf8();
        lxw_conditional_format rule{};
        rule.type = LXW_CONDITIONAL_TYPE_FORMULA;
        rule.value_string = formula.data();
        rule.format = formats.conditionFormat(condition.fillRgb);
        const CellRange &range = condition.range;
        if (const lxw_error error = worksheet_conditional_format_range(
                sheet, lxw_row_t(range.firstRow), lxw_col_t(range.firstColumn), lxw_row_t(range.lastRow),
                lxw_col_t(range.lastColumn), &rule))
            return QStringLiteral("conditional format %1: %2").arg(condition.formula, lxwErrorText(error));
    }
    return QString();
}

Worksheet::Worksheet(const QString &name) : m_data(std::make_unique<Data>())
{
    m_data->name = name;
}

Worksheet::~Worksheet() = default;

QString Worksheet::name() const
{
    return m_data->name;
}

void Worksheet::setColumnWidth(int firstColumn, int lastColumn, double width)
{
    if (!m_data->checkColumns(firstColumn, lastColumn))
        return;
    if (!(width >= 0 && width <= ColumnWidthMax)) {
        m_data->fail(QStringLiteral("column width %1 is outside 0 to 255").arg(width));
        return;
    }
    for (int column = firstColumn; column <= lastColumn; ++column)
        m_data->columns[column].width = width;
}

void Worksheet::setColumnNumberFormat(int firstColumn, int lastColumn, const QString &format)
{
    if (!m_data->checkColumns(firstColumn, lastColumn))
        return;
    for (int column = firstColumn; column <= lastColumn; ++column)
        m_data->columns[column].numberFormat = format;
    for (auto it = m_data->cells.begin(); it != m_data->cells.end(); ++it) {
        const int column = keyColumn(it.key());
        if (column >= firstColumn && column <= lastColumn)
            it->style.numberFormat = format;
    }
}

void Worksheet::setValue(int row, int column, const QString &text)
{
    if (!m_data->checkCell(row, column))
        return;
    if (text.size() > CellTextMaxLength) {
        m_data->fail(QStringLiteral("cell (%1, %2): a text of %3 characters is longer than a cell holds")
                         .arg(row)
                         .arg(column)
                         .arg(text.size()));
        return;
    }
    if (text.isEmpty() && !m_data->cells.contains(cellKey(row, column)))
        return;

    Cell &cell = m_data->cellAt(row, column);
    cell.kind = CellKind::Text;
    cell.text = text;
    cell.number = 0;
    if (cell.style.numberFormat == TextFormat) {
        // kept as it is
    } else if (text.startsWith(u'\'')) {
        cell.text = text.mid(1);
    } else if (text.startsWith(u'=') && text.size() > 1) {
        cell.kind = CellKind::Formula;
        cell.text = text.mid(1);
    } else if (const std::optional<EnteredNumber> number = enteredNumber(text)) {
        cell.kind = CellKind::Number;
        cell.text.clear();
        cell.number = number->value;
        if (number->exponent && cell.style.numberFormat.isEmpty())
            cell.style.numberFormat = ScientificFormat;
    }
    if (cell.kind == CellKind::Text && cell.text.isEmpty())
        cell.kind = CellKind::Blank;
}

void Worksheet::setBorders(const CellRange &range)
{
    m_data->changeStyles(range, [](CellStyle &style) { style.borders = true; });
}

void Worksheet::setFontName(const CellRange &range, const QString &fontName)
{
    m_data->changeStyles(range, [&](CellStyle &style) { style.fontName = fontName; });
}

void Worksheet::setFontSize(const CellRange &range, double points)
{
    if (!(points >= 1 && points <= 409)) {
        m_data->fail(QStringLiteral("font size %1 is outside 1 to 409").arg(points));
        return;
    }
    m_data->changeStyles(range, [&](CellStyle &style) { style.fontSize = points; });
}

void Worksheet::setFillColor(const CellRange &range, quint32 blueGreenRed)
{
    const quint32 rgb = rgbFromBgr(blueGreenRed);
    m_data->changeStyles(range, [&](CellStyle &style) {
        style.filled = true;
        style.fillRgb = rgb;
    });
}

void Worksheet::addHyperlink(int row, int column, const QString &address, const QString &subAddress,
                             const QString &screenTip)
{
    if (!m_data->checkCell(row, column))
        return;
    const quint64 key = cellKey(row, column);
    if (!m_data->links.contains(key) && m_data->links.size() >= LinksPerSheetMax) {
        m_data->fail(QStringLiteral("more than %1 links on one sheet").arg(LinksPerSheetMax));
        return;
    }
    if (address.isEmpty() && subAddress.isEmpty()) {
        m_data->fail(QStringLiteral("cell (%1, %2): a link without a target").arg(row).arg(column));
        return;
    }
    if (subAddress.size() > LinkTextMaxLength || screenTip.size() > LinkTextMaxLength) {
        m_data->fail(QStringLiteral("cell (%1, %2): a link place or tip longer than 255 characters").arg(row).arg(column));
        return;
    }
    m_data->cellAt(row, column);
    m_data->links.insert(key, Link{address, subAddress, screenTip});
}

void Worksheet::addFormulaCondition(const CellRange &range, const QString &formula, quint32 fillBlueGreenRed)
{
    const std::optional<CellRange> cellsOf = m_data->normalized(range);
    if (!cellsOf)
        return;
    m_data->conditions.push_back(Condition{*cellsOf, formula, rgbFromBgr(fillBlueGreenRed)});
}

WorkbookWriter::WorkbookWriter() = default;

WorkbookWriter::~WorkbookWriter() = default;

Worksheet &WorkbookWriter::addWorksheet(const QString &name)
{
    m_worksheets.push_back(std::unique_ptr<Worksheet>(new Worksheet(name)));
    return *m_worksheets.back();
}

int WorkbookWriter::worksheetCount() const
{
    return int(m_worksheets.size());
}

Worksheet &WorkbookWriter::worksheet(int index)
{
    return *m_worksheets.at(size_t(index));
}

WorkbookResult WorkbookWriter::save(const QString &path) const
{
    for (const auto &sheet : m_worksheets) {
        if (!sheet->m_data->fault.isEmpty())
            return {false, sheet->name() + QStringLiteral(": ") + sheet->m_data->fault};
    }
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        return {false, QStringLiteral("no scratch folder: ") + scratch.errorString()};
    const QString built = scratch.filePath(QStringLiteral("workbook.xlsx"));
    {
        LxwWorkbook workbook(built, scratch.path());
        if (!workbook.get())
            return {false, QStringLiteral("libxlsxwriter could not start a workbook")};
        FormatCache formats(workbook.get());
        for (const auto &sheet : m_worksheets) {
            const QString error = sheet->m_data->writeInto(workbook.get(), formats);
            if (!error.isEmpty())
                return {false, error};
        }
        if (const lxw_error error = workbook.close())
            return {false, QStringLiteral("building the workbook: ") + lxwErrorText(error)};
    }
    return replaceFile(built, path);
}

} // namespace platform
