#include "textcompare/editing/line_splice.h"

#include "textcompare/editing/text_codes.h"

#include <QStringView>

#include <algorithm>
#include <cstring>
#include <optional>

namespace textcompare {

namespace {

constexpr QByteArrayView Utf8Bom{"\xEF\xBB\xBF", 3};

// Position of the first `unit` in units[from..size), or `size` when there is none.
qsizetype findUnit(const uchar *units, qsizetype size, qsizetype from, uchar unit)
{
    const void *found = std::memchr(units + from, unit, size_t(size - from));
    return found ? static_cast<const uchar *>(found) - units : size;
}

qsizetype findUnit(const char16_t *units, qsizetype size, qsizetype from, char16_t unit)
{
    const qsizetype found = QStringView(units + from, size - from).indexOf(QChar(unit));
    return found < 0 ? size : from + found;
}

// Position of the last CR or LF, or -1.
qsizetype lastBreakUnit(const uchar *units, qsizetype size)
{
    for (qsizetype at = size - 1; at >= 0; --at)
        if (units[at] == '\r' || units[at] == '\n')
            return at;
    return -1;
}

qsizetype lastBreakUnit(const char16_t *units, qsizetype size)
{
    const QStringView text(units, size);
    return std::max(text.lastIndexOf(u'\r'), text.lastIndexOf(u'\n'));
}

bool isBreakUnit(char16_t unit)
{
    return unit == u'\r' || unit == u'\n';
}

// Walks the line breaks of a text from its start, one break at a time. The next CR and
// the next LF are each searched for once and kept until the walk has passed them.
template <typename Unit>
class BreakWalk
{
public:
    BreakWalk(const Unit *units, qsizetype size) : m_units(units), m_size(size) {}

