#include "usbemu/EmulatedBus.h"

#include "device/PacketCodes.h"
#include "module/ModuleDevice.h"
#include "usbemu/ModuleDescriptors.h"
#include "usbemu/UsbfsModuleHandler.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <umockdev.h>
#include <unistd.h>

namespace {
constexpr int hidrawMajor = 241;

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char two[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        out += two;
    }
    return out;
}

std::string addSysfsDevice(UMockdevTestbed* tb, const char* subsystem, const std::string& name,
                           const std::string& parent, const std::vector<std::string>& attributes,
                           const std::vector<std::string>& properties) {
    // sysfs text attributes end in a newline, as the kernel writes them
    std::vector<std::string> attributeTexts;
    for (std::size_t i = 0; i < attributes.size(); ++i)
        attributeTexts.push_back(i % 2 == 0 ? attributes[i] : attributes[i] + "\n");
    std::vector<gchar*> a, p;
    for (auto& s : attributeTexts)
        a.push_back(const_cast<gchar*>(s.c_str()));
    for (const auto& s : properties)
        p.push_back(const_cast<gchar*>(s.c_str()));
    a.push_back(nullptr);
    p.push_back(nullptr);
    gchar* path =
        umockdev_testbed_add_devicev(tb, subsystem, name.c_str(), parent.c_str(), a.data(), p.data());
    std::string out = path ? path : "";
    g_free(path);
    return out;
}
} // namespace

struct EmulatedBus::Slot {
    std::unique_ptr<ModuleDevice> device;
    std::unique_ptr<UsbfsModuleHandler> handler;
    std::string sysPath;
    std::string devNode;
    bool plugged = false;
};

EmulatedBus::EmulatedBus(const Options& options)
    : opts(options)
    , testbed(umockdev_testbed_new()) {
    for (int i = 0; i < std::max(1, opts.modules); ++i) {
        auto s = std::make_unique<Slot>();
        s->device = std::make_unique<ModuleDevice>();
        s->device->faults().set(SimFault::BlockLoss, opts.lossPercent / 100.0);
        s->device->faults().seed(static_cast<std::uint32_t>(1000 + i));
        UsbfsModuleHandler::Faults handlerFaults;
        handlerFaults.kernelDriver = opts.kernelDriver;
        s->handler = std::make_unique<UsbfsModuleHandler>(*s->device, handlerFaults);
        s->devNode = "/dev/bus/usb/001/" + std::string(i + 2 < 10 ? "00" : "0") + std::to_string(i + 2);
        GError* error = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed, s->devNode.c_str(), s->handler->ioctlBase(), &error)) {
            const std::string message = error ? error->message : "unknown";
            g_clear_error(&error);
            throw std::runtime_error("cannot serve " + s->devNode + ": " + message);
        }
        entries.push_back(std::move(s));
        addDevice(i);
    }
}

EmulatedBus::~EmulatedBus() {
    for (auto& s : entries) {
        s->handler->unplug();
        umockdev_testbed_detach_ioctl(testbed, s->devNode.c_str(), nullptr);
    }
    g_object_unref(testbed); // removes the testbed's folder
    entries.clear();
}

int EmulatedBus::moduleCount() const {
    return static_cast<int>(entries.size());
}

EmulatedBus::Slot& EmulatedBus::slot(int index) {
    if (index < 0 || index >= moduleCount())
        throw std::out_of_range("no such emulated module");
    return *entries[static_cast<std::size_t>(index)];
}

ModuleDevice& EmulatedBus::module(int index) {
    return *slot(index).device;
}

UsbfsModuleHandler& EmulatedBus::handler(int index) {
    return *slot(index).handler;
}

bool EmulatedBus::isPlugged(int index) const {
    return index >= 0 && index < moduleCount() && entries[static_cast<std::size_t>(index)]->plugged;
}

std::string EmulatedBus::rootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    std::string out = root;
    g_free(root);
    return out;
}

void EmulatedBus::unplug(int index) {
    Slot& s = slot(index);
    if (!s.plugged)
        return;
    s.plugged = false;
    s.handler->unplug();
    s.device->disconnect();
    umockdev_testbed_uevent(testbed, s.sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed, s.sysPath.c_str());
}

void EmulatedBus::replug(int index) {
    Slot& s = slot(index);
    if (s.plugged)
        return;
    removeDanglingLinks();
    // umockdev's record of the removed /dev nodes, which it also keeps
    const std::filesystem::path nodes = std::filesystem::path(rootDir()) / "dev" / ".node";
    std::error_code ec;
    for (const std::string& node : {s.devNode.substr(5), "hidraw" + std::to_string(index * 2),
                                    "hidraw" + std::to_string(index * 2 + 1)}) {
        std::string name = node;
        std::replace(name.begin(), name.end(), '/', '_');
        std::filesystem::remove(nodes / name, ec);
    }
    s.handler->replug();
    s.device->connect();
    addDevice(index);
}

// umockdev removes a device's folder but not the bus and class links to its children, and refuses
// to add a device whose links exist.
void EmulatedBus::removeDanglingLinks() {
    namespace fs = std::filesystem;
    const fs::path sys = fs::path(rootDir()) / "sys";
    std::vector<fs::path> folders;
    std::error_code ec;
    for (const auto& bus : fs::directory_iterator(sys / "bus", ec))
        folders.push_back(bus.path() / "devices");
    for (const auto& cls : fs::directory_iterator(sys / "class", ec))
        folders.push_back(cls.path());
    for (const auto& folder : folders) {
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_symlink(ec) && !fs::exists(entry.path(), ec))
                fs::remove(entry.path(), ec);
        }
    }
}

