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
#include "device/ReportPacker.h"
#include "device/TargetCounts.h"
#include "platform/Pacing.h"

#include <QLoggingCategory>
#include <QMetaObject>
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
    , reports(std::make_unique<ReportPacker>([this](ReceivedReport r) { handOver(std::move(r)); }))
    , dispatcher(std::make_unique<PacketDispatcher>(*reports, *images))
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
        receiverRuns.reap(true);
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

bool CamDevCtrl::openDevice(ModuleProblem* whyNot) {
    if (whyNot)
        *whyNot = ModuleProblem::openFailed;
    if (!usbReady.load())
        return false;
    // One lock across the whole change of handle and receiver: a receiver restart from the GUI
    // thread waits for it, so no receiver runs in a stale mode or on a handle closed under it.
    std::unique_lock<std::mutex> receiverGuard(receiverLock);
    if (handle.load() != 0) {
        receiverRuns.stop();
        receiverRuns.reap(true);
        Pacing::pause(500);
        closeHandle();
    }
    const UsbTransport::HandleRef opened = ModuleDiscovery::openFirst(*usb, whyNot);
    if (opened == 0)
        return false;
    // A calibration image asked of the module before it left cannot be answered by the one opened
    // now: nothing read from here on may be taken into it, nor ask for more of it. Posted before the
    // new handle is stored, so an image asked of the new module is not cancelled.
    images->postAcCancel();
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
        // A connected module needs only to stay on the bus; one to be opened needs its HID
        // collection too, and when it lacks it the user is told so rather than to plug it in.
        ModuleProblem problem = ModuleProblem::openFailed;
        if (usbReady.load()) {
            if (client.isConnected())
                problem =
                    ModuleDiscovery::isPresent(*usb, false) ? ModuleProblem::none : ModuleProblem::noModule;
            else
                problem = ModuleDiscovery::findReady(*usb);
        }
        if (problem != ModuleProblem::none) {
            const bool wasConnected = client.isConnected();
            if (wasConnected)
                stopReceiver(); // the handle stays; the next open closes it
            client.setConnected(false);
            // A module that just left is reported at once, so that a running flow ends within
            // one second; while it stays away the cycles keep their slower pace.
            if (!wasConnected)
                Pacing::pause(1000);
            client.reportProblem(problem);
            client.reportAbsent();
        } else if (!client.isConnected() || receiveLoop->linkLost()) {
            // Also reopens a module that left and came back between two cycles: the old handle
            // is dead for good and would leave the link silent.
            ModuleProblem whyNot = ModuleProblem::none;
            if (openDevice(&whyNot)) {
                client.setConnected(true);
                client.reportOpened();
            } else {
                client.reportProblem(whyNot);
                client.reportOpenFailed();
            }
        }
        for (int i = 0; i < 5; ++i) {
            if (client.watchStopRequested())
                return;
            Pacing::pause(1000);
            // An open module is looked for every second, so that its leaving ends a flow within
            // one such step; the next cycle starts at once to report it.
            if (client.isConnected() && usbReady.load() && !ModuleDiscovery::isPresent(*usb, false))
                break;
        }
    }
}

// ---- receive thread control ----

void CamDevCtrl::setReceiveMode(int mode) {
    receiveMode.store(mode);
}

void CamDevCtrl::startReceiver() {
    std::lock_guard<std::mutex> lock(receiverLock);
    startReceiverLocked(receiveMode.load());
}

void CamDevCtrl::restartReceiver(int mode) {
    std::lock_guard<std::mutex> lock(receiverLock);
    receiverRuns.stop();
    receiveMode.store(mode);
    startReceiverLocked(mode);
}

void CamDevCtrl::startReceiverLocked(int mode) {
    const UsbTransport::HandleRef h = handle.load();
    receiverRuns.start(
        [this, mode, h](const ReceiverThread& control) { receiveLoop->run(control, mode, h); });
}

void CamDevCtrl::stopReceiver() {
    std::lock_guard<std::mutex> lock(receiverLock);
    receiverRuns.stop();
}

int CamDevCtrl::orphanedReceivers() {
    std::lock_guard<std::mutex> lock(receiverLock);
    receiverRuns.reap(false);
    return receiverRuns.keptCount();
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
    if (code != UNNAMED_1007 && code != CMD_LIVE_SENDIMG && code != CMD_SETUP_ALIVE)
        logPacketTrace(packet);
}

