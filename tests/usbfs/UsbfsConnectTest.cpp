#include "UsbfsTestSupport.h"

#include <QSignalSpy>
#include <algorithm>

// The whole connect sequence through libusb's usbfs path and hidapi's hidraw enumeration: the three
// reports reach the link's signals with the module's own contents.
TEST_F(UsbfsLinkTest, ConnectSequenceBringsTheThreeReports) {
    makeBus();
    std::array<std::uint8_t, 400> record = module().storedRecord();
    module().setFirmwareVersion(51, 12);
    makeLink();
    QSignalSpy version(link.get(), &CamDevCtrl::sigSetFWVersion);
    QSignalSpy options(link.get(), &CamDevCtrl::sigSetFWOption);
    std::vector<unsigned char> stored;
    QObject::connect(link.get(), &CamDevCtrl::sigSetPrevTweak,
                     [&](unsigned char* bytes) { stored.assign(bytes, bytes + 400); });
    ASSERT_TRUE(link->isDevicePresent(true));
    ASSERT_TRUE(link->openDevice());
    ASSERT_TRUE(
        eventsUntil([&] { return version.size() == 1 && options.size() == 1 && !stored.empty(); }, 10000));
    EXPECT_EQ(version.at(0).at(0).toString(), QStringLiteral("51.12"));
    EXPECT_EQ(options.at(0).at(3).value<uchar>(), record[327]);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), record.begin()));
    EXPECT_EQ(module().commandCount(CMD_STOP_TRACKING), 1);
    EXPECT_EQ(bus->handler().claimCount(), 2);
}
