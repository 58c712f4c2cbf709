#include "usbemu/UsbfsModuleHandler.h"

#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "module/ModuleDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <vector>

namespace {
constexpr unsigned int capabilities = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                      USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
// The largest URB buffer accepted; the module's packets are 512 bytes.
constexpr int maxUrbLength = 16384;
const char* const kernelDriverName = "usbhid";

bool isModuleInterface(int number) {
    return number == ModuleUsb::firstInterface || number == ModuleUsb::secondInterface;
}
} // namespace

UsbfsModuleHandler::UsbfsModuleHandler(ModuleDevice& device, const Faults& faults)
    : module(device)
    , faultSwitches(faults)
    , base(umockdev_ioctl_base_new()) {
    if (faultSwitches.kernelDriver)
        boundDrivers = {ModuleUsb::firstInterface, ModuleUsb::secondInterface};
    g_signal_connect(base, "handle-ioctl", G_CALLBACK(&UsbfsModuleHandler::onIoctl), this);
    g_signal_connect(base, "client-vanished", G_CALLBACK(&UsbfsModuleHandler::onClientVanished), this);
}

UsbfsModuleHandler::~UsbfsModuleHandler() {
    g_signal_handlers_disconnect_by_data(base, this);
    {
        std::lock_guard<std::mutex> c(clientLock);
        for (const auto& entry : clientPlugs)
            g_object_weak_unref(G_OBJECT(entry.first), &UsbfsModuleHandler::onClientFinalized, this);
        clientPlugs.clear();
    }
    std::lock_guard<std::mutex> l(urbLock);
    for (Urb& urb : urbs)
        release(urb);
    urbs.clear();
    g_object_unref(base);
}

void UsbfsModuleHandler::unplug() {
    std::lock_guard<std::mutex> l(urbLock);
    unplugged = true;
    for (Urb& urb : urbs) {
        if (!urb.done)
            finish(urb, -ENODEV, 0);
    }
}

void UsbfsModuleHandler::replug() {
    {
        std::lock_guard<std::mutex> c(clientLock);
        ++plugCount;
    }
    std::lock_guard<std::mutex> l(urbLock);
    for (Urb& urb : urbs)
        release(urb);
    urbs.clear();
    unplugged = false;
    boundDrivers.clear();
    if (faultSwitches.kernelDriver)
        boundDrivers = {ModuleUsb::firstInterface, ModuleUsb::secondInterface};
}

bool UsbfsModuleHandler::readInFlight() const {
    std::lock_guard<std::mutex> l(urbLock);
    return std::any_of(urbs.begin(), urbs.end(),
                       [](const Urb& u) { return !u.done && (u.endpoint & 0x80) != 0; });
}

int UsbfsModuleHandler::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    return static_cast<UsbfsModuleHandler*>(self)->handle(client) ? TRUE : FALSE;
}

void UsbfsModuleHandler::onClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    auto* handler = static_cast<UsbfsModuleHandler*>(self);
    std::lock_guard<std::mutex> l(handler->urbLock);
    auto& urbs = handler->urbs;
    for (auto it = urbs.begin(); it != urbs.end();) {
        if (it->client == client) {
            release(*it);
            it = urbs.erase(it);
        } else {
            ++it;
        }
    }
}

bool UsbfsModuleHandler::fromEarlierPlug(UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> c(clientLock);
    const auto seen = clientPlugs.emplace(client, plugCount);
    if (seen.second)
        g_object_weak_ref(G_OBJECT(client), &UsbfsModuleHandler::onClientFinalized, this);
    return seen.first->second != plugCount;
}

void UsbfsModuleHandler::onClientFinalized(void* self, GObject* client) {
    auto* handler = static_cast<UsbfsModuleHandler*>(self);
    std::lock_guard<std::mutex> c(handler->clientLock);
    handler->clientPlugs.erase(reinterpret_cast<UMockdevIoctlClient*>(client));
}

bool UsbfsModuleHandler::handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (fromEarlierPlug(client)) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        reap(client, arg);
        return true;
    }
    // Read before the plug is checked: a write that races an unplug is lost with the connection.
    const unsigned seenConnection = module.connection();
    {
        std::lock_guard<std::mutex> l(urbLock);
        if (unplugged) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return true;
        }
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
        if (!caps) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return true;
        }
        unsigned int value = capabilities;
        umockdev_ioctl_data_update(caps, 0, reinterpret_cast<guint8*>(&value), sizeof value);
        g_object_unref(caps);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_SUBMITURB:
        submit(client, arg, seenConnection);
        return true;
    case USBDEVFS_DISCARDURB:
        discard(client, arg);
        return true;
    case USBDEVFS_CLAIMINTERFACE:
        claim(client, arg);
        return true;
    case USBDEVFS_GETDRIVER:
        getDriver(client, arg);
        return true;
    case USBDEVFS_IOCTL:
        driverIoctl(client, arg);
        return true;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    default:
        // Unknown requests (disconnect-and-claim among them) get ENOTTY from umockdev, as from an
        // older kernel: libusb then takes its GETDRIVER, detach, claim path.
        return false;
    }
}

