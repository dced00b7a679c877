#include "textcompare/engine/key_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace textcompare {
namespace {

quint64 read64(const char *at)
{
    quint64 value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

quint32 read32(const char *at)
{
    quint32 value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Multiplies into 128 bits and folds the halves together.
quint64 fold(quint64 left, quint64 right)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(left) * right;
    return quint64(product) ^ quint64(product >> 64);
}

// Zeroed slots straight from the system, asked to be backed by large pages: lookups land
// anywhere in the table, and with small pages nearly each one misses the address cache.
quint64 *allocateSlots(size_t count)
{
    const size_t bytes = count * sizeof(quint64);
    void *memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    madvise(memory, bytes, MADV_HUGEPAGE);
    return static_cast<quint64 *>(memory);
}

void releaseSlots(quint64 *slotArray, size_t count)
{
    if (slotArray)
        munmap(slotArray, count * sizeof(quint64));
}

size_t slotCountFor(size_t expectedKeys)
{
    return std::bit_ceil(std::max<size_t>(16, expectedKeys * 2));
}

constexpr size_t KeptBlockUnits = size_t(1) << 20;

} // namespace

quint64 HashKey(QStringView key)
{
    constexpr quint64 Secret[] = {0xa0761d6478bd642full, 0xe7037ed1a0b428dbull, 0x8ebc6af09c88c6e3ull};
    const char *at = reinterpret_cast<const char *>(key.utf16());
    const size_t bytes = size_t(key.size()) * sizeof(char16_t);
    // The length enters first, so that the overlapping reads of the last bytes below
    // cannot make two different keys alike.
    quint64 state = Secret[0] ^ bytes;
    size_t left = bytes;
    for (; left > 16; left -= 16, at += 16)
        state = fold(read64(at) ^ Secret[1], read64(at + 8) ^ state);
    quint64 first = 0;
    quint64 last = 0;
    if (left >= 8) {
        first = read64(at);
        last = read64(at + left - 8);
    } else if (left >= 4) {
        first = read32(at);
        last = read32(at + left - 4);
    } else if (left > 0) {
        first = quint64(quint8(at[0])) | quint64(quint8(at[1])) << 8;
    }
    return fold(Secret[2] ^ bytes, fold(first ^ Secret[1], last ^ state));
}

KeyTable::KeyTable(size_t expectedKeys)
    : m_slots(allocateSlots(slotCountFor(expectedKeys)))
    , m_slotCount(slotCountFor(expectedKeys))
{
    m_keys.reserve(expectedKeys);
}

KeyTable::~KeyTable()
{
    releaseSlots(m_slots, m_slotCount);
}

int KeyTable::idOf(QStringView key, quint64 hash, bool keyIsTemporary)
{
    const quint32 tag = quint32(hash >> 32);
    const size_t mask = m_slotCount - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const quint64 entry = m_slots[slot];
        if (entry == 0) {
            const int id = count();
            m_keys.push_back(keyIsTemporary ? keep(key) : key);
            m_slots[slot] = (quint64(tag) << 32) | quint64(id + 1);
            if (m_keys.size() * 2 > m_slotCount)
                grow();
            return id;
        }
        if (quint32(entry >> 32) == tag) {
            const int id = int(quint32(entry)) - 1;
            if (m_keys[size_t(id)] == key)
                return id;
        }
    }
}

QStringView KeyTable::keep(QStringView key)
{
    const size_t size = size_t(key.size());
    if (m_keptRoom < size) {
        const size_t blockUnits = std::max(size, KeptBlockUnits);
        m_keptBlocks.push_back(std::make_unique_for_overwrite<char16_t[]>(blockUnits));
        m_keptEnd = m_keptBlocks.back().get();
        m_keptRoom = blockUnits;
    }
    char16_t *const start = m_keptEnd;
    std::copy(key.utf16(), key.utf16() + size, start);
    m_keptEnd += size;
    m_keptRoom -= size;
    return QStringView(start, qsizetype(size));
}

void KeyTable::grow()
{
    const size_t slotCount = m_slotCount * 2;
    quint64 *const grown = allocateSlots(slotCount);
    const size_t mask = slotCount - 1;
    for (size_t id = 0; id < m_keys.size(); ++id) {
        const quint64 hash = HashKey(m_keys[id]);
        size_t slot = hash & mask;
        while (grown[slot] != 0)
            slot = (slot + 1) & mask;
        grown[slot] = (quint64(quint32(hash >> 32)) << 32) | quint64(id + 1);
    }
    releaseSlots(m_slots, m_slotCount);
    m_slots = grown;
    m_slotCount = slotCount;
}

} // namespace textcompare
