#pragma once

#include <QtGlobal>

#include <array>
#include <bit>
#include <cstddef>

// SUITE_NO_SIMD builds the plain loops also where SSE2 exists, so that a test can check
// them.
#if defined(__SSE2__) && !defined(SUITE_NO_SIMD)
#define PLATFORM_BYTE_BLOCKS_SSE2
#include <emmintrin.h>
#endif

namespace platform {

// Helpers for code that walks bytes: byte classes of a block of 64 bytes as 64-bit masks,
// bit i for byte i, so that a state machine (the character-code judge, the table
// decoders) tests a class for 64 bytes at once and then works on whole masks; and the
// copying of ASCII into UTF-16 sixteen bytes at a time.
//
// The SSE2 and the plain forms live in namespaces of their own, so that one program may
// hold both (a test builds one unit with SUITE_NO_SIMD).
#if defined(PLATFORM_BYTE_BLOCKS_SSE2)
inline namespace sse2 {
#else
inline namespace plain {
#endif

inline constexpr int MaskedBlockSize = 64;

// The bytes low to high, both included.
struct ByteRange
{
    uchar low;
    uchar high;
};

#if defined(PLATFORM_BYTE_BLOCKS_SSE2)
// 0xFF in each of the 16 bytes that lies in one of `ranges`, 0 in the others. SSE2
// compares bytes only as signed numbers and only for equality or "greater", so a range
// is tested as (byte - low) <= (high - low) in unsigned bytes: the saturating subtraction
// of (high - low) is 0 exactly then. The loop is unrolled so that the ranges become
// constants.
template <std::size_t Count>
inline __m128i inRanges(__m128i bytes, const ByteRange (&ranges)[Count])
{
    __m128i in = _mm_setzero_si128();
#pragma GCC unroll 8
    for (const ByteRange &range : ranges) {
        if (range.low == range.high) {
            in = _mm_or_si128(in, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(range.low))));
            continue;
        }
        const __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(range.low)));
        const __m128i beyond = _mm_subs_epu8(offset, _mm_set1_epi8(static_cast<char>(range.high - range.low)));
        in = _mm_or_si128(in, _mm_cmpeq_epi8(beyond, _mm_setzero_si128()));
    }
    return in;
}
#endif

// The mask of the 64 bytes at `data` that lie in one of `ranges`.
template <std::size_t Count>
inline quint64 bytesIn(const uchar *data, const ByteRange (&ranges)[Count])
{
    quint64 mask = 0;
#if defined(PLATFORM_BYTE_BLOCKS_SSE2)
#pragma GCC unroll 4
    for (int part = 0; part < MaskedBlockSize / 16; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 16 * part));
        mask |= quint64(quint16(_mm_movemask_epi8(inRanges(bytes, ranges)))) << (16 * part);
    }
#else
    for (int index = 0; index < MaskedBlockSize; ++index) {
        for (const ByteRange &range : ranges) {
            if (data[index] >= range.low && data[index] <= range.high)
                mask |= quint64(1) << index;
        }
    }
#endif
    return mask;
}

// The mask of the 64 bytes at `data` that have bit `Bit` (0 to 7) set.
template <int Bit>
inline quint64 bitOfEachByte(const uchar *data)
{
    static_assert(Bit >= 0 && Bit <= 7);
    quint64 mask = 0;
#if defined(PLATFORM_BYTE_BLOCKS_SSE2)
    // SSE2 collects the top bit of every byte. Shifting the 16-bit lanes left brings bit
    // `Bit` of each byte to its top; what crosses from the low byte into the high one
    // lands below the high byte's top and does not count.
#pragma GCC unroll 4
    for (int part = 0; part < MaskedBlockSize / 16; ++part) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 16 * part));
        if constexpr (Bit < 7)
            bytes = _mm_slli_epi16(bytes, 7 - Bit);
        mask |= quint64(quint16(_mm_movemask_epi8(bytes))) << (16 * part);
    }
#else
    for (int index = 0; index < MaskedBlockSize; ++index)
        mask |= quint64((data[index] >> Bit) & 1) << index;
#endif
    return mask;
}

// For bytes read as in Shift-JIS, where every byte of `leads` that is read as a first
// byte takes the byte behind it as its second, and byte 0 is read as a first byte: the
// bytes taken as second bytes. A run of lead bytes is read lead, second, lead, second...
// from its first byte, and the byte behind a run of odd length is the second byte of its
// last lead. Byte 64, taken by a lead at 63, is the caller's to carry.
inline quint64 takenBehindLeads(quint64 leads)
{
    constexpr quint64 EvenBits = 0x5555555555555555ULL;
    const quint64 runStarts = leads & ~(leads << 1);
    // Adding a run's first bit to the mask carries through the run: the sum has the run
    // cleared and the bit behind it set, so the sum xor the mask covers the run and the
    // byte behind it. Runs from even and from odd positions take alternate bits.
    const quint64 fromEven = (leads + (runStarts & EvenBits)) ^ leads;
    const quint64 fromOdd = (leads + (runStarts & ~EvenBits)) ^ leads;
    return (fromEven & ~EvenBits) | (fromOdd & EvenBits);
}

// Writes the 16 bytes at `data` to `out` as 16 UTF-16 units, each byte's value as it
// is, and returns how many of the bytes, from the first, lie in one of `ranges`, which
// hold only ASCII. The caller keeps that many units; the others are scratch, so `out`
// needs room for 16.
template <std::size_t Count>
inline int widenRun16(const uchar *data, char16_t *out, const ByteRange (&ranges)[Count])
{
#if defined(PLATFORM_BYTE_BLOCKS_SSE2)
    // Interleaving the bytes with zero bytes makes little-endian UTF-16 units.
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(bytes, zero));
    const unsigned outside = ~unsigned(_mm_movemask_epi8(inRanges(bytes, ranges))) & 0xFFFF;
    return outside != 0 ? std::countr_zero(outside) : 16;
#else
    for (int index = 0; index < 16; ++index) {
        bool in = false;
        for (const ByteRange &range : ranges)
            in = in || (data[index] >= range.low && data[index] <= range.high);
        if (!in)
            return index;
        out[index] = data[index];
    }
    return 16;
#endif
}

inline constexpr ByteRange AsciiBytes[] = {{0x00, 0x7F}};

// widenRun16 of the bytes below 0x80.
inline int widenAscii16(const uchar *data, char16_t *out)
{
    return widenRun16(data, out, AsciiBytes);
}

} // inline namespace

// Classes of single bytes, alike with SSE2 and without.

// A first byte of a two-byte character in code page 932: 0x81 to 0x9F, 0xE0 to 0xFC.
constexpr bool isCp932Lead(uchar byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A second byte of a two-byte character in code page 932: 0x40 to 0x7E, 0x80 to 0xFC.
constexpr bool isCp932Trail(uchar byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// The value of each byte in the base64 alphabet of UTF-7 ("A" to "Z", "a" to "z", "0" to
// "9", "+", "/"), -1 for the others.
inline constexpr std::array<qint8, 256> Base64Values = [] {
    std::array<qint8, 256> values{};
    values.fill(-1);
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int value = 0; value < 64; ++value)
        values[static_cast<uchar>(alphabet[value])] = static_cast<qint8>(value);
    return values;
}();

constexpr bool isBase64(uchar byte)
{
    return Base64Values[byte] >= 0;
}

} // namespace platform
