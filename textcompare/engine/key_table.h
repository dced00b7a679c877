#pragma once

#include <QStringView>

#include <cstddef>

namespace textcompare {

// A 64-bit hash of `size` bytes, sixteen bytes per multiplication (after wyhash).
quint64 HashKey(const void *data, size_t size);
// The hash of a key's code units.
inline quint64 HashKey(QStringView key)
{
    return HashKey(key.utf16(), size_t(key.size()) * sizeof(char16_t));
}

// Gives each distinct key an id, 0, 1, 2, ... in the order in which keys first come. The
// table holds no key text: the caller keeps what identifies each id's key and confirms a
// key when the table asks. Open addressing: each slot holds the upper half of the key's
// hash beside id + 1 (0 marks a free slot), so that most probes never touch key text. A
// key's first slot is taken from the top bits of that half, so the table can double, when
// half full, from what its slots hold.
class KeyTable
{
public:
    explicit KeyTable(size_t expectedKeys);
    ~KeyTable();
    KeyTable(const KeyTable &) = delete;
    KeyTable &operator=(const KeyTable &) = delete;

    // Starts fetching the slot of a hash whose lookup comes soon.
    void prefetch(quint64 hash) const { __builtin_prefetch(m_slots + firstSlot(quint32(hash >> 32))); }

    // The id of the key whose hash is `hash`: the first id on the hash's slot chain whose
    // key `isThisKey(id)` confirms, or a new id, count() before the call, when none does.
    template <typename IsThisKey>
    int idOf(quint64 hash, IsThisKey &&isThisKey)
    {
        if (size_t(m_count + 1) * 2 > m_slotCount)
            grow();
        const quint32 tag = quint32(hash >> 32);
        const size_t mask = m_slotCount - 1;
        for (size_t slot = firstSlot(tag);; slot = (slot + 1) & mask) {
            const quint64 entry = m_slots[slot];
            if (entry == 0) {
                m_slots[slot] = (quint64(tag) << 32) | quint64(m_count + 1);
                return m_count++;
            }
            if (quint32(entry >> 32) == tag) {
                const int id = int(quint32(entry)) - 1;
                if (isThisKey(id))
                    return id;
            }
        }
    }

    int count() const { return m_count; }

private:
    size_t firstSlot(quint32 tag) const { return size_t(tag) >> m_tagShift; }
    void grow();

    quint64 *m_slots = nullptr; // m_slotCount slots, a power of two, at most 2^32
    size_t m_slotCount = 0;
    int m_tagShift = 0; // 32 - log2(m_slotCount)
    int m_count = 0;
};

} // namespace textcompare
