#include "device/ReceiverRuns.h"
#include "device/ReportPacker.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

struct Collected {
    std::vector<ReceivedReport> reports;
    ReportPacker packer{[this](ReceivedReport r) {
        reports.push_back(std::move(r));
    }};
};

} // namespace

// A pattern end's length field is the module's to choose; what reaches the GUI side never lets a
// slot read beyond the one value it carries.
TEST(ReportHandoverTest, PatternEndLengthIsBoundedToItsValue) {
    Collected c;
    c.packer.mcPatternEnd(7, 200);
    c.packer.mcPatternEnd(8, -5);
    c.packer.mcPatternEnd(9, 4);
    ASSERT_EQ(c.reports.size(), 3u);
    const int expected[3][2] = {{7, 4}, {8, 0}, {9, 4}};
    for (std::size_t i = 0; i < 3; ++i) {
        const ReceivedReport& r = c.reports[i];
        EXPECT_EQ(r.kind, ReceivedReport::Kind::mcPatternEnd);
        ASSERT_EQ(r.bytes.size(), 4);
        int target = 0;
        std::memcpy(&target, r.bytes.constData(), 4);
        EXPECT_EQ(target, expected[i][0]);
        EXPECT_EQ(r.length, expected[i][1]);
    }
}

// The receive thread reuses its packet buffer for the next read at once: a report must own its bytes.
TEST(ReportHandoverTest, ReportsOwnTheirBytes) {
    Collected c;
    std::array<std::uint8_t, 512> buffer{};
    std::fill(buffer.begin(), buffer.end(), 0x11);
    c.packer.storedRecord(buffer.data());
    c.packer.mcInputPoints(buffer.data());
    c.packer.options(1, 0, 1, 3);
    std::fill(buffer.begin(), buffer.end(), 0x22);
    ASSERT_EQ(c.reports.size(), 3u);
    EXPECT_EQ(c.reports[0].bytes.size(), 400);
    EXPECT_EQ(c.reports[1].bytes.size(), ReportPacker::inputPointBytes);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(std::all_of(c.reports[static_cast<std::size_t>(i)].bytes.begin(),
                                c.reports[static_cast<std::size_t>(i)].bytes.end(),
                                [](char b) { return b == 0x11; }));
    EXPECT_EQ(c.reports[2].bytes, QByteArray("\x01\x00\x01\x03", 4));
}

TEST(ReportHandoverTest, SignalOnlyReportsCarryNoBytes) {
    Collected c;
    c.packer.acNextStep();
    c.packer.mcDone();
    c.packer.firmwareVersion(QStringLiteral("51.12"));
    ASSERT_EQ(c.reports.size(), 3u);
    EXPECT_EQ(c.reports[0].kind, ReceivedReport::Kind::acNextStep);
    EXPECT_TRUE(c.reports[0].bytes.isEmpty());
    EXPECT_EQ(c.reports[1].kind, ReceivedReport::Kind::mcDone);
    EXPECT_EQ(c.reports[2].bytes, QByteArray("51.12"));
}

// Starting a run while one is current stops and joins the old one first: two runs never read side
// by side, whatever the order of start calls.
TEST(ReportHandoverTest, ReceiverRunsNeverOverlap) {
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::atomic<int> started{0};
    auto body = [&](const ReceiverThread& control) {
        const int now = running.fetch_add(1) + 1;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        started.fetch_add(1);
        while (!control.stopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        running.fetch_sub(1);
    };
    ReceiverRuns runs;
    for (int i = 0; i < 5; ++i) {
        runs.start(body);
        while (started.load() < i + 1)
            std::this_thread::yield();
    }
    runs.stop();
    EXPECT_EQ(running.load(), 0);
    EXPECT_EQ(most.load(), 1);
    EXPECT_EQ(runs.keptCount(), 0);
}
