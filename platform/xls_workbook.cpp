#include "platform/xls_workbook.h"

#include <QFile>
#include <QList>
#include <QtEndian>

#include <freexl.h>

#include <optional>

namespace platform {

namespace {

constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 FreeSector = 0xFFFFFFFF;
constexpr qsizetype DirectoryEntryBytes = 128;
constexpr qsizetype HeaderDifatEntries = 109;

// BIFF record types read here.
constexpr quint16 RecordBof = 0x0809;
constexpr quint16 RecordEof = 0x000A;
constexpr quint16 RecordBoundSheet = 0x0085;
constexpr quint16 RecordDateMode = 0x0022;
constexpr quint16 RecordFormat = 0x041E;
constexpr quint16 RecordXf = 0x00E0;
constexpr quint16 RecordFormula = 0x0006;
constexpr quint16 RecordString = 0x0207;
constexpr quint16 RecordContinue = 0x003C;
constexpr quint16 RecordBoolErr = 0x0205;

quint16 u16(const char *at)
{
    return qFromLittleEndian<quint16>(at);
}

quint32 u32(const char *at)
{
    return qFromLittleEndian<quint32>(at);
}

QString freexlErrorText(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("the file cannot be read");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("out of memory");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return QStringLiteral("not an Excel 97-2003 workbook");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("no workbook inside");
    case FREEXL_BIFF_ILLEGAL_SHEET_INDEX:
        return QStringLiteral("no such sheet");
    case FREEXL_CRAFTED_FILE:
        return QStringLiteral("the file is damaged or crafted");
    default:
        return QStringLiteral("the file is damaged (FreeXL %1)").arg(code);
    }
}

QString errorValueText(quint8 code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    default:
        return QStringLiteral("#N/A");
    }
}

