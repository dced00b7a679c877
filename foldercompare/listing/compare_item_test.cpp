#include "foldercompare/listing/compare_item.h"

#include "platform/testing/print_to.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace foldercompare::listing {
namespace {

// The ordering rule written out literally: lower-case both texts and compare them, then
// compare the exact texts.
int literalCompareItem(const QString &a, const QString &b)
{
    const int lowered = a.toLower().compare(b.toLower());
    if (lowered != 0)
        return lowered < 0 ? -1 : 1;
    const int exact = a.compare(b);
    return exact < 0 ? -1 : (exact > 0 ? 1 : 0);
}

TEST(CompareItem, OrdersLowerCasedFirstThenExactly)
{
    const struct
    {
        const char *name;
        QString a;
        QString b;
        int expected;
    } cases[] = {
        {"capitals sort first among equals", "abc", "ABC", 1},
        {"the lower-cased texts decide first", "abc", "ABD", -1},
        {"equal texts", "abc", "abc", 0},
        {"a prefix sorts first", "sub", "sub/", -1},
        {"a folder sorts after a same-named file with an extension", "a.txt", "a/", -1},
        {"folder contents follow the folder", "a/", "a/b", -1},
        {"letter case of a later character", "Sub/a", "sub/A", -1},
        {"non-ASCII folded", QStringLiteral("Äb"), QStringLiteral("äa"), 1},
        {"non-ASCII exact tie-break", QStringLiteral("Ä"), QStringLiteral("ä"), -1},
        {"Japanese by code", QStringLiteral("いろは"), QStringLiteral("あいう"), 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CompareItem(c.a, c.b), c.expected);
        EXPECT_EQ(CompareItem(c.b, c.a), -c.expected);
    }
}

TEST(CompareItem, SubKeysDecideBetweenEqualKeys)
{
    EXPECT_EQ(CompareItem(u"変更", u"変更", QStringView(u"b.txt"), QStringView(u"a.txt")), 1);
    EXPECT_EQ(CompareItem(u"変更", u"追加", QStringView(u"a.txt"), QStringView(u"b.txt")),
              CompareItem(u"変更", u"追加"));
    EXPECT_EQ(CompareItem(u"x", u"x", std::nullopt, std::nullopt), 0);
    EXPECT_EQ(CompareItem(u"x", u"x", QStringView(u"A"), QStringView(u"a")), -1);
}

TEST(CompareItem, AgreesWithTheLiteralRuleOnMixedTexts)
{
    const QString alphabet = QStringLiteral("aAbBzZ/._-0~ÉéßİıΣσあア漢～😀");
    QRandomGenerator random(4711);
    auto text = [&] {
        QString result;
        const int length = random.bounded(6);
        for (int i = 0; i < length; ++i) {
            const qsizetype at = random.bounded(alphabet.size() - 1);
            // Keep a surrogate pair whole.
            result += alphabet.at(at).isHighSurrogate() ? alphabet.mid(at, 2) : alphabet.mid(at, 1);
        }
        return result;
    };
    for (int i = 0; i < 20000; ++i) {
        const QString a = text();
        const QString b = random.bounded(4) == 0 ? a.toUpper() : text();
        ASSERT_EQ(CompareItem(a, b), literalCompareItem(a, b)) << a.toStdString() << " / " << b.toStdString();
        ASSERT_EQ(CompareItemUtf8(a.toUtf8(), b.toUtf8()), literalCompareItem(a, b))
            << "as listing files hold them: " << a.toStdString() << " / " << b.toStdString();
    }
}

TEST(QuickSort, SortsTheRangeByKeyAndSubKey)
{
    QStringList records{"9\t変更\tb.txt", "1\t追加\ta.txt", "5\t変更\ta.txt", "3\t\tz.txt", "7\t日時\tc.txt"};
    QuickSort(records, 0, records.size() - 1, 1, 2);
    // By code: 変 (U+5909) < 日 (U+65E5) < 追 (U+8FFD); equal statuses by path.
    EXPECT_EQ(records, (QStringList{"3\t\tz.txt", "5\t変更\ta.txt", "9\t変更\tb.txt", "7\t日時\tc.txt", "1\t追加\ta.txt"}));
}

TEST(QuickSort, LeavesTheRestAndEmptyRangesAlone)
{
    const QStringList original{"", "c", "b", "a", "B"};
    QStringList records = original;
    QuickSort(records, 2, 2, 0, -1);
    EXPECT_EQ(records, original);
    QuickSort(records, 3, 1, 0, -1);
    EXPECT_EQ(records, original);
    QuickSort(records, 1, 4, 0, -1);
    EXPECT_EQ(records, (QStringList{"", "a", "B", "b", "c"})) << "slot 0 stays outside the range";
}

TEST(QuickSort, MissingFieldsCountAsEmptyAndEqualRecordsKeepTheirOrder)
{
    QStringList records{"b\tx", "a", "c\tx", "d\t"};
    QuickSort(records, 0, 3, 1, -1);
    EXPECT_EQ(records, (QStringList{"a", "d\t", "b\tx", "c\tx"}));
}

TEST(RecordField, PicksOneFieldOfATabSeparatedRecord)
{
    EXPECT_EQ(RecordField(u"a\tb\tc", 0), u"a");
    EXPECT_EQ(RecordField(u"a\tb\tc", 2), u"c");
    EXPECT_EQ(RecordField(u"a\tb\tc", 3), u"");
    EXPECT_EQ(RecordField(u"a\t\tc\t", 1), u"");
    EXPECT_EQ(RecordField(u"a\t\tc\t", 3), u"");
}

} // namespace
} // namespace foldercompare::listing
