#include "module/ModuleDevice.h"

#include "device/CalibParameterRecord.h"
#include "device/ImageReassembly.h"
#include "device/PacketCodes.h"
#include "module/ImageBlocks.h"
#include "module/MalformedPacket.h"
#include "module/ScriptedPen.h"
#include "module/SyntheticScene.h"
#include "platform/Pacing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {
constexpr std::uint32_t acImageSize = ImageReassembly::defaultAcImageSize;
constexpr std::uint32_t liveImageSize = ImageReassembly::liveImageSize;
constexpr std::uint32_t groupBytes = ImageReassembly::groupBytes;
constexpr std::uint32_t blocksPerGroup = ImageReassembly::blocksPerGroup;
constexpr std::uint32_t lastAcBlock = ImageReassembly::acBlockCount - 1;

long long threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}
} // namespace

ModuleDevice::ModuleDevice()
    : pen(std::make_unique<ScriptedPen>())
    , frameSource(std::make_unique<SyntheticScene>())
    , worker([this] { workerLoop(); }) {}

ModuleDevice::~ModuleDevice() {
    stopWorker();
}

void ModuleDevice::stopWorker() {
    {
        std::lock_guard<std::mutex> l(workLock);
        stopping = true;
    }
    workCue.notify_all();
    idleCue.notify_all();
    if (worker.joinable())
        worker.join();
}

// ---- the endpoints ----

UsbError ModuleDevice::writeRequest(const unsigned char* data, int length, int* transferred) {
    return writeRequest(data, length, transferred, connection());
}

UsbError ModuleDevice::writeRequest(const unsigned char* data, int length, int* transferred,
                                    unsigned seenConnection) {
    *transferred = 0;
    DevicePacket request;
    std::memcpy(request.data(), data, static_cast<std::size_t>(std::clamp(length, 0, DevicePacket::size)));
    {
        std::lock_guard<std::mutex> l(workLock);
        if (seenConnection != connectionSerial.load())
            return UsbError::noDevice;
        history.record(request);
        requests.push_back(request);
    }
    workCue.notify_one();
    *transferred = length;
    return UsbError::none;
}

UsbError ModuleDevice::readEndpoint(unsigned char endpoint, unsigned char* data, int length, int* transferred,
                                    unsigned int timeoutMs) {
    *transferred = 0;
    if (endpoint == ModuleUsb::replyEndpoint)
        return replyPipe.pop(data, length, transferred, timeoutMs);
    if (endpoint == ModuleUsb::liveEndpoint)
        return livePipe.pop(data, length, transferred, timeoutMs);
    return UsbError::pipe;
}

UsbError ModuleDevice::takePacket(unsigned char endpoint, unsigned char* data, int length, int* transferred) {
    *transferred = 0;
    if (endpoint == ModuleUsb::replyEndpoint)
        return replyPipe.tryPop(data, length, transferred);
    if (endpoint == ModuleUsb::liveEndpoint)
        return livePipe.tryPop(data, length, transferred);
    return UsbError::pipe;
}

void ModuleDevice::connect() {
    replyPipe.connect();
    livePipe.connect();
}

void ModuleDevice::disconnect() {
    unsigned next = 0;
    {
        std::lock_guard<std::mutex> state(stateLock);
        std::lock_guard<std::mutex> work(workLock);
        next = connectionSerial.load() + 1;
        connectionSerial.store(next);
        requests.clear();
        timed.clear();
    }
    replyPipe.disconnect(next);
    livePipe.disconnect(next);
}

void ModuleDevice::setDropHandler(DropHandler handler) {
    std::lock_guard<std::mutex> l(stateLock);
    dropHandler = std::move(handler);
}

void ModuleDevice::dropOffBus() {
    DropHandler handler;
    {
        std::lock_guard<std::mutex> l(stateLock);
        handler = dropHandler;
    }
    if (handler)
        handler();
    else
        disconnect();
}

void ModuleDevice::injectPacket(unsigned char endpoint, const DevicePacket& packet, int readLength) {
    (endpoint == ModuleUsb::liveEndpoint ? livePipe : replyPipe).push({packet, readLength});
}

std::size_t ModuleDevice::pendingPackets(unsigned char endpoint) const {
    return (endpoint == ModuleUsb::liveEndpoint ? livePipe : replyPipe).size();
}

// ---- state ----

std::vector<std::uint8_t> ModuleDevice::capturedImage(int id) const {
    std::lock_guard<std::mutex> l(stateLock);
    const auto it = captured.find(id);
    return it == captured.end() ? std::vector<std::uint8_t>() : it->second;
}

