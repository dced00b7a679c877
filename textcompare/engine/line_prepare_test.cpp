#include "textcompare/engine/line_prepare.h"

#include "platform/testing/print_to.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace textcompare {
namespace {

using namespace Qt::StringLiterals;

bool sameKey(const QString &line1, const QString &line2, bool ignoreBlanks, bool ignoreCase)
{
    const PreparedLines prepared = PrepareLines(line1 + "\n", line2 + "\n", ignoreBlanks, ignoreCase);
    return prepared.keys.sides[0].ids[1] == prepared.keys.sides[1].ids[1];
}

TEST(PrepareLines, KeysUnderTheOptions)
{
    const struct
    {
        const char *name;
        QString line1;
        QString line2;
        bool ignoreBlanks;
        bool ignoreCase;
        bool same;
    } cases[] = {
        {"exact by default", "a b", "a b", false, false, true},
        {"blanks count by default", "a b", "ab", false, false, false},
        {"case counts by default", "A", "a", false, false, false},
        {"space ignored", "a b", "ab", true, false, true},
        {"ideographic space ignored", u"a\u3000b"_s, "ab", true, false, true},
        {"tab ignored", "\ta\tb\t", "ab", true, false, true},
        {"other white space is not a blank", u"a\u00a0b"_s, "ab", true, false, false},
        {"blank line equals empty line", " \t\u3000", "", true, false, true},
        {"case ignored", "AbC", "aBc", false, true, true},
        {"case ignored beyond ASCII", u"\u00c4\u0416"_s, u"\u00e4\u0436"_s, false, true, true},
        {"full-width letters", u"\uff21"_s, u"\uff41"_s, false, true, true},
        {"letters outside the basic plane", u"\U00010400"_s, u"\U00010428"_s, false, true, true},
        {"case ignored keeps blanks", "A b", "ab", false, true, false},
        {"both options", u"A\u3000B c"_s, "abC", true, true, true},
        {"different letters stay different", "ab", "ac", true, true, false},
        {"lone surrogate is kept", u"a\xd800"_s, u"A\xd800"_s, false, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sameKey(c.line1, c.line2, c.ignoreBlanks, c.ignoreCase), c.same);
    }
}

TEST(PrepareLines, KeyLengthsCountCharactersOfTheKey)
{
    const PreparedLines prepared = PrepareLines(u"a b\u3000c\n\t\n"_s, QString(), true, false);
    const SideKeys &side = prepared.keys.sides[0];
    EXPECT_EQ(prepared.keys.keyLength[size_t(side.ids[1])], 3);
    EXPECT_EQ(prepared.keys.keyLength[size_t(side.ids[2])], 0);
}

TEST(PrepareLines, EachIdListsItsLinesInOrder)
{
    const PreparedLines prepared = PrepareLines(QString("a\nb\na\n\na\nb"), QString("b\nc\nb\na"), false, false);
    const auto linesOf = [&](size_t side, int line) {
        const SideKeys &keys = prepared.keys.sides[side];
        const std::span<const int> lines = keys.linesOf(prepared.keys.sides[0].ids[size_t(line)]);
        return std::vector<int>(lines.begin(), lines.end());
    };
    EXPECT_EQ(linesOf(0, 1), (std::vector<int>{1, 3, 5})); // "a"
    EXPECT_EQ(linesOf(0, 2), (std::vector<int>{2, 6}));    // "b"
    EXPECT_EQ(linesOf(1, 2), (std::vector<int>{1, 3}));
    EXPECT_EQ(linesOf(1, 1), (std::vector<int>{4}));
    EXPECT_EQ(linesOf(1, 4), (std::vector<int>{}));        // the empty line
    EXPECT_EQ(prepared.keys.sides[1].ids[2], 3);           // "c" came last
}

TEST(RemoveBlanks, SameAsRemovingEachBlankOnLinesOfEveryLength)
{
    static const char16_t units[] = {u'a', u'b', u' ', u'\t', u'\u3000', u'\u3001', u'x', u'\u2000', u'Z'};
    static const char latin1[] = {'a', 'b', ' ', '\t', '\xa0', 'x', '\xe4', 'Z'};
    std::mt19937 random(3);
    for (int length = 0; length <= 40; ++length) {
        for (int round = 0; round < 50; ++round) {
            QString line;
            QByteArray latin1Line;
            for (int k = 0; k < length; ++k) {
                line += QChar(units[random() % std::size(units)]);
                latin1Line += latin1[random() % std::size(latin1)];
            }
            QString expected = line;
            expected.remove(u' ').remove(u'\u3000').remove(u'\t');
            std::vector<char16_t> key(size_t(length) + 1, u'#');
            const char16_t *end = RemoveBlanks(line, key.data());
            ASSERT_EQ(QStringView(key.data(), end), expected) << "line \"" << line.toStdString() << '"';

            QByteArray expectedBytes = latin1Line;
            expectedBytes.replace(' ', "").replace('\t', "");
            std::vector<uchar> bytes(size_t(length) + 1, '#');
            const uchar *bytesEnd = RemoveBlanks(QLatin1StringView(latin1Line), bytes.data());
            ASSERT_EQ(QByteArray(reinterpret_cast<const char *>(bytes.data()), bytesEnd - bytes.data()), expectedBytes)
                << "Latin-1 line \"" << latin1Line.toStdString() << '"';
        }
    }
}

TEST(RemoveBlanks, WritesNothingBeyondTheLine)
{
    const QString line = "a b c d e f g h i j";
    std::vector<char16_t> key(size_t(line.size()) + 8, u'#');
    RemoveBlanks(line, key.data());
    for (size_t k = size_t(line.size()); k < key.size(); ++k)
        EXPECT_EQ(key[k], u'#') << k;

    const QByteArray latin1Line = line.toLatin1();
    std::vector<uchar> bytes(size_t(line.size()) + 8, '#');
    RemoveBlanks(QLatin1StringView(latin1Line), bytes.data());
    for (size_t k = size_t(line.size()); k < bytes.size(); ++k)
        EXPECT_EQ(bytes[k], '#') << k;
}

} // namespace
} // namespace textcompare