void EmulatedBus::addDevice(int index) {
    Slot& s = slot(index);
    const std::string port = "1-" + std::to_string(index + 1);
    const std::string devnum = std::to_string(index + 2);
    const std::string minor = std::to_string(index + 1);
    const std::string serial = "VX" + std::to_string(1000 + index);
    const std::string devnumPadded = s.devNode.substr(s.devNode.size() - 3);
    // Added from a record so that umockdev creates the /dev node as well.
    std::string record = "P: /devices/" + port + "\nN: bus/usb/001/" + devnumPadded + "\nE: SUBSYSTEM=usb\n";
    const std::vector<std::string> properties = {
        "DEVTYPE=usb_device", "DEVNAME=" + s.devNode, "BUSNUM=001", "DEVNUM=" + devnumPadded,
        "MAJOR=189",          "MINOR=" + minor,       "DRIVER=usb", "PRODUCT=16d0/f8c/100",
        "TYPE=0/0/0"};
    for (const auto& p : properties)
        record += "E: " + p + "\n";
    const std::vector<std::string> attributes = {
        "idVendor=16d0",     "idProduct=0f8c",  "bcdDevice=0100",        "busnum=1",
        "devnum=" + devnum,  "speed=480",       "bConfigurationValue=1", "bNumConfigurations=1",
        "bNumInterfaces= 4", "bDeviceClass=00", "manufacturer=Norvale",  "product=Vexaro",
        "serial=" + serial,  "dev=189:" + minor};
    for (const auto& a : attributes)
        record += "A: " + a + "\\n\n";
    record += "H: descriptors=" + hexOf(ModuleDescriptors::usbDescriptors()) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, record.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("cannot add the emulated module: " + message);
    }
    s.sysPath = "/sys/devices/" + port;
    for (int i = 0; i < 4; ++i) {
        const bool hid = i < 2;
        const std::string number = "0" + std::to_string(i);
        const std::string interfacePath = addSysfsDevice(
            testbed, "usb", port + ":1." + std::to_string(i), s.sysPath,
            {"bInterfaceNumber", number, "bAlternateSetting", " 0", "bInterfaceClass", hid ? "03" : "ff",
             "bInterfaceSubClass", "00", "bInterfaceProtocol", "00", "bNumEndpoints", i == 2 ? "02" : "01"},
            {"DEVTYPE", "usb_interface", "INTERFACE", hid ? "3/0/0" : "255/0/0", "PRODUCT", "16d0/f8c/100",
             "TYPE", "0/0/0", "DRIVER", hid ? "usbhid" : ""});
        if (hid)
            addHidChildren(index, i, interfacePath);
    }
    if (opts.noAccess)
        refuseAccess(index);
    s.plugged = true;
    umockdev_testbed_uevent(testbed, s.sysPath.c_str(), "add");
}

void EmulatedBus::addHidChildren(int index, int hidInterface, const std::string& interfacePath) {
    const int n = index * 2 + hidInterface;
    char hidName[32];
    std::snprintf(hidName, sizeof hidName, "0003:16D0:0F8C.%04X", n + 1);
    const std::string serial = "VX" + std::to_string(1000 + index);
    const std::string hidPath = addSysfsDevice(
        testbed, "hid", hidName, interfacePath, {"country", "00"},
        {"DRIVER", hidInterface == 0 ? "hid-multitouch" : "hid-generic", "HID_ID", "0003:000016D0:00000F8C",
         "HID_NAME", "Norvale Vexaro", "HID_PHYS",
         "usb-0000:00:14.0-" + std::to_string(index + 1) + "/input" + std::to_string(hidInterface),
         "HID_UNIQ", serial, "MODALIAS", "hid:b0003g0001v000016D0p00000F8C"});
    std::vector<std::uint8_t> report = hidInterface == 0 ? ModuleDescriptors::touchReport()
                                       : opts.hidCollection
                                           ? ModuleDescriptors::vendorReport()
                                           : ModuleDescriptors::vendorReportWithoutCollection();
    umockdev_testbed_set_attribute_binary(testbed, hidPath.c_str(), "report_descriptor", report.data(),
                                          static_cast<gint>(report.size()));
    const std::string raw = "hidraw" + std::to_string(n);
    const std::string rawPath = addSysfsDevice(
        testbed, "hidraw", raw, hidPath, {"dev", std::to_string(hidrawMajor) + ":" + std::to_string(n)},
        {"DEVNAME", "/dev/" + raw, "MAJOR", std::to_string(hidrawMajor), "MINOR", std::to_string(n)});
    // The kernel links hidrawN/device to its hid parent; umockdev does not, and hidapi needs it.
    umockdev_testbed_set_attribute_link(testbed, rawPath.c_str(), "device", "..");
}

// A node that open(O_RDWR) refuses with EACCES even for root: a read-only sysctl entry.
void EmulatedBus::refuseAccess(int index) {
    const std::string node = rootDir() + slot(index).devNode;
    if (::unlink(node.c_str()) != 0 || ::symlink("/proc/sys/kernel/osrelease", node.c_str()) != 0)
        throw std::runtime_error("cannot make " + node + " refuse access");
}
