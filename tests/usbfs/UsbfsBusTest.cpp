#include "UsbfsTestSupport.h"
#include "device/LibusbTransport.h"

#include <QSignalSpy>

// The module leaves the bus in the middle of an image transfer: the reads in flight end with ENODEV,
// the watch loop reports it gone, and the module plugged in again is opened afresh.
TEST_F(UsbfsLinkTest, UnplugDuringTransferAndReplug) {
    makeBus();
    makeLink();
    QSignalSpy version(link.get(), &CamDevCtrl::sigSetFWVersion);
    WatchRecorder watch(*link);
    ASSERT_TRUE(eventsUntil([&] { return watch.opened.load() == 1 && version.count() == 1; }, 10000));
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    link->startPatternCapture(100);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 1; }, 10000));
    link->requestAcImage(103, 0);
    ASSERT_TRUE(eventsUntil([&] { return module().commandCount(CMD_AC_SENDIMG) >= 3; }, 10000));
    ASSERT_TRUE(eventsUntil([&] { return bus->handler().readInFlight(); }, 10000));

    bus->unplug();
    ASSERT_TRUE(eventsUntil([&] { return watch.absent.load() >= 1; }, 20000));
    EXPECT_FALSE(watch.connected.load());
    EXPECT_GE(bus->handler().goneReaps(), 1);

    bus->replug();
    ASSERT_TRUE(eventsUntil([&] { return watch.opened.load() == 2; }, 20000));
    EXPECT_TRUE(eventsUntil([&] { return version.count() == 2; }, 10000));
}

TEST_F(UsbfsLinkTest, ModuleWithoutHidCollectionIsNeverOpened) {
    EmulatedBus::Options options;
    options.hidCollection = false;
    makeBus(options);
    makeLink();
    EXPECT_TRUE(link->isDevicePresent(false));
    EXPECT_FALSE(link->isDevicePresent(true));
    {
        WatchRecorder watch(*link);
        ASSERT_TRUE(eventsUntil([&] { return watch.absent.load() >= 2; }, 10000));
        EXPECT_EQ(watch.opened.load(), 0);
    }
    EXPECT_TRUE(module().receivedPackets().empty());
    EXPECT_EQ(bus->handler().claimCount(), 0);
}

TEST_F(UsbfsLinkTest, NodeWithoutAccessIsPresentButNotOpened) {
    EmulatedBus::Options options;
    options.noAccess = true;
    makeBus(options);
    makeLink();
    EXPECT_TRUE(link->isDevicePresent(true));
    EXPECT_FALSE(link->openDevice());
    {
        // Each cycle finds it present and reports that it cannot be opened (the controller says
        // so once per episode).
        WatchRecorder watch(*link);
        ASSERT_TRUE(eventsUntil([&] { return watch.openFailed.load() >= 2; }, 10000));
        EXPECT_EQ(watch.absent.load(), 0);
        EXPECT_EQ(watch.opened.load(), 0);
    }
    EXPECT_TRUE(module().receivedPackets().empty());
}

// libusb's automatic detach takes the kernel driver off both interfaces, then claims them.
TEST_F(UsbfsLinkTest, BoundKernelDriverIsDetachedThenClaimed) {
    EmulatedBus::Options options;
    options.kernelDriver = true;
    makeBus(options);
    openLink();
    EXPECT_EQ(bus->handler().detachCount(), 2);
    EXPECT_EQ(bus->handler().claimCount(), 2);
}

// Two modules with the same ids: the first in libusb's enumeration order is used, the other is left
// alone.
TEST_F(UsbfsLinkTest, SecondModuleOnlyOneIsUsed) {
    EmulatedBus::Options options;
    options.modules = 2;
    makeBus(options);
    makeLink();
    ASSERT_TRUE(link->isDevicePresent(true));
    ASSERT_TRUE(link->openDevice());
    const int used = bus->handler(0).claimCount() != 0 ? 0 : 1;
    ASSERT_TRUE(eventsUntil([&] { return module(used).commandCount(CMD_GET_EEPROM) == 1; }, 10000));
    EXPECT_EQ(bus->handler(used).claimCount(), 2);
    EXPECT_EQ(bus->handler(1 - used).claimCount(), 0);
    EXPECT_TRUE(module(1 - used).receivedPackets().empty());
}

// A handle opened before an unplug belongs to the device that left: after a quick replug it stays
// dead, as the kernel keeps it, and only a new open reaches the module again. (A handle that came
// back to life would hide the replug from the tool, which reopens when its reads fail.)
TEST_F(UsbfsLinkTest, HandleFromBeforeAnUnplugStaysDeadAfterTheReplug) {
    makeBus();
    LibusbTransport usb;
    ASSERT_EQ(usb.init(), UsbError::none);
    const auto openModule = [&usb] {
        UsbTransport::HandleRef handle = 0;
        std::vector<UsbTransport::DeviceRef> devices;
        if (usb.getDeviceList(devices) != UsbError::none)
            return handle;
        for (const UsbTransport::DeviceRef device : devices) {
            UsbTransport::DeviceDescriptor descriptor;
            if (usb.getDeviceDescriptor(device, descriptor) != UsbError::none ||
                descriptor.idVendor != ModuleUsb::vendorId || descriptor.idProduct != ModuleUsb::productId)
                continue;
            if (usb.open(device, handle) != UsbError::none)
                break;
            usb.setAutoDetachKernelDriver(handle, true);
            if (usb.claimInterface(handle, ModuleUsb::firstInterface) != UsbError::none) {
                usb.close(handle);
                handle = 0;
            }
            break;
        }
        usb.freeDeviceList(devices);
        return handle;
    };
    DevicePacket request = DevicePacket::make(CMD_SENDVERSION);
    int transferred = 0;
    const UsbTransport::HandleRef old = openModule();
    ASSERT_NE(old, 0u);

    bus->unplug();
    bus->replug();
    EXPECT_NE(usb.bulkTransfer(old, ModuleUsb::writeEndpoint, request.data(), DevicePacket::size,
                               &transferred, ModuleUsb::writeTimeoutMs),
              UsbError::none);
    EXPECT_EQ(module().commandCount(CMD_SENDVERSION), 0);

    const UsbTransport::HandleRef fresh = openModule();
    ASSERT_NE(fresh, 0u);
    EXPECT_EQ(usb.bulkTransfer(fresh, ModuleUsb::writeEndpoint, request.data(), DevicePacket::size,
                               &transferred, ModuleUsb::writeTimeoutMs),
              UsbError::none);
    EXPECT_EQ(module().commandCount(CMD_SENDVERSION), 1);
    usb.close(fresh);
    usb.close(old);
    usb.exit();
}