// The streams of a compound file ("structured storage"), read from its bytes. Every
// sector number and chain is checked against the file, so a damaged or crafted file
// gives an error, never a read outside it or an endless chain.
class CompoundFile
{
public:
    explicit CompoundFile(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    // The stream of the first of `names` that the root storage holds.
    std::optional<QByteArray> stream(const QStringList &names, QString &error)
    {
        if (!readHeader(error))
            return std::nullopt;
        const std::optional<QByteArray> directory = chain(m_fat, m_firstDirectorySector, m_sectorBytes, error);
        if (!directory)
            return std::nullopt;
        const char *root = directory->constData();
        if (directory->size() < DirectoryEntryBytes) {
            error = QStringLiteral("no root entry");
            return std::nullopt;
        }
        for (const QString &name : names) {
            for (qsizetype at = 0; at + DirectoryEntryBytes <= directory->size(); at += DirectoryEntryBytes) {
                const char *entry = directory->constData() + at;
                const int nameBytes = std::min<int>(u16(entry + 0x40), 64);
                if (entry[0x42] != 2 || nameBytes < 2)
                    continue;
                const QString entryName = QString::fromUtf16(reinterpret_cast<const char16_t *>(entry), nameBytes / 2 - 1);
                if (entryName.compare(name, Qt::CaseInsensitive) != 0)
                    continue;
                const quint32 start = u32(entry + 0x74);
                const quint32 size = u32(entry + 0x78);
                std::optional<QByteArray> data;
                if (size < m_miniCutoff)
                    data = miniStream(root, start, error);
                else
                    data = chain(m_fat, start, m_sectorBytes, error);
                if (!data)
                    return std::nullopt;
                if (data->size() < qsizetype(size)) {
                    error = QStringLiteral("stream %1 cut short").arg(name);
                    return std::nullopt;
                }
                data->truncate(size);
                return data;
            }
        }
        error = QStringLiteral("no workbook stream");
        return std::nullopt;
    }

private:
    bool readHeader(QString &error)
    {
        if (m_bytes.size() < 512 || !m_bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
            error = QStringLiteral("not a compound file");
            return false;
        }
        const char *header = m_bytes.constData();
        const int sectorShift = u16(header + 0x1E);
        const int miniShift = u16(header + 0x20);
        if ((sectorShift != 9 && sectorShift != 12) || miniShift != 6) {
            error = QStringLiteral("bad sector size");
            return false;
        }
        m_sectorBytes = qsizetype(1) << sectorShift;
        m_miniSectorBytes = qsizetype(1) << miniShift;
        m_firstDirectorySector = u32(header + 0x30);
        m_miniCutoff = u32(header + 0x38);
        m_firstMiniFatSector = u32(header + 0x3C);
        const quint32 fatSectors = u32(header + 0x2C);
        quint32 difatSector = u32(header + 0x44);
        QList<quint32> fatSectorList;
        for (qsizetype i = 0; i < HeaderDifatEntries && quint32(fatSectorList.size()) < fatSectors; ++i)
            fatSectorList.append(u32(header + 0x4C + 4 * i));
        const qsizetype perDifat = m_sectorBytes / 4 - 1;
        qsizetype visited = 0;
        while (quint32(fatSectorList.size()) < fatSectors && difatSector != EndOfChain && difatSector != FreeSector) {
            const char *sector = sectorAt(difatSector);
            if (!sector || ++visited > sectorCount()) {
                error = QStringLiteral("bad sector table");
                return false;
            }
            for (qsizetype i = 0; i < perDifat && quint32(fatSectorList.size()) < fatSectors; ++i)
                fatSectorList.append(u32(sector + 4 * i));
            difatSector = u32(sector + 4 * perDifat);
        }
        for (const quint32 number : fatSectorList) {
            const char *sector = sectorAt(number);
            if (!sector) {
                error = QStringLiteral("bad sector table");
                return false;
            }
            for (qsizetype i = 0; i < m_sectorBytes / 4; ++i)
                m_fat.append(u32(sector + 4 * i));
        }
        return true;
    }

    qsizetype sectorCount() const { return m_bytes.size() / m_sectorBytes; }

    const char *sectorAt(quint32 number) const
    {
        const qsizetype offset = (qsizetype(number) + 1) * m_sectorBytes;
        if (number >= 0xFFFFFFFA || offset + m_sectorBytes > m_bytes.size())
            return nullptr;
        return m_bytes.constData() + offset;
    }

    // The sectors of a chain in `table`, each `unitBytes` long, read from the file.
    std::optional<QByteArray> chain(const QList<quint32> &table, quint32 start, qsizetype unitBytes, QString &error) const
    {
        QByteArray data;
        qsizetype steps = 0;
        for (quint32 number = start; number != EndOfChain; number = table[number]) {
            const char *sector = sectorAt(number);
            if (!sector || number >= quint32(table.size()) || ++steps > table.size()) {
                error = QStringLiteral("bad sector chain");
                return std::nullopt;
            }
            data.append(sector, unitBytes);
        }
        return data;
    }

    std::optional<QByteArray> miniStream(const char *rootEntry, quint32 start, QString &error) const
    {
        const std::optional<QByteArray> container = chain(m_fat, u32(rootEntry + 0x74), m_sectorBytes, error);
        if (!container)
            return std::nullopt;
        std::optional<QByteArray> miniFatBytes;
        if (m_firstMiniFatSector != EndOfChain)
            miniFatBytes = chain(m_fat, m_firstMiniFatSector, m_sectorBytes, error);
        else
            miniFatBytes = QByteArray();
        if (!miniFatBytes)
            return std::nullopt;
        QList<quint32> miniFat;
        for (qsizetype i = 0; i + 4 <= miniFatBytes->size(); i += 4)
            miniFat.append(u32(miniFatBytes->constData() + i));
        QByteArray data;
        qsizetype steps = 0;
        for (quint32 number = start; number != EndOfChain; number = miniFat[number]) {
            const qsizetype offset = qsizetype(number) * m_miniSectorBytes;
            if (number >= quint32(miniFat.size()) || offset + m_miniSectorBytes > container->size()
                || ++steps > miniFat.size()) {
                error = QStringLiteral("bad mini sector chain");
                return std::nullopt;
            }
            data.append(container->constData() + offset, m_miniSectorBytes);
        }
        return data;
    }

    QByteArray m_bytes;
    qsizetype m_sectorBytes = 512;
    qsizetype m_miniSectorBytes = 64;
    quint32 m_firstDirectorySector = EndOfChain;
    quint32 m_firstMiniFatSector = EndOfChain;
    quint32 m_miniCutoff = 4096;
    QList<quint32> m_fat;
};

// One BIFF record: its type and its data, inside the workbook stream.
struct Record
{
    quint16 type = 0;
    const char *data = nullptr;
    qsizetype size = 0;
};

// Walks the records of a stream from `offset`; next() is false at the stream's end or at
// a record that reaches past it (then `damaged` is set).
class RecordWalk
{
public:
    RecordWalk(const QByteArray &stream, qsizetype offset) : m_stream(stream), m_at(offset) {}
    bool next(Record &record)
    {
        if (m_at + 4 > m_stream.size())
            return false;
        const char *head = m_stream.constData() + m_at;
        record = {u16(head), head + 4, u16(head + 2)};
        if (m_at + 4 + record.size > m_stream.size()) {
            damaged = true;
            return false;
        }
        m_at += 4 + record.size;
        return true;
    }
    bool damaged = false;

private:
    const QByteArray &m_stream;
    qsizetype m_at;
};

// An XLUnicodeString spread over `parts` (a record and the CONTINUE records after it):
// a 16-bit character count, a flag byte (bit 0: two bytes per character), the
// characters; each further part starts with its own flag byte. `at` is where the count
// stands in the first part.
std::optional<QString> unicodeString(const QList<QByteArrayView> &parts, qsizetype at)
{
    if (parts.isEmpty() || parts[0].size() < at + 3)
        return std::nullopt;
    qsizetype left = u16(parts[0].data() + at);
    bool wide = parts[0][at + 2] & 1;
    qsizetype position = at + 3;
    QString text;
    for (qsizetype part = 0; left > 0;) {
        const QByteArrayView data = parts[part];
        const qsizetype width = wide ? 2 : 1;
        const qsizetype fits = std::min(left, (data.size() - position) / width);
        for (qsizetype i = 0; i < fits; ++i) {
            const char *character = data.data() + position + i * width;
            text.append(QChar(wide ? u16(character) : quint8(*character)));
        }
        left -= fits;
        if (left == 0)
            break;
        if (++part >= parts.size() || parts[part].isEmpty())
            return std::nullopt;
        wide = parts[part][0] & 1;
        position = 1;
    }
    return text;
}

} // namespace

