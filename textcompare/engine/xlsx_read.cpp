#include "textcompare/engine/xlsx_read.h"

#include "textcompare/engine/cell_text.h"
#include "textcompare/engine/ooxml_package.h"

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

bool readWorkbook(OoxmlPackage &package, WorkbookParts &parts)
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
        if (reader->readNext() != QXmlStreamReader::StartElement)
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
// guides (<rPh>) left out.
QString richText(QXmlStreamReader &reader, L1 endName)
{
    QString text;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && isElement(reader, endName))
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (isElement(reader, L1("t")))
            text += reader.readElementText();
        else if (isElement(reader, L1("rPh")))
            reader.skipCurrentElement();
    }
    return text;
}

bool readSharedStrings(OoxmlPackage &package, const QString &part, QStringList &strings)
{
    if (part.isEmpty())
        return true;
    std::unique_ptr<QXmlStreamReader> reader = package.openXml(part);
    if (!reader)
        return false;
    while (!reader->atEnd()) {
        if (reader->readNext() == QXmlStreamReader::StartElement && isElement(*reader, L1("si")))
            strings.append(richText(*reader, L1("si")));
    }
    return !package.failed(*reader);
}

// For each cell format (the "s" of a cell), whether it shows a date or a time.
bool readDateFormats(OoxmlPackage &package, const QString &part, QList<bool> &dateFormats)
{
    if (part.isEmpty())
        return true;
    std::unique_ptr<QXmlStreamReader> reader = package.openXml(part);
    if (!reader)
        return false;
    QHash<int, QString> codes;
    bool inCellFormats = false;
    while (!reader->atEnd()) {
        const QXmlStreamReader::TokenType token = reader->readNext();
        if (token == QXmlStreamReader::EndElement && isElement(*reader, L1("cellXfs")))
            inCellFormats = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader->attributes();
        if (isElement(*reader, L1("numFmt"))) {
            codes.insert(attributeValue(attributes, L1("numFmtId")).toInt(),
                         attributeValue(attributes, L1("formatCode")).toString());
        } else if (isElement(*reader, L1("cellXfs"))) {
            inCellFormats = true;
        } else if (inCellFormats && isElement(*reader, L1("xf"))) {
            const int format = attributeValue(attributes, L1("numFmtId")).toInt();
            dateFormats.append(IsDateFormat(format, codes.value(format)));
            reader->skipCurrentElement();
        }
    }
    return !package.failed(*reader);
}

// The column of a cell reference ("BC12" is 55); 0 when it has no letters.
qint64 referenceColumn(QStringView reference)
{
    qint64 column = 0;
    for (const QChar c : reference) {
        const char16_t letter = c.toUpper().unicode();
        if (letter < u'A' || letter > u'Z' || column > 1'000'000)
            break;
        column = column * 26 + (letter - u'A' + 1);
    }
    return column;
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
        std::unique_ptr<QXmlStreamReader> reader = package.openXml(part);
        if (!reader)
            return false;
        qint64 row = 0;
        qint64 column = 0;
        while (!reader->atEnd()) {
            if (reader->readNext() != QXmlStreamReader::StartElement)
                continue;
            if (isElement(*reader, L1("row"))) {
                const QStringView number = attributeValue(reader->attributes(), L1("r"));
                row = number.isEmpty() ? row + 1 : number.toLongLong();
                column = 0;
                if (row < 1) {
                    package.setError(QStringLiteral("壊れています (%1: 行番号 %2)").arg(part, number));
                    return false;
                }
                // Rows come in order: the rest lies below the rows read.
                if (!builder.wantsRow(row))
                    return true;
            } else if (isElement(*reader, L1("c"))) {
                const QXmlStreamAttributes attributes = reader->attributes();
                const qint64 referenced = referenceColumn(attributeValue(attributes, L1("r")));
                column = referenced > 0 ? referenced : column + 1;
                QString text;
                if (!cellText(*reader, attributes, text)) {
                    if (!package.failed(*reader))
                        package.setError(QStringLiteral("壊れています (%1: %2)").arg(part, m_problem));
                    return false;
                }
                if (!builder.addCell(row, column, text)) {
                    package.setError(QStringLiteral("壊れています (%1: セルの順序)").arg(part));
                    return false;
                }
            }
        }
        return !package.failed(*reader);
    }

private:
    // Reads the cell element at the reader to its end and gives its value as text.
    bool cellText(QXmlStreamReader &reader, const QXmlStreamAttributes &attributes, QString &text)
    {
        const QStringView type = attributeValue(attributes, L1("t"));
        QString value;
        bool hasValue = false;
        while (!reader.atEnd()) {
            const QXmlStreamReader::TokenType token = reader.readNext();
            if (token == QXmlStreamReader::EndElement && isElement(reader, L1("c")))
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (isElement(reader, L1("v"))) {
                // The value's text as it stands, without a copy when it is one piece.
                value.clear();
                while (reader.readNext() == QXmlStreamReader::Characters)
                    value += reader.text();
                hasValue = true;
            } else if (isElement(reader, L1("is"))) {
                value = richText(reader, L1("is"));
                hasValue = true;
            } else {
                reader.skipCurrentElement();
            }
        }
        if (reader.hasError())
            return false;
        if (!hasValue)
            return true;
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
            const qsizetype style = attributeValue(attributes, L1("s")).toLongLong();
            const bool date = style >= 0 && style < m_dateFormats.size() && m_dateFormats[style];
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
    bool read = package.open(path) && readWorkbook(package, parts);
    if (read && (sheetNumber < 1 || sheetNumber > parts.worksheets.size())) {
        package.setError(QStringLiteral("シート番号 %1 のシートがありません (シート数 %2)")
                             .arg(sheetNumber)
                             .arg(parts.worksheets.size()));
        read = false;
    }
    read = read && readSharedStrings(package, parts.sharedStrings, strings)
           && readDateFormats(package, parts.styles, dateFormats)
           && SheetReader(strings, dateFormats, parts.dates1904).read(package, parts.worksheets[sheetNumber - 1], builder);
    if (!read)
        error = package.error();
    return read;
}

} // namespace textcompare
