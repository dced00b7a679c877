#include "textcompare/editing/line_splice.h"

#include "textcompare/editing/text_codes.h"

#include <QStringView>

#include <algorithm>
#include <cstring>
#include <optional>

namespace textcompare {

namespace {

// Whether one of the eight bytes of `word` is a CR or an LF.
bool holdsBreakByte(quint64 word)
{
    constexpr quint64 Ones = 0x0101010101010101ULL;
    constexpr quint64 Highs = 0x8080808080808080ULL;
    const quint64 lf = word ^ (Ones * '\n');
    const quint64 cr = word ^ (Ones * '\r');
    return (((lf - Ones) & ~lf) | ((cr - Ones) & ~cr)) & Highs;
}

// Position of the first CR or LF in units[from..size), or `size` when there is none.
// Bytes are looked at eight at a time, as most of them are no break.
qsizetype findBreakUnit(const uchar *units, qsizetype size, qsizetype from)
{
    qsizetype at = from;
    for (; at + 8 <= size; at += 8) {
        quint64 word;
        std::memcpy(&word, units + at, sizeof word);
        if (holdsBreakByte(word))
            break;
    }
    for (; at < size; ++at)
        if (units[at] == '\r' || units[at] == '\n')
            return at;
    return size;
}

qsizetype findBreakUnit(const char16_t *units, qsizetype size, qsizetype from)
{
    for (qsizetype at = from; at < size; ++at)
        if (units[at] == u'\r' || units[at] == u'\n')
            return at;
    return size;
}

} // namespace

// Walks the breaks of the text as it is fed; a CR at the end of one piece waits for the
// first unit of the next to tell whether it is a CR LF.
template <typename Unit>
void SpliceScanner<Unit>::feed(const Unit *units, qsizetype size)
{
    qsizetype position = 0;
    if (m_pendingCr && size > 0) {
        m_pendingCr = false;
        const bool pair = units[0] == Unit('\n');
        passBreak(m_fed + (pair ? 1 : 0), pair ? LineBreak::CrLf : LineBreak::Cr);
        position = pair ? 1 : 0;
    }
    while (needsMore()) {
        const qsizetype at = findBreakUnit(units, size, position);
        if (at == size)
            break;
        if (units[at] == Unit('\n')) {
            passBreak(m_fed + at + 1, LineBreak::Lf);
            position = at + 1;
        } else if (at + 1 == size) {
            m_pendingCr = true;
            position = size;
        } else {
            const bool pair = units[at + 1] == Unit('\n');
            passBreak(m_fed + at + (pair ? 2 : 1), pair ? LineBreak::CrLf : LineBreak::Cr);
            position = at + (pair ? 2 : 1);
        }
    }
    if (size > 0)
        m_endsInBreak = units[size - 1] == Unit('\r') || units[size - 1] == Unit('\n');
    m_fed += size;
}

template <typename Unit>
void SpliceScanner<Unit>::finish()
{
    // A walk that still wanted more when the text ended has passed every break.
    m_walkedAll = needsMore();
    if (m_pendingCr) {
        m_pendingCr = false;
        passBreak(m_fed, LineBreak::Cr);
    }
}

template <typename Unit>
void SpliceScanner<Unit>::passBreak(qsizetype breakEnd, LineBreak kind)
{
    ++m_line;
    m_lastKind = kind;
    if (m_line == m_range.before)
        m_prefixEnd = breakEnd;
    if (m_line == m_stopLine) {
        m_stopEnd = breakEnd;
        m_stopKind = kind;
    }
}

template <typename Unit>
SpliceScanner<Unit>::SpliceScanner(const EditRange &range)
    : m_range(range)
    , m_stopLine(range.after >= 2 ? range.after - 1 : 0)
    , m_lastNeeded(std::max(range.before, m_stopLine))
{
    if (range.before == 0)
        m_prefixEnd = 0;
}

template <typename Unit>
bool SpliceScanner<Unit>::needsLastBreak() const
{
    return !m_stopEnd && !m_walkedAll;
}

template <typename Unit>
SplicePoints SpliceScanner<Unit>::points(qsizetype size, std::optional<LineBreak> textLastBreak) const
{
    SplicePoints points;
    if (m_stopEnd)
        points.lineEnd = m_stopKind;
    else if (m_walkedAll)
        points.lineEnd = m_lastKind.value_or(LineBreak::CrLf);
    else
        points.lineEnd = textLastBreak.value_or(LineBreak::CrLf);
    if (m_prefixEnd) {
        points.prefixEnd = *m_prefixEnd;
    } else {
        // Line `before` is the last line (or lies beyond it): the whole text is kept in
        // front, and a last line without a break gets one before new lines follow it.
        points.prefixEnd = size;
        points.breakBeforeLines = size > 0 && !m_endsInBreak;
    }
    if (m_range.after == 1)
        points.suffixStart = 0;
    else if (m_range.after == 0 || !m_stopEnd)
        points.suffixStart = size;
    else
        points.suffixStart = *m_stopEnd;
    points.suffixStart = std::max(points.suffixStart, points.prefixEnd);
    return points;
}

template class SpliceScanner<uchar>;
template class SpliceScanner<char16_t>;

namespace {

template <typename Unit>
std::optional<LineBreak> lastBreakOf(const Unit *units, qsizetype size)
{
    qsizetype last = size - 1;
    while (last >= 0 && units[last] != Unit('\r') && units[last] != Unit('\n'))
        --last;
    if (last < 0)
        return std::nullopt;
    if (units[last] == Unit('\r'))
        return LineBreak::Cr;
    return last > 0 && units[last - 1] == Unit('\r') ? LineBreak::CrLf : LineBreak::Lf;
}

template <typename Unit>
SplicePoints splicePoints(const Unit *units, qsizetype size, const EditRange &range)
{
    SpliceScanner<Unit> scanner(range);
    scanner.feed(units, size);
    scanner.finish();
    return scanner.points(size, scanner.needsLastBreak() ? lastBreakOf(units, size) : std::nullopt);
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

QString NewLinesText(const SplicePoints &points, const EditLines &lines)
{
    QString text = lines.blockText(points.lineEnd);
    if (points.breakBeforeLines && !text.isEmpty())
        text.prepend(LineBreakText(points.lineEnd));
    return text;
}

bool EditedAsBytes(const QString &code)
{
    const QString name = WritableCode(code);
    return name == u"SJIS" || name == u"EUC" || name == u"UTF8";
}

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

QByteArray EditedContents::joined() const
{
    QByteArray whole;
    whole.reserve(before.size() + bytes.size() + after.size());
    whole.append(before);
    whole.append(bytes);
    whole.append(after);
    return whole;
}

EditedContents SpliceFileBytes(QByteArrayView fileBytes, const QString &code, const EditRange &range,
                               const EditLines &lines)
{
    const QString name = WritableCode(code);
    const QByteArrayView mark = ByteOrderMark(name, fileBytes);
    if (!EditedAsBytes(name)) {
        // In these codes a line break is not one byte of its own, or the meaning of a
        // byte depends on what came before it: the text is edited instead.
        const std::optional<QString> text = DecodeFromFile(name, fileBytes);
        if (!text)
            return {{}, {}, {}, QStringLiteral("%1 として読めないデータがあります。").arg(name)};
        return SpliceText(CompactText(*text), name, range, lines, mark);
    }
    const QByteArrayView body = fileBytes.sliced(mark.size());
    const SplicePoints points = FindSplicePoints(reinterpret_cast<const uchar *>(body.data()), body.size(), range);
    std::optional<QByteArray> block = EncodeForFile(name, NewLinesText(points, lines));
    if (!block)
        return {{}, {}, {}, unrepresentable(name)};
    return {fileBytes.first(mark.size() + points.prefixEnd), std::move(*block), body.sliced(points.suffixStart), {}};
}

EditedContents SpliceText(const CompactText &text, const QString &code, const EditRange &range,
                          const EditLines &lines, QByteArrayView mark)
{
    const SplicePoints points = text.isLatin1()
                                    ? FindSplicePoints(text.data<uchar>(), text.size(), range)
                                    : FindSplicePoints(text.data<char16_t>(), text.size(), range);
    const QString block = NewLinesText(points, lines);
    QString edited;
    edited.reserve(points.prefixEnd + block.size() + text.size() - points.suffixStart);
    appendPart(edited, text, 0, points.prefixEnd);
    edited.append(block);
    appendPart(edited, text, points.suffixStart, text.size() - points.suffixStart);
    std::optional<QByteArray> bytes = EncodeForFile(code, edited, mark);
    if (!bytes)
        return {{}, {}, {}, unrepresentable(WritableCode(code))};
    return {mark, std::move(*bytes), {}, {}};
}

} // namespace textcompare