struct XlsWorkbook::Records
{
    struct Sheet
    {
        quint32 offset = 0;
        quint8 kind = 0; // 0 worksheet
    };
    QByteArray stream;
    bool biff8 = true;
    bool dates1904 = false;
    QList<Sheet> sheets;
    QList<int> xfFormats;
    QHash<int, QString> formats;
};

namespace {

// Reads the globals: sheets, date mode, number formats and the format of each XF.
bool scanGlobals(XlsWorkbook::Records &records, QString &error)
{
    RecordWalk walk(records.stream, 0);
    Record record;
    while (walk.next(record)) {
        if (record.type == RecordBof && record.size >= 2)
            records.biff8 = u16(record.data) == 0x0600;
        else if (record.type == RecordBoundSheet && record.size >= 6)
            records.sheets.append({u32(record.data), quint8(record.data[5])});
        else if (record.type == RecordDateMode && record.size >= 2)
            records.dates1904 = u16(record.data) == 1;
        else if (record.type == RecordXf && record.size >= 4)
            records.xfFormats.append(u16(record.data + 2));
        else if (record.type == RecordFormat && records.biff8 && record.size >= 2) {
            if (const std::optional<QString> code = unicodeString({QByteArrayView(record.data, record.size)}, 2))
                records.formats.insert(u16(record.data), *code);
        } else if (record.type == RecordEof)
            break;
    }
    if (walk.damaged)
        error = QStringLiteral("a record reaches past the workbook's end");
    return !walk.damaged;
}

// Reads the formula, boolean and error cells of the sheet whose BOF stands at `offset`.
bool scanSheetCells(const XlsWorkbook::Records &records, quint32 offset, QHash<quint64, XlsCell> &cells,
                    QString &error)
{
    RecordWalk walk(records.stream, offset);
    Record record;
    int depth = 0;
    std::optional<quint64> pendingString;
    QList<QByteArrayView> stringParts;
    auto finishString = [&]() -> bool {
        if (!pendingString || stringParts.isEmpty())
            return true;
        const std::optional<QString> text = unicodeString(stringParts, 0);
        if (!text)
            return false;
        XlsCell &cell = cells[*pendingString];
        cell.kind = XlsCell::Kind::Text;
        cell.text = *text;
        pendingString.reset();
        stringParts.clear();
        return true;
    };
    auto keyOf = [](const char *data) { return (quint64(u16(data)) << 16) | u16(data + 2); };
    auto formatOf = [&](XlsCell &cell, const char *data) {
        const int xf = u16(data + 4);
        cell.formatIndex = xf < records.xfFormats.size() ? records.xfFormats[xf] : 0;
        cell.formatCode = records.formats.value(cell.formatIndex);
    };
    while (walk.next(record)) {
        if (record.type != RecordContinue && !stringParts.isEmpty() && !finishString()) {
            error = QStringLiteral("a formula's text cannot be read");
            return false;
        }
        if (record.type == RecordBof) {
            ++depth;
        } else if (record.type == RecordEof) {
            if (--depth <= 0)
                break;
        } else if (depth != 1) {
            continue;
        } else if (record.type == RecordFormula && record.size >= 14) {
            const quint64 key = keyOf(record.data);
            const char *result = record.data + 6;
            XlsCell cell;
            if (u16(result + 6) != 0xFFFF) {
                cell.kind = XlsCell::Kind::Number;
                cell.number = qFromLittleEndian<double>(result);
                formatOf(cell, record.data);
            } else if (result[0] == 0) {
                if (!records.biff8) {
                    error = QStringLiteral("formula texts of this old format cannot be read");
                    return false;
                }
                pendingString = key;
            } else if (result[0] == 1) {
                cell.kind = XlsCell::Kind::Boolean;
                cell.number = result[2] ? 1 : 0;
            } else if (result[0] == 2) {
                cell.kind = XlsCell::Kind::Error;
                cell.text = errorValueText(quint8(result[2]));
            }
            cells.insert(key, cell);
        } else if (record.type == RecordString && pendingString) {
            stringParts = {QByteArrayView(record.data, record.size)};
        } else if (record.type == RecordContinue && !stringParts.isEmpty()) {
            stringParts.append(QByteArrayView(record.data, record.size));
        } else if (record.type == RecordBoolErr && record.size >= 8) {
            XlsCell cell;
            if (record.data[7]) {
                cell.kind = XlsCell::Kind::Error;
                cell.text = errorValueText(quint8(record.data[6]));
            } else {
                cell.kind = XlsCell::Kind::Boolean;
                cell.number = record.data[6] ? 1 : 0;
            }
            cells.insert(keyOf(record.data), cell);
        }
    }
    if (walk.damaged || !finishString()) {
        error = QStringLiteral("a record reaches past the workbook's end");
        return false;
    }
    return true;
}

} // namespace

