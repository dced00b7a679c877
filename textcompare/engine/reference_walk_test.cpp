// The walk exactly as the viewer's original engine does it, quadratic and string-based,
// and a randomised comparison of the fast engine against it.

#include "textcompare/engine/diff_texts.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace textcompare {
namespace {

using Cells = std::array<QString, 5>;

struct EngineInput
{
    QString texts[2];
    bool ignoreBlanks = false;
    bool ignoreCase = false;
    int judgement = 1;  // J
    int characters = 1; // M
    int candidates = 1; // C
};

class LiteralWalk
{
public:
    explicit LiteralWalk(const EngineInput &input)
        : m_in(input)
    {
        for (int side = 0; side < 2; ++side) {
            QString text = input.texts[side];
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
            m_lines[side] = (u'\n' + text).split(u'\n');
            if (m_lines[side].last().isEmpty())
                m_lines[side].removeLast();
            for (QString key : m_lines[side]) {
                if (input.ignoreBlanks)
                    key.remove(u' ').remove(u'\u3000').remove(u'\t');
                m_keys[side].append(input.ignoreCase ? key.toLower() : key);
            }
            m_n[side] = int(m_lines[side].size()) - 1;
        }
    }

    std::vector<Cells> run() // rows 0 to R
    {
        std::vector<Cells> table(1);
        const auto line = [&](int side, int number) {
            return std::pair{QString::number(number), m_lines[side][number]};
        };
        const auto addRow = [&](int line1, int line2) {
            Cells cells;
            if (line1)
                std::tie(cells[1], cells[2]) = line(0, line1);
            if (line2)
                std::tie(cells[3], cells[4]) = line(1, line2);
            table.push_back(cells);
        };
        int pos1 = 0;
        int pos2 = 0;
        while (pos1 < m_n[0] || pos2 < m_n[1]) {
            const QList<std::pair<int, int>> found = findNextMatch(pos1, pos2);
            std::pair<int, int> point{m_n[0] + 1, m_n[1] + 1};
            for (qsizetype k = 0; k < found.size(); ++k) {
                if (k == 0 || found[k].first + found[k].second < point.first + point.second)
                    point = found[k];
            }
            auto [p1, p2] = point;
            while (p1 - 1 > pos1 && p2 - 1 > pos2 && m_keys[0][p1 - 1] == m_keys[1][p2 - 1]) {
                --p1;
                --p2;
            }
            const int g1 = p1 - pos1 - 1;
            const int g2 = p2 - pos2 - 1;
            if (g1 == 0 || g2 == 0) {
                for (int k = 1; k <= g1; ++k)
                    addRow(pos1 + k, 0);
                for (int k = 1; k <= g2; ++k)
                    addRow(0, pos2 + k);
            } else {
                const int m = std::max(g1, g2);
                std::vector<std::pair<int, int>> layouts[2];
                const int pairsA = alignBlock(layouts[0], 0, pos1, p1, pos2, p2);
                const int pairsB = alignBlock(layouts[1], 1, pos2, p2, pos1, p1);
                const size_t rowsA = layouts[0].size();
                const size_t rowsB = layouts[1].size();
                const bool preferB = rowsA > rowsB || (rowsA == rowsB && pairsA < pairsB);
                if (1.5 * m >= double(layouts[preferB].size())) {
                    for (const auto &[s, o] : layouts[preferB])
                        preferB ? addRow(o, s) : addRow(s, o);
                } else {
                    for (int r = 1; r <= m; ++r)
                        addRow(r <= g1 ? pos1 + r : 0, r <= g2 ? pos2 + r : 0);
                }
            }
            if (p1 <= m_n[0] && p2 <= m_n[1])
                addRow(p1, p2);
            pos1 = p1;
            pos2 = p2;
        }
        table[0] = {"TYPE", "NO.", "file0PATH", "NO.", "file1PATH"};
        for (size_t r = 1; r < table.size(); ++r) {
            Cells &c = table[r];
            if (c[1].isEmpty())
                c[0] = QStringLiteral("追加");
            else if (c[3].isEmpty())
                c[0] = QStringLiteral("削除");
            else if (m_keys[0][c[1].toInt()] != m_keys[1][c[3].toInt()])
                c[0] = QStringLiteral("変更");
        }
        return table;
    }

private:
    QList<std::pair<int, int>> findNextMatch(int pos1, int pos2) const
    {
        if (pos1 >= m_n[0] || pos2 >= m_n[1])
            return {{m_n[0] + 1, m_n[1] + 1}};
        if (m_keys[0][pos1 + 1] == m_keys[1][pos2 + 1])
            return {{pos1 + 1, pos2 + 1}};
        QList<std::pair<int, int>> result;
        bool sawEqual = false;
        for (int i = pos1 + 1; i <= m_n[0]; ++i) {
            for (int j = pos2 + 1; j <= m_n[1]; ++j) {
                if (m_keys[0][i] == m_keys[1][j]) {
                    sawEqual = true;
                    if (confirmed(i, j, true)) {
                        result.append({i, j});
                        break;
                    }
                }
            }
            if (result.size() >= m_in.candidates)
                break;
        }
        int appended = 0;
        for (int j = pos2 + 1; sawEqual && j <= m_n[1]; ++j) {
            for (int i = pos1 + 1; i <= m_n[0]; ++i) {
                if (m_keys[0][i] == m_keys[1][j] && confirmed(i, j, false)) {
                    result.append({i, j});
                    ++appended;
                    break;
                }
            }
            if (appended >= m_in.candidates)
                break;
        }
        return result;
    }

