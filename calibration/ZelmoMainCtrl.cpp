#include "calibration/ZelmoMainCtrl.h"

#include "calibration/CalibDlg.h"
#include "calibration/FailureMessage.h"
#include "calibration/LiveFrameConverter.h"
#include "calibration/RunFailure.h"
#include "device/CamDevCtrl.h"
#include "device/TargetCounts.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "services/LanguageTexts.h"
#include "services/MessageBoxSeam.h"

#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcController, "vexaro.calibration", QtWarningMsg)

ZelmoMainCtrl::ZelmoMainCtrl(LanguageTexts* languageTexts, std::unique_ptr<UsbTransport> transport,
                             QObject* parent)
    : QObject(parent)
    , texts(languageTexts) {
    qRegisterMetaType<ModuleProblem>("ModuleProblem");
    qRegisterMetaType<PointingAccuracy>("PointingAccuracy");
    camDev = std::make_unique<CamDevCtrl>(std::move(transport));
    connectDevice();
    calibDlg = std::make_unique<CalibDlg>(texts);
    calibDlg->useInstallation(&settings);
    calibDlg->useTouchCapture(&ratioCheck.touchCaptureArmed);
    connectCalibWindow();
    automatic.reportOutcomesTo([this](const FlowOutcome& outcome) { flowEnded(automatic, outcome); });
    touch.reportOutcomesTo([this](const FlowOutcome& outcome) { flowEnded(touch, outcome); });
    ratioCheck.reportOutcomesTo([this](const FlowOutcome& outcome) { flowEnded(ratioCheck, outcome); });
}

ZelmoMainCtrl::~ZelmoMainCtrl() {
    if (running)
        running->halt(); // no time limit may reach a half-destroyed controller
    stopWatch.store(true);
    if (watcher) {
        if (!watcher->wait(5000)) {
            // The loop sees the stop flag within a second unless a device operation hangs; the
            // device link is deleted next, so it must not be left running over it.
            qCWarning(lcController) << "device watcher still busy after 5 s; waiting for it";
            watcher->wait();
        }
        watcher.reset();
    }
    disconnectDevice();
    camDev.reset();
    deleteCalibWindow();
}

void ZelmoMainCtrl::deleteCalibWindow() {
    if (!calibDlg)
        return;
    if (running)
        running->halt(); // a flow without its window cannot end itself
    disconnectCalibWindow();
    calibDlg->hide();
    calibDlg.reset();
}

// Connections 1 to 8, by signature with the automatic type.
void ZelmoMainCtrl::connectDevice() {
    connect(camDev.get(), SIGNAL(sigSetFWVersion(QString)), this, SLOT(slotSetFWVersion(QString)));
    connect(camDev.get(), SIGNAL(sigSetFWOption(uchar, uchar, uchar, uchar)), this,
            SLOT(slotSetFWOption(uchar, uchar, uchar, uchar)));
    connect(camDev.get(), SIGNAL(sigSetPrevTweak(unsigned char*)), this,
            SLOT(slotSetPrevTweak(unsigned char*)));
    connect(camDev.get(), SIGNAL(sigNewFrame(unsigned char*, int)), this,
            SLOT(slotNewFrameReceived(unsigned char*, int)));
    connect(camDev.get(), SIGNAL(sigACNewFrame(unsigned char*, int)), this,
            SLOT(slotNewACImageReceived(unsigned char*, int)));
    connect(camDev.get(), SIGNAL(sigACNextStep()), this, SLOT(slotACNextStep()));
    connect(camDev.get(), SIGNAL(sigMCNextStep(int*, int)), this, SLOT(slotMCNextStep(int*, int)));
    connect(camDev.get(), SIGNAL(sigMCDone()), this, SLOT(slotMCDone()));
}

