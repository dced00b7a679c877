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

constexpr size_t MostSlots = size_t(1) << 32;

size_t slotCountFor(size_t expectedKeys)
{
    return std::bit_ceil(std::clamp<size_t>(expectedKeys * 2, 16, MostSlots));
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

int tagShiftFor(size_t slotCount)
{
    return 32 - std::countr_zero(slotCount);
}

} // namespace

quint64 HashKey(const void *data, size_t size)
{
    constexpr quint64 Secret[] = {0xa0761d6478bd642full, 0xe7037ed1a0b428dbull, 0x8ebc6af09c88c6e3ull};
    const char *at = static_cast<const char *>(data);
    // The length enters first, so that the overlapping reads of the last bytes below
    // cannot make two different keys alike.
    quint64 state = Secret[0] ^ size;
    size_t left = size;
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
        // One to three bytes: the first, the middle and the last.
        first = quint64(quint8(at[0])) << 16 | quint64(quint8(at[left / 2])) << 8 | quint8(at[left - 1]);
    }
    return fold(Secret[2] ^ size, fold(first ^ Secret[1], last ^ state));
}

KeyTable::KeyTable(size_t expectedKeys)
    : m_slots(allocateSlots(slotCountFor(expectedKeys)))
    , m_slotCount(slotCountFor(expectedKeys))
    , m_tagShift(tagShiftFor(m_slotCount))
{
}

KeyTable::~KeyTable()
{
    munmap(m_slots, m_slotCount * sizeof(quint64));
}

void KeyTable::grow()
{
    if (m_slotCount == MostSlots)
        throw std::bad_alloc();
    const size_t slotCount = m_slotCount * 2;
    const int tagShift = tagShiftFor(slotCount);
    quint64 *const grown = allocateSlots(slotCount);
    const size_t mask = slotCount - 1;
    for (size_t old = 0; old < m_slotCount; ++old) {
        const quint64 entry = m_slots[old];
        if (entry == 0)
            continue;
        size_t slot = size_t(entry >> 32) >> tagShift;
        while (grown[slot] != 0)
            slot = (slot + 1) & mask;
        grown[slot] = entry;
    }
    munmap(m_slots, m_slotCount * sizeof(quint64));
    m_slots = grown;
    m_slotCount = slotCount;
    m_tagShift = tagShift;
}

} // namespace textcompare
