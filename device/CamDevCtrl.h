#pragma once

#include "device/CalibParameterRecord.h"
#include "device/ModuleProblem.h"
#include "device/ReceivedReport.h"
#include "device/UsbTransport.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class DevicePacket;
class DeviceWatchClient;
class ImageReassembly;
class PacketDispatcher;
class PacketWriter;
class ReceiveLoop;
class ReceiverControl;
class RegisterQueue;
class ReportPacker;

// The device link: it wires the transport, the writer, the receive thread and its dispatch, the
// image reassembly and the register queue, and turns commands into packets. Lives in the GUI
// thread; the watch thread opens the module through it.
//
// Hand-over to the GUI thread: the receive thread never emits a signal itself. Everything the
// module said travels as one value (ReceivedReport, its bytes copied once) queued to this object;
// in the GUI thread the bytes become a buffer that only the GUI thread touches, and the public
// signal is emitted from there, so each slot sees one whole packet or frame.
class CamDevCtrl : public QObject {
    Q_OBJECT
public:
    // The transport is the real USB stack or the simulated module's; the link owns it.
    explicit CamDevCtrl(std::unique_ptr<UsbTransport> transport);
    ~CamDevCtrl() override;

    // Discovery and opening (watch thread).
    bool isDevicePresent(bool requireHid);
    // whyNot, when given, says why no module could be opened.
    bool openDevice(ModuleProblem* whyNot = nullptr);
    void deviceWatchLoop(DeviceWatchClient& client);

    // Receive thread control.
    void setReceiveMode(int mode);
    void startReceiver();
    void stopReceiver();
    // Stops the receive thread and starts it again in the given mode; the mode is kept, so a
    // reopen restarts the receiver in it.
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
    // The live frame the last sigNewFrame pointed into, as a value that shares its bytes (GUI
    // thread); empty before the first frame.
    QByteArray lastLiveFrame() const { return deliveredLiveFrame; }

    // Register queue and target counts.
    void queueRegisterWrite(std::uint16_t address, std::uint8_t value);
    void queueSensorGain(unsigned short gain);
    // The target counts of a calibration with this lens type.
    void setPointCounts(int lens);

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
    void send(const DevicePacket& packet);
    // Any thread: queues the report to the GUI thread, where deliver emits its signal.
    void handOver(ReceivedReport report);
    void deliver(ReceivedReport& report);

    std::unique_ptr<UsbTransport> usb;
    std::atomic<bool> usbReady{false};
    std::unique_ptr<PacketWriter> writer;
    std::unique_ptr<RegisterQueue> registers;
    std::unique_ptr<ReportPacker> reports;
    std::unique_ptr<ImageReassembly> images;
    std::unique_ptr<PacketDispatcher> dispatcher;
    std::unique_ptr<ReceiveLoop> receiveLoop;
    std::unique_ptr<ReceiverControl> receivers;

    std::atomic<int> liveStopped{1};

    // GUI-thread buffers that the pointer signals hand out; touched only in the GUI thread.
    QByteArray deliveredLiveFrame;
    QByteArray deliveredAcImage;
    QByteArray deliveredRecord;
    int deliveredPatternEnd = 0;
    std::array<int, 50> deliveredPoints{}; // 25 float32 pairs, as ints
};
