#include "device/CamDevCtrl.h"

#include "device/CalibParameterRecord.h"
#include "device/DevicePacket.h"
#include "device/DeviceWatchClient.h"
#include "device/ImageReassembly.h"
#include "device/LibusbTransport.h"
#include "device/ModuleDiscovery.h"
#include "device/PacketCodes.h"
#include "device/PacketDispatcher.h"
#include "device/PacketTrace.h"
#include "device/ReceiveLoop.h"
#include "device/ReceiverThread.h"
#include "device/RegisterQueue.h"
#include "device/StoredTuningRecord.h"
#include "device/TargetCounts.h"
#include "platform/Pacing.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcDevice, "vexaro.device", QtWarningMsg)

namespace {
// Held around every packet write by every thread, process-wide.
std::mutex sendLock;
} // namespace

CamDevCtrl::CamDevCtrl(std::unique_ptr<UsbTransport> transport)
    : usb(transport ? std::move(transport) : std::make_unique<LibusbTransport>())
    , registers(std::make_unique<RegisterQueue>())
    , images(std::make_unique<ImageReassembly>(static_cast<ImageTransferHost&>(*this)))
    , dispatcher(std::make_unique<PacketDispatcher>(static_cast<PacketSink&>(*this), *images))
    , receiveLoop(std::make_unique<ReceiveLoop>(*usb, *dispatcher)) {
    // Later library calls run only on a context that really started.
    const UsbError r = usb->init();
    usbReady.store(r == UsbError::none);
    if (r != UsbError::none)
        qCWarning(lcDevice) << "USB library failed to start:" << static_cast<int>(r);
    if (usb->hidInit() != 0)
        qCWarning(lcDevice) << "HID library failed to start; the module's HID collection cannot be seen";
}

CamDevCtrl::~CamDevCtrl() {
    stopReceiver();
    {
        // A run that outlasted its stop wait ends now, before the handle it reads goes away.
        std::lock_guard<std::mutex> lock(receiverLock);
        reapOrphansLocked(true);
    }
    Pacing::pause(500);
    if (handle.load() != 0) {
        if (usbReady.load())
            sendCommand(CMD_START_TRACKING);
        Pacing::pause(500);
        if (usbReady.load())
            closeHandle();
    }
    if (usbReady.load())
        usb->exit();
    usb->hidExit();
}

// ---- discovery and the write path ----

bool CamDevCtrl::isDevicePresent(bool requireHid) {
    return usbReady.load() && ModuleDiscovery::isPresent(*usb, requireHid);
}

void CamDevCtrl::closeHandle() {
    std::lock_guard<std::mutex> lock(sendLock);
    const UsbTransport::HandleRef h = handle.exchange(0);
    if (h == 0)
        return;
    usb->releaseInterface(h, ModuleUsb::firstInterface);
    usb->releaseInterface(h, ModuleUsb::secondInterface);
    usb->close(h);
}

bool CamDevCtrl::openDevice() {
    if (!usbReady.load())
        return false;
    // One lock across the whole change of handle and receiver: a receiver restart from the GUI
    // thread waits for it, so no receiver runs in a stale mode or on a handle closed under it.
    std::unique_lock<std::mutex> receiverGuard(receiverLock);
    if (handle.load() != 0) {
        stopReceiverLocked();
        reapOrphansLocked(true);
        Pacing::pause(500);
        closeHandle();
    }
    const UsbTransport::HandleRef opened = ModuleDiscovery::openFirst(*usb);
    if (opened == 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(sendLock);
        handle.store(opened);
    }
    receiveLoop->clearLinkLost();
    // The receiver comes back in the mode last asked for: after a quick unplug and replug with the
    // alignment view open that is the live mode (the connect answers wait on 0x83 until the view
    // closes), and the frame lost with the old handle is asked for again so the stream goes on.
    const int mode = receiveMode.load();
    startReceiverLocked(mode);
    receiverGuard.unlock();
    for (std::uint32_t code : {CMD_STOP_TRACKING, CMD_SENDVERSION, CMD_SEND_OPTION, CMD_GET_EEPROM}) {
        Pacing::pause(200);
        sendCommand(code);
    }
    if (mode == 1 && liveStreamStopped() == 0)
        requestLiveFrame();
    return true;
}

