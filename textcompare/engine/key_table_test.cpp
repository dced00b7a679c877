#include "textcompare/engine/key_table.h"

#include "platform/testing/print_to.h"

#include <QString>

#include <gtest/gtest.h>

#include <set>

namespace textcompare {
namespace {

// A key table with the keys of its ids beside it, as the line preparation keeps them;
// `hash` gives the hash of a key.
class NumberedKeys
{
public:
    explicit NumberedKeys(size_t expectedKeys, quint64 (*hash)(QStringView) = HashKey)
        : m_table(expectedKeys)
        , m_hash(hash)
    {
    }

    int idOf(const QString &key)
    {
        const int id = m_table.idOf(m_hash(key), [&](int earlier) { return m_keys[size_t(earlier)] == key; });
        if (size_t(id) == m_keys.size())
            m_keys.push_back(key);
        return id;
    }
    int count() const { return m_table.count(); }

private:
    KeyTable m_table;
    quint64 (*m_hash)(QStringView);
    std::vector<QString> m_keys;
};

TEST(KeyTable, IdsInTheOrderKeysFirstCome)
{
    NumberedKeys table(4);
    const QString keys[] = {"b", "a", "", "b", "ab", "a"};
    std::vector<int> ids;
    for (const QString &key : keys)
        ids.push_back(table.idOf(key));
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 0, 3, 1}));
    EXPECT_EQ(table.count(), 4);
}

// Keys whose hashes share a slot and even the stored half are still told apart by the key.
TEST(KeyTable, KeysOfTheSameHashStayApart)
{
    NumberedKeys table(1, [](QStringView key) { return quint64(key.isEmpty() ? 1 : 7) << 32; });
    const QString keys[] = {"first", "second", "", "second", "third", "first", ""};
    std::vector<int> ids;
    for (const QString &key : keys)
        ids.push_back(table.idOf(key));
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 1, 3, 0, 2}));
}

TEST(KeyTable, GrowsFarBeyondWhatWasExpected)
{
    NumberedKeys table(1);
    for (int k = 0; k < 20000; ++k)
        ASSERT_EQ(table.idOf(QString::number(k)), k);
    for (int k = 19999; k >= 0; --k)
        ASSERT_EQ(table.idOf(QString::number(k)), k);
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