int ModuleDevice::captureCount(int id) const {
    std::lock_guard<std::mutex> l(stateLock);
    const auto it = captureCounts.find(id);
    return it == captureCounts.end() ? 0 : it->second;
}

void ModuleDevice::penTouched(double cameraX, double cameraY) {
    schedule(
        0,
        [this, cameraX, cameraY] {
            double outX = 0.0;
            double outY = 0.0;
            if (!memory.touchAt(cameraX, cameraY, outX, outY))
                return;
            CoordHandler h;
            {
                std::lock_guard<std::mutex> l(stateLock);
                h = coordHandler;
            }
            if (h)
                h(1, static_cast<int>(std::lround(outX)), static_cast<int>(std::lround(outY)));
        },
        false);
}

void ModuleDevice::setFrameSource(std::unique_ptr<FrameSource> source) {
    std::lock_guard<std::mutex> l(sourceLock);
    frameSource = source ? std::move(source) : std::make_unique<SyntheticScene>();
}

void ModuleDevice::setPenBehaviour(std::unique_ptr<ManualPenBehaviour> behaviour) {
    std::lock_guard<std::mutex> l(stateLock);
    pen = behaviour ? std::move(behaviour) : std::make_unique<ScriptedPen>();
}

void ModuleDevice::setCoordHandler(CoordHandler handler) {
    std::lock_guard<std::mutex> l(stateLock);
    coordHandler = std::move(handler);
}

void ModuleDevice::setCalibAnswer(CalibAnswer a) {
    std::lock_guard<std::mutex> l(stateLock);
    calibAnswer = a;
}

// ---- the module's thread ----

void ModuleDevice::schedule(int delayMs, std::function<void()> action, bool scaled) {
    const long long us = scaled ? Pacing::scaledMicroseconds(delayMs) : delayMs * 1000LL;
    {
        std::lock_guard<std::mutex> l(workLock);
        timed.push_back(
            {std::chrono::steady_clock::now() + std::chrono::microseconds(us), std::move(action)});
    }
    workCue.notify_one();
}

bool ModuleDevice::waitUntilIdle(int timeoutMs) {
    std::unique_lock<std::mutex> l(workLock);
    return idleCue.wait_for(l, std::chrono::milliseconds(timeoutMs),
                            [this] { return stopping || (requests.empty() && !handling); });
}

void ModuleDevice::workerLoop() {
    std::unique_lock<std::mutex> l(workLock);
    while (!stopping) {
        const auto now = std::chrono::steady_clock::now();
        auto due = std::find_if(timed.begin(), timed.end(), [now](const Timed& t) { return t.due <= now; });
        if (due != timed.end()) {
            std::function<void()> action = std::move(due->action);
            timed.erase(due);
            answerConnection = connectionSerial.load();
            l.unlock();
            action();
            l.lock();
            continue;
        }
        if (!requests.empty()) {
            const DevicePacket request = requests.front();
            requests.pop_front();
            handling = true;
            answerConnection = connectionSerial.load();
            l.unlock();
            const double latency = faultSwitches.value(SimFault::LatencyMs);
            if (latency > 0.0)
                std::this_thread::sleep_for(
                    std::chrono::microseconds(static_cast<long long>(latency * 1000.0)));
            handleRequest(request);
            workerCpuNs.store(threadCpuNs());
            l.lock();
            handling = false;
            idleCue.notify_all();
            continue;
        }
        if (timed.empty()) {
            workCue.wait(l);
        } else {
            const auto next = std::min_element(timed.begin(), timed.end(),
                                               [](const Timed& a, const Timed& b) { return a.due < b.due; });
            workCue.wait_until(l, next->due);
        }
    }
}

void ModuleDevice::answer(PacketPipe& pipe, const DevicePacket& packet, Kind kind) {
    if (faultSwitches.value(SimFault::StopsAnswering) != 0.0)
        return; // also what was scheduled before the module hung
    if (faultSwitches.chance(SimFault::Malformed))
        pipe.push(MalformedPacket::draw(faultSwitches, &pipe == &livePipe), answerConnection);
    if ((kind == Kind::Block && faultSwitches.chance(SimFault::BlockLoss)) ||
        (kind == Kind::GroupEnd && faultSwitches.chance(SimFault::LoseGroupEnd)) ||
        (kind == Kind::PartEnd && faultSwitches.chance(SimFault::LosePartEnd)))
        return;
    pipe.push({packet, DevicePacket::size}, answerConnection);
}

