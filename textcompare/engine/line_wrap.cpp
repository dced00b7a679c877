#include "textcompare/engine/line_wrap.h"

#include "platform/code_page.h"
#include "textcompare/engine/line_split.h"

#include <algorithm>

namespace textcompare {

QString CutByWidth(QString &text, int width)
{
    const qsizetype count = std::max<qsizetype>(0, (qsizetype(width) + 1) / 2);
    qsizetype cut = count;
    for (qsizetype i = 0; i < count && i < text.size(); ++i)
        if (platform::cp932ByteCount(text[i].unicode()) == 1)
            ++cut;
    cut = std::min(cut, text.size());
    if (cut > 0 && cut < text.size() && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate())
        ++cut;
    const QString head = text.left(cut);
    text.remove(0, cut);
    return head;
}

namespace {

// Appends `line` to `wrapped` as one or more lines, each ending in CR LF.
void wrapLine(QString line, int width, QString &wrapped)
{
    while (line.size() + 2 > width) {
        wrapped += CutByWidth(line, width);
        wrapped += QStringLiteral("\r\n");
        if (line.isEmpty())
            return;
    }
    wrapped += line;
    wrapped += QStringLiteral("\r\n");
}

} // namespace

QString WrapLines(const QString &text, int width)
{
    if (width < 1)
        return text;
    QString wrapped;
    wrapped.reserve(text.size() + text.size() / 8);
    DisplayLines lines(text);
    while (lines.splitNextLine())
        wrapLine(lines.text(lines.count()), width, wrapped);
    return wrapped;
}

} // namespace textcompare