void UsbfsModuleHandler::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg,
                                unsigned seenConnection) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!urbData) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (urb->buffer_length < 0 || urb->buffer_length > maxUrbLength) {
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                            static_cast<gsize>(urb->buffer_length), nullptr);
    if (!buffer) {
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    Urb entry{client, urbData, buffer, urb->endpoint, false};
    const bool bulk = urb->type == USBDEVFS_URB_TYPE_BULK;
    if (bulk && urb->endpoint == ModuleUsb::writeEndpoint) {
        int written = 0;
        const UsbError r = module.writeRequest(buffer->data, urb->buffer_length, &written, seenConnection);
        finish(entry, r == UsbError::none ? 0 : r == UsbError::noDevice ? -ENODEV : -EPIPE, written);
    } else if (!bulk ||
               (urb->endpoint != ModuleUsb::replyEndpoint && urb->endpoint != ModuleUsb::liveEndpoint)) {
        finish(entry, -EPIPE, 0); // control requests and other endpoints stall
    }
    {
        std::lock_guard<std::mutex> l(urbLock);
        urbs.push_back(entry);
        // A read the module can answer at once is complete before libusb first reaps.
        if (!entry.done)
            fillReadyReads();
    }
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsModuleHandler::fillReadyReads() {
    std::vector<unsigned char> waiting;
    std::vector<unsigned char> packet(DevicePacket::size);
    for (Urb& urb : urbs) {
        if (urb.done || std::find(waiting.begin(), waiting.end(), urb.endpoint) != waiting.end())
            continue;
        waiting.push_back(urb.endpoint); // only the oldest URB of an endpoint takes a packet
        const auto* header = reinterpret_cast<const usbdevfs_urb*>(urb.urbData->data);
        int got = 0;
        const int length = std::min(header->buffer_length, DevicePacket::size);
        const UsbError r = module.takePacket(urb.endpoint, packet.data(), length, &got);
        if (r == UsbError::timeout)
            continue;
        if (r != UsbError::none) {
            finish(urb, r == UsbError::noDevice ? -ENODEV : -EPIPE, 0);
            continue;
        }
        umockdev_ioctl_data_update(urb.buffer, 0, packet.data(), got);
        finish(urb, 0, got);
    }
}

void UsbfsModuleHandler::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    std::lock_guard<std::mutex> l(urbLock);
    if (!unplugged)
        fillReadyReads();
    const auto it = std::find_if(urbs.begin(), urbs.end(),
                                 [client](const Urb& u) { return u.done && u.client == client; });
    if (it == urbs.end()) {
        umockdev_ioctl_client_complete(client, -1, unplugged ? ENODEV : EAGAIN);
        return;
    }
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    if (!slot) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    if (reinterpret_cast<const usbdevfs_urb*>(it->urbData->data)->status == -ENODEV)
        gone.fetch_add(1);
    umockdev_ioctl_data_set_ptr(slot, 0, it->urbData);
    umockdev_ioctl_client_complete(client, 0, 0);
    g_object_unref(slot);
    release(*it);
    urbs.erase(it);
}

void UsbfsModuleHandler::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    // The argument is the URB's address in the client, not a pointer to resolve.
    const auto address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
    std::lock_guard<std::mutex> l(urbLock);
    const auto it = std::find_if(urbs.begin(), urbs.end(), [&](const Urb& u) {
        return u.client == client && u.urbData->client_addr == address;
    });
    if (it == urbs.end() || it->done) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    finish(*it, -ENOENT, 0);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsModuleHandler::claim(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* number = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
    if (!number) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const auto interfaceNumber = static_cast<int>(*reinterpret_cast<unsigned int*>(number->data));
    g_object_unref(number);
    std::lock_guard<std::mutex> l(urbLock);
    if (boundDrivers.count(interfaceNumber) != 0) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);
        return;
    }
    if (interfaceNumber < 0 || interfaceNumber > ModuleUsb::secondInterface) {
        umockdev_ioctl_client_complete(client, -1, ENOENT);
        return;
    }
    claims.fetch_add(1);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsModuleHandler::getDriver(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* query = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
    if (!query) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    usbdevfs_getdriver answer{};
    std::memcpy(&answer, query->data, sizeof answer);
    bool bound = false;
    {
        std::lock_guard<std::mutex> l(urbLock);
        bound = boundDrivers.count(static_cast<int>(answer.interface)) != 0;
    }
    if (bound) {
        std::strncpy(answer.driver, kernelDriverName, sizeof answer.driver - 1);
        umockdev_ioctl_data_update(query, 0, reinterpret_cast<guint8*>(&answer), sizeof answer);
    }
    g_object_unref(query);
    umockdev_ioctl_client_complete(client, bound ? 0 : -1, bound ? 0 : ENODATA);
}

void UsbfsModuleHandler::driverIoctl(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* command = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
    if (!command) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    usbdevfs_ioctl c{};
    std::memcpy(&c, command->data, sizeof c);
    g_object_unref(command);
    if (c.ioctl_code != static_cast<int>(USBDEVFS_DISCONNECT) || !isModuleInterface(c.ifno)) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return;
    }
    bool wasBound = false;
    {
        std::lock_guard<std::mutex> l(urbLock);
        wasBound = boundDrivers.erase(c.ifno) != 0;
    }
    if (wasBound)
        detaches.fetch_add(1);
    umockdev_ioctl_client_complete(client, wasBound ? 0 : -1, wasBound ? 0 : ENODATA);
}

void UsbfsModuleHandler::finish(Urb& urb, int status, int actualLength) {
    auto* header = reinterpret_cast<usbdevfs_urb*>(urb.urbData->data);
    header->status = status;
    header->actual_length = actualLength;
    urb.done = true;
}

void UsbfsModuleHandler::release(Urb& urb) {
    g_object_unref(urb.buffer);
    g_object_unref(urb.urbData);
    urb.buffer = nullptr;
    urb.urbData = nullptr;
}
