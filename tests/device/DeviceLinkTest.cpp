#include "DeviceTestSupport.h"

#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "tests/support/ThreadCount.h"

#include <QSignalSpy>
#include <cstring>
#include <mutex>
#include <tuple>
#include <vector>

namespace {

std::vector<DevicePacket> sentWithCode(const SimulatedModule& m, std::uint32_t code) {
    std::vector<DevicePacket> out;
    for (const DevicePacket& p : m.receivedPackets())
        if (p.code() == code)
            out.push_back(p);
    return out;
}

} // namespace

TEST_F(SimulatedLinkTest, ConnectSequenceReportsVersionOptionsAndStoredRecord) {
    module->setOptions({1, 0, 1, 3});
    makeLink();
    QSignalSpy version(link.get(), &CamDevCtrl::sigSetFWVersion);
    QSignalSpy options(link.get(), &CamDevCtrl::sigSetFWOption);
    std::vector<unsigned char> record;
    QObject::connect(link.get(), &CamDevCtrl::sigSetPrevTweak,
                     [&record](unsigned char* p) { record.assign(p, p + 400); });

    ASSERT_TRUE(link->openDevice());
    ASSERT_TRUE(eventsUntil([&] { return version.count() == 1 && options.count() == 1 && !record.empty(); }));
    EXPECT_EQ(version.at(0).at(0).toString(), QStringLiteral("51.12"));
    EXPECT_EQ(options.at(0).at(0).value<uchar>(), 1);
    EXPECT_EQ(options.at(0).at(2).value<uchar>(), 1);
    EXPECT_EQ(options.at(0).at(3).value<uchar>(), 3);
    EXPECT_EQ(record[327], 3);

    // Connect order: stop tracking, version, options, stored record; all full 512-byte packets.
    const auto sent = module->receivedPackets();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].code(), CMD_STOP_TRACKING);
    EXPECT_EQ(sent[1].code(), CMD_SENDVERSION);
    EXPECT_EQ(sent[2].code(), CMD_SEND_OPTION);
    EXPECT_EQ(sent[3].code(), CMD_GET_EEPROM);
    EXPECT_FALSE(module->tracking());
    EXPECT_GE(module->autoDetachRequests(), 1);
}

TEST_F(SimulatedLinkTest, VersionTextHasTwoMinorDigits) {
    module->setFirmwareVersion(2, 7);
    makeLink();
    QSignalSpy version(link.get(), &CamDevCtrl::sigSetFWVersion);
    ASSERT_TRUE(link->openDevice());
    ASSERT_TRUE(eventsUntil([&] { return version.count() == 1; }));
    EXPECT_EQ(version.at(0).at(0).toString(), QStringLiteral("2.07"));
}

TEST_F(SimulatedLinkTest, DestructorLeavesTheModuleTracking) {
    openLink();
    link.reset();
    const auto sent = module->receivedPackets();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().code(), CMD_START_TRACKING);
    ASSERT_TRUE(module->waitUntilIdle());
    EXPECT_TRUE(module->tracking());
}

TEST_F(SimulatedLinkTest, CommandsCarryTheirPayloads) {
    openLink();
    module->clearCounters();
    link->startBlackCapture(3, 9);
    link->startBlackCapture(2, 12);
    link->sendCoord(1, 2400, 1500);
    link->setFixCoordRatio(1, 1.25);
    link->setFingerTouchMode(true);
    ASSERT_TRUE(eventsUntil([&] { return module->receivedPackets().size() == 5; }));
    const auto sent = module->receivedPackets();
    EXPECT_EQ(sent[0].length(), 3u);
    EXPECT_EQ(sent[0].u8(8), 0);
    EXPECT_EQ(sent[0].u8(9), 0);
    EXPECT_EQ(sent[0].u8(10), 0x60);
    EXPECT_EQ(sent[1].u8(10), 0x80);
    EXPECT_EQ(sent[2].u32(8), 1u);
    EXPECT_EQ(sent[2].u32(12), 2400u);
    EXPECT_EQ(sent[2].u32(16), 1500u);
    EXPECT_EQ(sent[3].length(), 12u);
    EXPECT_DOUBLE_EQ(sent[3].f64(12), 1.25);
    EXPECT_EQ(sent[4].u32(8), 1u);
    // Bytes after the payload are zero.
    for (int i = 8 + 3; i < DevicePacket::size; ++i)
        ASSERT_EQ(sent[0].u8(i), 0) << i;
    EXPECT_TRUE(eventsUntil([&] { return module->coordCount() == 1; }));
    // Recorded as written; handled in turn on the module's own thread.
    EXPECT_TRUE(eventsUntil([&] { return module->options().finger == 1; }));
}

