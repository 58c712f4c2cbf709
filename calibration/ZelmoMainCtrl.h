#pragma once

#include "calibration/AutomaticFlow.h"
#include "calibration/CalibrationRun.h"
#include "calibration/FlowHost.h"
#include "calibration/FlowLimits.h"
#include "calibration/FlowOutcome.h"
#include "calibration/InstallationSettings.h"
#include "calibration/ModuleOptions.h"
#include "calibration/RatioCheckFlow.h"
#include "calibration/TouchFlow.h"
#include "calibration/TweakRecord.h"
#include "device/DeviceWatchClient.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

class CalibDlg;
class CamDevCtrl;
class LanguageTexts;
class QThread;
class UsbTransport;

// Sits between the settings hub and the module: owns the device link and the calibration window,
// runs the device watcher, relays what the module reports and hands device and window events to
// the calibration flow that runs (automatic, touch, or the ratio check after a record). Each flow
// ends with a FlowOutcome, and the controller decides what follows.
class ZelmoMainCtrl : public QObject, private DeviceWatchClient, private FlowHost {
    Q_OBJECT
public:
    // transport: the USB stack to reach the module through; nullptr selects libusb and hidapi.
    // The transport is the real USB stack or the simulated module's; the controller's link owns it.
    ZelmoMainCtrl(LanguageTexts* texts, std::unique_ptr<UsbTransport> transport, QObject* parent = nullptr);
    ~ZelmoMainCtrl() override;

    void StartDeviceWatch();
    void StartACalibration();
    void StartSCalibration();
    void StartMCalibration();
    void StartAlignmentDisplay();
    void StopAlignmentDisplay();
    void CamParamSend(int addr, int value);
    void CamParamSendWait(unsigned short gain, unsigned int expo);
    void SetBin(int value);
    void SetFingerMode(bool finger);
    // The touch test: while it runs the module tracks the pen and its touches reach the desktop.
    // False (nothing sent) without a supported module or while a calibration runs.
    bool StartTouchTest();
    void StopTouchTest();
    bool touchTestRunning() const { return touchTesting; }

    CalibDlg* calibWindow() const { return calibDlg.get(); }
    // Hides and deletes the calibration window (the hub does this first at shut-down).
    void deleteCalibWindow();
    CamDevCtrl* device() const { return camDev.get(); }

    // How the module is installed: taken from the module's report, changed by the settings hub at
    // the user's choice; the flows and the window read it.
    const InstallationSettings& installation() const override { return settings; }
    // The module's last report of its options, which the settings window shows.
    const ModuleOptions& moduleOptions() const { return reportedOptions; }
    void setCeiling(bool ceiling) { settings.ceiling = ceiling ? 1 : 0; }
    void setRear(bool rear) { settings.rear = rear ? 1 : 0; }
    void setLens(int lens) { settings.lens = lens; }

    // How long the flows wait for the module; takes effect from the next wait.
    void setFlowLimits(const FlowLimits& flowLimits) { limits = flowLimits; }

    // State the hub and the tests read.
    int firmwareIsSupported() const { return firmwareSupported.load(); }
    int firmwareMinor() const override { return fwMinor; }
    // The step of the flow in progress, 0 when none runs.
    int currentFlowStep() const { return running ? running->state() : 0; }
    // The flow in progress (nullptr when none ever ran); its state is the flow step.
    const CalibrationFlow* runningFlow() const { return running; }
    // The touch phase (which target is current) and the ratio check (its touch capture flag).
    const TouchFlow& touchPhase() const { return touch; }
    RatioCheckFlow& ratioCheckFlow() { return ratioCheck; }
    const TweakRecord& storedTweaks() const { return prevTweak; }
    bool imageAnalysisIdle() const { return automatic.analysisIdle(); }
    bool watchRunning() const;

