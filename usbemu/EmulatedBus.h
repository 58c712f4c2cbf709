#pragma once

#include <memory>
#include <string>
#include <vector>

class ModuleDevice;
class UsbfsModuleHandler;
typedef struct _UMockdevTestbed UMockdevTestbed;

// An emulated USB bus with touch modules on it, for the real libusb and hidapi: a umockdev testbed
// holding each module's sysfs tree (USB device 16D0:0F8C, its four interfaces, a hid and hidraw
// child under each HID interface) and a usbfs ioctl handler on its /dev node that hosts the module
// device. The process that uses the libraries must run with umockdev's preload library
// (umockdev-wrapper); the bus serves the ioctls from umockdev's own thread.
class EmulatedBus {
public:
    struct Options {
        int modules = 1;
        bool hidCollection = true; // false: the vendor HID interface carries no 0xFF00 collection
        bool noAccess = false;     // the /dev node refuses open with EACCES
        bool kernelDriver = false; // a kernel driver holds interfaces 2 and 3 until detached
        double lossPercent = 0.0;  // each image block is lost with this probability (percent)
    };

    explicit EmulatedBus(const Options& options);
    ~EmulatedBus();
    EmulatedBus(const EmulatedBus&) = delete;
    EmulatedBus& operator=(const EmulatedBus&) = delete;

    int moduleCount() const;
    ModuleDevice& module(int index = 0);
    UsbfsModuleHandler& handler(int index = 0);

    // Off the bus: URBs in flight are reaped with ENODEV and the device leaves the testbed.
    void unplug(int index = 0);
    // Back on the bus as a new device.
    void replug(int index = 0);
    bool isPlugged(int index = 0) const;

    // The testbed's root folder (UMOCKDEV_DIR of the processes that see the bus).
    std::string rootDir() const;

private:
    struct Slot;

    void addDevice(int index);
    void addHidChildren(int index, int hidInterface, const std::string& interfacePath);
    void refuseAccess(int index);
    void removeDanglingLinks();
    Slot& slot(int index);

    const Options opts;
    UMockdevTestbed* testbed = nullptr;
    std::vector<std::unique_ptr<Slot>> entries;
};