void CamDevCtrl::sendPacket(const DevicePacket& packet) {
    std::lock_guard<std::mutex> lock(sendLock);
    const UsbTransport::HandleRef h = handle.load();
    if (h == 0)
        return;
    // A failed or timed-out write is lost; commands are not acknowledged at this layer.
    DevicePacket copy = packet;
    int sent = 0;
    usb->bulkTransfer(h, ModuleUsb::writeEndpoint, copy.data(), DevicePacket::size, &sent,
                      ModuleUsb::writeTimeoutMs);
}

void CamDevCtrl::deviceWatchLoop(DeviceWatchClient& client) {
    while (!client.watchStopRequested()) {
        const bool present = isDevicePresent(!client.isConnected());
        if (!present) {
            if (client.isConnected())
                stopReceiver(); // the handle stays; the next open closes it
            client.setConnected(false);
            Pacing::pause(1000);
            client.reportAbsent();
        } else if (!client.isConnected() || receiveLoop->linkLost()) {
            // Also reopens a module that left and came back between two cycles: the old handle
            // is dead for good and would leave the link silent.
            if (openDevice()) {
                client.setConnected(true);
                client.reportOpened();
            } else {
                client.reportOpenFailed();
            }
        }
        for (int i = 0; i < 5; ++i) {
            if (client.watchStopRequested())
                return;
            Pacing::pause(1000);
        }
    }
}

// ---- receive thread control ----

void CamDevCtrl::setReceiveMode(int mode) {
    receiveMode.store(mode);
}

void CamDevCtrl::reapOrphansLocked(bool abortRunning) {
    for (auto& o : orphans) {
        if (abortRunning)
            o->requestAbort();
    }
    for (auto it = orphans.begin(); it != orphans.end();) {
        if (abortRunning || (*it)->finished()) {
            (*it)->join();
            it = orphans.erase(it);
        } else {
            ++it;
        }
    }
}

void CamDevCtrl::startReceiver() {
    std::lock_guard<std::mutex> lock(receiverLock);
    startReceiverLocked(receiveMode.load());
}

void CamDevCtrl::restartReceiver(int mode) {
    std::lock_guard<std::mutex> lock(receiverLock);
    stopReceiverLocked();
    receiveMode.store(mode);
    startReceiverLocked(mode);
}

void CamDevCtrl::startReceiverLocked(int mode) {
    if (receiver) {
        // Still here only if never stopped: stop it like stopReceiver would.
        receiver->requestStop();
        orphans.push_back(std::move(receiver));
    }
    // A run that outlasted its stop wait must not read beside the new one: it is told to give up
    // its drain and joined (it ends within one read time-out).
    reapOrphansLocked(true);
    const UsbTransport::HandleRef h = handle.load();
    receiver = std::make_unique<ReceiverThread>(
        [this, mode, h](const ReceiverThread& control) { receiveLoop->run(control, mode, h); });
}

void CamDevCtrl::stopReceiver() {
    std::lock_guard<std::mutex> lock(receiverLock);
    stopReceiverLocked();
}

void CamDevCtrl::stopReceiverLocked() {
    if (!receiver)
        return;
    receiver->requestStop();
    // Looked at every 10 ms, so the caller (often the GUI thread) waits no longer than the thread
    // takes to end; still given up after 10 s.
    for (int i = 0; i < 1000 && !receiver->finished(); ++i)
        Pacing::pause(10);
    if (receiver->finished()) {
        receiver->join();
        receiver.reset();
    } else {
        qCWarning(lcDevice) << "Receive thread still running after the stop wait; kept for joining";
        orphans.push_back(std::move(receiver));
    }
}