TEST_F(SimulatedLinkTest, CalibrationRecordReachesTheStoredRecord) {
    openLink();
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    const double params[13] = {1, 2, 3, 4, 5, 6, 7, 8, 640, 360, 0.1, 0.2, 0.3};
    std::vector<float> tweaks(40);
    for (int i = 0; i < 40; ++i)
        tweaks[static_cast<std::size_t>(i)] = static_cast<float>(i) * 0.5f;
    link->setCalibParameter(params, 0, 1, 1920, 1080, 3, 0, true, 20, tweaks.data(), true, 100, 100, 12);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 1; }));
    const auto record = module->lastCalibRecord();
    ASSERT_EQ(record.size(), 370u);
    EXPECT_EQ(record[104], 0x80);
    EXPECT_EQ(record[105], 0x07);
    const auto stored = module->storedRecord();
    std::int32_t count = 0;
    std::memcpy(&count, stored.data() + 116, 4);
    EXPECT_EQ(count, 20);
    float lastY = 0;
    std::memcpy(&lastY, stored.data() + 120 + 19 * 8 + 4, 4);
    EXPECT_FLOAT_EQ(lastY, 19.5f);
    EXPECT_EQ(stored[327], 3);
}

TEST_F(SimulatedLinkTest, ManualCalibrationEventsAndPoints) {
    openLink();
    QSignalSpy done(link.get(), &CamDevCtrl::sigMCDone);
    std::vector<std::pair<int, int>> steps;
    std::vector<float> points;
    QObject::connect(link.get(), &CamDevCtrl::sigMCNextStep, [&](int* buf, int len) {
        steps.emplace_back(len == 200 ? -1 : buf[0], len);
        if (len == 200) {
            points.resize(50);
            std::memcpy(points.data(), buf, 200);
        }
    });
    link->startManualCalib();
    link->startManualPattern(4);
    ASSERT_TRUE(eventsUntil([&] { return done.count() == 1 && steps.size() == 1; }));
    EXPECT_EQ(steps[0], std::make_pair(4, 4));
    link->getInputPoints();
    ASSERT_TRUE(eventsUntil([&] { return steps.size() == 2; }));
    EXPECT_EQ(steps[1].second, 200);
    EXPECT_FLOAT_EQ(points[0], 240.0f);
}

// The image arrives byte for byte whatever share of blocks the link loses.
class CalibrationImageLoss : public SimulatedLinkTest, public ::testing::WithParamInterface<double> {};

TEST_P(CalibrationImageLoss, ImageArrivesByteIdentical) {
    module->setSeed(7);
    openLink();
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    link->startWhiteCapture(100);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 1; }));
    module->setFault(SimFault::BlockLoss, GetParam());
    module->clearCounters();

    std::vector<unsigned char> image;
    int size = 0;
    QObject::connect(link.get(), &CamDevCtrl::sigACNewFrame, [&](unsigned char* buf, int n) {
        size = n;
        image.assign(buf, buf + n);
    });
    link->requestAcImage(102, 0);
    ASSERT_TRUE(eventsUntil([&] { return size != 0; }, 20000));
    EXPECT_EQ(size, 921600);
    const auto expected = module->capturedImage(102);
    ASSERT_EQ(expected.size(), 921600u);
    EXPECT_TRUE(image == expected);
    if (GetParam() == 0.0) {
        EXPECT_EQ(module->commandCount(CMD_AC_SENDIMG), 81);
        EXPECT_EQ(module->commandCount(CMD_AC_SENDIMG_PART), 0);
    } else {
        EXPECT_GT(module->commandCount(CMD_AC_SENDIMG_PART), 0);
        EXPECT_EQ(module->commandCount(CMD_AC_SENDIMG), 81);
    }
}

INSTANTIATE_TEST_SUITE_P(Loss, CalibrationImageLoss, ::testing::Values(0.0, 0.01, 0.05, 0.20));

TEST_F(SimulatedLinkTest, MalformedPacketsLeaveTheImageIntact) {
    module->setSeed(11);
    openLink();
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    link->startPatternCapture(100);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 1; }));
    module->setFault(SimFault::Malformed, 0.2);
    module->setFault(SimFault::BlockLoss, 0.02);
    std::vector<unsigned char> image;
    QObject::connect(link.get(), &CamDevCtrl::sigACNewFrame,
                     [&](unsigned char* buf, int n) { image.assign(buf, buf + n); });
    link->requestAcImage(103, 0);
    ASSERT_TRUE(eventsUntil([&] { return !image.empty(); }, 20000));
    EXPECT_TRUE(image == module->capturedImage(103));
}

