#include "calibration/ZelmoMainCtrl.h"

#include "calibration/CalibDlg.h"
#include "device/CamDevCtrl.h"
#include "device/UsbTransport.h"

#include <QThread>

ZelmoMainCtrl::ZelmoMainCtrl(LanguageTexts* languageTexts, std::unique_ptr<UsbTransport> transport,
                             QObject* parent)
    : QObject(parent)
    , texts(languageTexts) {
    camDev = new CamDevCtrl(std::move(transport));
    connectDevice();
    calibDlg = new CalibDlg(texts);
    connectCalibWindow();
}

ZelmoMainCtrl::~ZelmoMainCtrl() {
    stopWatch.store(true);
    if (watcher) {
        watcher->wait(5000);
        if (watcher->isFinished())
            delete watcher;
        watcher = nullptr;
    }
    disconnectDevice();
    delete camDev;
    camDev = nullptr;
    deleteCalibWindow();
}

void ZelmoMainCtrl::deleteCalibWindow() {
    if (!calibDlg)
        return;
    disconnectCalibWindow();
    calibDlg->hide();
    delete calibDlg;
    calibDlg = nullptr;
}

// Connections 1 to 8, by signature with the automatic type.
void ZelmoMainCtrl::connectDevice() {
    connect(camDev, SIGNAL(sigSetFWVersion(QString)), this, SLOT(slotSetFWVersion(QString)));
    connect(camDev, SIGNAL(sigSetFWOption(uchar, uchar, uchar, uchar)), this,
            SLOT(slotSetFWOption(uchar, uchar, uchar, uchar)));
    connect(camDev, SIGNAL(sigSetPrevTweak(unsigned char*)), this, SLOT(slotSetPrevTweak(unsigned char*)));
    connect(camDev, SIGNAL(sigNewFrame(unsigned char*, int)), this,
            SLOT(slotNewFrameReceived(unsigned char*, int)));
    connect(camDev, SIGNAL(sigACNewFrame(unsigned char*, int)), this,
            SLOT(slotNewACImageReceived(unsigned char*, int)));
    connect(camDev, SIGNAL(sigACNextStep()), this, SLOT(slotACNextStep()));
    connect(camDev, SIGNAL(sigMCNextStep(int*, int)), this, SLOT(slotMCNextStep(int*, int)));
    connect(camDev, SIGNAL(sigMCDone()), this, SLOT(slotMCDone()));
}

// Connections 9 to 12.
void ZelmoMainCtrl::connectCalibWindow() {
    connect(calibDlg, SIGNAL(sigCaliDlgWorkingDone(bool)), this, SLOT(slotCaliDlgWorkingDone(bool)));
    connect(calibDlg, SIGNAL(sigMCNextStepPointer()), this, SLOT(slotMCNextStepPointer()));
    connect(calibDlg, SIGNAL(sigMCPrevStepPointer()), this, SLOT(slotMCPrevStepPointer()));
    connect(calibDlg, SIGNAL(sigTouchEvent(int, int)), this, SLOT(slotTouchEvent(int, int)));
}

void ZelmoMainCtrl::disconnectDevice() {
    if (camDev)
        disconnect(camDev, nullptr, this, nullptr);
}

void ZelmoMainCtrl::disconnectCalibWindow() {
    if (calibDlg)
        disconnect(calibDlg, nullptr, this, nullptr);
}

void ZelmoMainCtrl::StartDeviceWatch() {
    stopWatch.store(false);
    watcher = QThread::create([this] { camDev->deviceWatchLoop(*this); });
    watcher->start(QThread::InheritPriority);
}

void ZelmoMainCtrl::StartACalibration() {}
void ZelmoMainCtrl::StartSCalibration() {}
void ZelmoMainCtrl::StartMCalibration() {}
void ZelmoMainCtrl::StartAlignmentDisplay() {}
void ZelmoMainCtrl::StopAlignmentDisplay() {}

void ZelmoMainCtrl::CamParamSend(int addr, int value) {
    camDev->queueRegisterWrite(static_cast<std::uint16_t>(addr), static_cast<std::uint8_t>(value));
}

void ZelmoMainCtrl::CamParamSendWait(unsigned short gain, unsigned int expo) {
    camDev->queueSensorGain(gain, expo);
}

void ZelmoMainCtrl::SetBin(int value) {
    camDev->setMonoBin(value);
}

void ZelmoMainCtrl::SetFingerMode(bool finger) {
    camDev->setFingerTouchMode(finger);
}

void ZelmoMainCtrl::slotSetFWVersion(QString sVersion) {
    emit sigSetFWVersion(sVersion);
}

void ZelmoMainCtrl::slotSetFWOption(unsigned char ceiling, unsigned char rear, unsigned char finger,
                                    unsigned char lens) {
    emit sigSetFWOption(ceiling, rear, finger, lens);
}

void ZelmoMainCtrl::slotSetPrevTweak(unsigned char*) {}
void ZelmoMainCtrl::slotNewFrameReceived(unsigned char*, int) {}
void ZelmoMainCtrl::slotNewACImageReceived(unsigned char*, int) {}
void ZelmoMainCtrl::slotACNextStep() {}
void ZelmoMainCtrl::slotMCNextStep(int*, int) {}
void ZelmoMainCtrl::slotMCNextStepPointer() {}
void ZelmoMainCtrl::slotMCPrevStepPointer() {}
void ZelmoMainCtrl::slotMCDone() {}
void ZelmoMainCtrl::slotSetCalibResult(int) {}
void ZelmoMainCtrl::slotCaliDlgWorkingDone(bool) {
    flowStep = 0;
    if (calibDlg)
        calibDlg->hide();
}
void ZelmoMainCtrl::slotTouchEvent(int, int) {}
void ZelmoMainCtrl::OnTimerTouchEvent() {}

bool ZelmoMainCtrl::watchStopRequested() const {
    return stopWatch.load();
}

bool ZelmoMainCtrl::isConnected() const {
    return connected.load();
}

void ZelmoMainCtrl::setConnected(bool isOpen) {
    connected.store(isOpen);
}

void ZelmoMainCtrl::reportAbsent() {
    firmwareSupported.store(0);
    emit sigChangeUIState(false);
}

void ZelmoMainCtrl::reportOpened() {
    emit sigChangeUIState(true);
}