void ModuleDevice::sendImageBlocks(PacketPipe& pipe, std::uint32_t code,
                                   const std::vector<std::uint8_t>& image, std::uint32_t first,
                                   std::uint32_t last) {
    ImageBlocks::cut(code, image, first, last, [&](const DevicePacket& p) { answer(pipe, p, Kind::Block); });
}

void ModuleDevice::sendLiveFrame() {
    std::vector<std::uint8_t> frame(liveImageSize);
    {
        const FrameSource::Sensor sensor = memory.sensor();
        std::lock_guard<std::mutex> l(sourceLock);
        frameSource->captureLive(sensor, frame.data());
    }
    sendImageBlocks(livePipe, DAT_LIVE_IMAGE, frame, 0, liveImageSize / groupBytes * blocksPerGroup - 1);
    if (faultSwitches.value(SimFault::EndlessLiveFrame) != 0.0) {
        // The frame never ends: more blocks follow, as long as the fault lasts.
        schedule(
            2, [this] { sendLiveFrame(); }, false);
        return;
    }
    answer(livePipe, DevicePacket::make(DAT_LIVE_IMGEND), Kind::Other);
}

// The pen is still held: look again shortly, and answer once it is lifted or the hold ran out.
void ModuleDevice::answerOnceReleased(const DevicePacket& packet, std::function<bool()> holding,
                                      std::chrono::steady_clock::time_point giveUp) {
    constexpr int holdPollMs = 10;
    if (holding() && std::chrono::steady_clock::now() < giveUp) {
        schedule(
            holdPollMs, [this, packet, holding, giveUp] { answerOnceReleased(packet, holding, giveUp); },
            false);
        return;
    }
    answer(replyPipe, packet, Kind::Other);
}

void ModuleDevice::capture(FrameSource::Capture kind, int id, std::uint32_t endCode) {
    std::vector<std::uint8_t> image(acImageSize);
    {
        const FrameSource::Sensor sensor = memory.sensor();
        std::lock_guard<std::mutex> l(sourceLock);
        frameSource->captureCalibration(kind, sensor, image.data());
    }
    const double exposureMs = faultSwitches.value(SimFault::CaptureMs);
    if (exposureMs > 0.0)
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(exposureMs * 1000.0)));
    {
        std::lock_guard<std::mutex> l(stateLock);
        if (connectionSerial.load() != answerConnection)
            return; // unplugged while exposing: the capture is lost with the power
        captured[id] = image;
        ++captureCounts[id];
    }
    answer(replyPipe, DevicePacket::make(endCode), Kind::Other);
}

void ModuleDevice::storeCalibRecord(const DevicePacket& request) {
    memory.storeCalibRecord(request);
    CalibAnswer a;
    {
        std::lock_guard<std::mutex> l(stateLock);
        a = calibAnswer;
    }
    if (a == CalibAnswer::ReadyEnd)
        answer(replyPipe, DevicePacket::make(RES_AC_READY_END), Kind::Other);
    else if (a == CalibAnswer::PatternEnd) {
        DevicePacket end = DevicePacket::make(RES_MC_PATTERN_END);
        end.setLength(4);
        answer(replyPipe, end, Kind::Other);
    }
}