    bool confirmed(int i, int j, bool firstPass) const
    {
        QString run = m_keys[0][i];
        for (int k = 1; k <= 99; ++k) {
            const bool needsProof = run.size() < m_in.characters || k < m_in.judgement;
            if (!needsProof || (firstPass ? i + k > m_n[0] : j + k > m_n[1]))
                return true;
            if (i + k > m_n[0] || j + k > m_n[1] || m_keys[0][i + k] != m_keys[1][j + k])
                return false;
            if (run.size() < m_in.characters)
                run += m_keys[0][i + k];
        }
        return false;
    }

    // Rows of (line of side s, line of side o), 0 for an empty cell, as the original fills
    // its table: row by row, with skipped o lines set beside the unpaired s lines.
    int alignBlock(std::vector<std::pair<int, int>> &rows, int s, int s0, int s1, int o0, int o1) const
    {
        const int o = 1 - s;
        rows.assign(size_t((s1 - s0 - 1) + (o1 - o0 - 1) + 1), {0, 0});
        int r = 0;
        int q = 0;
        int u = o0;
        int pairs = 0;
        const auto placeO = [&](int z) {
            rows[size_t(q + z - u)].second = z;
            r = std::max(r, q + z - u);
        };
        for (int x = s0 + 1; x <= s1 - 1; ++x) {
            int y = 0;
            if ((m_in.judgement > 1 || m_in.characters > 0) && !m_keys[s][x].isEmpty()) {
                for (int candidate = u + 1; candidate <= o1 - 1 && !y; ++candidate)
                    y = m_keys[o][candidate] == m_keys[s][x] ? candidate : 0;
            }
            if (y) {
                for (int z = u + 1; z <= y - 1; ++z)
                    placeO(z);
                ++pairs;
                rows[size_t(++r)] = {x, y};
                q = r;
                u = y;
            } else {
                rows[size_t(++r)].first = x;
            }
        }
        for (int z = u + 1; z <= o1 - 1; ++z)
            placeO(z);
        rows.resize(size_t(r) + 1);
        rows.erase(rows.begin()); // row 0 is unused
        return pairs;
    }

