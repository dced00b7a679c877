#include "platform/byte_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

namespace platform {
namespace {

using Block = std::array<uchar, MaskedBlockSize>;

// Blocks of random bytes, of bytes near the range ends below, and runs of one byte.
std::vector<Block> sampleBlocks()
{
    std::mt19937_64 random(24680);
    const uchar nearEnds[] = {0x00, 0x08, 0x09, 0x0A, 0x0D, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0x81, 0x9F,
                              0xA0, 0xA1, 0xDF, 0xE0, 0xEF, 0xF0, 0xFC, 0xFD, 0xFE, 0xFF};
    std::vector<Block> blocks;
    for (int count = 0; count < 400; ++count) {
        Block block;
        for (uchar &byte : block)
            byte = count % 2 == 0 ? static_cast<uchar>(random()) : nearEnds[random() % std::size(nearEnds)];
        blocks.push_back(block);
    }
    for (int value = 0; value < 256; ++value) {
        Block block;
        block.fill(static_cast<uchar>(value));
        blocks.push_back(block);
    }
    return blocks;
}

TEST(ByteBlocks, RangesAndBitsOfEachByte)
{
    constexpr ByteRange text[] = {{0x20, 0x7E}, {0x09, 0x0A}, {0x0D, 0x0D}};
    constexpr ByteRange wholeRange[] = {{0x00, 0xFF}};
    constexpr ByteRange leads[] = {{0x81, 0x9F}, {0xE0, 0xFC}};
    for (const Block &block : sampleBlocks()) {
        quint64 expectedText = 0;
        quint64 expectedLeads = 0;
        quint64 expectedBit7 = 0;
        quint64 expectedBit0 = 0;
        quint64 expectedBit5 = 0;
        for (int index = 0; index < MaskedBlockSize; ++index) {
            const uchar byte = block[index];
            const quint64 bit = quint64(1) << index;
            if ((byte >= 0x20 && byte <= 0x7E) || byte == 0x09 || byte == 0x0A || byte == 0x0D)
                expectedText |= bit;
            if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC))
                expectedLeads |= bit;
            expectedBit7 |= byte & 0x80 ? bit : 0;
            expectedBit5 |= byte & 0x20 ? bit : 0;
            expectedBit0 |= byte & 0x01 ? bit : 0;
        }
        ASSERT_EQ(bytesIn(block.data(), text), expectedText);
        ASSERT_EQ(bytesIn(block.data(), leads), expectedLeads);
        ASSERT_EQ(bytesIn(block.data(), wholeRange), ~quint64(0));
        ASSERT_EQ(bitOfEachByte<7>(block.data()), expectedBit7);
        ASSERT_EQ(bitOfEachByte<5>(block.data()), expectedBit5);
        ASSERT_EQ(bitOfEachByte<0>(block.data()), expectedBit0);
    }
}

// The bytes taken as second bytes, found by reading from the first byte on.
quint64 takenOneByOne(quint64 leads)
{
    quint64 taken = 0;
    for (int index = 0; index < MaskedBlockSize; ++index) {
        if ((leads >> index) & 1) {
            if (index + 1 < MaskedBlockSize)
                taken |= quint64(1) << (index + 1);
            ++index;
        }
    }
    return taken;
}

TEST(ByteBlocks, TakenBehindLeadsReadsPairsFromTheFirstByte)
{
    const quint64 masks[] = {0, ~quint64(0), 1, quint64(1) << 63, 0b0111, 0b0110, 0b1110111, 0x8000000000000001ULL,
                             0x5555555555555555ULL, 0xAAAAAAAAAAAAAAAAULL, 0x7FFFFFFFFFFFFFFFULL, 0xFFFFFFFFFFFFFFFEULL};
    for (const quint64 mask : masks)
        EXPECT_EQ(takenBehindLeads(mask), takenOneByOne(mask)) << std::hex << mask;
    std::mt19937_64 random(97531);
    for (int count = 0; count < 100000; ++count) {
        // Dense and sparse masks both: runs of every length.
        const quint64 mask = count % 3 == 0 ? random() : count % 3 == 1 ? random() | random() : random() & random();
        ASSERT_EQ(takenBehindLeads(mask), takenOneByOne(mask)) << std::hex << mask;
    }
}

TEST(ByteBlocks, WidenKeepsTheRunAtTheStart)
{
    std::mt19937_64 random(11223);
    for (int ascii = 0; ascii <= 16; ++ascii) {
        for (int count = 0; count < 50; ++count) {
            uchar bytes[16];
            for (int index = 0; index < 16; ++index) {
                const auto any = static_cast<uchar>(random());
                // No 0x1B in the ASCII: it serves as the stop byte below.
                const auto ascii7 = static_cast<uchar>((any & 0x7F) == 0x1B ? 0x1C : any & 0x7F);
                bytes[index] = index < ascii ? ascii7 : index == ascii ? any | 0x80 : any;
            }
            char16_t units[16];
            ASSERT_EQ(widenAscii16(bytes, units), ascii);
            for (int index = 0; index < ascii; ++index)
                ASSERT_EQ(units[index], bytes[index]);
            // A byte outside the ranges ends the run where it comes first.
            constexpr ByteRange butEscape[] = {{0x00, 0x1A}, {0x1C, 0x7F}};
            const int at = int(random() % 16);
            bytes[at] = 0x1B;
            ASSERT_EQ(widenRun16(bytes, units, butEscape), std::min(at, ascii));
        }
    }
}

} // namespace
} // namespace platform
