#include "textcompare/engine/docx_read.h"

#include "textcompare/engine/ooxml_package.h"

#include <QStringList>

namespace textcompare {

namespace {

using L1 = QLatin1StringView;

// Elements whose contents are no text of the document's flow: properties (their <tab>
// elements are tab stops), deleted and moved-away text, field codes, drawings and
// embedded objects (text boxes included), and the older form of alternate content.
bool isPassedOver(const QXmlStreamReader &reader)
{
    static const L1 names[] = {L1("pPr"),    L1("rPr"),    L1("delText"), L1("instrText"), L1("del"),
                               L1("moveFrom"), L1("drawing"), L1("pict"), L1("object"), L1("fldData"),
                               L1("Fallback"), L1("tblPr"), L1("tblGrid"), L1("trPr"), L1("tcPr"),
                               L1("sectPr"), L1("tblPrEx")};
    return std::any_of(std::begin(names), std::end(names), [&](L1 name) { return isElement(reader, name); });
}

class DocumentWalk
{
public:
    explicit DocumentWalk(QXmlStreamReader &reader) : m_reader(reader) {}

    // The lines of the block content up to the end element `endName`.
    void blocks(L1 endName, QStringList &lines)
    {
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            if (token == QXmlStreamReader::EndElement && isElement(m_reader, endName))
                return;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (isElement(m_reader, L1("p")))
                lines += paragraph().split(QStringLiteral("\r\n"));
            else if (isElement(m_reader, L1("tbl")))
                table(lines);
            else if (isPassedOver(m_reader))
                m_reader.skipCurrentElement();
        }
    }

private:
    // The paragraph at the reader, to its end; a manual line break as CR LF.
    QString paragraph()
    {
        QString text;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            if (token == QXmlStreamReader::EndElement && isElement(m_reader, L1("p")))
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (isElement(m_reader, L1("t"))) {
                text += m_reader.readElementText();
            } else if (isElement(m_reader, L1("tab"))) {
                text += u'\t';
            } else if (isElement(m_reader, L1("br")) || isElement(m_reader, L1("cr"))) {
                const QStringView kind = attributeValue(m_reader.attributes(), L1("type"));
                if (kind != u"page" && kind != u"column")
                    text += QStringLiteral("\r\n");
            } else if (isElement(m_reader, L1("noBreakHyphen"))) {
                text += u'-';
            } else if (isPassedOver(m_reader) || isElement(m_reader, L1("p"))) {
                m_reader.skipCurrentElement();
            }
        }
        return text;
    }

    void table(QStringList &lines)
    {
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            if (token == QXmlStreamReader::EndElement && isElement(m_reader, L1("tbl")))
                return;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (isElement(m_reader, L1("tr")))
                row(lines);
            else if (isPassedOver(m_reader))
                m_reader.skipCurrentElement();
        }
    }

    // One line per line of the row's tallest cell: the cells' lines of that rank joined
    // by TAB, empty fields at the end left out.
    void row(QStringList &lines)
    {
        QList<QStringList> cells;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = m_reader.readNext();
            if (token == QXmlStreamReader::EndElement && isElement(m_reader, L1("tr")))
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (isElement(m_reader, L1("tc"))) {
                cells.append(QStringList());
                blocks(L1("tc"), cells.last());
            } else if (isPassedOver(m_reader)) {
                m_reader.skipCurrentElement();
            }
        }
        qsizetype height = 0;
        for (const QStringList &cell : cells)
            height = std::max(height, cell.size());
        for (qsizetype rank = 0; rank < height; ++rank) {
            QStringList fields;
            for (const QStringList &cell : cells)
                fields.append(cell.value(rank));
            while (!fields.isEmpty() && fields.last().isEmpty())
                fields.removeLast();
            lines.append(fields.join(u'\t'));
        }
    }

    QXmlStreamReader &m_reader;
};

} // namespace

bool ReadDocxText(const QString &path, QString &text, QString &error)
{
    OoxmlPackage package;
    if (!package.open(path)) {
        error = package.error();
        return false;
    }
    std::unique_ptr<QXmlStreamReader> reader = package.openXml(package.mainPart(QStringLiteral("word/document.xml")));
    if (!reader) {
        error = package.error();
        return false;
    }
    QStringList lines;
    bool hasBody = false;
    while (!reader->atEnd() && !hasBody) {
        if (reader->readNext() == QXmlStreamReader::StartElement && isElement(*reader, L1("body"))) {
            DocumentWalk(*reader).blocks(L1("body"), lines);
            hasBody = true;
        }
    }
    if (package.failed(*reader) || !hasBody) {
        error = hasBody ? package.error() : QStringLiteral("壊れています (本文がありません)");
        return false;
    }
    text.clear();
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return true;
}

} // namespace textcompare