TEST_F(SimulatedLinkTest, LiveFramesWithRegisterFlushBetweenFrames) {
    openLink();
    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    module->clearCounters();

    std::vector<int> sizes;
    std::vector<unsigned char> lastFrame;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame, [&](unsigned char* buf, int n) {
        sizes.push_back(n);
        lastFrame.assign(buf, buf + n);
        if (link->liveStreamStopped() == 0)
            link->requestLiveFrame();
    });
    link->queueRegisterWrite(0x3500, 0x11); // replaced by the gain below before any frame ends
    link->queueSensorGain(0x1234);
    link->setLiveStreamStopped(0);
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return sizes.size() >= 3; }));
    link->setLiveStreamStopped(1);
    // The last slot asked for one more frame; let it arrive so no frame is in flight.
    const std::size_t stoppedAt = sizes.size();
    ASSERT_TRUE(eventsUntil([&] { return sizes.size() == stoppedAt + 1; }));
    EXPECT_EQ(sizes[0], 230400);

    const auto writes = sentWithCode(*module, CMD_IIC_WR);
    ASSERT_EQ(writes.size(), 4u);
    const std::pair<unsigned, unsigned> expected[4] = {
        {0x3008, 0x42}, {0x350A, 0x12}, {0x350B, 0x34}, {0x3008, 0x02}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(writes[static_cast<std::size_t>(i)].u16(8), expected[i].first);
        EXPECT_EQ(writes[static_cast<std::size_t>(i)].u8(10), expected[i].second);
        EXPECT_EQ(writes[static_cast<std::size_t>(i)].length(), 3u);
    }
    // The writes go out after the first frame request and before the second.
    const auto sent = module->receivedPackets();
    std::vector<std::uint32_t> codes;
    for (const auto& p : sent)
        codes.push_back(p.code());
    ASSERT_GE(codes.size(), 6u);
    EXPECT_EQ(codes[0], CMD_LIVE_SENDIMG);
    EXPECT_EQ(codes[1], CMD_IIC_WR);
    EXPECT_EQ(codes[4], CMD_IIC_WR);
    EXPECT_EQ(codes[5], CMD_LIVE_SENDIMG);
    EXPECT_EQ(module->sensorGain(), 0x1234u);

    // Only the second of two queued writes is sent, at the next frame end.
    module->clearCounters();
    link->queueRegisterWrite(0x3501, 0x01);
    link->queueRegisterWrite(0x3502, 0x02);
    const std::size_t before = sizes.size();
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return sizes.size() > before; }));
    const auto second = sentWithCode(*module, CMD_IIC_WR);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].u16(8), 0x3502);
    link->stopReceiver();
}

TEST_F(SimulatedLinkTest, LostLiveBlocksKeepTheFill) {
    module->setSeed(3);
    openLink();
    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    module->setFault(SimFault::BlockLoss, 0.3);
    std::vector<unsigned char> frame;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame,
                     [&](unsigned char* buf, int n) { frame.assign(buf, buf + n); });
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return !frame.empty(); }));
    ASSERT_EQ(frame.size(), 230400u);
    // The synthetic scene never reaches 255 at the default gain, so 0xFF marks lost blocks.
    EXPECT_GT(std::count(frame.begin(), frame.end(), 0xFF), 0);
    link->stopReceiver();
}

// ---- mended faults ----

TEST_F(SimulatedLinkTest, FailedUsbStartLeavesTheLinkInert) {
    module->setFault(SimFault::InitFailure);
    makeLink();
    EXPECT_FALSE(link->isUsbReady());
    EXPECT_FALSE(link->isDevicePresent(false));
    EXPECT_FALSE(link->openDevice());
    link->setTracking(true);
    EXPECT_EQ(module->receivedPackets().size(), 0u);
}

TEST_F(SimulatedLinkTest, UnpluggedReadsBackOffInsteadOfSpinning) {
    openLink();
    Pacing::setScale(0.1); // the 100 ms back-off becomes 10 ms
    QElapsedTimer clock;
    clock.start();
    module->unplug();
    ASSERT_TRUE(eventsUntil([&] { return link->noDeviceReads() >= 6; }));
    const qint64 elapsed = clock.elapsed();
    link->stopReceiver();
    // Five back-offs lie between six failed reads; a spinning loop fails them in microseconds.
    EXPECT_GE(elapsed, 5 * 10);
    link->setTracking(false); // writes fail like libusb's, without harm
}