void ModuleDevice::handleRequest(const DevicePacket& r) {
    const double hangsAt = faultSwitches.value(SimFault::StopsAnsweringAt);
    if (hangsAt != 0.0 && hangsAt == static_cast<double>(r.code()))
        faultSwitches.set(SimFault::StopsAnswering, 1.0);
    if (faultSwitches.value(SimFault::StopsAnswering) != 0.0)
        return;
    if (faultSwitches.chance(SimFault::Unplug)) {
        dropOffBus();
        return;
    }
    if (faultSwitches.chance(SimFault::Nak)) {
        DevicePacket nak = DevicePacket::make(RES_NAK);
        nak.setLength(4);
        nak.setU32(8, r.code());
        answer(replyPipe, nak, Kind::Other);
        return;
    }
    switch (r.code()) {
    // The connect sequence's answers go out whatever the fault switches say.
    case CMD_SENDVERSION:
        replyPipe.push({memory.versionPacket(), DevicePacket::size}, answerConnection);
        break;
    case CMD_SEND_OPTION:
        replyPipe.push({memory.optionPacket(), DevicePacket::size}, answerConnection);
        break;
    case CMD_GET_EEPROM:
        replyPipe.push({memory.eepromPacket(), DevicePacket::size}, answerConnection);
        break;
    case CMD_AC_BLACK_START:
        memory.setBlackLevel(r.u8(10));
        capture(FrameSource::Capture::Black, AcImageId::black, RES_AC_BLACK_END);
        break;
    case CMD_AC_WHITE_START:
        capture(FrameSource::Capture::White, AcImageId::white, RES_AC_WHITE_END);
        break;
    case CMD_AC_PATTERN_START:
        capture(FrameSource::Capture::Pattern, AcImageId::pattern, RES_AC_PATTERN_END);
        break;
    case CMD_AC_SENDIMG: {
        const int group = r.u8(9);
        if (group < ImageReassembly::groupCount) {
            std::vector<std::uint8_t> image = capturedImage(r.u8(8));
            if (image.empty())
                image.assign(acImageSize, 0);
            const auto first = static_cast<std::uint32_t>(group) * blocksPerGroup;
            sendImageBlocks(replyPipe, DAT_AC_IMAGE, image, first, first + blocksPerGroup - 1);
        }
        answer(replyPipe, DevicePacket::make(DAT_AC_IMGEND), Kind::GroupEnd);
        break;
    }
    case CMD_AC_SENDIMG_PART: {
        std::vector<std::uint8_t> image = capturedImage(static_cast<int>(r.u32(8)));
        if (image.empty())
            image.assign(acImageSize, 0);
        const std::uint32_t first = std::min(r.u32(12), lastAcBlock);
        const std::uint32_t last = std::min(r.u32(16), lastAcBlock);
        if (first <= last)
            sendImageBlocks(replyPipe, DAT_AC_IMAGE_PART, image, first, last);
        answer(replyPipe, DevicePacket::make(DAT_AC_PART_END), Kind::PartEnd);
        break;
    }
    case CMD_LIVE_SENDIMG: {
        // The camera exposes a new frame every livePeriod: a request made sooner is answered when
        // that frame is ready, as the real camera does, instead of at the speed of the bus.
        const auto now = std::chrono::steady_clock::now();
        const auto due = std::max(now, nextLiveFrame);
        nextLiveFrame = due + livePeriod;
        if (due <= now) {
            sendLiveFrame();
        } else {
            const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
            schedule(
                static_cast<int>(waitMs), [this] { sendLiveFrame(); }, false);
        }
        break;
    }
    case CMD_MC_PATTERN_START: {
        std::vector<ManualPenBehaviour::Event> events;
        {
            std::lock_guard<std::mutex> l(stateLock);
            events = pen->patternStarted(static_cast<int>(r.u32(8)));
        }
        for (const auto& e : events) {
            DevicePacket p = DevicePacket::make(e.code);
            p.setLength(4);
            p.setU32(8, e.value);
            if (e.holdWhile) {
                const auto holding = e.holdWhile;
                const int limitMs = e.holdLimitMs;
                schedule(
                    e.delayMs,
                    [this, p, holding, limitMs] {
                        answerOnceReleased(p, holding,
                                           std::chrono::steady_clock::now() +
                                               std::chrono::milliseconds(limitMs));
                    },
                    e.scaled);
            } else {
                schedule(
                    e.delayMs, [this, p] { answer(replyPipe, p, Kind::Other); }, e.scaled);
            }
        }
        break;
    }
    case CMD_MC_GET_INPUT_POINT: {
        std::array<float, 50> points{};
        {
            std::lock_guard<std::mutex> l(stateLock);
            points = pen->inputPoints();
        }
        answer(replyPipe, DevicePacket::make(DAT_MC_INPUT_POINT, points.data(), 200), Kind::Other);
        break;
    }
    case CMD_SET_CALIB_PARAMETER:
        storeCalibRecord(r);
        break;
    case CMD_SEND_COORD: {
        coords.fetch_add(1);
        CoordHandler h;
        {
            std::lock_guard<std::mutex> l(stateLock);
            h = coordHandler;
        }
        double outX = 0.0;
        double outY = 0.0;
        // The injected touch leaves the module through the same output scaling as any touch.
        memory.deviceToOutput(r.u32(12), r.u32(16), outX, outY);
        if (h)
            h(static_cast<int>(r.u32(8)), static_cast<int>(std::lround(outX)),
              static_cast<int>(std::lround(outY)));
        break;
    }
    case CMD_SET_FIX_COORD_RATIO:
        memory.applyRatioFix(static_cast<int>(r.u32(8)), r.f64(12));
        break;
    case CMD_STOP_TRACKING:
    case CMD_START_TRACKING:
        memory.setTracking(r.code() == CMD_START_TRACKING);
        break;
    case CMD_IIC_WR:
        memory.writeRegister(r.u16(8), r.u8(10));
        break;
    case CMD_SET_FINGER_TOUCH_MODE:
        memory.setFingerMode(r.u32(8) != 0);
        break;
    default:
        break; // applied silently: mono bin, image reverse, coordinate ratio, manual start and end
    }
}