void CamDevCtrl::sendU32Command(std::uint32_t code, std::initializer_list<std::uint32_t> values) {
    DevicePacket p;
    int at = DevicePacket::headerSize;
    for (std::uint32_t v : values) {
        p.setU32(at, v);
        at += 4;
    }
    sendCommand(code, p.data() + DevicePacket::headerSize, at - DevicePacket::headerSize);
}

void CamDevCtrl::setTracking(bool on) {
    sendCommand(on ? CMD_START_TRACKING : CMD_STOP_TRACKING);
}

void CamDevCtrl::setImageReverse(int value) {
    sendU32Command(CMD_SET_IMAGE_REVERSE, {static_cast<std::uint32_t>(value)});
}

void CamDevCtrl::setFixCoordRatio(int mode, double ratio) {
    DevicePacket p;
    p.setU32(8, static_cast<std::uint32_t>(mode));
    p.setF64(12, ratio);
    sendCommand(CMD_SET_FIX_COORD_RATIO, p.data() + 8, 12);
}

void CamDevCtrl::sendCoord(int a, int x, int y) {
    sendU32Command(CMD_SEND_COORD, {static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(x),
                                    static_cast<std::uint32_t>(y)});
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
    sendU32Command(CMD_AC_WHITE_START, {static_cast<std::uint32_t>(value)});
}

void CamDevCtrl::startPatternCapture(int value) {
    sendU32Command(CMD_AC_PATTERN_START, {static_cast<std::uint32_t>(value)});
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
    sendU32Command(CMD_MC_PATTERN_START, {static_cast<std::uint32_t>(index)});
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
    sendU32Command(CMD_SET_MONO_BIN, {static_cast<std::uint32_t>(value)});
}

void CamDevCtrl::setFingerTouchMode(bool finger) {
    sendU32Command(CMD_SET_FINGER_TOUCH_MODE, {finger ? 1u : 0u});
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
    sendImageRequest(id, group);
}

void CamDevCtrl::cancelImageTransfer() {
    images->postAcCancel();
}

void CamDevCtrl::sendImageRequest(std::uint8_t imageId, std::uint8_t group) {
    const std::uint8_t bytes[2] = {imageId, group};
    sendCommand(CMD_AC_SENDIMG, bytes, 2);
}

void CamDevCtrl::sendPartRequest(std::uint32_t imageId, std::uint32_t firstBlock, std::uint32_t lastBlock) {
    sendU32Command(CMD_AC_SENDIMG_PART, {imageId, firstBlock, lastBlock});
}

void CamDevCtrl::liveFrameComplete(const std::uint8_t* frame, std::uint32_t size) {
    // Queued camera-register writes go out now, between frames.
    registers->flush([this](std::uint16_t address, std::uint8_t value) {
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(address & 0xFF),
                                       static_cast<std::uint8_t>(address >> 8), value};
        sendCommand(CMD_IIC_WR, bytes, 3);
    });
    handOverImage(Kind::liveFrame, frame, size);
}

void CamDevCtrl::acImageComplete(const std::uint8_t* image, std::uint32_t size) {
    handOverImage(Kind::acImage, image, size);
}

void CamDevCtrl::handOverImage(Kind kind, const std::uint8_t* image, std::uint32_t size) {
    if (size > ImageReassembly::frameBufferSize) {
        qCWarning(lcDevice) << "Image size beyond the frame buffer dropped:" << size;
        return;
    }
    handOver({kind, QByteArray(reinterpret_cast<const char*>(image), static_cast<int>(size)), 0});
}

// ---- register queue and target counts ----

void CamDevCtrl::queueRegisterWrite(std::uint16_t address, std::uint8_t value) {
    registers->queueWrite(address, value);
}

void CamDevCtrl::queueSensorGain(unsigned short gain) {
    registers->queueSensorGain(gain);
}

void CamDevCtrl::setPointCounts(int lens) {
    TargetCounts::setForLens(lens);
}

// ---- reports from the receive thread, handed over to the GUI thread ----

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
        static_assert(sizeof deliveredPoints == ReportPacker::inputPointBytes,
                      "one int per point coordinate");
        Q_ASSERT(bytes.size() == ReportPacker::inputPointBytes);
        std::memcpy(deliveredPoints.data(), bytes.constData(), ReportPacker::inputPointBytes);
        emit sigMCNextStep(deliveredPoints.data(), ReportPacker::inputPointBytes);
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