int CamDevCtrl::orphanedReceivers() {
    std::lock_guard<std::mutex> lock(receiverLock);
    reapOrphansLocked(false);
    return static_cast<int>(orphans.size());
}

int CamDevCtrl::noDeviceReads() const {
    return receiveLoop->noDeviceReads();
}

// ---- commands ----

void CamDevCtrl::sendCommand(std::uint32_t code, const void* payload, int length) {
    if (!usbReady.load())
        return;
    const DevicePacket packet = DevicePacket::make(code, payload, length);
    sendPacket(packet);
    if (code != 0x1007 && code != CMD_LIVE_SENDIMG && code != CMD_SETUP_ALIVE)
        logPacketTrace(packet);
}

void CamDevCtrl::sendU32Command(std::uint32_t code, std::uint32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    sendCommand(code, bytes, 4);
}

void CamDevCtrl::setTracking(bool on) {
    sendCommand(on ? CMD_START_TRACKING : CMD_STOP_TRACKING);
}

void CamDevCtrl::setImageReverse(int value) {
    sendU32Command(CMD_SET_IMAGE_REVERSE, static_cast<std::uint32_t>(value));
}

void CamDevCtrl::setFixCoordRatio(int mode, double ratio) {
    DevicePacket p;
    p.setU32(8, static_cast<std::uint32_t>(mode));
    p.setF64(12, ratio);
    sendCommand(CMD_SET_FIX_COORD_RATIO, p.data() + 8, 12);
}

void CamDevCtrl::sendCoord(int a, int x, int y) {
    DevicePacket p;
    p.setU32(8, static_cast<std::uint32_t>(a));
    p.setU32(12, static_cast<std::uint32_t>(x));
    p.setU32(16, static_cast<std::uint32_t>(y));
    sendCommand(CMD_SEND_COORD, p.data() + 8, 12);
}

void CamDevCtrl::startBlackCapture(int lens, int fwMinor) {
    std::uint8_t level = 0x80;
    if (lens == 3)
        level = fwMinor < 10 ? 0x60 : 0x40;
    else if (lens == 1)
        level = 0x70;
    blackCapture = {0, 0, level};
    sendCommand(CMD_AC_BLACK_START, blackCapture.data(), 3);
}

void CamDevCtrl::startWhiteCapture(int value) {
    sendU32Command(CMD_AC_WHITE_START, static_cast<std::uint32_t>(value));
}

void CamDevCtrl::startPatternCapture(int value) {
    sendU32Command(CMD_AC_PATTERN_START, static_cast<std::uint32_t>(value));
}

void CamDevCtrl::startManualCalib() {
    sendCommand(CMD_MC_START);
}

void CamDevCtrl::endManualCalib() {
    sendCommand(CMD_MC_END);
}

void CamDevCtrl::cancelManualCalib() {
    sendCommand(CMD_MC_CANCEL);
}

void CamDevCtrl::startManualPattern(int index) {
    sendU32Command(CMD_MC_PATTERN_START, static_cast<std::uint32_t>(index));
}

void CamDevCtrl::getInputPoints() {
    sendCommand(CMD_MC_GET_INPUT_POINT);
}

void CamDevCtrl::setCalibParameter(const double* params, int ceiling, int rear, int screenWidth,
                                   int screenHeight, int lens, int reserved, bool hasTweaks, int tweakCount,
                                   const float* tweaks, bool hasSensorBlock, int rowLimit1, int rowLimit2,
                                   int fwMinor) {
    CalibParameterRecord::Inputs in = CalibParameterRecord::Inputs::fitted(
        params, {screenWidth, screenHeight, ceiling, rear, lens}, rowLimit1, fwMinor);
    in.rowLimit2 = rowLimit2;
    in.hasSensorBlock = hasSensorBlock;
    in.reserved = reserved;
    if (hasTweaks)
        in.withTweaks(tweakCount, tweaks);
    setCalibParameter(in);
}