    EngineInput m_in;
    QStringList m_lines[2];
    QStringList m_keys[2];
    int m_n[2];
};

std::vector<Cells> cellsOf(const DiffResultTable &table)
{
    std::vector<Cells> cells(size_t(table.lastRow()) + 1);
    for (int row = 0; row <= table.lastRow(); ++row) {
        for (int column = 0; column < 5; ++column)
            cells[size_t(row)][size_t(column)] = table.cell(row, column);
    }
    return cells;
}

// The forms in which the engine is given the texts: as UTF-16, both held one byte per
// character where they can be, and only the first so (the engine then widens it).
enum class TextForm { Utf16, Latin1, Mixed };

const char *formName(TextForm form)
{
    switch (form) {
    case TextForm::Latin1:
        return "one byte per character";
    case TextForm::Mixed:
        return "the first one byte per character";
    case TextForm::Utf16:
        break;
    }
    return "as UTF-16";
}

std::array<CompactText, 2> textsIn(const EngineInput &in, TextForm form)
{
    switch (form) {
    case TextForm::Latin1:
        return {CompactText::narrowed(in.texts[0]), CompactText::narrowed(in.texts[1])};
    case TextForm::Mixed:
        return {CompactText::narrowed(in.texts[0]), CompactText(in.texts[1])};
    case TextForm::Utf16:
        break;
    }
    return {CompactText(in.texts[0]), CompactText(in.texts[1])};
}

std::vector<Cells> engineCells(const EngineInput &in, TextForm form)
{
    const std::array<CompactText, 2> texts = textsIn(in, form);
    return cellsOf(DiffTexts(texts[0], texts[1], in.ignoreBlanks, in.ignoreCase, in.judgement, in.characters,
                             in.candidates, "file0PATH", "file1PATH"));
}

std::string describe(const EngineInput &in, const char *form, const std::vector<Cells> &expected,
                     const std::vector<Cells> &actual)
{
    QString text = QStringLiteral("texts held %1\n").arg(form);
    for (const QString &input : in.texts)
        text += "text \"" + QString(input).replace(u'\r', "\\r").replace(u'\n', "\\n").replace(u'\t', "\\t") + "\"\n";
    text += QStringLiteral("blanks %1 case %2 J %3 M %4 C %5\n")
                .arg(in.ignoreBlanks)
                .arg(in.ignoreCase)
                .arg(in.judgement)
                .arg(in.characters)
                .arg(in.candidates);
    for (const auto *rows : {&expected, &actual}) {
        text += rows == &expected ? "literal walk:\n" : "engine:\n";
        for (const Cells &cells : *rows)
            text += QStringList(cells.begin(), cells.end()).join(u'|') + u'\n';
    }
    return text.toStdString();
}

// Random texts from a small alphabet, so that equal lines, runs and ties are frequent.
class InputMaker
{
public:
    explicit InputMaker(unsigned seed)
        : m_random(seed)
    {
    }

    // Up to `maximumLines` lines; with `longRuns`, 120 lines or more in runs of up to 109
    // equal lines, for the 99-line look-ahead.
    EngineInput make(int maximumLines, bool longRuns = false)
    {
        static const int judgements[] = {1, 1, 2, 2, 3, 3, 4, 5, 7, 10, 30, 0, -1, 98, 99, 100, 150};
        static const int characters[] = {1, 1, 1, 1, 0, 2, 3, 5, -1};
        static const int candidates[] = {1, 1, 1, 1, 2, 3, 0, -1};
        QStringList lines;
        if (longRuns) {
            while (lines.size() < 120) {
                const QString line = pick(3) ? randomLine() : QString();
                const int run = pick(4) ? 1 + pick(4) : 90 + pick(20);
                for (int k = 0; k < run; ++k)
                    lines.append(line);
            }
        } else {
            lines = randomLines(maximumLines);
        }
        EngineInput in;
        in.texts[0] = joined(lines);
        in.texts[1] = joined(!longRuns && pick(3) == 0 ? randomLines(maximumLines) : edited(lines));
        in.ignoreBlanks = pick(2);
        in.ignoreCase = pick(2);
        in.judgement = judgements[pick(std::size(judgements))];
        in.characters = characters[pick(std::size(characters))];
        in.candidates = candidates[pick(std::size(candidates))];
        return in;
    }

private:
    int pick(size_t count) { return int(std::uniform_int_distribution<size_t>(0, count - 1)(m_random)); }

