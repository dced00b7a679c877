#include "textcompare/engine/xlsx_read.h"

#include "textcompare/engine/cell_text.h"
#include "textcompare/engine/ooxml_package.h"
#include "textcompare/engine/sheet_xml_scan.h"

#include <QList>
#include <QStringList>

namespace textcompare {

namespace {

using L1 = QLatin1StringView;

// What the sheets need of the workbook part and the parts beside it.
struct WorkbookParts
{
    bool dates1904 = false;
    QStringList worksheets;
    QString sharedStrings;
    QString styles;
};

bool readWorkbook(OoxmlPackage &package, ExpansionBudget &budget, WorkbookParts &parts)
{
    const QString workbook = package.mainPart(QStringLiteral("xl/workbook.xml"));
    QHash<QString, OoxmlRelationship> relationships;
    if (!package.relationships(workbook, relationships))
        return false;
    for (const OoxmlRelationship &relationship : relationships) {
        if (relationship.type == u"sharedStrings")
            parts.sharedStrings = relationship.target;
        else if (relationship.type == u"styles")
            parts.styles = relationship.target;
    }
    std::unique_ptr<QXmlStreamReader> reader = package.openXml(workbook);
    if (!reader)
        return false;
    while (!reader->atEnd()) {
        if (nextToken(*reader, budget) != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader->attributes();
        if (isElement(*reader, L1("workbookPr"))) {
            const QStringView flag = attributeValue(attributes, L1("date1904"));
            parts.dates1904 = flag == u"1" || flag == u"true";
        } else if (isElement(*reader, L1("sheet"))) {
            const OoxmlRelationship relationship = relationships.value(attributeValue(attributes, L1("id")).toString());
            // Chart, dialog and macro sheets are no worksheets and take no number.
            if (relationship.type == u"worksheet")
                parts.worksheets.append(relationship.target);
        }
    }
    return !package.failed(*reader);
}

// The text of the run texts (<t>) below the current element up to its end, phonetic
// guides (<rPh>) left out; false when the reader met an error or the budget cannot take
// the text.
bool richText(QXmlStreamReader &reader, L1 endName, ExpansionBudget &budget, QString &text)
{
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = nextToken(reader, budget);
        if (token == QXmlStreamReader::EndElement && isElement(reader, endName))
            return true;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (isElement(reader, L1("t"))) {
            if (!appendElementText(reader, text, budget))
                return false;
        } else if (isElement(reader, L1("rPh"))) {
            skipElement(reader, budget);
        }
    }
    return false;
}

// The shared strings, which count in the budget, each with its cost, as long as the
// workbook is read.
bool readSharedStrings(OoxmlPackage &package, const QString &part, ExpansionBudget &budget, QStringList &strings)
{
    if (part.isEmpty())
        return true;
    std::unique_ptr<QXmlStreamReader> reader = package.openXml(part);
    if (!reader)
        return false;
    while (!reader->atEnd()) {
        if (nextToken(*reader, budget) != QXmlStreamReader::StartElement || !isElement(*reader, L1("si")))
            continue;
        QString text;
        if (!richText(*reader, L1("si"), budget, text) || !budget.take(text.size() + HeldStringCost))
            break;
        strings.append(text);
    }
    return !package.failed(*reader);
}

// For each cell format (the "s" of a cell), whether it shows a date or a time. Each number
// format is judged once, however many cell formats use it: its code may be long.
bool readDateFormats(OoxmlPackage &package, const QString &part, ExpansionBudget &budget, QList<bool> &dateFormats)
{
    if (part.isEmpty())
        return true;
    std::unique_ptr<QXmlStreamReader> reader = package.openXml(part);
    if (!reader)
        return false;
    QHash<int, QString> codes;
    QHash<int, bool> judged;
    bool inCellFormats = false;
    while (!reader->atEnd()) {
        const QXmlStreamReader::TokenType token = nextToken(*reader, budget);
        if (token == QXmlStreamReader::EndElement && isElement(*reader, L1("cellXfs")))
            inCellFormats = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader->attributes();
        if (isElement(*reader, L1("numFmt"))) {
            const int format = attributeValue(attributes, L1("numFmtId")).toInt();
            codes.insert(format, attributeValue(attributes, L1("formatCode")).toString());
            judged.remove(format);
        } else if (isElement(*reader, L1("cellXfs"))) {
            inCellFormats = true;
        } else if (inCellFormats && isElement(*reader, L1("xf"))) {
            const int format = attributeValue(attributes, L1("numFmtId")).toInt();
            auto date = judged.constFind(format);
            if (date == judged.cend())
                date = judged.insert(format, IsDateFormat(format, codes.value(format)));
            dateFormats.append(*date);
            skipElement(*reader, budget);
        }
    }
    return !package.failed(*reader);
}

// Digits alone, at most 15 of them and no leading zero, with an optional "-": a whole
// number that reads as the same text.
bool isPlainInteger(QStringView text)
{
    const QStringView digits = text.startsWith(u'-') ? text.mid(1) : text;
    // "-0" reads "0", and "007" "7".
    if (digits.isEmpty() || digits.size() > 15 || (digits[0] == u'0' && text.size() > 1))
        return false;
    return std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

class SheetReader
{
public:
    SheetReader(const QStringList &strings, const QList<bool> &dateFormats, bool dates1904)
        : m_strings(strings)
        , m_dateFormats(dateFormats)
        , m_dates1904(dates1904)
    {
    }

    bool read(OoxmlPackage &package, const QString &part, SheetTextBuilder &builder)
    {
        QByteArray xml;
        if (!package.readXmlUtf8(part, xml))
            return false;
        QString text;
        QString error;
        const bool scanned = ScanSheetXml(
            xml, [&](qint64 row) { return builder.wantsRow(row); },
            [&](const ScannedCell &cell) {
                if (!builder.budget().takeCell())
                    return false;
                if (!cellText(cell, text)) {
                    error = m_problem;
                    return false;
                }
                if (!builder.addCell(cell.row, cell.column, text)) {
                    error = QStringLiteral("セルの順序");
                    return false;
                }
                return true;
            },
            builder.budget(), error);
        if (builder.budget().exceeded()) {
            package.setError(builder.budget().refusal());
            return false;
        }
        if (!scanned)
            package.setDamaged(part, error);
        return scanned;
    }

private:
    // The cell's value as text.
    bool cellText(const ScannedCell &cell, QString &text)
    {
        text.clear();
        if (!cell.hasValue)
            return true;
        const QString &type = cell.type;
        const QString &value = cell.value;
        if (type == u"s") {
            bool ok = false;
            const qsizetype index = value.toLongLong(&ok);
            if (!ok || index < 0 || index >= m_strings.size()) {
                m_problem = QStringLiteral("共有文字列 %1 がありません").arg(value);
                return false;
            }
            text = m_strings[index];
        } else if (type == u"str" || type == u"inlineStr" || type == u"e") {
            text = value;
        } else if (type == u"b") {
            text = value == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        } else if (type == u"d") {
            text = IsoDateText(value);
        } else {
            const bool date = cell.style >= 0 && cell.style < m_dateFormats.size() && m_dateFormats[cell.style];
            if (!date && isPlainInteger(value)) {
                text = value;
                return true;
            }
            bool ok = false;
            const double number = QStringView(value).trimmed().toDouble(&ok);
            if (!ok) {
                m_problem = QStringLiteral("数値として読めない値 %1").arg(value.left(40));
                return false;
            }
            text = date ? SerialDateText(number, m_dates1904) : NumberText(number);
        }
        return true;
    }

    const QStringList &m_strings;
    const QList<bool> &m_dateFormats;
    bool m_dates1904;
    QString m_problem;
};

} // namespace

bool ReadXlsxSheet(const QString &path, qint64 sheetNumber, SheetTextBuilder &builder, QString &error)
{
    OoxmlPackage package;
    WorkbookParts parts;
    QStringList strings;
    QList<bool> dateFormats;
    bool read = package.open(path, builder.budget()) && readWorkbook(package, builder.budget(), parts);
    if (read && (sheetNumber < 1 || sheetNumber > parts.worksheets.size())) {
        package.setError(QStringLiteral("シート番号 %1 のシートがありません (シート数 %2)")
                             .arg(sheetNumber)
                             .arg(parts.worksheets.size()));
        read = false;
    }
    read = read && readSharedStrings(package, parts.sharedStrings, builder.budget(), strings)
           && readDateFormats(package, parts.styles, builder.budget(), dateFormats)
           && SheetReader(strings, dateFormats, parts.dates1904).read(package, parts.worksheets[sheetNumber - 1], builder);
    if (!read)
        error = package.error();
    return read;
}

} // namespace textcompare
