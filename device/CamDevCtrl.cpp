#include "device/CamDevCtrl.h"

#include "device/CommandPackets.h"
#include "device/DeviceWatch.h"
#include "device/ImageReassembly.h"
#include "device/ModuleDiscovery.h"
#include "device/PacketCodes.h"
#include "device/PacketDispatcher.h"
#include "device/PacketWriter.h"
#include "device/ReceiveLoop.h"
#include "device/ReceiverControl.h"
#include "device/RegisterQueue.h"
#include "device/ReportPacker.h"
#include "device/TargetCounts.h"
#include "platform/Pacing.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <cstring>

Q_LOGGING_CATEGORY(lcDevice, "vexaro.device", QtWarningMsg)

CamDevCtrl::CamDevCtrl(std::unique_ptr<UsbTransport> transport)
    : usb(std::move(transport))
    , writer(std::make_unique<PacketWriter>(*usb))
    , registers(std::make_unique<RegisterQueue>())
    , reports(std::make_unique<ReportPacker>([this](ReceivedReport r) { handOver(std::move(r)); },
                                             [this] {
                                                 // Queued camera-register writes go out between frames.
                                                 registers->flush([this](std::uint16_t a, std::uint8_t v) {
                                                     send(CommandPackets::registerWrite(a, v));
                                                 });
                                             }))
    , images(std::make_unique<ImageReassembly>(*writer, *reports))
    , dispatcher(std::make_unique<PacketDispatcher>(*reports, *images))
    , receiveLoop(std::make_unique<ReceiveLoop>(*usb, *dispatcher))
    , receivers(std::make_unique<ReceiverControl>(*receiveLoop, *writer)) {
    Q_ASSERT(usb);
    // Later library calls run only on a context that really started.
    const UsbError r = usb->init();
    usbReady.store(r == UsbError::none);
    if (r != UsbError::none)
        qCWarning(lcDevice) << "USB library failed to start:" << static_cast<int>(r);
    if (usb->hidInit() != 0)
        qCWarning(lcDevice) << "HID library failed to start; the module's HID collection cannot be seen";
}

CamDevCtrl::~CamDevCtrl() {
    // Every run ends now, before the handle it reads goes away.
    receivers->replaceLink([] { return false; });
    Pacing::pause(500);
    if (writer->isOpen()) {
        send(CommandPackets::setTracking(true));
        Pacing::pause(500);
        writer->close();
    }
    if (usbReady.load())
        usb->exit();
    usb->hidExit();
}

// ---- discovery and opening ----

bool CamDevCtrl::isDevicePresent(bool requireHid) {
    return usbReady.load() && ModuleDiscovery::isPresent(*usb, requireHid);
}

bool CamDevCtrl::openDevice(ModuleProblem* whyNot) {
    if (whyNot)
        *whyNot = ModuleProblem::openFailed;
    if (!usbReady.load())
        return false;
    const bool opened = receivers->replaceLink([this, whyNot] {
        if (writer->isOpen()) {
            Pacing::pause(500);
            writer->close();
        }
        const UsbTransport::HandleRef h = ModuleDiscovery::openFirst(*usb, whyNot);
        if (h == 0)
            return false;
        // A calibration image asked of the module before it left cannot be answered by the one
        // opened now: nothing read from here on may be taken into it, nor ask for more of it.
        // Posted before the new handle is taken, so an image asked of the new module is not
        // cancelled.
        images->postAcCancel();
        writer->adopt(h);
        receiveLoop->clearLinkLost();
        return true;
    });
    if (!opened)
        return false;
    for (std::uint32_t code : {CMD_STOP_TRACKING, CMD_SENDVERSION, CMD_SEND_OPTION, CMD_GET_EEPROM}) {
        Pacing::pause(200);
        send(CommandPackets::plain(code));
    }
    // The receiver came back in the mode last asked for: after a quick unplug and replug with the
    // alignment view open that is the live mode, and the frame lost with the old handle is asked
    // for again so the stream goes on.
    if (receivers->mode() == 1 && liveStreamStopped() == 0)
        requestLiveFrame();
    return true;
}

void CamDevCtrl::deviceWatchLoop(DeviceWatchClient& client) {
    DeviceWatch watch(*usb, usbReady,
                      {[this](ModuleProblem* whyNot) { return openDevice(whyNot); },
                       [this] { stopReceiver(); },
                       [this] {
                           return receiveLoop->linkLost();
                       }});
    watch.run(client);
}

// ---- receive thread control ----

void CamDevCtrl::setReceiveMode(int mode) {
    receivers->setMode(mode);
}

void CamDevCtrl::startReceiver() {
    receivers->start();
}

void CamDevCtrl::restartReceiver(int mode) {
    receivers->restart(mode);
}

void CamDevCtrl::stopReceiver() {
    receivers->stop();
}

int CamDevCtrl::orphanedReceivers() {
    return receivers->orphaned();
}

