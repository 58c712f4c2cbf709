#include "ui/ZelmoSetupDlg.h"

#include "calibration/CalibDlg.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "services/ConfigFile.h"
#include "services/LanguageTexts.h"
#include "services/MessageBoxSeam.h"
#include "ui/AlignmentDlg.h"
#include "ui/MainDlg.h"
#include "ui/TouchTestCanvas.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLoggingCategory>

// What the hub routes, for observing a run from outside (QT_LOGGING_RULES="vexaro.ui.debug=true").
Q_LOGGING_CATEGORY(lcHub, "vexaro.ui", QtWarningMsg)

ZelmoSetupDlg::ZelmoSetupDlg(QWidget* parent, std::unique_ptr<UsbTransport> transport)
    : QDialog(parent) {
    // 1. The empty form.
    setObjectName(QStringLiteral("ZelmoSetupDlg"));
    resize(400, 300);
    setWindowTitle(QStringLiteral("ZelmoSetupDlg"));
    QMetaObject::connectSlotsByName(this);

    // 2.-4. Texts in the saved language (or the system's).
    texts = std::make_unique<LanguageTexts>();
    texts->loadLanguage(ConfigFile::readLanguageId());

    // 5. The controller, which creates the device link and the calibration window.
    mainCtrl = std::make_unique<ZelmoMainCtrl>(texts.get(), std::move(transport));

    // 6.-8. Connections 13 to 29 in table order.
    connectController();
    mainDlg = std::make_unique<MainDlg>(texts.get());
    connectSettingsWindow();
    alignDlg = std::make_unique<AlignmentDlg>();
    connectAlignmentView();
    // Beyond the table: the touch test, whose window ends the module's tracking when it goes.
    connect(mainDlg.get(), SIGNAL(sigStartTouchTest()), this, SLOT(slotStartTouchTest()));
    touchCanvas = std::make_unique<TouchTestCanvas>(texts.get());
    connect(touchCanvas.get(), SIGNAL(sigClosed()), this, SLOT(slotTouchTestClosed()));

    // 9. The sensor-gain writes for step 5 wait in the register queue from now on.
    alignDlg->setGain(5);
}

ZelmoSetupDlg::~ZelmoSetupDlg() {
    // Before the controller: the window reports its hiding to it.
    if (touchCanvas) {
        disconnect(touchCanvas.get(), nullptr, this, nullptr);
        touchCanvas.reset();
    }
    if (mainCtrl) {
        mainCtrl->deleteCalibWindow();
        disconnect(mainCtrl.get(), nullptr, this, nullptr);
        mainCtrl.reset();
    }
    if (texts)
        ConfigFile::writeLanguageId(texts->getLanguageIndex());
    if (mainDlg) {
        disconnect(mainDlg.get(), nullptr, this, nullptr);
        mainDlg->hide();
        mainDlg.reset();
    }
    if (alignDlg) {
        disconnect(alignDlg.get(), nullptr, this, nullptr);
        alignDlg->hide();
        alignDlg.reset();
    }
    texts.reset();
}

// Connections 13 to 16.
void ZelmoSetupDlg::connectController() {
    connect(mainCtrl.get(), SIGNAL(sigUpdateAlignImage(QImage)), this, SLOT(slotUpdateAlignImage(QImage)));
    connect(mainCtrl.get(), SIGNAL(sigChangeUIState(bool)), this, SLOT(slotChangeUIState(bool)));
    connect(mainCtrl.get(), SIGNAL(sigSetFWVersion(QString)), this, SLOT(slotSetFWVersion(QString)));
    connect(mainCtrl.get(), SIGNAL(sigSetFWOption(uchar, uchar, uchar, uchar)), this,
            SLOT(slotSetFWOption(uchar, uchar, uchar, uchar)));
    // Beyond the table: a stored calibration is confirmed on the settings window's status line.
    connect(mainCtrl.get(), &ZelmoMainCtrl::sigCalibrationStored, this,
            &ZelmoSetupDlg::slotCalibrationStored);
    // Beyond the table: why the module cannot be used, from the watch thread (queued).
    connect(mainCtrl.get(), &ZelmoMainCtrl::sigModuleProblem, this, &ZelmoSetupDlg::slotModuleProblem);
    // Beyond the table: a calibration the user ended says which calibration is in force.
    connect(mainCtrl.get(), &ZelmoMainCtrl::sigCalibrationCancelled, this,
            &ZelmoSetupDlg::slotCalibrationCancelled);
}

