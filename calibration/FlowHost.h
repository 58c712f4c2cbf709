#pragma once

class CalibDlg;
class CalibrationFlow;
class CamDevCtrl;
struct CalibrationRun;
struct InstallationSettings;
struct RunFailure;
struct TweakRecord;

// What the calibration flows use of the controller that runs them. The device link and the window
// exist whenever a flow receives an event (the controller checks before it hands one on).
class FlowHost {
public:
    virtual CamDevCtrl& deviceLink() = 0;
    virtual CalibDlg& calibrationWindow() = 0;
    virtual const InstallationSettings& installation() const = 0;
    virtual int firmwareMinor() const = 0;
    virtual CalibrationRun& run() = 0;
    // The module's stored tuning offsets, as last reported or learned.
    virtual TweakRecord& tweakCache() = 0;

    // Hand-overs between flows: the touch phase after a semi-automatic analysis, and the wait for
    // the module's answer to a record.
    virtual void continueWithTouchPhase() = 0;
    virtual void continueAfterRecord() = 0;

    // Ends: the result message (M14 for 0), the end of an automatic run, and a time limit that
    // passed (stopped as the user's Escape would, then M14).
    virtual void showResult(int result) = 0;
    virtual void finishAutomatic(int result) = 0;
    virtual void flowTimedOut(const CalibrationFlow& flow) = 0;
    // An automatic run that failed: M14 with why and what to do, and the details picture.
    virtual void showFailure(const RunFailure& failure) = 0;

protected:
    ~FlowHost() = default;
};
