#include "movie/BitReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

TEST(BitReader, ReadsMostSignificantBitFirstAcrossBytes)
{
    const BYTE data[] = { 0b1010'1100, 0x12, 0x34, 0x56, 0x78, 0x9A };
    CBitReader reader(data, 48);
    EXPECT_EQ(reader.ReadBits(3), 0b101u);
    EXPECT_EQ(reader.ReadBits(0), 0u);
    EXPECT_EQ(reader.GetBitPosition(), 3);
    // 32 bits starting at bit 3 touch five bytes.
    EXPECT_EQ(reader.ReadBits(32), 0x6091A2B3u);
    EXPECT_EQ(reader.GetBitPosition(), 35);
    EXPECT_EQ(reader.GetBitOffset(), 3);
    reader.Reset();
    EXPECT_EQ(reader.GetBitPosition(), 0);
    EXPECT_EQ(reader.ReadBits(8), 0xACu);
}

TEST(BitReader, SkipAllowsTheEndAndRefusesBeyondOrBeforeTheStart)
{
    const BYTE data[] = { 0xFF, 0x00 };
    CBitReader reader(data, 16);
    EXPECT_EQ(reader.Skip(5), 5);
    EXPECT_EQ(reader.Skip(11), 16);
    EXPECT_EQ(reader.GetBitOffset(), 0);
    EXPECT_EQ(reader.Skip(1), -1);
    EXPECT_EQ(reader.GetBitPosition(), 16);
    EXPECT_EQ(reader.Skip(-17), -1);
    EXPECT_EQ(reader.Skip(-16), 0);
    EXPECT_EQ(reader.Skip(-1), -1);
    EXPECT_EQ(reader.Skip(std::numeric_limits<std::int64_t>::max()), -1);
    EXPECT_EQ(reader.Skip(std::numeric_limits<std::int64_t>::min()), -1);
    EXPECT_EQ(reader.GetBitPosition(), 0);

    CBitReader empty(nullptr, 0);
    EXPECT_EQ(empty.Skip(0), 0);
    EXPECT_EQ(empty.Skip(5), -1);
}

TEST(BitReader, BitsBeyondTheEndReadAsZeroAndThePositionStopsThere)
{
    const BYTE data[] = { 0xFF, 0xFF };
    // Only 12 of the 16 bits belong to the reader.
    CBitReader reader(data, 12);
    reader.Skip(8);
    EXPECT_EQ(reader.ReadBits(8), 0xF0u);
    EXPECT_EQ(reader.GetBitPosition(), 12);
    EXPECT_EQ(reader.ReadBits(32), 0u);
    EXPECT_EQ(reader.GetBitPosition(), 12);

    CBitReader empty(nullptr, 0);
    EXPECT_EQ(empty.ReadBits(16), 0u);
    EXPECT_EQ(empty.GetBitPosition(), 0);
}

TEST(BitReader, CountsOutsideZeroToThirtyTwoReadNothing)
{
    const BYTE data[] = { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };
    CBitReader reader(data, 40);
    EXPECT_EQ(reader.ReadBits(33), 0u);
    EXPECT_EQ(reader.ReadBits(-1), 0u);
    EXPECT_EQ(reader.GetBitPosition(), 0);
}

TEST(BitReader, SignedFieldsUseTheirFullWidth)
{
    // 0xFFF38 in 20 bits, then 0x7FFF in 15 bits, then 1 in 1 bit.
    const BYTE data[] = { 0xFF, 0xF3, 0x8F, 0xFF, 0xF0 };
    CBitReader reader(data, 40);
    EXPECT_EQ(ReadSignedBits(reader, 20), -200);
    EXPECT_EQ(ReadSignedBits(reader, 15), -1);
    EXPECT_EQ(ReadSignedBits(reader, 1), -1);
    EXPECT_EQ(ReadSignedBits(reader, 0), 0);

    const BYTE wide[] = { 0x80, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF };
    CBitReader full(wide, 64);
    EXPECT_EQ(ReadSignedBits(full, 32), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ReadSignedBits(full, 32), std::numeric_limits<std::int32_t>::max());
}
