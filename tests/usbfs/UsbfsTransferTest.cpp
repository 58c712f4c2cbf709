#include "UsbfsTestSupport.h"

#include <QSignalSpy>
#include <algorithm>

class UsbfsImageLoss : public UsbfsLinkTest, public ::testing::WithParamInterface<double> {};

// A calibration image crosses usbfs in 80 groups; lost blocks are fetched again by part requests
// and the image arrives byte for byte.
TEST_P(UsbfsImageLoss, CalibrationImageIsByteIdentical) {
    makeBus();
    openLink();
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    link->startWhiteCapture(100);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 1; }, 10000));
    module().faults().set(SimFault::BlockLoss, GetParam() / 100.0);
    module().clearCounters();

    std::vector<unsigned char> image;
    QObject::connect(link.get(), &CamDevCtrl::sigACNewFrame,
                     [&](unsigned char* buf, int n) { image.assign(buf, buf + n); });
    link->requestAcImage(102, 0);
    ASSERT_TRUE(eventsUntil([&] { return !image.empty(); }, 60000));
    const auto expected = module().capturedImage(102);
    ASSERT_EQ(expected.size(), 921600u);
    EXPECT_TRUE(image == expected);
    EXPECT_EQ(module().commandCount(CMD_AC_SENDIMG), 81);
    if (GetParam() == 0.0)
        EXPECT_EQ(module().commandCount(CMD_AC_SENDIMG_PART), 0);
    else
        EXPECT_GT(module().commandCount(CMD_AC_SENDIMG_PART), 0);
}

INSTANTIATE_TEST_SUITE_P(LossPercent, UsbfsImageLoss, ::testing::Values(0.0, 5.0, 20.0));

// Live frames stream on 0x84 in receive mode 1, one request per frame.
TEST_F(UsbfsLinkTest, LiveStreamDeliversWholeFrames) {
    makeBus();
    openLink();
    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    std::vector<int> sizes;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame, [&](unsigned char*, int n) {
        sizes.push_back(n);
        if (sizes.size() < 5)
            link->requestLiveFrame();
    });
    link->setLiveStreamStopped(0);
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return sizes.size() == 5; }, 30000));
    EXPECT_TRUE(std::all_of(sizes.begin(), sizes.end(), [](int n) { return n == 230400; }));
    EXPECT_EQ(module().commandCount(CMD_LIVE_SENDIMG), 5);
    link->setLiveStreamStopped(1);
    link->stopReceiver();
}
