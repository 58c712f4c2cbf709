#include "calibration/ZelmoMainCtrl.h"

#include "analysis/PatternAnalyzer.h"
#include "app/LanguageTexts.h"
#include "app/MessageBoxSeam.h"
#include "calibration/CalibDlg.h"
#include "calibration/CalibrationAnalysis.h"
#include "calibration/CoordinateRatio.h"
#include "calibration/LastCalibration.h"
#include "calibration/TouchCapture.h"
#include "device/CamDevCtrl.h"
#include "device/TargetCounts.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"

#include <QLoggingCategory>
#include <QThread>
#include <QTimer>
#include <cstring>

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

// Without a supported module a calibration start does nothing at all.
void ZelmoMainCtrl::StartACalibration() {
    startAutomatic(false);
}

void ZelmoMainCtrl::StartSCalibration() {
    startAutomatic(true);
}

void ZelmoMainCtrl::startAutomatic(bool semiAutomatic) {
    if (!firmwareSupported.load() || !calibDlg || !camDev)
        return;
    stopRatioTimer();
    calibDlg->hide();
    camDev->setPointCounts(firmwareSupported.load(), calibDlg->lens);
    tuning = semiAutomatic;
    tuningFellBack = false;
    calibDlg->PrepareDisplay(CalibDlg::Black);
    calibDlg->ComputeTargets(CalibDlg::TargetSet::Automatic);
    calibDlg->ShowAndWait();
    camDev->setImageReverse(0);
    Pacing::pause(200);
    camDev->startBlackCapture(calibDlg->lens, fwMinor);
    flowStep = 6;
}

void ZelmoMainCtrl::StartMCalibration() {
    if (!firmwareSupported.load() || !calibDlg || !camDev)
        return;
    stopRatioTimer();
    calibDlg->hide();
    camDev->setPointCounts(firmwareSupported.load(), calibDlg->lens);
    tuning = false;
    tuningFellBack = false;
    startTouchPhase(false);
}

// Shows the targets of a touch phase (16 manual, or the 20 of the pattern after a semi-automatic
// analysis) with the pen picture at the first one, then arms the module on it.
void ZelmoMainCtrl::startTouchPhase(bool semiAutomatic) {
    calibDlg->PrepareDisplay(CalibDlg::Instruction);
    calibDlg->ComputeTargets(semiAutomatic ? CalibDlg::TargetSet::SemiAutomatic
                                           : CalibDlg::TargetSet::Manual);
    calibDlg->setTargetIndex(0);
    calibDlg->setTargetCount(touchTargetCount());
    calibDlg->ringOff();
    calibDlg->ShowAndWait();
    armTouchPhase();
}

void ZelmoMainCtrl::armTouchPhase() {
    flowStep = 3;
    camDev->startManualCalib();
    Pacing::pause(200);
    camDev->setImageReverse(0);
    Pacing::pause(200);
    camDev->startManualPattern(0);
}

int ZelmoMainCtrl::touchTargetCount() const {
    return tuning ? TargetCounts::autoTargetCount.load() : TargetCounts::manualTargetCount.load();
}

void ZelmoMainCtrl::StartAlignmentDisplay() {
    if (!camDev)
        return;
    camDev->restartReceiver(1);
    camDev->setImageReverse(0);
    Pacing::pause(200);
    camDev->requestLiveFrame();
    camDev->setLiveStreamStopped(0);
}