    QString randomLine()
    {
        static const char16_t *const alphabet[] = {u"", u"a", u"a", u"b", u"b", u"c", u"A", u"B", u"a b", u"ab",
                                                   u" ", u"\t", u"\u3000", u"a\u3000b", u"\u00c4", u"\u00e4", u"}"};
        return QString::fromUtf16(alphabet[pick(std::size(alphabet))]);
    }

    QStringList randomLines(int maximumLines)
    {
        QStringList lines;
        for (int k = pick(size_t(maximumLines) + 1); k > 0; --k)
            lines.append(randomLine());
        return lines;
    }

    QStringList edited(QStringList lines)
    {
        for (int edits = pick(5); edits > 0; --edits) {
            const int at = pick(size_t(lines.size()) + 1);
            const int kind = pick(3);
            if (kind == 0)
                lines.insert(at, randomLine());
            else if (at < lines.size())
                kind == 1 ? lines.removeAt(at) : void(lines[at] = randomLine());
        }
        return lines;
    }

    // Lines joined by LF, CR LF or CR, with or without a final line end.
    QString joined(const QStringList &lines)
    {
        static const char16_t *const ends[] = {u"\n", u"\n", u"\r\n", u"\r"};
        QString text;
        for (qsizetype k = 0; k < lines.size(); ++k) {
            text += lines[k];
            if (k + 1 < lines.size() || pick(2))
                text += QString::fromUtf16(ends[pick(std::size(ends))]);
        }
        return text;
    }

    std::mt19937 m_random;
};

class DiffTextsAgainstLiteralWalk : public ::testing::Test
{
protected:
    // Every form of the texts must give the literal walk's table.
    void check(const EngineInput &in)
    {
        const std::vector<Cells> expected = LiteralWalk(in).run();
        for (const TextForm form : {TextForm::Utf16, TextForm::Latin1, TextForm::Mixed})
            check(in, form, expected, engineCells(in, form));
    }
    void check(const EngineInput &in, TextForm form, const std::vector<Cells> &expected,
               const std::vector<Cells> &actual)
    {
        if (expected != actual && ++m_failures <= 5)
            ADD_FAILURE() << describe(in, formName(form), expected, actual);
    }
    void TearDown() override { EXPECT_EQ(m_failures, 0); }

    int m_failures = 0;
};

TEST_F(DiffTextsAgainstLiteralWalk, ThousandsOfSmallTexts)
{
    InputMaker maker(20240611);
    for (int k = 0; k < 30000; ++k)
        check(maker.make(k % 3 == 0 ? 30 : 12));
}

TEST_F(DiffTextsAgainstLiteralWalk, LongRunsAndTheLookAheadLimit)
{
    InputMaker maker(77);
    for (int k = 0; k < 150; ++k)
        check(maker.make(0, true));
}

TEST_F(DiffTextsAgainstLiteralWalk, EveryJudgementLineCountOfTheList)
{
    InputMaker maker(5);
    for (int judgement = 1; judgement <= 30; ++judgement) {
        for (int k = 0; k < 200; ++k) {
            EngineInput in = maker.make(25);
            in.judgement = judgement;
            in.characters = 1;
            in.candidates = 1;
            check(in);
        }
    }
}

// The judgement line count search walks one preparation again and again: each walk must
// give what a comparison of its own gives.
TEST_F(DiffTextsAgainstLiteralWalk, OnePreparationForEveryJudgementLineCount)
{
    InputMaker maker(31);
    for (int k = 0; k < 500; ++k) {
        EngineInput in = maker.make(25);
        const PreparedLines prepared = PrepareLines(in.texts[0], in.texts[1], in.ignoreBlanks, in.ignoreCase);
        for (in.judgement = 10; in.judgement >= 1; --in.judgement)
            check(in, TextForm::Utf16, LiteralWalk(in).run(),
                  cellsOf(DiffPreparedTexts(prepared, in.judgement, in.characters, in.candidates, "file0PATH",
                                            "file1PATH")));
    }
}

} // namespace
} // namespace textcompare
