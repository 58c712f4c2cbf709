#include "device/CalibParameterRecord.h"
#include "device/StoredTuningRecord.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

std::vector<float> pairs(int n, float base) {
    std::vector<float> v(static_cast<std::size_t>(2 * n));
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = base + static_cast<float>(i) * 0.25f;
    return v;
}

void putI32(std::uint8_t* at, std::int32_t v) {
    std::memcpy(at, &v, sizeof v);
}

} // namespace

// A record written out byte by byte, independently of the layout's own constants: the tool
// builds exactly these bytes, and the module reads them back as the values they stand for.
TEST(RecordLayoutTest, CalibRecordMatchesBytesWrittenByHand) {
    std::vector<int> expected(316, 0);
    const auto put = [&expected](int at, std::initializer_list<int> bytes) {
        for (int b : bytes)
            expected[static_cast<std::size_t>(at++)] = b;
    };
    put(0, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F});  // h0 = 1.5
    put(64, {0, 0, 0, 0, 0, 0, 0x84, 0x40}); // cx = 640
    put(96, {0, 0, 0, 0, 0, 0, 0xF0, 0xBF}); // k3 = -1
    put(104, {0x80, 0x07, 0x38, 0x04});      // 1920 x 1080
    put(108, {1, 0, 3});                     // ceiling, not rear, lens 3
    put(112, {2, 0, 0, 0});                  // two offset pairs
    put(116, {0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0, 0, 0, 0x20, 0x41, 0, 0, 0x80, 0xBE}); // 1, -2, 10, -0.25

    double params[13] = {};
    params[0] = 1.5;
    params[8] = 640.0;
    params[12] = -1.0;
    const float tweaks[4] = {1.0f, -2.0f, 10.0f, -0.25f};
    const auto in =
        CalibParameterRecord::Inputs::fitted(params, {1920, 1080, 1, 0, 3}, 250, 12).withTweaks(2, tweaks);
    const CalibParameterRecord::Bytes bytes = CalibParameterRecord::build(in);
    EXPECT_EQ(std::vector<int>(bytes.begin(), bytes.begin() + 316), expected);

    CalibParameterRecord::Bytes handMade{};
    for (std::size_t i = 0; i < expected.size(); ++i)
        handMade[i] = static_cast<std::uint8_t>(expected[i]);
    CalibParameterRecord::Applied applied;
    ASSERT_TRUE(CalibParameterRecord::parse(handMade.data(), handMade.size(), applied));
    EXPECT_EQ(applied.params[0], 1.5);
    EXPECT_EQ(applied.params[8], 640.0);
    EXPECT_EQ(applied.params[12], -1.0);
    EXPECT_EQ(applied.screen.width, 1920);
    EXPECT_EQ(applied.screen.height, 1080);
    EXPECT_EQ(applied.screen.ceiling, 1);
    EXPECT_EQ(applied.screen.rear, 0);
    EXPECT_EQ(applied.screen.lens, 3);
    ASSERT_EQ(applied.tweakCount, 2);
    EXPECT_EQ(std::vector<float>(applied.tweaks.begin(), applied.tweaks.begin() + 5),
              (std::vector<float>{1.0f, -2.0f, 10.0f, -0.25f, 0.0f}));
}

TEST(RecordLayoutTest, CalibRecordParseIsBounded) {
    CalibParameterRecord::Bytes bytes{};
    CalibParameterRecord::Applied applied;
    applied.tweakCount = 7;
    EXPECT_FALSE(CalibParameterRecord::parse(bytes.data(), bytes.size() - 1, applied));
    EXPECT_FALSE(CalibParameterRecord::parse(nullptr, bytes.size(), applied));
    EXPECT_EQ(applied.tweakCount, 7) << "a rejected record leaves the result alone";

    putI32(bytes.data() + CalibParameterRecord::Offset::tweakCount, 100000);
    ASSERT_TRUE(CalibParameterRecord::parse(bytes.data(), bytes.size(), applied));
    EXPECT_EQ(applied.tweakCount, 25);
    putI32(bytes.data() + CalibParameterRecord::Offset::tweakCount, -3);
    ASSERT_TRUE(CalibParameterRecord::parse(bytes.data(), bytes.size(), applied));
    EXPECT_EQ(applied.tweakCount, 0);
}

// More offsets than the area holds, or none to copy from: the record stays within its 200 bytes.
TEST(RecordLayoutTest, TweakInputsAreBounded) {
    const std::vector<float> many = pairs(30, 1.0f);
    auto in = CalibParameterRecord::Inputs::fitted(nullptr, {800, 600, 0, 0, 4}, 0, 10);
    in.withTweaks(30, many.data());
    EXPECT_EQ(in.tweakCount, 25);
    const auto bytes = CalibParameterRecord::build(in);
    std::int32_t count = 0;
    std::memcpy(&count, bytes.data() + CalibParameterRecord::Offset::tweakCount, 4);
    EXPECT_EQ(count, 25);

    in.withTweaks(5, nullptr);
    EXPECT_FALSE(in.hasTweaks);
    EXPECT_EQ(in.tweaks[0], 0.0f) << "earlier offsets do not linger";
}

TEST(RecordLayoutTest, StoredTuningRoundTripAndReplace) {
    StoredTuningRecord::Bytes block{};
    const std::vector<float> first = pairs(20, 3.0f);
    StoredTuningRecord::writeTweaks(block, 20, first.data());
    StoredTuningRecord::writeLens(block, 2);
    StoredTuningRecord::Content c = StoredTuningRecord::parse(block.data());
    ASSERT_EQ(c.count, 20);
    EXPECT_EQ(c.lens, 2);
    for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(c.offsets[i], first[i]) << i;

    // A shorter set replaces the longer one whole: no offsets of the old set survive beyond it.
    const std::vector<float> second = pairs(3, -1.0f);
    StoredTuningRecord::writeTweaks(block, 3, second.data());
    for (int b = StoredTuningRecord::Offset::tweakOffsets + 24;
         b < StoredTuningRecord::Offset::tweakOffsets + 200; ++b)
        EXPECT_EQ(block[static_cast<std::size_t>(b)], 0) << b;
    c = StoredTuningRecord::parse(block.data());
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(c.lens, 2) << "the lens lies outside the offset area";
}

TEST(RecordLayoutTest, UnusableStoredBlocksReadAsEmpty) {
    StoredTuningRecord::Bytes block{};
    block[StoredTuningRecord::Offset::lens] = 3;
    for (const std::int32_t count : {26, -1, 0x7FFFFFFF}) {
        putI32(block.data() + StoredTuningRecord::Offset::tweakCount, count);
        const auto c = StoredTuningRecord::parse(block.data());
        EXPECT_EQ(c.count, 0) << count;
        EXPECT_EQ(c.lens, 0) << count;
    }
    putI32(block.data() + StoredTuningRecord::Offset::tweakCount, 2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(block.data() + StoredTuningRecord::Offset::tweakOffsets + 12, &nan, 4);
    const auto c = StoredTuningRecord::parse(block.data());
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(c.lens, 0);
    EXPECT_EQ(StoredTuningRecord::parse(nullptr).count, 0);
}
