// RecordsTest.cpp - the sender file's scramble key.
#include "app/Records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(ScrambleKey, IsDerivedFromShiftedDigitPairs)
{
    // The constant begins "7C3A91"; pair i has i subtracted from each digit, wrapped into 0..15.
    const ScrambleKey key = MakeScrambleKey();
    EXPECT_EQ(key.bytes[0], 0x7C);
    EXPECT_EQ(key.bytes[1], 0x29);
    EXPECT_EQ(key.bytes[2], 0x7F); // 9-2 = 7, 1-2 wraps to 15
}

TEST(ScrambleBuffer, TwiceGivesTheBufferBack)
{
    std::vector<unsigned char> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    const std::vector<unsigned char> original = data;
    ScrambleBuffer(data.data(), data.size());
    EXPECT_NE(data, original);
    ScrambleBuffer(data.data(), data.size());
    EXPECT_EQ(data, original);
}

TEST(ScrambleBuffer, AnAllZeroRecordBecomesTheKeyRepeated)
{
    SenderInf sender;
    ScrambleBuffer(&sender, sizeof(sender));
    const ScrambleKey key = MakeScrambleKey();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&sender);
    for (std::size_t i = 0; i < sizeof(sender); i += 16)
        ASSERT_EQ(std::memcmp(p + i, key.bytes, 16), 0) << "at " << i;
}
