#include "textcompare/engine/sheet_xml_scan.h"

#include <QList>
#include <QStringDecoder>

#include <cstring>

namespace textcompare {

namespace {

// The name without its prefix.
QByteArrayView localName(QByteArrayView name)
{
    const qsizetype colon = name.lastIndexOf(':');
    return colon < 0 ? name : name.sliced(colon + 1);
}

constexpr qint64 ElementsPerReport = 256;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class Scanner
{
public:
    Scanner(QByteArrayView xml, QString &error) : m_xml(xml), m_error(error) {}

    bool fail(const QString &what)
    {
        const qsizetype line = QByteArrayView(m_xml.data(), m_at).count('\n') + 1;
        m_error = QStringLiteral("%1行: %2").arg(line).arg(what);
        return false;
    }

    // Appends `raw` with its entities replaced to `target` (UTF-8 bytes).
    bool unescape(QByteArrayView raw, QByteArray &target)
    {
        qsizetype start = 0;
        for (qsizetype amp = raw.indexOf('&'); amp >= 0; amp = raw.indexOf('&', start)) {
            target.append(raw.sliced(start, amp - start));
            const qsizetype semicolon = raw.indexOf(';', amp);
            if (semicolon < 0)
                return fail(QStringLiteral("終わらない文字参照"));
            const QByteArrayView entity = raw.sliced(amp + 1, semicolon - amp - 1);
            if (entity == "lt")
                target.append('<');
            else if (entity == "gt")
                target.append('>');
            else if (entity == "amp")
                target.append('&');
            else if (entity == "quot")
                target.append('"');
            else if (entity == "apos")
                target.append('\'');
            else if (entity.startsWith('#')) {
                bool ok = false;
                const uint code = entity.startsWith("#x") ? entity.sliced(2).toUInt(&ok, 16) : entity.sliced(1).toUInt(&ok);
                if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
                    return fail(QStringLiteral("正しくない文字参照"));
                const char32_t character = code;
                target.append(QString::fromUcs4(&character, 1).toUtf8());
            } else {
                return fail(QStringLiteral("知らない実体 &") + QString::fromUtf8(entity) + u';');
            }
            start = semicolon + 1;
        }
        target.append(raw.sliced(start));
        return true;
    }

    bool run(const std::function<bool(qint64)> &wantsRow, const std::function<bool(const ScannedCell &)> &onCell,
             ExpansionBudget &budget)
    {
        qint64 elements = 0;
        QList<QByteArrayView> open;
        bool inSheetData = false;
        bool inCell = false;
        int capture = 0;      // inside <v>, or <t> of <is>: 1
        int phonetic = 0;     // depth inside <rPh>
        qint64 row = 0;
        ScannedCell cell;
        QByteArray value;
        const char *data = m_xml.data();
        const qsizetype size = m_xml.size();
        while (m_at < size) {
            const void *found = std::memchr(data + m_at, '<', size_t(size - m_at));
            const qsizetype tag = found ? static_cast<const char *>(found) - data : size;
            if (capture > 0 && phonetic == 0 && tag > m_at && !unescape(m_xml.sliced(m_at, tag - m_at), value))
                return false;
            m_at = tag;
            if (m_at >= size)
                break;
            if (++elements == ElementsPerReport) {
                if (!budget.takeWork(elements))
                    return false;
                elements = 0;
            }
            const QByteArrayView rest = m_xml.sliced(m_at);
            // A document type declaration could define entities; the package's parts have none.
            if (rest.startsWith("<!DOCTYPE"))
                return fail(QStringLiteral("DTD があります"));
            if (rest.size() > 1 && (rest[1] == '?' || rest[1] == '!')) {
                const char *end = rest.startsWith("<?") ? "?>" : rest.startsWith("<!--") ? "-->"
                                                           : rest.startsWith("<![CDATA[") ? "]]>" : ">";
                const qsizetype close = m_xml.indexOf(end, m_at);
                if (close < 0)
                    return fail(QStringLiteral("終わらない宣言かコメント"));
                if (rest.startsWith("<![CDATA[") && capture > 0 && phonetic == 0)
                    value.append(m_xml.sliced(m_at + 9, close - m_at - 9));
                m_at = close + qsizetype(std::strlen(end));
                continue;
            }
            const qsizetype close = m_xml.indexOf('>', m_at);
            if (close < 0)
                return fail(QStringLiteral("終わらないタグ"));
            const bool endTag = rest.startsWith("</");
            const bool selfClosing = !endTag && data[close - 1] == '/';
            qsizetype nameEnd = m_at + (endTag ? 2 : 1);
            while (nameEnd < close && !isSpace(data[nameEnd]) && data[nameEnd] != '/')
                ++nameEnd;
            const qsizetype nameStart = m_at + (endTag ? 2 : 1);
            const QByteArrayView name = m_xml.sliced(nameStart, nameEnd - nameStart);
            const QByteArrayView local = localName(name);
            if (endTag) {
                if (open.isEmpty() || open.last() != name)
                    return fail(QStringLiteral("対応しない終了タグ </") + QString::fromUtf8(name) + u'>');
                open.removeLast();
                budget.leaveElement();
                if (local == "v" || (local == "t" && inCell))
                    capture = 0;
                else if (local == "rPh" && phonetic > 0)
                    --phonetic;
                else if (local == "c" && inCell) {
                    inCell = false;
                    cell.value = m_decoder(value);
                    if (!onCell(cell))
                        return false;
                } else if (local == "sheetData") {
                    inSheetData = false;
                }
                m_at = close + 1;
                continue;
            }
            QByteArrayView r;
            QByteArrayView t;
            QByteArrayView s;
            if (inSheetData && (local == "row" || local == "c")) {
                qsizetype at = nameEnd;
                const qsizetype attributesEnd = selfClosing ? close - 1 : close;
                // Searches stay within the tag, so that a tag's attributes cost their own
                // length and no more.
                const QByteArrayView attributes = m_xml.first(attributesEnd);
                while (at < attributesEnd) {
                    while (at < attributesEnd && isSpace(data[at]))
                        ++at;
                    const qsizetype equals = at < attributesEnd ? attributes.indexOf('=', at) : -1;
                    if (equals < 0)
                        break;
                    qsizetype quote = equals + 1;
                    while (quote < attributesEnd && isSpace(data[quote]))
                        ++quote;
                    const qsizetype valueEnd = quote < attributesEnd ? attributes.indexOf(data[quote], quote + 1) : -1;
                    if (valueEnd < 0)
                        return fail(QStringLiteral("壊れた属性"));
                    QByteArrayView attribute = m_xml.sliced(at, equals - at).trimmed();
                    attribute = localName(attribute);
                    const QByteArrayView attributeValue = m_xml.sliced(quote + 1, valueEnd - quote - 1);
                    if (attribute == "r")
                        r = attributeValue;
                    else if (attribute == "t")
                        t = attributeValue;
                    else if (attribute == "s")
                        s = attributeValue;
                    at = valueEnd + 1;
                }
            }
            if (local == "sheetData") {
                inSheetData = !selfClosing;
            } else if (inSheetData && local == "row") {
                row = r.isEmpty() ? row + 1 : r.toLongLong();
                cell.column = 0;
                if (row < 1)
                    return fail(QStringLiteral("行番号 ") + QString::fromUtf8(r));
                if (!wantsRow(row))
                    return true;
            } else if (inSheetData && local == "c") {
                qint64 column = 0;
                for (const char c : r) {
                    const char upper = char(c & ~0x20);
                    if (upper < 'A' || upper > 'Z' || column > 1'000'000)
                        break;
                    column = column * 26 + (upper - 'A' + 1);
                }
                cell.row = row;
                cell.column = column > 0 ? column : cell.column + 1;
                cell.type = QString::fromLatin1(t);
                cell.style = s.toLongLong();
                cell.hasValue = false;
                value.clear();
                inCell = !selfClosing;
                if (selfClosing) {
                    cell.value.clear();
                    if (!onCell(cell))
                        return false;
                }
            } else if (inCell && (local == "v" || local == "is")) {
                cell.hasValue = true;
                if (local == "v")
                    capture = selfClosing ? 0 : 1;
            } else if (inCell && local == "t" && phonetic == 0) {
                capture = selfClosing ? 0 : 1;
            } else if (inCell && local == "rPh") {
                phonetic += selfClosing ? 0 : 1;
            }
            if (!selfClosing) {
                if (!budget.enterElement())
                    return false;
                open.append(name);
            }
            m_at = close + 1;
        }
        if (!open.isEmpty())
            return fail(QStringLiteral("途中で終わっています"));
        if (m_decoder.hasError())
            return fail(QStringLiteral("UTF-8 でないバイトがあります"));
        return true;
    }

private:
    QByteArrayView m_xml;
    QString &m_error;
    qsizetype m_at = 0;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
};

} // namespace

bool ScanSheetXml(QByteArrayView xml, const std::function<bool(qint64 row)> &wantsRow,
                  const std::function<bool(const ScannedCell &cell)> &onCell,
                  ExpansionBudget &budget, QString &error)
{
    return Scanner(xml, error).run(wantsRow, onCell, budget);
}

} // namespace textcompare