// Connections 17 to 25.
void ZelmoSetupDlg::connectSettingsWindow() {
    connect(mainDlg.get(), SIGNAL(sigStartAlignmentDisplay()), this, SLOT(slotStartAlignmentDisplay()));
    connect(mainDlg.get(), SIGNAL(sigStartACalibration()), this, SLOT(slotStartACalibration()));
    connect(mainDlg.get(), SIGNAL(sigStartMCalibration()), this, SLOT(slotStartMCalibration()));
    connect(mainDlg.get(), SIGNAL(sigStartSCalibration()), this, SLOT(slotStartSCalibration()));
    connect(mainDlg.get(), SIGNAL(sigSetCeiling(bool)), this, SLOT(slotSetCeiling(bool)));
    connect(mainDlg.get(), SIGNAL(sigSetRear(bool)), this, SLOT(slotSetRear(bool)));
    connect(mainDlg.get(), SIGNAL(sigSetFingerMode(bool)), this, SLOT(slotSetFingerMode(bool)));
    connect(mainDlg.get(), SIGNAL(sigSetLens(eLens)), this, SLOT(slotSetLens(eLens)));
    connect(mainDlg.get(), SIGNAL(sigClose(int)), this, SLOT(slotCloseDlg(int)));
}

// Connections 26 to 29.
void ZelmoSetupDlg::connectAlignmentView() {
    connect(alignDlg.get(), SIGNAL(sigCamParamSend(int, int)), this, SLOT(slotCamParamSend(int, int)));
    connect(alignDlg.get(), SIGNAL(sigStopAlignmentDisplay()), this, SLOT(slotStopAlignmentDisplay()));
    connect(alignDlg.get(), SIGNAL(sigSetBin(int)), this, SLOT(slotSetBin(int)));
    connect(alignDlg.get(), SIGNAL(sigCamParamSendWait(ushort, uint)), this,
            SLOT(slotCamParamSendWait(ushort, uint)));
}

void ZelmoSetupDlg::startUp() {
    mainDlg->show();
    mainDlg->activateWindow();
    mainDlg->applyLanguage();
    mainDlg->resetUIState();
    mainCtrl->StartDeviceWatch();
    showMinimized();
    hide();
}

QString ZelmoSetupDlg::configFilePath() {
    return ConfigFile::path();
}

void ZelmoSetupDlg::slotSetFWVersion(QString sVersion) {
    qCDebug(lcHub) << "firmware version" << sVersion;
    mainDlg->setFirmwareVersion(sVersion);
}

// The controller took the report into the installation; the settings window shows what it keeps.
void ZelmoSetupDlg::slotSetFWOption(uchar, uchar, uchar, uchar) {
    const ModuleOptions& options = mainCtrl->moduleOptions();
    qCDebug(lcHub) << "device options" << options.ceiling << options.rear << options.finger << options.lens;
    mainDlg->setDeviceOptions(options.ceiling, options.rear, options.finger, options.lens);
}

void ZelmoSetupDlg::slotStartAlignmentDisplay() {
    if (!alignDlg->isHidden())
        return;
    touchCanvas->hide();
    mainDlg->clearNotice();
    mainCtrl->StartAlignmentDisplay();
    // C2, "Vexaro Alignment", in the current language: what task bars and window lists show.
    alignDlg->setWindowTitle(texts->getConfigText(1));
    alignDlg->display(true);
    alignDlg->show();
    qCDebug(lcHub) << "alignment view shown";
}

void ZelmoSetupDlg::slotStopAlignmentDisplay() {
    mainCtrl->StopAlignmentDisplay();
    alignDlg->display(false);
    qCDebug(lcHub) << "alignment view hidden";
}

void ZelmoSetupDlg::prepareCalibration() {
    touchCanvas->hide();
    mainDlg->clearNotice();
    mainCtrl->StopAlignmentDisplay();
    alignDlg->display(false);
    alignDlg->hide();
}

void ZelmoSetupDlg::slotStartACalibration() {
    prepareCalibration();
    mainCtrl->StartACalibration();
}

void ZelmoSetupDlg::slotStartMCalibration() {
    prepareCalibration();
    mainCtrl->StartMCalibration();
}

void ZelmoSetupDlg::slotStartSCalibration() {
    prepareCalibration();
    mainCtrl->StartSCalibration();
}

void ZelmoSetupDlg::slotCalibrationStored(PointingAccuracy accuracy) {
    if (mainDlg) {
        mainDlg->showCalibrationStored(accuracy);
        mainDlg->setTouchTestAvailable(true);
    }
    if (accuracy.known())
        qCDebug(lcHub) << "calibration stored, expected accuracy" << accuracy.pixels() << "px in region"
                       << accuracy.leastAccurateRegion();
    else
        qCDebug(lcHub) << "calibration stored";
}

void ZelmoSetupDlg::slotCalibrationCancelled(bool previousInForce) {
    qCDebug(lcHub) << "calibration cancelled;"
                   << (previousInForce ? "previous calibration in force" : "new calibration stored");
    if (mainDlg)
        mainDlg->showNotice(previousInForce ? GuidanceText::CancelledPreviousKept
                                            : GuidanceText::CancelledNewStored);
}

