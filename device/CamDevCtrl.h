#pragma once

#include "device/CalibParameterRecord.h"
#include "device/ImageTransferHost.h"
#include "device/ModuleProblem.h"
#include "device/ReceivedReport.h"
#include "device/ReceiverRuns.h"
#include "device/UsbTransport.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

class DeviceWatchClient;
class DevicePacket;
class ImageReassembly;
class PacketDispatcher;
class ReceiveLoop;
class RegisterQueue;
class ReportPacker;

// The device link: USB transport and discovery, the receive thread, the command operations, the
// register queue and image reassembly. Lives in the GUI thread; the watch thread and the receive
// thread call into it as documented per operation.
//
// Hand-over to the GUI thread: the receive thread never emits a signal itself. Everything the
// module said travels as one value (ReceivedReport, its bytes copied once) queued to this object;
// in the GUI thread the bytes become a buffer that only the GUI thread touches, and the public
// signal is emitted from there, so each slot sees one whole packet or frame.
class CamDevCtrl : public QObject, private ImageTransferHost {
    Q_OBJECT
public:
    // Takes the transport to use; nullptr selects libusb and hidapi.
    explicit CamDevCtrl(std::unique_ptr<UsbTransport> transport = nullptr);
    ~CamDevCtrl() override;

    // Discovery and the write path (watch thread, except sendPacket which any thread may call).
    bool isDevicePresent(bool requireHid);
    // whyNot, when given, says why no module could be opened.
    bool openDevice(ModuleProblem* whyNot = nullptr);
    void deviceWatchLoop(DeviceWatchClient& client);

    // Receive thread control.
    void setReceiveMode(int mode);
    void startReceiver();
    void stopReceiver();
    // Stops the receive thread and starts it again in the given mode, all under one lock, so that
    // a reopen on the watch thread cannot slip in between (nor take the mode meanwhile). The mode
    // is kept: a reopen restarts the receiver in it.
    void restartReceiver(int mode);

    // Commands (GUI thread).
    void setTracking(bool on);
    void setImageReverse(int value);
    void setFixCoordRatio(int mode, double ratio);
    void sendCoord(int a, int x, int y);
    void startBlackCapture(int lens, int fwMinor);
    void startWhiteCapture(int value);
    void startPatternCapture(int value);
    void startManualCalib();
    void endManualCalib();
    void cancelManualCalib();
    void startManualPattern(int index);
    void getInputPoints();
    void setCalibParameter(const double* params, int ceiling, int rear, int screenWidth, int screenHeight,
                           int lens, int reserved, bool hasTweaks, int tweakCount, const float* tweaks,
                           bool hasSensorBlock, int rowLimit1, int rowLimit2, int fwMinor);
    void setCalibParameter(const CalibParameterRecord::Inputs& record);
    void setMonoBin(int value);
    void setFingerTouchMode(bool finger);

    // Image transfer.
    void requestLiveFrame();
    void requestAcImage(std::uint8_t id, std::uint8_t group);
    // The flow that asked for a calibration image has ended: the receive thread asks for no more
    // groups or parts of it.
    void cancelImageTransfer();

    // Register queue and target counts.
    void queueRegisterWrite(std::uint16_t address, std::uint8_t value);
    void queueSensorGain(unsigned short gain);
    // The target counts of a calibration with this lens type.
    void setPointCounts(int lens);

    // Writes one packet to the module under the process-wide send lock (any thread).
    void sendPacket(const DevicePacket& packet);

    // Whether libusb started; every device operation does nothing without it.
    bool isUsbReady() const { return usbReady.load(); }
    // Receive runs that outlasted their stop wait and are still kept for joining.
    int orphanedReceivers();
    // Reads that failed because the module was gone, since construction.
    int noDeviceReads() const;

    // 1 while the alignment view does not stream; 0 while each live frame asks for the next.
    int liveStreamStopped() const { return liveStopped.load(); }
    void setLiveStreamStopped(int stopped) { liveStopped.store(stopped); }

signals:
    void sigSetFWVersion(QString sVersion);
    void sigSetFWOption(uchar ceiling, uchar rear, uchar finger, uchar lens);
    void sigSetPrevTweak(unsigned char* pEEPROM);
    void sigNewFrame(unsigned char* buf, int size);
    void sigACNewFrame(unsigned char* buf, int size);
    void sigACNextStep();
    void sigMCDone();
    void sigMCNextStep(int* buf, int len);

private:
    // Builds, sends and traces one command packet (some codes are not traced).
    void sendCommand(std::uint32_t code, const void* payload = nullptr, int length = 0);
    // A payload of little-endian uint32 values.
    void sendU32Command(std::uint32_t code, std::initializer_list<std::uint32_t> values);
    void closeHandle();
    // Starts a run in the given mode on the current handle, with receiverLock held.
    void startReceiverLocked(int mode);

    // ImageTransferHost (receive thread).
    void sendImageRequest(std::uint8_t imageId, std::uint8_t group) override;
    void sendPartRequest(std::uint32_t imageId, std::uint32_t firstBlock, std::uint32_t lastBlock) override;
    void liveFrameComplete(const std::uint8_t* frame, std::uint32_t size) override;
    void acImageComplete(const std::uint8_t* image, std::uint32_t size) override;

    using Kind = ReceivedReport::Kind;
    // Any thread: queues the report to the GUI thread, where deliver emits its signal.
    void handOver(ReceivedReport report);
    void handOverImage(Kind kind, const std::uint8_t* image, std::uint32_t size);
    void deliver(ReceivedReport& report);

    std::unique_ptr<UsbTransport> usb;
    std::atomic<bool> usbReady{false};
    // The open device handle or 0; replaced only under the send lock, so no write uses a closed one.
    std::atomic<UsbTransport::HandleRef> handle{0};

    std::unique_ptr<RegisterQueue> registers;
    std::unique_ptr<ImageReassembly> images;
    std::unique_ptr<ReportPacker> reports;
    std::unique_ptr<PacketDispatcher> dispatcher;
    std::unique_ptr<ReceiveLoop> receiveLoop;

    std::atomic<int> receiveMode{0};
    std::mutex receiverLock; // guards receiverRuns (GUI and watch thread start and stop them)
    ReceiverRuns receiverRuns;

    std::array<std::uint8_t, 3> blackCapture{};
    std::atomic<int> liveStopped{1};

    // GUI-thread buffers that the pointer signals hand out; touched only in the GUI thread.
    QByteArray deliveredLiveFrame;
    QByteArray deliveredAcImage;
    QByteArray deliveredRecord;
    int deliveredPatternEnd = 0;
    std::array<int, 50> deliveredPoints{}; // 25 float32 pairs, as ints
};
