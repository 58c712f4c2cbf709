#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

class UsbTransport;
class DeviceWatchClient;

// The device link: USB transport and discovery, the receive thread, the command operations, the
// register queue and image reassembly. Lives in the GUI thread; the watch thread and the receive
// thread call into it as documented per operation.
class CamDevCtrl : public QObject {
    Q_OBJECT
public:
    // Takes the transport to use; nullptr selects libusb and hidapi.
    explicit CamDevCtrl(std::unique_ptr<UsbTransport> transport = nullptr);
    ~CamDevCtrl() override;

    // Discovery and the write path (watch thread, except sendPacket which any thread may call).
    bool isDevicePresent(bool requireHid);
    bool openDevice();
    void deviceWatchLoop(DeviceWatchClient& client);

    // Receive thread control.
    void setReceiveMode(int mode);
    void startReceiver();
    void stopReceiver();

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
    void setMonoBin(int value);
    void setFingerTouchMode(bool finger);

    // Image transfer.
    void requestLiveFrame();
    void requestAcImage(std::uint8_t id, std::uint8_t group);
    void requestImagePart();

    // Register queue and target counts.
    void queueRegisterWrite(std::uint16_t address, std::uint8_t value);
    void queueSensorGain(unsigned short gain, unsigned int expo);
    void setPointCounts(int kind, int lens);

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
    std::unique_ptr<UsbTransport> usb;
    std::atomic<int> liveStopped{1};
};
