#pragma once

class CalibDlg;
class CamDevCtrl;
struct CalibrationRun;
struct InstallationSettings;
struct TweakRecord;

// What the calibration flows borrow of the controller that runs them. The device link and the
// window exist whenever a flow receives an event (the controller checks before it hands one on).
// How a flow ended goes back as its FlowOutcome, not through here.
class FlowHost {
public:
    virtual CamDevCtrl& deviceLink() = 0;
    virtual CalibDlg& calibrationWindow() = 0;
    virtual const InstallationSettings& installation() const = 0;
    virtual int firmwareMinor() const = 0;
    virtual CalibrationRun& run() = 0;
    // The module's stored tuning offsets, as last reported or learned.
    virtual TweakRecord& tweakCache() = 0;

protected:
    ~FlowHost() = default;
};
