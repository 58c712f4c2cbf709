#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>

class ModuleDevice;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;
typedef struct _GObject GObject;

// Answers the usbfs ioctls of one emulated module's /dev node the way the kernel does, and hosts the
// module device behind them: bulk URBs on 0x03 are written to it, URBs on 0x83 and 0x84 wait in
// flight until it has a packet for them and are reaped then. Runs on umockdev's ioctl thread, which
// must never block, so every answer is taken without waiting.
class UsbfsModuleHandler {
public:
    struct Faults {
        bool kernelDriver = false; // a kernel driver is bound to interfaces 2 and 3 until detached
    };

    UsbfsModuleHandler(ModuleDevice& device, const Faults& faults);
    ~UsbfsModuleHandler();
    UsbfsModuleHandler(const UsbfsModuleHandler&) = delete;
    UsbfsModuleHandler& operator=(const UsbfsModuleHandler&) = delete;

    UMockdevIoctlBase* ioctlBase() const { return base; }

    // Off the bus: URBs in flight are reaped with ENODEV and every later request fails with ENODEV.
    void unplug();
    // Back on the bus with a fresh kernel driver state (a new device to the host).
    void replug();

    // Counters for tests.
    int detachCount() const { return detaches.load(); }
    int claimCount() const { return claims.load(); }
    // True while a read of 0x83 or 0x84 waits in flight for the module.
    bool readInFlight() const;
    // URBs reaped with ENODEV because the module left the bus while they were in flight.
    int goneReaps() const { return gone.load(); }

private:
    struct Urb {
        UMockdevIoctlClient* client = nullptr;
        UMockdevIoctlData* urbData = nullptr; // the resolved struct usbdevfs_urb
        UMockdevIoctlData* buffer = nullptr;  // its data buffer
        unsigned char endpoint = 0;
        bool done = false;
    };

    static int onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
    static void onClientVanished(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
    bool handle(UMockdevIoctlClient* client);
    // seenConnection: the module's connection when the request came in, read before the plug check.
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg, unsigned seenConnection);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void claim(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void getDriver(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void driverIoctl(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    // Completes the oldest in-flight IN URB of each endpoint that the module has a packet for.
    void fillReadyReads();
    static void finish(Urb& urb, int status, int actualLength);
    static void release(Urb& urb);

    ModuleDevice& module; // borrowed; outlives the handler
    const Faults faultSwitches;
    UMockdevIoctlBase* base = nullptr;

    // True for a client (an open device file) first seen before the last replug: its device has
    // left, and like the kernel the bus answers it with ENODEV for good.
    bool fromEarlierPlug(UMockdevIoctlClient* client);
    // A client object is gone; a new one may take its address.
    static void onClientFinalized(void* self, GObject* client);

    mutable std::mutex urbLock; // guards urbs, boundDrivers and unplugged
    std::deque<Urb> urbs;       // in submission order
    std::set<int> boundDrivers; // interfaces a kernel driver holds
    bool unplugged = false;

    // Never held while a GLib object is released, since that may finalize a client.
    std::mutex clientLock;                           // guards plugCount and clientPlugs
    int plugCount = 0;                               // replugs so far
    std::map<UMockdevIoctlClient*, int> clientPlugs; // each live client's plugCount when first seen

    std::atomic<int> detaches{0};
    std::atomic<int> claims{0};
    std::atomic<int> gone{0};
};