bool ZelmoSetupDlg::answerAnotherInstance() {
    // A calibration keeps its window in front and the keyboard: raising the settings window over
    // it would hide the targets, and the user's Escape would no longer reach the calibration.
    CalibDlg* window = mainCtrl ? mainCtrl->calibWindow() : nullptr;
    if ((mainCtrl && mainCtrl->currentFlowStep() != 0) || (window && window->isVisible())) {
        qCDebug(lcHub) << "another instance started during a calibration";
        return false;
    }
    if (mainDlg) {
        if (mainDlg->isMinimized())
            mainDlg->showNormal();
        mainDlg->raise();
        mainDlg->activateWindow();
    }
    qCDebug(lcHub) << "another instance started: settings window raised";
    return true;
}

void ZelmoSetupDlg::slotModuleProblem(ModuleProblem problem) {
    if (mainDlg)
        mainDlg->showModuleProblem(problem);
    qCDebug(lcHub) << "module problem" << static_cast<int>(problem);
}

// The test window covers the calibrated display while the module tracks; the alignment view, whose
// live stream would share the module with it, closes.
void ZelmoSetupDlg::slotStartTouchTest() {
    if (touchCanvas->isVisible()) {
        touchCanvas->raise();
        return;
    }
    if (!mainCtrl->StartTouchTest())
        return;
    mainCtrl->StopAlignmentDisplay();
    alignDlg->display(false);
    alignDlg->hide();
    if (!touchCanvas->open()) {
        mainCtrl->StopTouchTest();
        return;
    }
    qCDebug(lcHub) << "touch test shown";
}

void ZelmoSetupDlg::slotTouchTestClosed() {
    mainCtrl->StopTouchTest();
    qCDebug(lcHub) << "touch test closed";
}

void ZelmoSetupDlg::slotUpdateAlignImage(QImage sImage) {
    if (!alignDlg)
        return;
    alignDlg->showLiveImage(sImage);
    qCDebug(lcHub) << "alignment image" << alignDlg->liveImagesShown();
}

void ZelmoSetupDlg::slotCloseDlg(int) {
    close();
}

void ZelmoSetupDlg::slotChangeUIState(bool bEnable) {
    if (!mainDlg)
        return;
    qCDebug(lcHub) << (bEnable ? "device connected" : "device absent");
    // The window shows the new state before any message about the loss opens: a box runs its
    // own event loop, and a replug noticed meanwhile must not be overwritten when it closes.
    mainDlg->changeUIState(bEnable);
    if (bEnable) {
        // Back: the advice to plug the module in again has been followed.
        if (mainDlg->shownNotice() == GuidanceText::AlignmentClosedUnplugged)
            mainDlg->clearNotice();
        return;
    }
    // The controller has already ended what ran with the module (its deviceLost); the views follow.
    touchCanvas->hide();
    // The live stream ended with the module; its handle is dead, so no receiver is restarted on it
    // here.
    if (alignDlg && alignDlg->isVisible()) {
        alignDlg->display(false);
        alignDlg->hide();
        mainDlg->showNotice(GuidanceText::AlignmentClosedUnplugged);
        qCDebug(lcHub) << "alignment view closed: module unplugged";
    }
}

void ZelmoSetupDlg::slotCamParamSend(int addr, int value) {
    mainCtrl->CamParamSend(addr, value);
}

void ZelmoSetupDlg::slotCamParamSendWait(ushort gain, uint expo) {
    mainCtrl->CamParamSendWait(gain, expo);
}

void ZelmoSetupDlg::slotSetCeiling(bool bcheck) {
    mainCtrl->setCeiling(bcheck);
}

void ZelmoSetupDlg::slotSetRear(bool bcheck) {
    mainCtrl->setRear(bcheck);
}

void ZelmoSetupDlg::slotSetBin(int bSetbin) {
    mainCtrl->SetBin(bSetbin);
}

void ZelmoSetupDlg::slotSetLens(eLens lens) {
    mainCtrl->setLens(lens);
}

void ZelmoSetupDlg::slotSetFingerMode(bool bcheck) {
    mainCtrl->SetFingerMode(bcheck);
}

void ZelmoSetupDlg::closeEvent(QCloseEvent* event) {
    // A calibration in progress ends before the program does, and the user learns which
    // calibration the module keeps.
    bool previousInForce = true;
    if (mainCtrl && mainCtrl->cancelCalibration(&previousInForce)) {
        qCDebug(lcHub) << "calibration cancelled by closing;"
                       << (previousInForce ? "previous calibration in force" : "new calibration stored");
        MessageBoxSeam::information(nullptr, QStringLiteral("Vexaro"),
                                    LanguageTexts::guidance(previousInForce
                                                                ? GuidanceText::CancelledPreviousKept
                                                                : GuidanceText::CancelledNewStored));
    }
    qCDebug(lcHub) << "closing";
    Pacing::pause(100);
    QCoreApplication::exit(0);
    event->accept();
}
