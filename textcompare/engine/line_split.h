#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace textcompare {

// The lines of one compared text as they are shown. CR LF, CR and LF each end a line; a
// final line end makes no extra empty line, so an empty text has no lines and a text that
// is one line end has one empty line. The text is split a line at a time, so that the
// caller can work on each line while it is still in the cache. Lines stay views into the
// text; a QString is made only when a caller asks for one.
class DisplayLines
{
public:
    DisplayLines() = default;
    // Holds the text with no line split yet, with room for about as many lines as it has.
    explicit DisplayLines(const QString &text);

    // Splits off the next line; false when the text has no more.
    bool splitNextLine();

    // The lines split so far.
    int count() const { return int(m_spans.size()); }
    // Line `line` (1 to count()) without its line end.
    QStringView view(int line) const
    {
        const Span &span = m_spans[size_t(line - 1)];
        return QStringView(m_text).mid(span.start, span.length);
    }
    QString text(int line) const { return view(line).toString(); }

    // About how many lines the whole text has, judged from its beginning.
    qsizetype expectedLineCount() const { return m_expectedLineCount; }

private:
    struct Span
    {
        qsizetype start;
        qsizetype length;
    };

    QString m_text;
    qsizetype m_expectedLineCount = 0;
    qsizetype m_splitTo = 0; // where the next line starts
    std::vector<Span> m_spans; // m_spans[k - 1] is line k
};

} // namespace textcompare
