#include "textcompare/engine/document_read.h"

#include "common/excel_writer.h"
#include "common/saved_error.h"
#include "common/settings_values.h"
#include "platform/antiword_text.h"
#include "platform/isolated_run.h"
#include "platform/xls_workbook.h"
#include "textcompare/engine/cell_text.h"
#include "textcompare/engine/document_limits.h"
#include "textcompare/engine/docx_read.h"
#include "textcompare/engine/sheet_text.h"
#include "textcompare/engine/xlsx_read.h"

#include <QFile>
#include <QStringList>

namespace textcompare {

namespace {

enum class Container { Zip, Compound, Other, Empty, Unreadable };

Container containerOf(const QString &path, QString &description)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        description = QStringLiteral("ファイルを開けません (") + file.errorString() + u')';
        return Container::Unreadable;
    }
    const QByteArray head = file.read(8);
    if (head.isEmpty()) {
        description = QStringLiteral("空のファイルです");
        return Container::Empty;
    }
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"))
        return Container::Zip;
    if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return Container::Compound;
    return Container::Other;
}

QString xlsCellText(const platform::XlsCell &cell, bool dates1904)
{
    switch (cell.kind) {
    case platform::XlsCell::Kind::Number:
        return IsDateFormat(cell.formatIndex, cell.formatCode) ? SerialDateText(cell.number, dates1904)
                                                              : NumberText(cell.number);
    case platform::XlsCell::Kind::Date:
        return IsoDateText(cell.text);
    case platform::XlsCell::Kind::Boolean:
        return cell.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case platform::XlsCell::Kind::Text:
    case platform::XlsCell::Kind::Error:
        return cell.text;
    case platform::XlsCell::Kind::Empty:
        break;
    }
    return QString();
}

bool readXlsSheet(const QString &path, qint64 sheetNumber, SheetTextBuilder &builder, QString &description)
{
    platform::XlsWorkbook book;
    if (!book.open(path)) {
        description = QStringLiteral("ブックを読めません (") + book.errorString() + u')';
        return false;
    }
    if (sheetNumber < 1 || sheetNumber > book.sheetCount()) {
        description = QStringLiteral("シート番号 %1 のシートがありません (シート数 %2)").arg(sheetNumber).arg(book.sheetCount());
        return false;
    }
    if (!book.selectSheet(int(sheetNumber - 1))) {
        description = QStringLiteral("シートを読めません (") + book.errorString() + u')';
        return false;
    }
    for (quint32 row = 0; row < book.rows() && builder.wantsRow(qint64(row) + 1); ++row) {
        for (quint16 column = 0; column < book.columns(); ++column) {
            platform::XlsCell cell;
            if (!book.cell(row, column, cell)) {
                description = QStringLiteral("セルを読めません (%1)").arg(book.errorString());
                return false;
            }
            if (!builder.addCell(qint64(row) + 1, qint64(column) + 1, xlsCellText(cell, book.dates1904()))) {
                description = builder.budget().refusal();
                return false;
            }
        }
    }
    return true;
}

// readXlsSheet in a child process (platform::runIsolated): FreeXL, a C library, has read
// past its buffers on crafted files. A fault there, or a file that takes it past the
// child's memory or time, fails the read as a damaged workbook and leaves this process
// as it was; `keepGoing` saying no ends the child. The child hands back a marker byte and
// the text or the reason as UTF-16.
bool readXlsSheetIsolated(const QString &path, qint64 sheetNumber, SheetTextBuilder &builder, QString &text,
                          QString &description, const std::function<bool()> &keepGoing)
{
    platform::IsolationLimits limits;
    limits.outputBytes = 2 * (builder.budget().limits().characters + 4096);
    limits.keepGoing = keepGoing;
    const platform::IsolatedOutcome outcome = platform::runIsolated(
        [&] {
            QString reason;
            const bool read = readXlsSheet(path, sheetNumber, builder, reason);
            const QString result = read ? builder.finish() : reason;
            return (read ? QByteArray("T") : QByteArray("F"))
                   + QByteArray(reinterpret_cast<const char *>(result.utf16()), result.size() * 2);
        },
        limits);
    if (outcome.kind == platform::IsolatedOutcome::Kind::Stopped) {
        description = outcome.text;
        return false;
    }
    if (!outcome.ok() || outcome.output.isEmpty()) {
        description = QStringLiteral("ブックを読めません (壊れています: ") + outcome.text + u')';
        return false;
    }
    const QString result(reinterpret_cast<const QChar *>(outcome.output.constData() + 1), (outcome.output.size() - 1) / 2);
    if (outcome.output[0] != 'T') {
        description = result;
        return false;
    }
    text = result;
    return true;
}

// antiword's text with CR LF line ends: the empty line that it writes first is left out,
// and a table row ("|cell   |cell   |") becomes its cells, blanks at their ends cut,
// joined by TAB, an empty cell an empty field.
QString antiwordLines(const QString &output)
{
    QStringList lines = output.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    QString text;
    for (const QString &line : lines) {
        if (line.size() >= 2 && line.startsWith(u'|') && line.endsWith(u'|')) {
            QStringList cells = line.mid(1, line.size() - 2).split(u'|');
            for (QString &cell : cells) {
                qsizetype end = cell.size();
                while (end > 0 && cell[end - 1] == u' ')
                    --end;
                cell.truncate(end);
            }
            text += cells.join(u'\t');
        } else {
            text += line;
        }
        text += QStringLiteral("\r\n");
    }
    return text;
}

} // namespace

bool RdExcelValue(const QString &path, const QString &sheetNo, const QString &startCell, qint32 maxRows,
                  qint32 maxCols, QString &text, QString &description, const std::function<bool()> &keepGoing)
{
    text.clear();
    std::array<qint32, 4> start{};
    try {
        start = common::ParseRangeAddress(startCell);
    } catch (const common::Failure &failure) {
        description = failure.record().Description + QStringLiteral(" ") + startCell;
        return false;
    }
    const qint64 sheetNumber = common::LeadingInteger(sheetNo, 0);
    const Container container = containerOf(path, description);
    if (container == Container::Empty || container == Container::Unreadable)
        return false;
    const bool legacy = container == Container::Compound
                        || (container == Container::Other
                            && !path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive));
    // The child process of a legacy workbook must not run this process's hook: this
    // process asks it while it waits for the child.
    ExpansionBudget budget(DocumentLimits::forFile(path), legacy ? std::function<bool()>() : keepGoing);
    SheetTextBuilder builder(std::max(start[0], 1), maxRows, std::max(start[1], 1),
                             qint64(std::max(start[1], 1)) + maxCols - 1, budget);
    if (legacy)
        return readXlsSheetIsolated(path, sheetNumber, builder, text, description, keepGoing);
    if (!ReadXlsxSheet(path, sheetNumber, builder, description))
        return false;
    text = builder.finish();
    return true;
}

bool RdWordValue(const QString &path, QString &text, QString &description, const std::function<bool()> &keepGoing)
{
    text.clear();
    bool read = false;
    QString output;
    switch (containerOf(path, description)) {
    case Container::Zip:
        read = ReadDocxText(path, text, description, keepGoing);
        break;
    case Container::Compound:
    case Container::Other:
        read = platform::antiwordText(path, output, description, platform::AntiwordSeconds, keepGoing);
        if (read)
            text = antiwordLines(output);
        break;
    case Container::Empty:
    case Container::Unreadable:
        break;
    }
    if (!read)
        text.clear();
    return read;
}

} // namespace textcompare
