#include "device/CalibParameterRecord.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

CalibParameterRecord::Inputs inputs(int lens, int v) {
    static const double params[13] = {1.5, 0, 0, 0, 2.5, 0, 0, 0, 640, 360, 0, 0, 0};
    return CalibParameterRecord::Inputs::fitted(params, {1920, 1080, 0, 0, lens}, 300, v);
}

std::vector<int> bytesAt(const std::array<std::uint8_t, 370>& r, int offset, int n) {
    return std::vector<int>(r.begin() + offset, r.begin() + offset + n);
}

struct LensRow {
    int lens, v;
    int e, f0, f1, g, j;
    std::vector<int> lensBlock; // empty: no lens block
};

} // namespace

TEST(CalibRecordTest, LensRows) {
    const std::vector<LensRow> rows = {
        {3, 12, 0x18, 0x04, 0x05, 0x32, 0x19, {0x18, 0x05, 0x06, 0x28}},
        {3, 10, 0x18, 0x08, 0x0B, 0x28, 0x19, {0x20, 0x02, 0x03, 0x0C}},
        {3, 9, 0x10, 0x07, 0x0C, 0x50, 0x19, {0x20, 0x02, 0x03, 0x0C}},
        {1, 12, 0x18, 0x07, 0x0C, 0x50, 0x19, {0x18, 0x07, 0x0C, 0x50}},
        {2, 10, 0x20, 0x08, 0x0B, 0x28, 0x19, {0x20, 0x02, 0x03, 0x0C}},
        {2, 11, 0x20, 0x0B, 0x0C, 0x14, 0x19, {0x20, 0x02, 0x03, 0x0C}},
        {4, 12, 0x20, 0x03, 0x04, 0x1E, 0x1E, {}},
        {0, 12, 0x20, 0x03, 0x04, 0x1E, 0x1E, {}},
    };
    const std::vector<int> tail = {0x05, 0x18, 0x1E, 0x2C, 0x01, 0x1E, 0x2C,
                                   0x01, 0x05, 0x01, 0x00, 0x05, 0x0A, 0x05};
    for (const LensRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << "lens " << row.lens << " v " << row.v);
        const auto r = CalibParameterRecord::build(inputs(row.lens, row.v));
        EXPECT_EQ(bytesAt(r, 316, 9),
                  (std::vector<int>{0x01, 0x01, 0x00, 0x50, 0x00, 0x00, 0x27, 0x00, 0x00}));
        EXPECT_EQ(bytesAt(r, 325, 4), (std::vector<int>{row.e, row.f0, row.f1, row.g}));
        EXPECT_EQ(r[341], row.j);
        EXPECT_EQ(bytesAt(r, 346, 4), (std::vector<int>{0x50, 0x00, 0x00, 0xA7}));
        if (row.lensBlock.empty()) {
            EXPECT_EQ(bytesAt(r, 352, 14), tail);
            EXPECT_EQ(bytesAt(r, 366, 4), (std::vector<int>{0, 0, 0, 0}));
        } else {
            EXPECT_EQ(bytesAt(r, 352, 4), row.lensBlock);
            EXPECT_EQ(bytesAt(r, 356, 14), tail);
        }
    }
}

TEST(CalibRecordTest, GeometryAndParameters) {
    const auto r = CalibParameterRecord::build(inputs(3, 12));
    EXPECT_EQ(r[104], 0x80);
    EXPECT_EQ(r[105], 0x07);
    EXPECT_EQ(r[106], 0x38);
    EXPECT_EQ(r[107], 0x04);
    double h0 = 0, cx = 0;
    std::memcpy(&h0, r.data(), 8);
    std::memcpy(&cx, r.data() + 64, 8);
    EXPECT_EQ(h0, 1.5);
    EXPECT_EQ(cx, 640.0);
    EXPECT_EQ(bytesAt(r, 112, 4), (std::vector<int>{0, 0, 0, 0}));
}

TEST(CalibRecordTest, TwentyTweakPairs) {
    std::vector<float> tweaks(40, 1.0f);
    auto in = inputs(3, 12);
    in.withTweaks(20, tweaks.data());
    const auto r = CalibParameterRecord::build(in);
    EXPECT_EQ(bytesAt(r, 112, 4), (std::vector<int>{20, 0, 0, 0}));
    float first = 0, last = 0;
    std::memcpy(&first, r.data() + 116, 4);
    std::memcpy(&last, r.data() + 272, 4);
    EXPECT_EQ(first, 1.0f);
    EXPECT_EQ(last, 1.0f);
    for (int i = 276; i < 316; ++i)
        EXPECT_EQ(r[static_cast<std::size_t>(i)], 0) << i;
}

TEST(CalibRecordTest, RowLimitMinusOneAndNoSensorBlock) {
    auto in = inputs(3, 12);
    in.rowLimit1 = -1;
    in.rowLimit2 = -1;
    auto r = CalibParameterRecord::build(in);
    EXPECT_EQ(bytesAt(r, 359, 2), (std::vector<int>{0xFF, 0x00}));
    EXPECT_EQ(bytesAt(r, 362, 2), (std::vector<int>{0xFF, 0x00}));
    in.hasSensorBlock = false;
    r = CalibParameterRecord::build(in);
    for (int i = 316; i < 370; ++i)
        EXPECT_EQ(r[static_cast<std::size_t>(i)], 0) << i;
}