// Connections 9 to 12.
void ZelmoMainCtrl::connectCalibWindow() {
    connect(calibDlg.get(), SIGNAL(sigCaliDlgWorkingDone(bool)), this, SLOT(slotCaliDlgWorkingDone(bool)));
    connect(calibDlg.get(), SIGNAL(sigMCNextStepPointer()), this, SLOT(slotMCNextStepPointer()));
    connect(calibDlg.get(), SIGNAL(sigMCPrevStepPointer()), this, SLOT(slotMCPrevStepPointer()));
    connect(calibDlg.get(), SIGNAL(sigTouchEvent(int, int)), this, SLOT(slotTouchEvent(int, int)));
    // Queued: the window reports from inside its paint, and the step that follows may repaint.
    connect(calibDlg.get(), &CalibDlg::painted, this, &ZelmoMainCtrl::slotWindowPainted,
            Qt::QueuedConnection);
}

void ZelmoMainCtrl::disconnectDevice() {
    if (camDev)
        disconnect(camDev.get(), nullptr, this, nullptr);
}

void ZelmoMainCtrl::disconnectCalibWindow() {
    if (calibDlg)
        disconnect(calibDlg.get(), nullptr, this, nullptr);
}

void ZelmoMainCtrl::StartDeviceWatch() {
    if (watcher)
        return; // one watcher for the life of the controller
    stopWatch.store(false);
    watcher.reset(QThread::create([this] { camDev->deviceWatchLoop(*this); }));
    watcher->start(QThread::InheritPriority);
}

bool ZelmoMainCtrl::watchRunning() const {
    return watcher && watcher->isRunning();
}

// Without a supported module a calibration start does nothing at all.
bool ZelmoMainCtrl::prepareStart() {
    if (!firmwareSupported.load() || !calibDlg || !camDev)
        return false;
    StopTouchTest(); // the module's touches must not act on the calibration's windows
    if (running)
        running->halt();
    ratioCheck.touchCaptureArmed.store(false);
    currentRun.accuracy = PointingAccuracy();
    calibDlg->hide();
    camDev->setPointCounts(settings.lens);
    return true;
}

void ZelmoMainCtrl::StartACalibration() {
    if (!prepareStart())
        return;
    runFlow(automatic);
    automatic.start(false);
}

void ZelmoMainCtrl::StartSCalibration() {
    if (!prepareStart())
        return;
    runFlow(automatic);
    automatic.start(true);
}

void ZelmoMainCtrl::StartMCalibration() {
    if (!prepareStart())
        return;
    currentRun.tuning = false;
    currentRun.tuningFellBack = false;
    runFlow(touch);
    touch.start(false);
}

bool ZelmoMainCtrl::StartTouchTest() {
    if (!firmwareSupported.load() || !camDev || currentFlowStep() != 0)
        return false;
    touchTesting = true;
    camDev->setTracking(true);
    return true;
}