TEST_F(SimulatedLinkTest, StopWaitOutlastedByEndlessLiveFrameNeitherLeaksNorReadsBeside) {
    openLink();
    Pacing::setScale(0.05); // drain reads wait 50 ms, so a busy machine does not end the drain early
    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    module->setFault(SimFault::EndlessLiveFrame);
    link->requestLiveFrame();
    // The module has begun the endless frame (it keeps sending blocks from then on).
    ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_LIVE_SENDIMG) == 1; }));
    ASSERT_TRUE(module->waitUntilIdle());
    link->stopReceiver(); // gives up after the (scaled) 10 s wait: the drain never ends
    EXPECT_EQ(link->orphanedReceivers(), 1);
    // A new receiver first ends the kept one, so two never read at once.
    link->setReceiveMode(0);
    link->startReceiver();
    EXPECT_EQ(link->orphanedReceivers(), 0);
    int framesEnded = 0;
    QObject receiver;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame, &receiver, [&] { ++framesEnded; });
    module->clearFaults();
    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    // The first frame now ends; its late end would otherwise end the next drain early.
    ASSERT_TRUE(eventsUntil([&] { return framesEnded > 0; }));
    module->setFault(SimFault::EndlessLiveFrame);
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_LIVE_SENDIMG) == 2; }));
    ASSERT_TRUE(module->waitUntilIdle());
    link->stopReceiver();
    EXPECT_EQ(link->orphanedReceivers(), 1);
    const int threadsWithLink = processThreadCount();
    link.reset(); // joins the kept receiver before the transport goes away
    EXPECT_EQ(processThreadCount(), threadsWithLink - 1) << "the kept receiver has ended";
}

namespace {

class FlatCamera : public FrameSource {
public:
    void captureCalibration(Capture kind, const Sensor&, std::uint8_t* out) override {
        std::memset(out, kind == Capture::Black ? 1 : 2, calibWidth * calibHeight);
    }
    void captureLive(const Sensor& sensor, std::uint8_t* out) override {
        std::memset(out, static_cast<int>(sensor.gain & 0xFF), liveWidth * liveHeight);
    }
};

class OnePointPen : public ManualPenBehaviour {
public:
    std::vector<Event> patternStarted(int target) override {
        return {{0, RES_MC_PATTERN_END, static_cast<std::uint32_t>(target + 100)}};
    }
    std::array<float, 50> inputPoints() override { return {7.5f}; }
};

} // namespace

TEST_F(SimulatedLinkTest, PluggedCameraPenAndRecordAnswerAreUsed) {
    module->setFrameSource(std::make_unique<FlatCamera>());
    module->setPenBehaviour(std::make_unique<OnePointPen>());
    module->setCalibAnswer(SimulatedModule::CalibAnswer::PatternEnd);
    // The handler runs on the module's thread after it has counted the coordinate.
    std::mutex coordsLock; // guards coords
    std::vector<std::tuple<int, int, int>> coords;
    module->setCoordHandler([&](int a, int x, int y) {
        std::lock_guard<std::mutex> l(coordsLock);
        coords.emplace_back(a, x, y);
    });
    openLink();
    std::vector<int> ends;
    QObject::connect(link.get(), &CamDevCtrl::sigMCNextStep, [&](int* p, int len) {
        if (len == 4)
            ends.push_back(*p);
    });
    link->startManualPattern(2);
    const double params[13] = {};
    link->setCalibParameter(params, 0, 0, 1280, 800, 3, 0, false, 0, nullptr, true, 10, 10, 12);
    link->sendCoord(1, 10, 20);
    const auto handledCoords = [&] {
        std::lock_guard<std::mutex> l(coordsLock);
        return coords;
    };
    ASSERT_TRUE(eventsUntil([&] { return ends.size() == 2 && handledCoords().size() == 1; }));
    EXPECT_EQ(ends[0], 102);
    EXPECT_EQ(handledCoords(), (std::vector<std::tuple<int, int, int>>{{1, 10, 20}}));
    EXPECT_EQ(module->coordCount(), 1);

    // The live image follows the sensor gain written between frames.
    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    std::vector<int> firstBytes;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame,
                     [&](unsigned char* buf, int) { firstBytes.push_back(buf[0]); });
    link->queueSensorGain(0x0155);
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return firstBytes.size() == 1; }));
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return firstBytes.size() == 2; }));
    EXPECT_EQ(firstBytes[0], 0x40); // captured before the flush
    EXPECT_EQ(firstBytes[1], 0x55);
    link->stopReceiver();
}
