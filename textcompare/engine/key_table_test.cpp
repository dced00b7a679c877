#include "textcompare/engine/key_table.h"

#include "platform/testing/print_to.h"

#include <QString>

#include <gtest/gtest.h>

#include <set>

namespace textcompare {
namespace {

int idOf(KeyTable &table, const QString &key, bool temporary = false)
{
    return table.idOf(key, HashKey(key), temporary);
}

TEST(KeyTable, IdsInTheOrderKeysFirstCome)
{
    KeyTable table(4);
    const QString keys[] = {"b", "a", "", "b", "ab", "a"};
    std::vector<int> ids;
    for (const QString &key : keys)
        ids.push_back(idOf(table, key));
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 0, 3, 1}));
    EXPECT_EQ(table.count(), 4);
    EXPECT_EQ(table.keyLength(3), 2);
    EXPECT_EQ(table.keyLength(2), 0);
}

TEST(KeyTable, KeepsTemporaryKeys)
{
    KeyTable table(1);
    QString buffer = "first key";
    ASSERT_EQ(idOf(table, buffer, true), 0);
    buffer.fill(u'z');
    EXPECT_EQ(idOf(table, buffer, true), 1);
    EXPECT_EQ(idOf(table, "first key"), 0);
}

TEST(KeyTable, GrowsFarBeyondWhatWasExpected)
{
    std::vector<QString> lasting; // keys given as not temporary must outlive the table
    KeyTable table(1);
    for (int k = 0; k < 20000; ++k) {
        if (k % 2 == 0) {
            ASSERT_EQ(idOf(table, QString::number(k), true), k);
        } else {
            lasting.push_back(QString::number(k));
            ASSERT_EQ(idOf(table, lasting.back()), k);
        }
    }
    for (int k = 19999; k >= 0; --k)
        ASSERT_EQ(idOf(table, QString::number(k)), k);
    EXPECT_EQ(table.count(), 20000);
}

// Every code unit, the last ones read twice included, must reach the hash; otherwise keys
// that differ only there would all share a slot chain.
TEST(HashKey, EveryUnitCounts)
{
    for (int length = 1; length <= 40; ++length) {
        const QString base(length, u'a');
        std::set<quint64> hashes{HashKey(base)};
        for (int at = 0; at < length; ++at) {
            QString changed = base;
            changed[at] = u'b';
            EXPECT_TRUE(hashes.insert(HashKey(changed)).second) << "length " << length << " unit " << at;
        }
    }
}

TEST(HashKey, LengthCounts)
{
    std::set<quint64> hashes;
    for (int length = 0; length <= 40; ++length)
        EXPECT_TRUE(hashes.insert(HashKey(QString(length, QChar(0)))).second) << length;
}

} // namespace
} // namespace textcompare
