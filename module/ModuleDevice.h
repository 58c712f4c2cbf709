#pragma once

#include "device/DevicePacket.h"
#include "device/StoredTuningRecord.h"
#include "module/FaultInjector.h"
#include "module/FrameSource.h"
#include "module/ManualPenBehaviour.h"
#include "module/ModuleMemory.h"
#include "module/PacketPipe.h"
#include "module/RequestHistory.h"
#include "module/SimFault.h"
#include "module/TrackingModel.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The touch module as a device: its responder, stored record, camera, pen and faults, reached through
// its three bulk endpoints and nothing else, so any bus can host it (the in-process simulated bus
// and the emulated usbfs bus). Requests written to 0x03 are queued and answered by the module's own
// thread, never inside the write; answers are queued per IN endpoint and taken by reads. Faults are
// injected by mode with a seeded generator, and every received command is counted for tests.
class ModuleDevice {
public:
    enum class CalibAnswer { ReadyEnd, PatternEnd, None };
    using Options = ModuleMemory::Options;
    using CoordHandler = std::function<void(int a, int x, int y)>;

    using DropHandler = std::function<void()>;

    ModuleDevice();
    virtual ~ModuleDevice();
    ModuleDevice(const ModuleDevice&) = delete;
    ModuleDevice& operator=(const ModuleDevice&) = delete;

    // The endpoints, answering with the transport's error codes. A write to 0x03 queues one request (at most
    // one packet of it is read); reads of 0x83 and 0x84 wait up to their time-out (pacing-scaled).
    UsbError writeRequest(const unsigned char* data, int length, int* transferred);
    // The same for a write that a host let through while the given connection was current: a host
    // reads connection() before it checks that the module is on the bus, so a write that races an
    // unplug is lost with it (UsbError::noDevice) instead of reaching the replugged module.
    UsbError writeRequest(const unsigned char* data, int length, int* transferred, unsigned seenConnection);
    unsigned connection() const { return connectionSerial.load(); }
    UsbError readEndpoint(unsigned char endpoint, unsigned char* data, int length, int* transferred,
                          unsigned int timeoutMs);
    // A read that never waits (UsbError::timeout when nothing is queued), for hosts that answer
    // from a thread that must not block.
    UsbError takePacket(unsigned char endpoint, unsigned char* data, int length, int* transferred);

    // Off the bus: queued answers and pending work are dropped and reads fail with NO_DEVICE until
    // connect(). As a module that lost its power, it sends nothing of what it was working on, and a
    // capture it was taking is not kept. The drop handler is called when the module drops off by
    // itself (the Unplug fault).
    void disconnect();
    void connect();
    void setDropHandler(DropHandler handler);

    // Queues a packet of the test's own making on an IN endpoint (0x83 or 0x84), as if the module
    // had sent it; readLength is what the tool's read returns.
    void injectPacket(unsigned char endpoint, const DevicePacket& packet,
                      int readLength = DevicePacket::size);
    // Packets queued on an IN endpoint and not yet read.
    std::size_t pendingPackets(unsigned char endpoint) const;

    // Faults.
    void setFault(SimFault fault, double value = 1.0) { faultSwitches.set(fault, value); }
    void clearFaults() { faultSwitches.clear(); }
    void setSeed(std::uint32_t seed) { faultSwitches.seed(seed); }

    // The module's state.
    void setFirmwareVersion(int major, int minor) { memory.setFirmwareVersion(major, minor); }
    void setOptions(const Options& options) { memory.setOptions(options); }
    Options options() const { return memory.options(); }
    StoredTuningRecord::Bytes storedRecord() const { return memory.storedRecord(); }
    std::vector<std::uint8_t> lastCalibRecord() const { return memory.lastCalibRecord(); }
    // The image a capture command took (101 black, 102 white, 103 pattern); empty before that.
    std::vector<std::uint8_t> capturedImage(int id) const;
    // How many captures with this id the module has kept.
    int captureCount(int id) const;
    unsigned sensorGain() const { return memory.sensorGain(); }
    bool tracking() const { return memory.tracking(); }

    // Touch output once calibrated: what the module reports (4800 x 3000 output space) for a pen
    // tip its camera sees at a camera point; false before a calibration record is stored.
    bool trackCameraPoint(double cameraX, double cameraY, double& outX, double& outY) const {
        return memory.cameraToOutput(cameraX, cameraY, outX, outY);
    }
    // The pen tip touched the screen where the camera sees it: while tracking and holding a record,
    // the module's thread reports the touch through the coordinate handler (as a press, a = 1).
    void penTouched(double cameraX, double cameraY);
    // The module's own scale error of its output axes, which the ratio check corrects (1 = none).
    void setRatioError(double x, double y) { memory.setRatioError(x, y); }