void ZelmoMainCtrl::StopTouchTest() {
    if (!touchTesting)
        return;
    touchTesting = false;
    if (camDev)
        camDev->setTracking(false);
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

void ZelmoMainCtrl::CamParamSendWait(unsigned short gain, unsigned int) {
    // Only the gain is written: the exposure stays as the module set it.
    camDev->queueSensorGain(gain);
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

// The report sets the installation here; the settings window only shows it.
void ZelmoMainCtrl::slotSetFWOption(unsigned char ceiling, unsigned char rear, unsigned char finger,
                                    unsigned char lens) {
    reportedOptions = ModuleOptions{ceiling, rear, finger, lens};
    setCeiling(ceiling != 0);
    setRear(rear != 0);
    if (reportedOptions.reportsLens())
        setLens(reportedOptions.chosenLens());
    emit sigSetFWOption(ceiling, rear, finger, lens);
}

void ZelmoMainCtrl::slotSetPrevTweak(unsigned char* pEEPROM) {
    prevTweak = TweakRecord::fromEeprom(pEEPROM);
}

// One live frame: hand it on as an image that owns its bytes, and only then ask for the next one,
// so at most one frame is in flight.
void ZelmoMainCtrl::slotNewFrameReceived(unsigned char* buf, int size) {
    // The pointer is into the frame the device link holds: its bytes are shared, not copied.
    const QByteArray held = camDev ? camDev->lastLiveFrame() : QByteArray();
    const bool isHeld = held.constData() == reinterpret_cast<const char*>(buf) && held.size() == size;
    const QImage image = isHeld ? LiveFrameConverter::share(held) : LiveFrameConverter::copy(buf, size);
    if (image.isNull())
        return; // a frame of the wrong size ends the stream: nothing more is requested
    emit sigUpdateAlignImage(image);
    if (camDev && camDev->liveStreamStopped() == 0)
        camDev->requestLiveFrame();
}

// One calibration image, kept by the id last requested even when the run has ended; any other
// size is ignored and the run waits.
void ZelmoMainCtrl::slotNewACImageReceived(unsigned char* buf, int size) {
    if (automatic.takeImage(buf, size))
        slotACNextStep();
}

void ZelmoMainCtrl::slotACNextStep() {
    if (flowCanRun())
        running->moduleStepped();
}

void ZelmoMainCtrl::slotTouchEvent(int x, int y) {
    if (calibDlg && camDev)
        ratioCheck.touchArrived(x, y);
}

void ZelmoMainCtrl::OnTimerTouchEvent() {
    if (calibDlg && camDev)
        ratioCheck.touchTimedOut();
}

void ZelmoMainCtrl::slotWindowPainted() {
    if (flowCanRun())
        running->windowPainted();
}

void ZelmoMainCtrl::slotMCDone() {
    if (flowCanRun())
        running->penSeen();
}

void ZelmoMainCtrl::slotMCNextStepPointer() {
    if (flowCanRun())
        running->ringCompleted();
}

void ZelmoMainCtrl::slotMCPrevStepPointer() {
    if (flowCanRun())
        running->stepBack();
}

void ZelmoMainCtrl::slotMCNextStep(int* buf, int len) {
    if (flowCanRun())
        running->targetOrPoints(buf, len);
}

void ZelmoMainCtrl::slotSetCalibResult(int result) {
    if (result == 0)
        MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(13));
    else
        emit sigCalibrationStored(currentRun.accuracy);
}

void ZelmoMainCtrl::FinishAutoCalibration(int result) {
    qCDebug(lcController) << "automatic calibration finished, result" << result;
    if (result != 0)
        qCInfo(lcController) << "calibration stored, fit error" << currentRun.fitError << "px";
    if (running)
        running->halt();
    if (camDev)
        camDev->cancelImageTransfer();
    if (calibDlg)
        calibDlg->hide();
    slotSetCalibResult(result);
    if (currentRun.tuningFellBack)
        MessageBoxSeam::information(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(24));
}

// The user closed the calibration window (Escape, its cancel button or the window manager's
// close): whatever ran ends, and the user learns which calibration the module now holds.
void ZelmoMainCtrl::slotCaliDlgWorkingDone(bool bDone) {
    const bool ran = currentFlowStep() != 0;
    const bool previousInForce = !recordSentThisRun();
    endRun(bDone);
    if (ran && !bDone)
        emit sigCalibrationCancelled(previousInForce);
}

bool ZelmoMainCtrl::cancelCalibration(bool* previousInForce) {
    const bool ran = currentFlowStep() != 0;
    if (previousInForce)
        *previousInForce = !recordSentThisRun();
    if (ran)
        endRun(false);
    return ran;
}

// Only a record sent in this run replaces what the module held: it goes out when the analysis or
// the touched points are accepted, and the answer to it is awaited afterwards.
bool ZelmoMainCtrl::recordSentThisRun() const {
    return currentFlowStep() != 0 && running == &ratioCheck;
}

void ZelmoMainCtrl::endRun(bool bDone) {
    ratioCheck.touchCaptureArmed.store(false);
    if (camDev)
        camDev->cancelImageTransfer();
    if (running) {
        if (camDev)
            running->stop(bDone);
        else
            running->halt();
    }
    if (calibDlg)
        calibDlg->hide();
    if (camDev)
        camDev->setTracking(false);
}

// A flow went idle with its outcome: the window goes for every end but a sent record (the ratio
// check still catches touches on it), and the next flow starts or the user is told the result.
void ZelmoMainCtrl::flowEnded(const CalibrationFlow& flow, const FlowOutcome& outcome) {
    if (&flow != running)
        return; // only the running flow receives events or has a limit armed; anything else is stale
    switch (outcome.kind) {
    case FlowOutcome::Kind::Failed:
        if (calibDlg)
            calibDlg->hide();
        showFailure(outcome.failure);
        break;
    case FlowOutcome::Kind::NeedsTouchPhase:
        if (calibDlg)
            calibDlg->hide();
        runFlow(touch);
        touch.start(true);
        break;
    case FlowOutcome::Kind::RecordSent:
        runFlow(ratioCheck);
        ratioCheck.awaitAnswer();
        break;
    case FlowOutcome::Kind::Done:
        if (outcome.ratioChecked) {
            FinishAutoCalibration(outcome.stored ? 1 : 0);
        } else {
            if (calibDlg)
                calibDlg->hide();
            slotSetCalibResult(outcome.stored ? 1 : 0);
        }
        break;
    case FlowOutcome::Kind::TimedOut:
        flowTimedOut(flow, outcome.step);
        break;
    }
}

// The module stopped answering within a step's time limit: the flow left it as the user's Escape
// would, and the user is told the calibration failed and why: an image that did not arrive, or a
// module that did not answer.
void ZelmoMainCtrl::flowTimedOut(const CalibrationFlow& flow, int step) {
    qCInfo(lcController) << "time limit passed in flow step" << step;
    endRun(false);
    RunFailure failure;
    const bool fetchingImage =
        &flow == &automatic && (step == AutomaticFlow::DarkImage || step == AutomaticFlow::BrightImage ||
                                step == AutomaticFlow::PatternImage);
    const bool analysing = &flow == &automatic && step == AutomaticFlow::Analysing;
    failure.cause = fetchingImage ? RunFailure::Cause::ImageTransfer
                    : analysing   ? RunFailure::Cause::AnalysisTooLong
                                  : RunFailure::Cause::ModuleStopped;
    failure.settings = settings;
    showFailure(failure);
}

void ZelmoMainCtrl::showFailure(const RunFailure& failure) {
    MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), FailureMessage::text(failure),
                             failure.details);
}

