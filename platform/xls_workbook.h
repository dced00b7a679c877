#pragma once

#include <QHash>
#include <QString>

#include <memory>

namespace platform {

// One cell of a legacy (.xls) workbook as the file holds it.
struct XlsCell
{
    enum class Kind {
        Empty,
        Number,  // `number`; `formatIndex` and `formatCode` tell its number format
        Text,    // `text`
        Date,    // `text`: "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS"
        Boolean, // `number` 0 or 1
        Error,   // `text`: "#DIV/0!", "#N/A", ...
    };
    Kind kind = Kind::Empty;
    double number = 0;
    QString text;
    int formatIndex = 0;
    QString formatCode;
};

// A legacy workbook (BIFF, in a compound file) read through FreeXL. FreeXL reads the
// cells that hold values (numbers, texts, dates); the cells that hold formulas, booleans
// and error values, which FreeXL passes over, are read from the file's records here, so
// that no cell that has a value reads as empty.
class XlsWorkbook
{
public:
    XlsWorkbook();
    ~XlsWorkbook();
    XlsWorkbook(const XlsWorkbook &) = delete;
    XlsWorkbook &operator=(const XlsWorkbook &) = delete;

    // Opens `path`; false, with errorString() telling why, when FreeXL refuses it or its
    // records cannot be read.
    bool open(const QString &path);
    QString errorString() const { return m_error; }

    // The worksheets (chart and macro sheets left out), in the workbook's order.
    int sheetCount() const;
    // Makes worksheet `index` (0-based) the one that rows(), columns() and cell() read.
    bool selectSheet(int index);
    // The used area of the selected sheet: rows 0 to rows() - 1, columns 0 to columns() - 1.
    quint32 rows() const { return m_rows; }
    quint16 columns() const { return m_columns; }
    // The cell at `row`, `column` (0-based) of the selected sheet; false, with
    // errorString() telling why, when it cannot be read.
    bool cell(quint32 row, quint16 column, XlsCell &value);
    // Whether serial dates count from 1904 (else from 1900).
    bool dates1904() const { return m_dates1904; }

    struct Records;

private:
    struct Closer
    {
        void operator()(const void *handle) const;
    };
    std::unique_ptr<const void, Closer> m_handle;
    std::unique_ptr<Records> m_records;
    QHash<quint64, XlsCell> m_formulaCells;
    quint32 m_rows = 0;
    quint16 m_columns = 0;
    bool m_dates1904 = false;
    QString m_error;
};

} // namespace platform