    // Pluggable behaviour (called on the module's thread).
    void setFrameSource(std::unique_ptr<FrameSource> source);
    void setPenBehaviour(std::unique_ptr<ManualPenBehaviour> pen);
    void setCoordHandler(CoordHandler handler);
    void setCalibAnswer(CalibAnswer answer);

    // Waits until every request written so far has been handled (false on time-out).
    bool waitUntilIdle(int timeoutMs = 5000);

    // Counters for tests, bounded however long the session (see RequestHistory).
    static constexpr std::size_t recentCapacity = RequestHistory::recentCapacity;
    static constexpr std::size_t codeCapacity = RequestHistory::codeCapacity;
    int commandCount(std::uint32_t code) const { return history.count(code); }
    // The most recent requests, oldest first (at most recentCapacity).
    std::vector<DevicePacket> receivedPackets() const { return history.recent(); }
    // The last request with this code since clearCounters.
    std::optional<DevicePacket> lastReceived(std::uint32_t code) const { return history.last(code); }
    void clearCounters() { history.clear(); }
    int coordCount() const { return coords.load(); }
    // CPU time the module's thread has used, for benchmarks that subtract it.
    double workerCpuMs() const { return static_cast<double>(workerCpuNs.load()) / 1e6; }

    // The fault switches, shared with the bus that hosts the module.
    FaultInjector& faults() { return faultSwitches; }
    const FaultInjector& faults() const { return faultSwitches; }

protected:
    // Joins the module's thread; a host calls it first in its destructor so that the thread never
    // reaches a host that is half destroyed. Idempotent.
    void stopWorker();

private:
    struct Timed {
        std::chrono::steady_clock::time_point due;
        std::function<void()> action;
    };
    enum class Kind { Block, GroupEnd, PartEnd, Other };

    // The module's thread.
    void workerLoop();
    void handleRequest(const DevicePacket& request);
    void answer(PacketPipe& pipe, const DevicePacket& packet, Kind kind);
    void sendImageBlocks(PacketPipe& pipe, std::uint32_t code, const std::vector<std::uint8_t>& image,
                         std::uint32_t first, std::uint32_t last);
    void sendLiveFrame();
    void answerOnceReleased(const DevicePacket& packet, std::function<bool()> holding,
                            std::chrono::steady_clock::time_point giveUp);
    void capture(FrameSource::Capture kind, int id, std::uint32_t endCode);
    void storeCalibRecord(const DevicePacket& request);
    void schedule(int delayMs, std::function<void()> action, bool scaled);

    void dropOffBus();

    FaultInjector faultSwitches;

    ModuleMemory memory;

    mutable std::mutex stateLock; // guards the captures below and the pluggable behaviour
    std::map<int, std::vector<std::uint8_t>> captured;
    std::map<int, int> captureCounts;
    std::unique_ptr<ManualPenBehaviour> pen;
    CoordHandler coordHandler;
    CalibAnswer calibAnswer = CalibAnswer::ReadyEnd;
    DropHandler dropHandler;

    // Guards frameSource; held for a whole capture, which may wait for the desktop, so that the
    // module's state lock is never held meanwhile.
    mutable std::mutex sourceLock;
    std::unique_ptr<FrameSource> frameSource;

    RequestHistory history;
    std::atomic<int> coords{0};
    std::atomic<long long> workerCpuNs{0};

    PacketPipe replyPipe; // endpoint 0x83
    PacketPipe livePipe;  // endpoint 0x84

    std::mutex workLock;             // guards requests, timed, handling and stopping
    std::condition_variable workCue; // signalled on a new request, a new timed event and stop
    std::condition_variable idleCue; // signalled whenever a request has been handled
    bool handling = false;
    // Counts the unplugs; written under stateLock and workLock together, so a capture kept under
    // stateLock and a request queued under workLock both see an unplug that came first.
    std::atomic<unsigned> connectionSerial{0};
    // The connection of the request or timed action the module's thread is working on (that
    // thread only); its answers go out only while that connection lasts.
    unsigned answerConnection = 0;
    std::deque<DevicePacket> requests;
    std::vector<Timed> timed;
    bool stopping = false;

    // Live frames come at the camera's 30 frames a second, the rate of the module's sensor in
    // live mode; only the module's thread reads or writes nextLiveFrame.
    static constexpr std::chrono::milliseconds livePeriod{33};
    std::chrono::steady_clock::time_point nextLiveFrame{};
    std::thread worker; // last: starts after everything above exists
};