    // Ends an automatic or semi-automatic run: window hidden, result message, fallback note.
    void FinishAutoCalibration(int result);
    // Ends a calibration in progress as the user's Escape does. True when one ran; then
    // previousInForce says whether the module still holds the calibration it had before the run
    // (false once this run's record was sent).
    bool cancelCalibration(bool* previousInForce = nullptr);
    // The module left the bus (the watch thread's absent report, queued): a running flow ends and
    // nothing stays armed; then the hub is told (sigChangeUIState(false)) and then the user (an
    // automatic run's failure message before its record, M19 later or in other flows).
    void deviceLost();

signals:
    void sigSetFWVersion(QString sVersion);
    void sigSetFWOption(unsigned char ceiling, unsigned char rear, unsigned char finger, unsigned char lens);
    void sigUpdateAlignImage(QImage sImage);
    void sigChangeUIState(bool bEnable);
    // A calibration ended with its record stored in the module (no message box says so), with how
    // accurately the pen is expected to point (not known when the run could not tell).
    void sigCalibrationStored(PointingAccuracy accuracy);
    // The user ended a calibration (Escape, closing its window); previousInForce as for
    // cancelCalibration.
    void sigCalibrationCancelled(bool previousInForce);
    // Why the module cannot be used, from the watch thread each cycle it cannot (queued).
    void sigModuleProblem(ModuleProblem problem);

public slots:
    void slotSetFWVersion(QString sVersion);
    void slotSetFWOption(unsigned char ceiling, unsigned char rear, unsigned char finger, unsigned char lens);
    void slotSetPrevTweak(unsigned char* pEEPROM);
    void slotNewFrameReceived(unsigned char* buf, int size);
    void slotNewACImageReceived(unsigned char* buf, int size);
    void slotACNextStep();
    void slotMCNextStep(int* buf, int len);
    void slotMCNextStepPointer();
    void slotMCPrevStepPointer();
    void slotMCDone();
    void slotSetCalibResult(int result);
    void slotCaliDlgWorkingDone(bool bDone);
    void slotWindowPainted();
    void slotTouchEvent(int x, int y);
    void OnTimerTouchEvent();

private:
    // DeviceWatchClient, called on the watch thread.
    bool watchStopRequested() const override;
    bool isConnected() const override;
    void setConnected(bool connected) override;
    void reportAbsent() override;
    void reportOpened() override;
    void reportOpenFailed() override;
    void reportProblem(ModuleProblem problem) override;

    // FlowHost, for the flows (GUI thread).
    CamDevCtrl& deviceLink() override { return *camDev; }
    CalibDlg& calibrationWindow() override { return *calibDlg; }
    CalibrationRun& run() override { return currentRun; }
    TweakRecord& tweakCache() override { return prevTweak; }

    // What follows a flow's end: the next flow, or the run's end with its message.
    void flowEnded(const CalibrationFlow& flow, const FlowOutcome& outcome);
    void flowTimedOut(const CalibrationFlow& flow, int step);
    void showFailure(const RunFailure& failure);

    // Stops whatever ran and hides the window, with no message.
    void endRun(bool bDone);
    bool recordSentThisRun() const;
    void connectDevice();
    void connectCalibWindow();
    void disconnectDevice();
    void disconnectCalibWindow();

    // A start: nothing without a supported module; otherwise any run in progress is dropped and
    // the target counts are set for the lens.
    bool prepareStart();
    void runFlow(CalibrationFlow& flow) { running = &flow; }
    bool flowCanRun() const { return running && calibDlg && camDev; }

    std::unique_ptr<CalibDlg> calibDlg;
    std::unique_ptr<CamDevCtrl> camDev;
    LanguageTexts* texts; // borrowed
    std::unique_ptr<QThread> watcher;

    std::atomic<bool> stopWatch{false};
    std::atomic<bool> connected{false};
    std::atomic<int> firmwareSupported{0};
    std::atomic<bool> openFailureShown{false}; // M1 shown in the current cannot-open episode
    // The problem reported in this watch cycle, until its open failure is handled.
    std::atomic<ModuleProblem> cycleProblem{ModuleProblem::openFailed};
    int fwMinor = 10;
    InstallationSettings settings;
    ModuleOptions reportedOptions;
    TweakRecord prevTweak;
    CalibrationRun currentRun;
    FlowLimits limits; // before the flows, which keep a reference
    AutomaticFlow automatic{*this, limits};
    TouchFlow touch{*this, limits};
    RatioCheckFlow ratioCheck{*this, limits};
    CalibrationFlow* running = nullptr; // one of the three, or none before the first start
    bool touchTesting = false;          // the module was asked to track for the touch test

    friend class ZelmoMainCtrlProbe; // tests play the watch thread
};