void ZelmoMainCtrl::StopAlignmentDisplay() {
    if (!camDev)
        return;
    camDev->setLiveStreamStopped(1);
    camDev->restartReceiver(0);
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

// One calibration image: 1280 x 720 with one byte a pixel, or two bytes a pixel of which the
// first counts. It is kept by the id last requested; any other size is ignored and the run waits.
void ZelmoMainCtrl::slotNewACImageReceived(unsigned char* buf, int size) {
    const int pixels = calibImageWidth * calibImageHeight;
    if (!buf || (size != pixels && size != 2 * pixels))
        return;
    cv::Mat* target = imageId == 101   ? &darkImage
                      : imageId == 102 ? &brightImage
                      : imageId == 103 ? &patternImage
                                       : nullptr;
    if (target) {
        if (size == pixels) {
            std::memcpy(target->data, buf, static_cast<size_t>(pixels));
        } else {
            for (int n = 0; n < pixels; ++n)
                target->data[n] = buf[2 * n];
        }
    }
    slotACNextStep();
}

void ZelmoMainCtrl::slotACNextStep() {
    if (!calibDlg || !camDev)
        return;
    switch (flowStep) {
    case 6: // black captured: put up white and fetch the dark image meanwhile
        calibDlg->SetPaintModeAndWait(CalibDlg::White);
        stepStart.start();
        imageId = 101;
        camDev->requestAcImage(101, 0);
        flowStep = 7;
        break;
    case 7: // dark image in: capture white, telling the module how long it has been up
        camDev->startWhiteCapture(static_cast<int>(stepStart.elapsed()));
        flowStep = 8;
        break;
    case 8:
        calibDlg->SetPaintModeAndWait(CalibDlg::Pattern);
        stepStart.start();
        imageId = 102;
        camDev->requestAcImage(102, 0);
        flowStep = 9;
        break;
    case 9:
        camDev->startPatternCapture(static_cast<int>(stepStart.elapsed()));
        flowStep = 10;
        break;
    case 10:
        Pacing::pause(100);
        imageId = 103;
        camDev->requestAcImage(103, 0);
        flowStep = 11;
        break;
    case 11:
        if (imageId == 103)
            analyseCapturedImages();
        break;
    case 15: // the module took the record: check its coordinate ratio
        ratioIndex = 0;
        flowStep = 16;
        sendRatioTouch(ratioIndex);
        break;
    case 16:
        ++ratioIndex;
        if (ratioIndex < 2)
            sendRatioTouch(ratioIndex);
        else
            finishRatioCheck();
        break;
    default:
        break;
    }
}

void ZelmoMainCtrl::analyseCapturedImages() {
    const QSize screen = calibDlg->screenSize();
    const CalibrationAnalysis::AutoFit fit = CalibrationAnalysis::analyseImages(
        darkImage, brightImage, patternImage, workImage, calibDlg->targetList().data(),
        TargetCounts::autoTargetCount.load(), screen, calibDlg->lens, prevTweak, fwMinor, tuning);
    LastCalibration::keep(darkImage, brightImage, patternImage,
                          {screen.width(),
                           screen.height(),
                           calibDlg->lens,
                           fwMinor,
                           calibDlg->ceiling == 1,
                           calibDlg->rear == 1,
                           tuning,
                           {}},
                          fit);
    lastFitOk = fit.ok;
    qCDebug(lcController) << "image analysis:" << (fit.ok ? "fit accepted" : "fit failed") << "error"
                          << PatternAnalyzer::instance().fitError << "row limit" << fit.rowLimit;
    tuning = fit.tuning;
    if (fit.fellBack)
        tuningFellBack = true;
    if (!fit.ok) {
        flowStep = 0;
        calibDlg->hide();
        slotSetCalibResult(0);
        return;
    }
    if (tuning) {
        flowStep = 0;
        calibDlg->hide();
        startTouchPhase(true);
        return;
    }
    camDev->setCalibParameter(CalibParameterRecord::Inputs::fitted(
        fit.params.data(),
        {screen.width(), screen.height(), calibDlg->ceiling, calibDlg->rear, calibDlg->lens}, fit.rowLimit,
        fwMinor));
    flowStep = 15;
}

// One touch of the ratio check: the window reports the next touch release, and the module is asked
// to inject a touch at a known device point. No answer within a second ends the check.
void ZelmoMainCtrl::sendRatioTouch(int index) {
    if (index != 0 && index != 1)
        return;
    touchCaptureArmed.store(true);
    stopRatioTimer();
    ratioTimer = new QTimer(this);
    ratioTimer->setSingleShot(true);
    connect(ratioTimer, &QTimer::timeout, this, &ZelmoMainCtrl::OnTimerTouchEvent);
    ratioTimer->start(1000);
    camDev->sendCoord(1, CoordinateRatio::targetX[index], CoordinateRatio::targetY[index]);
}

void ZelmoMainCtrl::stopRatioTimer() {
    if (!ratioTimer)
        return;
    disconnect(ratioTimer, nullptr, this, nullptr);
    ratioTimer->stop();
    ratioTimer->deleteLater();
    ratioTimer = nullptr;
}

void ZelmoMainCtrl::finishRatioCheck() {
    const QSize screen = calibDlg->screenSize();
    const CoordinateRatio::Correction c =
        CoordinateRatio::compute(ratioMeasured[0], ratioMeasured[1], screen.width(), screen.height());
    qCDebug(lcController) << "coordinate ratio: mode" << c.mode << "ratio" << c.ratio;
    camDev->setFixCoordRatio(c.mode, c.ratio);
    FinishAutoCalibration(lastFitOk);
}

void ZelmoMainCtrl::slotTouchEvent(int x, int y) {
    stopRatioTimer();
    if (ratioIndex == 0 || ratioIndex == 1)
        ratioMeasured[ratioIndex] = QPoint(x, y);
    if (flowStep == 16)
        slotACNextStep();
}

void ZelmoMainCtrl::OnTimerTouchEvent() {
    stopRatioTimer();
    touchCaptureArmed.store(false);
    if (camDev)
        camDev->setFixCoordRatio(0, 0.0);
    FinishAutoCalibration(lastFitOk);
}

// The module saw the pen on the current target: fill the progress ring while it rests there.
void ZelmoMainCtrl::slotMCDone() {
    if (flowStep != 3 || !calibDlg)
        return;
    calibDlg->setAdvanceReady(false);
    calibDlg->ringOn();
}

// The ring completed: the window moves on to the next target.
void ZelmoMainCtrl::slotMCNextStepPointer() {
    if (flowStep != 3 || !calibDlg)
        return;
    calibDlg->setAdvanceReady(true);
    calibDlg->ringOff();
    calibDlg->stepTargetIndex(1);
    calibDlg->animateForward();
}

void ZelmoMainCtrl::slotMCPrevStepPointer() {
    if (flowStep != 3 || !calibDlg || calibDlg->targetIndex() == 0)
        return;
    calibDlg->setAdvanceReady(true);
    calibDlg->ringOff();
    calibDlg->stepTargetIndex(-1);
    calibDlg->animateBack();
    targetFinished(calibDlg->targetIndex());
}

void ZelmoMainCtrl::slotMCNextStep(int* buf, int len) {
    if (!calibDlg || !camDev)
        return;
    switch (flowStep) {
    case 3:
        targetFinished(buf ? *buf : 0);
        break;
    case 4:
        if (len == 200 && buf)
            touchedPointsArrived(reinterpret_cast<const float*>(buf));
        break;
    case 15: // the module ended the run without asking for the ratio check
        flowStep = 0;
        calibDlg->hide();
        slotSetCalibResult(lastFitOk);
        break;
    default:
        break;
    }
}

// The module finished a target. If the window already moved on, arm the next target (or fetch the
// touched points after the last); if the pen left before the ring completed, repeat the target.
void ZelmoMainCtrl::targetFinished(int reported) {
    if (calibDlg->advanceReady()) {
        const int i = calibDlg->targetIndex();
        if (i == touchTargetCount()) {
            flowStep = 4;
            camDev->getInputPoints();
        } else {
            calibDlg->setAdvanceReady(false);
            camDev->startManualPattern(i);
        }
    } else {
        calibDlg->ringOff();
        calibDlg->SetPaintModeAndWait(CalibDlg::KeepMode);
        camDev->startManualPattern(reported);
    }
}

void ZelmoMainCtrl::touchedPointsArrived(const float* moduleSlots) {
    const QSize screen = calibDlg->screenSize();
    const int n = touchTargetCount();
    const CalibrationAnalysis::TouchFit fit =
        CalibrationAnalysis::fitTouchedPoints(moduleSlots, tuning, calibDlg->ceiling, calibDlg->rear, n,
                                              calibDlg->targetList().data(), screen, calibDlg->lens, fwMinor);
    if (!fit.ordered)
        return; // no order for these flags: stay and wait for the user to close the window
    lastFitOk = fit.ok;
    qCDebug(lcController) << "touched points:" << (fit.ok ? "fit accepted" : "fit failed") << "error"
                          << PatternAnalyzer::instance().fitError;
    if (!fit.ok) {
        camDev->cancelManualCalib();
        flowStep = 0;
        calibDlg->hide();
        MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(13));
        return;
    }
    if (tuning) {
        camDev->setCalibParameter(
            CalibParameterRecord::Inputs::fitted(
                fit.params.data(),
                {screen.width(), screen.height(), calibDlg->ceiling, calibDlg->rear, calibDlg->lens},
                fit.rowLimit, fwMinor)
                .withTweaks(n, fit.tweaks.data()));
        TweakRecord learned;
        learned.lens = static_cast<unsigned char>(calibDlg->lens);
        learned.count = n;
        for (int i = 0; i < n; ++i)
            learned.offsets[static_cast<size_t>(i)] =
                QPointF(fit.tweaks[static_cast<size_t>(2 * i)], fit.tweaks[static_cast<size_t>(2 * i + 1)]);
        prevTweak = learned;
    } else {
        camDev->setCalibParameter(CalibParameterRecord::Inputs::fitted(
            fit.params.data(),
            {screen.width(), screen.height(), calibDlg->ceiling, calibDlg->rear, calibDlg->lens},
            fit.rowLimit, fwMinor));
    }
    flowStep = 15;
}