void XlsWorkbook::Closer::operator()(const void *handle) const
{
    freexl_close(handle);
}

XlsWorkbook::XlsWorkbook() = default;
XlsWorkbook::~XlsWorkbook() = default;

bool XlsWorkbook::open(const QString &path)
{
    const void *handle = nullptr;
    const int opened = freexl_open(QFile::encodeName(path).constData(), &handle);
    if (opened != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        m_error = freexlErrorText(opened);
        return false;
    }
    m_handle.reset(handle);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return false;
    }
    auto records = std::make_unique<Records>();
    CompoundFile compound(file.readAll());
    std::optional<QByteArray> stream = compound.stream({QStringLiteral("Workbook"), QStringLiteral("Book")}, m_error);
    if (!stream)
        return false;
    records->stream = std::move(*stream);
    if (!scanGlobals(*records, m_error))
        return false;
    m_dates1904 = records->dates1904;
    m_records = std::move(records);
    return true;
}

int XlsWorkbook::sheetCount() const
{
    if (!m_records)
        return 0;
    return int(std::count_if(m_records->sheets.begin(), m_records->sheets.end(),
                             [](const Records::Sheet &sheet) { return sheet.kind == 0; }));
}

bool XlsWorkbook::selectSheet(int index)
{
    if (!m_records || index < 0 || index >= sheetCount()) {
        m_error = freexlErrorText(FREEXL_BIFF_ILLEGAL_SHEET_INDEX);
        return false;
    }
    // The index among all sheets, and among the worksheets: FreeXL counts one of them.
    int all = 0;
    for (int worksheets = -1;; ++all) {
        if (m_records->sheets[all].kind == 0 && ++worksheets == index)
            break;
    }
    unsigned int freexlSheets = 0;
    freexl_get_info(m_handle.get(), FREEXL_BIFF_SHEET_COUNT, &freexlSheets);
    const int freexlIndex = int(freexlSheets) == m_records->sheets.size() ? all : index;
    int result = freexl_select_active_worksheet(m_handle.get(), quint16(freexlIndex));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (result == FREEXL_OK)
        result = freexl_worksheet_dimensions(m_handle.get(), &rows, &columns);
    if (result != FREEXL_OK) {
        m_error = freexlErrorText(result);
        return false;
    }
    m_formulaCells.clear();
    if (!scanSheetCells(*m_records, m_records->sheets[all].offset, m_formulaCells, m_error))
        return false;
    for (auto it = m_formulaCells.cbegin(); it != m_formulaCells.cend(); ++it) {
        rows = std::max<unsigned int>(rows, quint32(it.key() >> 16) + 1);
        columns = std::max<unsigned short>(columns, quint16(it.key() & 0xFFFF) + 1);
    }
    m_rows = rows;
    m_columns = columns;
    return true;
}

bool XlsWorkbook::cell(quint32 row, quint16 column, XlsCell &value)
{
    value = XlsCell();
    const auto formula = m_formulaCells.constFind((quint64(row) << 16) | column);
    if (formula != m_formulaCells.cend()) {
        value = *formula;
        return true;
    }
    FreeXL_CellValue cell;
    const int result = freexl_get_cell_value(m_handle.get(), row, column, &cell);
    if (result == FREEXL_ILLEGAL_CELL_ROW_COL)
        return true;
    if (result != FREEXL_OK) {
        m_error = freexlErrorText(result);
        return false;
    }
    switch (cell.type) {
    case FREEXL_CELL_INT:
        value.kind = XlsCell::Kind::Number;
        value.number = cell.value.int_value;
        break;
    case FREEXL_CELL_DOUBLE:
        value.kind = XlsCell::Kind::Number;
        value.number = cell.value.double_value;
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        value.kind = XlsCell::Kind::Text;
        value.text = QString::fromUtf8(cell.value.text_value);
        break;
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        value.kind = XlsCell::Kind::Date;
        value.text = QString::fromUtf8(cell.value.text_value);
        break;
    default:
        break;
    }
    return true;
}

} // namespace platform
