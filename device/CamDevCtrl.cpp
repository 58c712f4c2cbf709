#include "device/CamDevCtrl.h"

#include "device/UsbTransport.h"

// Placeholder bodies: the device link is built in its own change.
CamDevCtrl::CamDevCtrl(std::unique_ptr<UsbTransport> transport)
    : usb(std::move(transport)) {}

CamDevCtrl::~CamDevCtrl() = default;

bool CamDevCtrl::isDevicePresent(bool) {
    return false;
}
bool CamDevCtrl::openDevice() {
    return false;
}
void CamDevCtrl::deviceWatchLoop(DeviceWatchClient&) {}
void CamDevCtrl::setReceiveMode(int) {}
void CamDevCtrl::startReceiver() {}
void CamDevCtrl::stopReceiver() {}
void CamDevCtrl::setTracking(bool) {}
void CamDevCtrl::setImageReverse(int) {}
void CamDevCtrl::setFixCoordRatio(int, double) {}
void CamDevCtrl::sendCoord(int, int, int) {}
void CamDevCtrl::startBlackCapture(int, int) {}
void CamDevCtrl::startWhiteCapture(int) {}
void CamDevCtrl::startPatternCapture(int) {}
void CamDevCtrl::startManualCalib() {}
void CamDevCtrl::endManualCalib() {}
void CamDevCtrl::cancelManualCalib() {}
void CamDevCtrl::startManualPattern(int) {}
void CamDevCtrl::getInputPoints() {}
void CamDevCtrl::setCalibParameter(const double*, int, int, int, int, int, int, bool, int, const float*, bool,
                                   int, int, int) {}
void CamDevCtrl::setMonoBin(int) {}
void CamDevCtrl::setFingerTouchMode(bool) {}
void CamDevCtrl::requestLiveFrame() {}
void CamDevCtrl::requestAcImage(std::uint8_t, std::uint8_t) {}
void CamDevCtrl::requestImagePart() {}
void CamDevCtrl::queueRegisterWrite(std::uint16_t, std::uint8_t) {}
void CamDevCtrl::queueSensorGain(unsigned short, unsigned int) {}
void CamDevCtrl::setPointCounts(int, int) {}