void ZelmoMainCtrl::slotSetCalibResult(int result) {
    if (result == 0)
        MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(13));
    else
        emit sigCalibrationStored();
}

void ZelmoMainCtrl::FinishAutoCalibration(int result) {
    qCDebug(lcController) << "automatic calibration finished, result" << result;
    if (result != 0)
        qCInfo(lcController) << "calibration stored, fit error" << PatternAnalyzer::instance().fitError
                             << "px";
    flowStep = 0;
    if (camDev)
        camDev->cancelImageTransfer();
    if (calibDlg)
        calibDlg->hide();
    slotSetCalibResult(result);
    if (tuningFellBack)
        MessageBoxSeam::information(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(24));
}

// The user closed the calibration window (Escape or its cancel button): end whatever ran.
void ZelmoMainCtrl::slotCaliDlgWorkingDone(bool bDone) {
    // A ratio check in progress ends with the run; its time-out must not finish it afterwards.
    stopRatioTimer();
    touchCaptureArmed.store(false);
    if (camDev)
        camDev->cancelImageTransfer();
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

void ZelmoMainCtrl::deviceLost() {
    const bool flowRan = flowStep != 0;
    stopRatioTimer();
    touchCaptureArmed.store(false);
    if (camDev) {
        camDev->cancelImageTransfer();
        // The alignment view closes with the module: the next open reads the replies again instead
        // of going back to a live stream nobody shows.
        camDev->setLiveStreamStopped(1);
        camDev->setReceiveMode(0);
    }
    flowStep = 0;
    if (calibDlg)
        calibDlg->hide();
    if (flowRan) {
        qCDebug(lcController) << "module lost during a calibration";
        MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(18));
    }
}

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
    openFailureShown.store(false); // the episode ends
    firmwareSupported.store(0);
    emit sigChangeUIState(false);
}

void ZelmoMainCtrl::reportOpened() {
    openFailureShown.store(false);
    emit sigChangeUIState(true);
}

// The module is on the bus and cannot be opened: said once per such episode, which ends when the
// module is opened or leaves the bus (the USB layer logs which udev rule to install).
void ZelmoMainCtrl::reportOpenFailed() {
    if (openFailureShown.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [] { MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(0)); },
        Qt::QueuedConnection);
}