void CamDevCtrl::setCalibParameter(const CalibParameterRecord::Inputs& record) {
    const CalibParameterRecord::Bytes bytes = CalibParameterRecord::build(record);
    sendCommand(CMD_SET_CALIB_PARAMETER, bytes.data(), CalibParameterRecord::size);
}

void CamDevCtrl::setMonoBin(int value) {
    sendU32Command(CMD_SET_MONO_BIN, static_cast<std::uint32_t>(value));
}

void CamDevCtrl::setFingerTouchMode(bool finger) {
    sendU32Command(CMD_SET_FINGER_TOUCH_MODE, finger ? 1u : 0u);
}

// ---- image transfer ----

void CamDevCtrl::requestLiveFrame() {
    // The 0xFF fill happens on the receive thread before it handles the next packet.
    images->postLiveFill();
    receiveLoop->liveFrameRequested();
    sendCommand(CMD_LIVE_SENDIMG);
}

void CamDevCtrl::requestAcImage(std::uint8_t id, std::uint8_t group) {
    images->postAcImageStart(id, group);
    const std::uint8_t bytes[2] = {id, group};
    sendCommand(CMD_AC_SENDIMG, bytes, 2);
}

void CamDevCtrl::requestImagePart() {
    // The ranges belong to the receive thread, which asks for them itself; a call from any other
    // thread would race with it and is ignored.
    if (QThread::currentThread() == thread())
        return;
    images->requestImagePart();
}

void CamDevCtrl::cancelImageTransfer() {
    images->postAcCancel();
}

void CamDevCtrl::sendImageRequest(std::uint8_t imageId, std::uint8_t group) {
    const std::uint8_t bytes[2] = {imageId, group};
    sendCommand(CMD_AC_SENDIMG, bytes, 2);
}

void CamDevCtrl::sendPartRequest(std::uint32_t imageId, std::uint32_t firstBlock, std::uint32_t lastBlock) {
    DevicePacket p;
    p.setU32(8, imageId);
    p.setU32(12, firstBlock);
    p.setU32(16, lastBlock);
    sendCommand(CMD_AC_SENDIMG_PART, p.data() + 8, 12);
}

void CamDevCtrl::liveFrameComplete(const std::uint8_t* frame, std::uint32_t size) {
    // Queued camera-register writes go out now, between frames.
    registers->flush([this](std::uint16_t address, std::uint8_t value) {
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(address & 0xFF),
                                       static_cast<std::uint8_t>(address >> 8), value};
        sendCommand(CMD_IIC_WR, bytes, 3);
    });
    if (size > ImageReassembly::frameBufferSize) {
        qCWarning(lcDevice) << "Live frame size beyond the frame buffer dropped:" << size;
        return;
    }
    handOver({Kind::liveFrame, QByteArray(reinterpret_cast<const char*>(frame), static_cast<int>(size))});
}

void CamDevCtrl::acImageComplete(const std::uint8_t* image, std::uint32_t size) {
    if (size > ImageReassembly::frameBufferSize) {
        qCWarning(lcDevice) << "Calibration image size beyond the frame buffer dropped:" << size;
        return;
    }
    handOver({Kind::acImage, QByteArray(reinterpret_cast<const char*>(image), static_cast<int>(size))});
}

// ---- register queue and target counts ----

void CamDevCtrl::queueRegisterWrite(std::uint16_t address, std::uint8_t value) {
    registers->queueWrite(address, value);
}

void CamDevCtrl::queueSensorGain(unsigned short gain, unsigned int) {
    registers->queueSensorGain(gain);
}

void CamDevCtrl::setPointCounts(int, int lens) {
    TargetCounts::setForLens(lens);
}

// ---- reports from the receive thread, handed over to the GUI thread ----

