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

// What the tool builds is what the module applies: a round trip through the one layout.
TEST(RecordLayoutTest, CalibRecordReadsBackWhatWasBuilt) {
    double params[13];
    for (int i = 0; i < 13; ++i)
        params[i] = 0.5 * i - 3.0;
    const std::vector<float> tweaks = pairs(20, -2.0f);
    const auto in = CalibParameterRecord::Inputs::fitted(params, {1920, 1080, 1, 0, 3}, 250, 12)
                        .withTweaks(20, tweaks.data());
    const CalibParameterRecord::Bytes bytes = CalibParameterRecord::build(in);
    EXPECT_EQ(bytes[104], 0x80);
    EXPECT_EQ(bytes[105], 0x07);

    CalibParameterRecord::Applied applied;
    ASSERT_TRUE(CalibParameterRecord::parse(bytes.data(), bytes.size(), applied));
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(applied.params[static_cast<std::size_t>(i)], params[i]) << i;
    EXPECT_EQ(applied.screen.width, 1920);
    EXPECT_EQ(applied.screen.height, 1080);
    EXPECT_EQ(applied.screen.ceiling, 1);
    EXPECT_EQ(applied.screen.rear, 0);
    EXPECT_EQ(applied.screen.lens, 3);
    ASSERT_EQ(applied.tweakCount, 20);
    for (std::size_t i = 0; i < tweaks.size(); ++i)
        EXPECT_EQ(applied.tweaks[i], tweaks[i]) << i;
    EXPECT_EQ(applied.tweaks[40], 0.0f);
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
