#include "calibration/ZelmoMainCtrl.h"

#include "app/LanguageTexts.h"
#include "app/MessageBoxSeam.h"
#include "calibration/CalibDlg.h"
#include "device/CamDevCtrl.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"

#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcController, "vexaro.calibration", QtWarningMsg)

namespace {
constexpr int calibImageWidth = 1280;
constexpr int calibImageHeight = 720;
} // namespace

ZelmoMainCtrl::ZelmoMainCtrl(LanguageTexts* languageTexts, std::unique_ptr<UsbTransport> transport,
                             QObject* parent)
    : QObject(parent)
    , texts(languageTexts) {
    camDev = new CamDevCtrl(std::move(transport));
    connectDevice();
    calibDlg = new CalibDlg(texts);
    connectCalibWindow();
    darkImage = cv::Mat::zeros(calibImageHeight, calibImageWidth, CV_8UC1);
    brightImage = cv::Mat::zeros(calibImageHeight, calibImageWidth, CV_8UC1);
    patternImage = cv::Mat::zeros(calibImageHeight, calibImageWidth, CV_8UC1);
    workImage = cv::Mat::zeros(calibImageHeight, calibImageWidth, CV_8UC1);
}

ZelmoMainCtrl::~ZelmoMainCtrl() {
    darkImage.release();
    brightImage.release();
    patternImage.release();
    workImage.release();
    stopWatch.store(true);
    if (watcher) {
        if (!watcher->wait(5000)) {
            // The loop sees the stop flag within a second unless a device operation hangs; the
            // device link is deleted next, so it must not be left running over it.
            qCWarning(lcController) << "device watcher still busy after 5 s; waiting for it";
            watcher->wait();
        }
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
    if (watcher)
        return; // one watcher for the life of the controller
    stopWatch.store(false);
    watcher = QThread::create([this] { camDev->deviceWatchLoop(*this); });
    watcher->start(QThread::InheritPriority);
}

bool ZelmoMainCtrl::watchRunning() const {
    return watcher && watcher->isRunning();
}

// The flows themselves start here; without a supported module nothing happens at all.
void ZelmoMainCtrl::StartACalibration() {
    if (!firmwareSupported.load())
        return;
}

void ZelmoMainCtrl::StartSCalibration() {
    if (!firmwareSupported.load())
        return;
}

void ZelmoMainCtrl::StartMCalibration() {
    if (!firmwareSupported.load())
        return;
}

void ZelmoMainCtrl::StartAlignmentDisplay() {
    if (!camDev)
        return;
    camDev->stopReceiver();
    camDev->setReceiveMode(1);
    camDev->startReceiver();
    camDev->setImageReverse(0);
    Pacing::pause(200);
    camDev->requestLiveFrame();
    camDev->setLiveStreamStopped(0);
}

void ZelmoMainCtrl::StopAlignmentDisplay() {
    if (!camDev)
        return;
    camDev->setLiveStreamStopped(1);
    camDev->stopReceiver();
    camDev->setReceiveMode(0);
    camDev->startReceiver();
}

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

// The module reports "major.minor" with a two-digit minor; 50.x and 51.x are supported, and a
// 51.x minor of 10 or more selects the newer capture values.
void ZelmoMainCtrl::slotSetFWVersion(QString sVersion) {
    firmwareSupported.store(0);
    const QString major = sVersion.left(3);
    if (major == QLatin1String("50.")) {
        firmwareSupported.store(1);
    } else if (major == QLatin1String("51.")) {
        firmwareSupported.store(1);
        bool ok = false;
        const int minor = sVersion.right(2).toInt(&ok, 10);
        if (ok)
            fwMinor = minor < 10 ? 0 : minor;
    }
    emit sigSetFWVersion(sVersion);
}

void ZelmoMainCtrl::slotSetFWOption(unsigned char ceiling, unsigned char rear, unsigned char finger,
                                    unsigned char lens) {
    emit sigSetFWOption(ceiling, rear, finger, lens);
}

void ZelmoMainCtrl::slotSetPrevTweak(unsigned char* pEEPROM) {
    prevTweak = TweakRecord::fromEeprom(pEEPROM);
}

// One live frame: convert, hand it on, and only then ask for the next one, so at most one frame
// is in flight and the device link never refills its buffer while this slot reads it.
void ZelmoMainCtrl::slotNewFrameReceived(unsigned char* buf, int size) {
    const QImage image = liveFrames.convert(buf, size);
    if (image.isNull())
        return; // a frame of the wrong size ends the stream: nothing more is requested
    emit sigUpdateAlignImage(image);
    if (camDev && camDev->liveStreamStopped() == 0)
        camDev->requestLiveFrame();
}

void ZelmoMainCtrl::slotNewACImageReceived(unsigned char*, int) {}
void ZelmoMainCtrl::slotACNextStep() {}
void ZelmoMainCtrl::slotMCNextStep(int*, int) {}
void ZelmoMainCtrl::slotMCNextStepPointer() {}
void ZelmoMainCtrl::slotMCPrevStepPointer() {}
void ZelmoMainCtrl::slotMCDone() {}
void ZelmoMainCtrl::slotSetCalibResult(int result) {
    if (result == 0)
        MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(13));
}

void ZelmoMainCtrl::FinishAutoCalibration(int result) {
    flowStep = 0;
    if (calibDlg)
        calibDlg->hide();
    slotSetCalibResult(result);
    if (tuningFellBack)
        MessageBoxSeam::information(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(24));
}

// The user closed the calibration window (Escape or its cancel button): end whatever ran.
void ZelmoMainCtrl::slotCaliDlgWorkingDone(bool bDone) {
    if (flowStep == 3 && camDev) {
        if (bDone)
            camDev->endManualCalib();
        else
            camDev->cancelManualCalib();
    }
    flowStep = 0;
    if (calibDlg)
        calibDlg->hide();
    if (camDev)
        camDev->setTracking(false);
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