void CamDevCtrl::firmwareVersion(const QString& text) {
    handOver({Kind::firmwareVersion, text.toLatin1()});
}

void CamDevCtrl::options(std::uint8_t ceiling, std::uint8_t rear, std::uint8_t finger, std::uint8_t lens) {
    const std::uint8_t bytes[4] = {ceiling, rear, finger, lens};
    handOver({Kind::options, QByteArray(reinterpret_cast<const char*>(bytes), 4)});
}

void CamDevCtrl::storedRecord(const std::uint8_t* bytes400) {
    handOver(
        {Kind::storedRecord, QByteArray(reinterpret_cast<const char*>(bytes400), StoredTuningRecord::size)});
}

void CamDevCtrl::acNextStep() {
    handOver({Kind::acNextStep, {}, 0});
}

void CamDevCtrl::mcDone() {
    handOver({Kind::mcDone, {}, 0});
}

void CamDevCtrl::mcPatternEnd(int target, int length) {
    // The pointer handed on reaches one 4-byte value: a longer length field (a module may send
    // any) must not make a slot read past it, e.g. as the 200 bytes of the touched points.
    const int bounded = std::clamp(length, 0, static_cast<int>(sizeof deliveredPatternEnd));
    handOver(
        {Kind::mcPatternEnd, QByteArray(reinterpret_cast<const char*>(&target), sizeof target), bounded});
}

void CamDevCtrl::mcInputPoints(const std::uint8_t* bytes200) {
    handOver({Kind::mcInputPoints, QByteArray(reinterpret_cast<const char*>(bytes200), inputPointBytes)});
}

void CamDevCtrl::handOver(ReceivedReport report) {
    QMetaObject::invokeMethod(
        this, [this, report = std::move(report)]() mutable { deliver(report); }, Qt::QueuedConnection);
}

namespace {
// The report's bytes become the buffer the signal points into, kept until the next report of the
// same kind; moved, not copied.
unsigned char* keep(QByteArray& slot, QByteArray& bytes) {
    slot = std::move(bytes);
    return reinterpret_cast<unsigned char*>(slot.data());
}
} // namespace

void CamDevCtrl::deliver(ReceivedReport& report) {
    const QByteArray& bytes = report.bytes;
    switch (report.kind) {
    case Kind::firmwareVersion:
        emit sigSetFWVersion(QString::fromLatin1(bytes));
        break;
    case Kind::options:
        Q_ASSERT(bytes.size() == 4);
        emit sigSetFWOption(static_cast<uchar>(bytes[0]), static_cast<uchar>(bytes[1]),
                            static_cast<uchar>(bytes[2]), static_cast<uchar>(bytes[3]));
        break;
    case Kind::storedRecord:
        emit sigSetPrevTweak(keep(deliveredRecord, report.bytes));
        break;
    case Kind::acNextStep:
        emit sigACNextStep();
        break;
    case Kind::mcDone:
        emit sigMCDone();
        break;
    case Kind::mcPatternEnd:
        Q_ASSERT(bytes.size() == sizeof deliveredPatternEnd);
        std::memcpy(&deliveredPatternEnd, bytes.constData(), sizeof deliveredPatternEnd);
        emit sigMCNextStep(&deliveredPatternEnd, report.length);
        break;
    case Kind::mcInputPoints:
        Q_ASSERT(bytes.size() == inputPointBytes);
        std::memcpy(deliveredPoints.data(), bytes.constData(), inputPointBytes);
        emit sigMCNextStep(deliveredPoints.data(), inputPointBytes);
        break;
    case Kind::liveFrame: {
        const int size = bytes.size();
        emit sigNewFrame(keep(deliveredLiveFrame, report.bytes), size);
        break;
    }
    case Kind::acImage: {
        const int size = bytes.size();
        emit sigACNewFrame(keep(deliveredAcImage, report.bytes), size);
        break;
    }
    }
}