void ZelmoMainCtrl::deviceLost() {
    const bool flowRan = currentFlowStep() != 0;
    touchTesting = false; // a module that comes back starts without tracking
    // An automatic run before its record fails for want of the module; any later step (the
    // record's answer, the ratio check, the touch phase) says the module is gone.
    const bool automaticRan = flowRan && running == &automatic;
    if (running)
        running->halt();
    ratioCheck.touchCaptureArmed.store(false);
    if (camDev) {
        camDev->cancelImageTransfer();
        // The alignment view closes with the module: the next open reads the replies again instead
        // of going back to a live stream nobody shows.
        camDev->setLiveStreamStopped(1);
        camDev->setReceiveMode(0);
    }
    if (calibDlg)
        calibDlg->hide();
    // The settings window shows the loss before a message box runs its own event loop.
    emit sigChangeUIState(false);
    if (automaticRan) {
        qCDebug(lcController) << "module lost during an automatic calibration";
        RunFailure failure;
        failure.cause = RunFailure::Cause::ModuleStopped;
        failure.settings = settings;
        showFailure(failure);
    } else if (flowRan) {
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

// The loss is handled on the GUI thread, where the flows and the window live; the hub hears of it
// from there.
void ZelmoMainCtrl::reportAbsent() {
    openFailureShown.store(false); // the episode ends
    firmwareSupported.store(0);
    QMetaObject::invokeMethod(this, &ZelmoMainCtrl::deviceLost, Qt::QueuedConnection);
}

void ZelmoMainCtrl::reportOpened() {
    openFailureShown.store(false);
    emit sigChangeUIState(true);
}

// Emitted on the watch thread: the settings window, in the GUI thread, gets it queued.
void ZelmoMainCtrl::reportProblem(ModuleProblem problem) {
    cycleProblem.store(problem);
    emit sigModuleProblem(problem);
}

// The module is on the bus and cannot be opened. A missing permission or HID interface is told,
// with what to do, in the settings window's status room; any other failure in a box, once per
// such episode, which ends when the module is opened or leaves the bus.
void ZelmoMainCtrl::reportOpenFailed() {
    const ModuleProblem problem = cycleProblem.exchange(ModuleProblem::openFailed);
    if (problem == ModuleProblem::noPermission || problem == ModuleProblem::noHidInterface)
        return;
    if (openFailureShown.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [] { MessageBoxSeam::critical(nullptr, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(0)); },
        Qt::QueuedConnection);
}
