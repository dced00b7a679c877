#include "textcompare/engine/docx_read.h"

#include "textcompare/engine/ooxml_package.h"

#include <QStringList>

#include <utility>
#include <vector>

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

// Walks the body of a document into its text. Tables nest to any depth in a file of a
// few kilobytes, so the open tables, rows and cells are kept on a stack of frames here
// rather than on the machine's stack. Every line held, in the text or in a cell still
// open, and every cell of a row still open is counted in the budget, and so is the work:
// each element, each line handed to a cell or the text, each field of a row's line. A
// line of a nested table is handed up once per level and a row's short cells give a
// field on every line of its tallest, so a small file could otherwise make work without
// end.
class DocumentWalk
{
public:
    DocumentWalk(QXmlStreamReader &reader, ExpansionBudget &budget, QString &text)
        : m_reader(reader)
        , m_budget(budget)
        , m_text(text)
    {
    }

    // The lines of the body, each ending in CR LF, up to the end of <body>; a paragraph a
    // line (more for manual line breaks), a table row one line per line of its tallest
    // cell. Stops early when the reader meets an error or the budget is spent.
    void body()
    {
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = nextToken(m_reader, m_budget);
            if (token == QXmlStreamReader::EndElement) {
                if (m_frames.empty() && isElement(m_reader, L1("body")))
                    return;
                if (!m_frames.empty())
                    closeFrame();
                continue;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            const Kind context = m_frames.empty() ? Kind::Cell : m_frames.back().kind;
            if (context == Kind::Cell && isElement(m_reader, L1("p"))) {
                paragraph();
            } else if (context == Kind::Cell && isElement(m_reader, L1("tbl"))) {
                m_frames.emplace_back(Kind::Table);
            } else if (context == Kind::Table && isElement(m_reader, L1("tr"))) {
                m_frames.emplace_back(Kind::Row);
            } else if (context == Kind::Row && isElement(m_reader, L1("tc"))) {
                if (!m_budget.take(HeldStringCost)) {
                    m_reader.raiseError(m_budget.refusal());
                    return;
                }
                Frame &row = m_frames.back();
                row.cells.append(QStringList());
                row.characters += HeldStringCost;
                m_frames.emplace_back(Kind::Cell);
            } else if (isPassedOver(m_reader)) {
                skipElement(m_reader, m_budget);
            }
        }
    }

private:
    // Cell: the block content of a table cell (the body's, with no frame open); Table:
    // inside a table, looking for its rows; Row: inside a row, looking for its cells.
    enum class Kind { Cell, Table, Row };

    struct Frame
    {
        explicit Frame(Kind frameKind) : kind(frameKind) {}

        Kind kind;
        // Row: the lines of its cells so far, and what they and the cells count in the
        // budget.
        QList<QStringList> cells;
        qint64 characters = 0;
        qint64 lines = 0;
    };

    // Ends the open frame when the end element is its own.
    void closeFrame()
    {
        const Kind kind = m_frames.back().kind;
        if (kind == Kind::Cell && isElement(m_reader, L1("tc"))) {
            m_frames.pop_back();
        } else if (kind == Kind::Table && isElement(m_reader, L1("tbl"))) {
            m_frames.pop_back();
        } else if (kind == Kind::Row && isElement(m_reader, L1("tr"))) {
            Frame row = std::move(m_frames.back());
            m_frames.pop_back();
            m_budget.release(row.characters, row.lines);
            rowLines(row.cells);
        }
    }

    // The innermost open cell, -1 for the body. Lines come from a paragraph, where a cell
    // (or the body) is open, or from a row that has just ended, whose table is still open.
    qsizetype innermostCell() const
    {
        const qsizetype top = qsizetype(m_frames.size()) - 1;
        return top >= 0 && m_frames.back().kind == Kind::Table ? top - 1 : top;
    }