    // The next break: the position right after it and its kind; false at the end.
    bool next(qsizetype &breakEnd, LineBreak &kind)
    {
        if (m_nextCr < m_position)
            m_nextCr = findUnit(m_units, m_size, m_position, Unit('\r'));
        if (m_nextLf < m_position)
            m_nextLf = findUnit(m_units, m_size, m_position, Unit('\n'));
        if (m_nextCr < m_nextLf) {
            const bool pair = m_nextLf < m_size && m_nextCr + 1 == m_nextLf;
            kind = pair ? LineBreak::CrLf : LineBreak::Cr;
            breakEnd = m_nextCr + (pair ? 2 : 1);
        } else if (m_nextLf < m_size) {
            kind = LineBreak::Lf;
            breakEnd = m_nextLf + 1;
        } else {
            return false;
        }
        m_position = breakEnd;
        return true;
    }

private:
    const Unit *m_units;
    qsizetype m_size;
    qsizetype m_position = 0;
    qsizetype m_nextCr = -1;
    qsizetype m_nextLf = -1;
};

// The kind of the text's last break; CR LF when it has none.
template <typename Unit>
LineBreak lastBreakKind(const Unit *units, qsizetype size)
{
    const qsizetype last = lastBreakUnit(units, size);
    if (last < 0)
        return LineBreak::CrLf;
    if (units[last] == Unit('\r'))
        return LineBreak::Cr;
    return last > 0 && units[last - 1] == Unit('\r') ? LineBreak::CrLf : LineBreak::Lf;
}

template <typename Unit>
SplicePoints splicePoints(const Unit *units, qsizetype size, const EditRange &range)
{
    // The walk stops right after the break that ends line after - 1, or runs on to find
    // the break of line `before` where that lies further.
    const int stopLine = range.after >= 2 ? range.after - 1 : 0;
    const int lastNeeded = std::max(range.before, stopLine);
    std::optional<qsizetype> prefixEnd = range.before == 0 ? std::optional<qsizetype>(0) : std::nullopt;
    std::optional<qsizetype> stopEnd;
    LineBreak stopKind = LineBreak::CrLf;

    BreakWalk<Unit> walk(units, size);
    qsizetype breakEnd = 0;
    LineBreak kind = LineBreak::CrLf;
    for (int line = 1; line <= lastNeeded && walk.next(breakEnd, kind); ++line) {
        if (line == range.before)
            prefixEnd = breakEnd;
        if (line == stopLine) {
            stopEnd = breakEnd;
            stopKind = kind;
        }
    }

    SplicePoints points;
    points.lineEnd = stopEnd ? stopKind : lastBreakKind(units, size);
    if (prefixEnd) {
        points.prefixEnd = *prefixEnd;
    } else {
        // Line `before` is the last line (or lies beyond it): the whole text is kept in
        // front, and a last line without a break gets one before new lines follow it.
        points.prefixEnd = size;
        points.breakBeforeLines = size > 0 && !isBreakUnit(char16_t(units[size - 1]));
    }
    if (range.after == 1)
        points.suffixStart = 0;
    else if (range.after == 0 || !stopEnd)
        points.suffixStart = size;
    else
        points.suffixStart = *stopEnd;
    points.suffixStart = std::max(points.suffixStart, points.prefixEnd);
    return points;
}

// The text that goes between the kept parts.
QString newLinesText(const SplicePoints &points, const EditLines &lines)
{
    QString text = lines.blockText(points.lineEnd);
    if (points.breakBeforeLines && !text.isEmpty())
        text.prepend(LineBreakText(points.lineEnd));
    return text;
}

// Appends units position..position + length - 1 of `text`.
void appendPart(QString &target, const CompactText &text, qsizetype position, qsizetype length)
{
    if (text.isLatin1())
        target.append(QLatin1StringView(reinterpret_cast<const char *>(text.data<uchar>()) + position, length));
    else
        target.append(QStringView(text.data<char16_t>() + position, length));
}

QString unrepresentable(const QString &code)
{
    return QStringLiteral("%1 で表せない文字があります。").arg(code);
}

} // namespace

QString LineBreakText(LineBreak lineBreak)
{
    switch (lineBreak) {
    case LineBreak::Cr:
        return QStringLiteral("\r");
    case LineBreak::Lf:
        return QStringLiteral("\n");
    case LineBreak::CrLf:
        break;
    }
    return QStringLiteral("\r\n");
}

EditRange FindEditRange(const std::function<int(int row)> &lineAt, int startRow, int endRow, int firstRow, int lastRow,
                        int mode)
{
    // The nearest line number on the rows from `row` in steps of `step` up to `limit`.
    const auto nearestLine = [&lineAt](int row, int step, int limit) {
        for (; step < 0 ? row >= limit : row <= limit; row += step)
            if (const int line = lineAt(row); line > 0)
                return line;
        return 0;
    };
    EditRange range;
    const int first = lineAt(startRow);
    range.before = first > 0 ? first - 1 : nearestLine(startRow - 1, -1, firstRow);
    const int last = lineAt(endRow);
    range.after = last > 0 ? last + 1 : nearestLine(endRow + 1, 1, lastRow);
    if (mode < 0) {
        range.after = range.before + 1;
    } else if (mode > 0) {
        if (range.after > 0) {
            range.before = range.after - 1;
        } else {
            range.before = nearestLine(endRow, -1, firstRow);
            range.after = range.before + 1;
        }
    }
    return range;
}

EditLines EditLines::deletion()
{
    return EditLines(Kind::Delete, {}, 0);
}

EditLines EditLines::copy(const QStringList &lines)
{
    return EditLines(Kind::Copy, lines, 1);
}

EditLines EditLines::change(const QString &line)
{
    return EditLines(Kind::Change, {line}, 1);
}

EditLines EditLines::insertion(const QString &line, int count)
{
    return EditLines(Kind::Insert, {line}, std::max(count, 0));
}

QString EditLines::operationName() const
{
    switch (m_kind) {
    case Kind::Delete:
        return QStringLiteral("行削除");
    case Kind::Copy:
        return QStringLiteral("コピー");
    case Kind::Change:
        return QStringLiteral("行変更");
    case Kind::Insert:
        break;
    }
    return QStringLiteral("行挿入");
}

QString EditLines::blockText(LineBreak lineBreak) const
{
    const QString lineEnd = LineBreakText(lineBreak);
    QString block;
    for (int copy = 0; copy < m_count; ++copy)
        for (const QString &line : m_lines)
            block += line + lineEnd;
    return block;
}

SplicePoints FindSplicePoints(const char16_t *units, qsizetype size, const EditRange &range)
{
    return splicePoints(units, size, range);
}

SplicePoints FindSplicePoints(const uchar *units, qsizetype size, const EditRange &range)
{
    return splicePoints(units, size, range);
}

EditedContents SpliceFileBytes(const QByteArray &fileBytes, const QString &code, const EditRange &range,
                               const EditLines &lines)
{
    const QString name = WritableCode(code);
    if (name != u"SJIS" && name != u"EUC" && name != u"UTF8") {
        // In these codes a line break is not one byte of its own, or the meaning of a
        // byte depends on what came before it: the text is edited instead.
        const std::optional<QString> text = DecodeFromFile(name, fileBytes);
        if (!text)
            return {{}, QStringLiteral("%1 として読めないデータがあります。").arg(name)};
        return SpliceText(CompactText(*text), name, range, lines);
    }
    // A CR or LF byte is always a line break in these codes, never part of a character.
    const QByteArrayView body = name == u"UTF8" && fileBytes.startsWith(Utf8Bom)
                                    ? QByteArrayView(fileBytes).sliced(Utf8Bom.size())
                                    : QByteArrayView(fileBytes);
    const SplicePoints points = FindSplicePoints(reinterpret_cast<const uchar *>(body.data()), body.size(), range);
    const std::optional<QByteArray> block = EncodeForFile(name, newLinesText(points, lines));
    if (!block)
        return {{}, unrepresentable(name)};
    EditedContents edited;
    edited.bytes.reserve(points.prefixEnd + block->size() + body.size() - points.suffixStart);
    edited.bytes.append(body.first(points.prefixEnd));
    edited.bytes.append(*block);
    edited.bytes.append(body.sliced(points.suffixStart));
    return edited;
}

EditedContents SpliceText(const CompactText &text, const QString &code, const EditRange &range,
                          const EditLines &lines)
{
    const SplicePoints points = text.isLatin1()
                                    ? FindSplicePoints(text.data<uchar>(), text.size(), range)
                                    : FindSplicePoints(text.data<char16_t>(), text.size(), range);
    const QString block = newLinesText(points, lines);
    QString edited;
    edited.reserve(points.prefixEnd + block.size() + text.size() - points.suffixStart);
    appendPart(edited, text, 0, points.prefixEnd);
    edited.append(block);
    appendPart(edited, text, points.suffixStart, text.size() - points.suffixStart);
    const std::optional<QByteArray> bytes = EncodeForFile(code, edited);
    if (!bytes)
        return {{}, unrepresentable(WritableCode(code))};
    return {*bytes, {}};
}

} // namespace textcompare
