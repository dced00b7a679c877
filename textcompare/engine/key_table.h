#pragma once

#include <QStringView>

#include <memory>
#include <vector>

namespace textcompare {

// A 64-bit hash of a key's code units, sixteen bytes per multiplication (after wyhash).
quint64 HashKey(QStringView key);

// Gives each distinct key an id, 0, 1, 2, ... in the order in which keys first come.
// Open addressing: each slot holds the upper half of the key's hash beside id + 1 (0 marks
// a free slot), so that most probes never touch key text. The table doubles when half full.
class KeyTable
{
public:
    explicit KeyTable(size_t expectedKeys);
    ~KeyTable();
    KeyTable(const KeyTable &) = delete;
    KeyTable &operator=(const KeyTable &) = delete;

    // Starts fetching the slot of a hash whose lookup comes soon.
    void prefetch(quint64 hash) const { __builtin_prefetch(m_slots + (hash & (m_slotCount - 1))); }

    // The id of `key`, whose hash is `hash`. A new key is copied into the table when
    // `keyIsTemporary`; otherwise it must outlive the table.
    int idOf(QStringView key, quint64 hash, bool keyIsTemporary);

    int count() const { return int(m_keys.size()); }
    qsizetype keyLength(int id) const { return m_keys[size_t(id)].size(); }

private:
    QStringView keep(QStringView key);
    void grow();

    quint64 *m_slots = nullptr; // m_slotCount slots, a power of two
    size_t m_slotCount = 0;
    std::vector<QStringView> m_keys; // the first key met for each id
    std::vector<std::unique_ptr<char16_t[]>> m_keptBlocks; // copies of temporary keys; never move
    char16_t *m_keptEnd = nullptr;
    size_t m_keptRoom = 0;
};

} // namespace textcompare