    // Adds a line to the text, or to the lines of the innermost open cell.
    void addLine(const QString &line)
    {
        const qsizetype cell = innermostCell();
        if (!m_budget.take(line.size() + (cell < 0 ? 2 : 0), 1) || !m_budget.takeWork(1 + line.size())) {
            m_reader.raiseError(m_budget.refusal());
            return;
        }
        if (cell < 0) {
            m_text += line;
            m_text += QLatin1StringView("\r\n");
            return;
        }
        // A cell's frame lies right above its row's.
        Frame &row = m_frames[size_t(cell - 1)];
        row.cells.last().append(line);
        row.characters += line.size();
        row.lines += 1;
    }

    // The paragraph at the reader, to its end; a manual line break ends a line there, so
    // that each line counts in the budget as soon as it is made.
    void paragraph()
    {
        QString line;
        while (!m_reader.atEnd()) {
            const QXmlStreamReader::TokenType token = nextToken(m_reader, m_budget);
            if (token == QXmlStreamReader::EndElement && isElement(m_reader, L1("p")))
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (isElement(m_reader, L1("t"))) {
                if (!appendElementText(m_reader, line, m_budget))
                    return;
            } else if (isElement(m_reader, L1("tab"))) {
                append(line, u'\t');
            } else if (isElement(m_reader, L1("br")) || isElement(m_reader, L1("cr"))) {
                const QStringView kind = attributeValue(m_reader.attributes(), L1("type"));
                if (kind != u"page" && kind != u"column")
                    addLine(std::exchange(line, QString()));
            } else if (isElement(m_reader, L1("noBreakHyphen"))) {
                append(line, u'-');
            } else if (isPassedOver(m_reader) || isElement(m_reader, L1("p"))) {
                skipElement(m_reader, m_budget);
            }
        }
        addLine(line);
    }

    // Appends `character` to the line being made, when the budget can still take it.
    void append(QString &line, QChar character)
    {
        if (m_budget.fits(line.size() + 1)) {
            line += character;
            return;
        }
        m_budget.refuseCharacters();
        m_reader.raiseError(m_budget.refusal());
    }

    // One line per line of the row's tallest cell: the cells' lines of that rank joined
    // by TAB, a cell without a line there, or an empty one, an empty field, so that a
    // row's emptied last cell still reads apart from a removed one.
    void rowLines(const QList<QStringList> &cells)
    {
        qsizetype height = 0;
        for (const QStringList &cell : cells)
            height = std::max(height, cell.size());
        for (qsizetype rank = 0; rank < height && !m_reader.hasError(); ++rank) {
            if (!m_budget.takeWork(cells.size())) {
                m_reader.raiseError(m_budget.refusal());
                return;
            }
            QStringList fields;
            for (const QStringList &cell : cells)
                fields.append(cell.value(rank));
            addLine(fields.join(u'\t'));
        }
    }

    QXmlStreamReader &m_reader;
    ExpansionBudget &m_budget;
    QString &m_text;
    std::vector<Frame> m_frames;
};

} // namespace

bool ReadDocxText(const QString &path, QString &text, QString &error, const std::function<bool()> &keepGoing)
{
    text.clear();
    ExpansionBudget budget(DocumentLimits::forFile(path), keepGoing);
    OoxmlPackage package;
    if (!package.open(path, budget)) {
        error = package.error();
        return false;
    }
    std::unique_ptr<QXmlStreamReader> reader = package.openXml(package.mainPart(QStringLiteral("word/document.xml")));
    if (!reader) {
        error = package.error();
        return false;
    }
    bool hasBody = false;
    while (!reader->atEnd() && !hasBody) {
        if (nextToken(*reader, budget) == QXmlStreamReader::StartElement && isElement(*reader, L1("body"))) {
            DocumentWalk(*reader, budget, text).body();
            hasBody = true;
        }
    }
    if (budget.exceeded())
        error = budget.refusal();
    else if (package.failed(*reader))
        error = package.error();
    else if (!hasBody)
        error = QStringLiteral("壊れています (本文がありません)");
    else
        return true;
    text.clear();
    return false;
}

} // namespace textcompare