int CamDevCtrl::noDeviceReads() const {
    return receiveLoop->noDeviceReads();
}

// ---- commands ----

void CamDevCtrl::send(const DevicePacket& packet) {
    if (usbReady.load())
        writer->send(packet);
}

void CamDevCtrl::setTracking(bool on) {
    send(CommandPackets::setTracking(on));
}

void CamDevCtrl::setImageReverse(int value) {
    send(CommandPackets::words(CMD_SET_IMAGE_REVERSE, {static_cast<std::uint32_t>(value)}));
}

void CamDevCtrl::setFixCoordRatio(int mode, double ratio) {
    send(CommandPackets::fixCoordRatio(mode, ratio));
}

void CamDevCtrl::sendCoord(int a, int x, int y) {
    send(CommandPackets::sendCoord(a, x, y));
}

void CamDevCtrl::startBlackCapture(int lens, int fwMinor) {
    send(CommandPackets::blackCapture(lens, fwMinor));
}

void CamDevCtrl::startWhiteCapture(int value) {
    send(CommandPackets::words(CMD_AC_WHITE_START, {static_cast<std::uint32_t>(value)}));
}

void CamDevCtrl::startPatternCapture(int value) {
    send(CommandPackets::words(CMD_AC_PATTERN_START, {static_cast<std::uint32_t>(value)}));
}

void CamDevCtrl::startManualCalib() {
    send(CommandPackets::plain(CMD_MC_START));
}

void CamDevCtrl::endManualCalib() {
    send(CommandPackets::plain(CMD_MC_END));
}

void CamDevCtrl::cancelManualCalib() {
    send(CommandPackets::plain(CMD_MC_CANCEL));
}

void CamDevCtrl::startManualPattern(int index) {
    send(CommandPackets::words(CMD_MC_PATTERN_START, {static_cast<std::uint32_t>(index)}));
}

void CamDevCtrl::getInputPoints() {
    send(CommandPackets::plain(CMD_MC_GET_INPUT_POINT));
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
    send(CommandPackets::calibParameter(record));
}

void CamDevCtrl::setMonoBin(int value) {
    send(CommandPackets::words(CMD_SET_MONO_BIN, {static_cast<std::uint32_t>(value)}));
}

void CamDevCtrl::setFingerTouchMode(bool finger) {
    send(CommandPackets::words(CMD_SET_FINGER_TOUCH_MODE, {finger ? 1u : 0u}));
}

// ---- image transfer ----

void CamDevCtrl::requestLiveFrame() {
    // The 0xFF fill happens on the receive thread before it handles the next packet.
    images->postLiveFill();
    receiveLoop->liveFrameRequested();
    send(CommandPackets::plain(CMD_LIVE_SENDIMG));
}

void CamDevCtrl::requestAcImage(std::uint8_t id, std::uint8_t group) {
    images->postAcImageStart(id, group);
    send(CommandPackets::imageRequest(id, group));
}

void CamDevCtrl::cancelImageTransfer() {
    images->postAcCancel();
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
    case ReceivedReport::Kind::firmwareVersion:
        emit sigSetFWVersion(QString::fromLatin1(bytes));
        break;
    case ReceivedReport::Kind::options:
        Q_ASSERT(bytes.size() == 4);
        emit sigSetFWOption(static_cast<uchar>(bytes[0]), static_cast<uchar>(bytes[1]),
                            static_cast<uchar>(bytes[2]), static_cast<uchar>(bytes[3]));
        break;
    case ReceivedReport::Kind::storedRecord:
        emit sigSetPrevTweak(keep(deliveredRecord, report.bytes));
        break;
    case ReceivedReport::Kind::acNextStep:
        emit sigACNextStep();
        break;
    case ReceivedReport::Kind::mcDone:
        emit sigMCDone();
        break;
    case ReceivedReport::Kind::mcPatternEnd:
        Q_ASSERT(bytes.size() == sizeof deliveredPatternEnd);
        std::memcpy(&deliveredPatternEnd, bytes.constData(), sizeof deliveredPatternEnd);
        emit sigMCNextStep(&deliveredPatternEnd, report.length);
        break;
    case ReceivedReport::Kind::mcInputPoints:
        static_assert(sizeof deliveredPoints == ReportPacker::inputPointBytes,
                      "one int per point coordinate");
        Q_ASSERT(bytes.size() == ReportPacker::inputPointBytes);
        std::memcpy(deliveredPoints.data(), bytes.constData(), ReportPacker::inputPointBytes);
        emit sigMCNextStep(deliveredPoints.data(), ReportPacker::inputPointBytes);
        break;
    case ReceivedReport::Kind::liveFrame: {
        const int size = bytes.size();
        emit sigNewFrame(keep(deliveredLiveFrame, report.bytes), size);
        break;
    }
    case ReceivedReport::Kind::acImage: {
        const int size = bytes.size();
        emit sigACNewFrame(keep(deliveredAcImage, report.bytes), size);
        break;
    }
    }
}
