#pragma once

#include "analysis/LensType.h"
#include "analysis/PointingAccuracy.h"
#include "device/ModuleProblem.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <memory>

class AlignmentDlg;
class LanguageTexts;
class MainDlg;
class TouchTestCanvas;
class UsbTransport;
class ZelmoMainCtrl;

// The invisible hub: owns the language texts, the controller and the two windows, wires them
// together, routes requests and device state between them, saves the language at the end.
class ZelmoSetupDlg : public QDialog {
    Q_OBJECT
public:
    // transport: how the controller reaches the module; nullptr selects libusb and hidapi.
    // The transport is the real USB stack or the simulated module's.
    ZelmoSetupDlg(QWidget* parent, std::unique_ptr<UsbTransport> transport);
    ~ZelmoSetupDlg() override;

    void startUp();
    static QString configFilePath();

    LanguageTexts* languageTexts() const { return texts.get(); }
    ZelmoMainCtrl* controller() const { return mainCtrl.get(); }
    MainDlg* settingsWindow() const { return mainDlg.get(); }
    AlignmentDlg* alignmentView() const { return alignDlg.get(); }
    TouchTestCanvas* touchTestCanvas() const { return touchCanvas.get(); }

    // Another instance of this session was started. Idle: the settings window comes forward and
    // the answer is true. During a calibration nothing changes and the answer is false.
    bool answerAnotherInstance();

signals:
    void sigStartAlignmentDisplay();
    void sigStartMCalibration();
    void sigStartACalibration();
    void sigStartSCalibration();
    void sigChangeUIState(bool bEnable);
    void sigClose(int code);

public slots:
    void slotSetFWVersion(QString sVersion);
    void slotSetFWOption(uchar ceiling, uchar rear, uchar finger, uchar lens);
    void slotStartAlignmentDisplay();
    void slotStopAlignmentDisplay();
    void slotStartACalibration();
    void slotStartMCalibration();
    void slotStartSCalibration();
    void slotUpdateAlignImage(QImage sImage);
    void slotCloseDlg(int code);
    void slotChangeUIState(bool bEnable);
    void slotCamParamSend(int addr, int value);
    void slotCamParamSendWait(ushort gain, uint expo);
    void slotSetCeiling(bool bcheck);
    void slotSetRear(bool bcheck);
    void slotSetBin(int bSetbin);
    void slotSetLens(eLens lens);
    void slotSetFingerMode(bool bcheck);
    void slotCalibrationStored(PointingAccuracy accuracy);
    void slotModuleProblem(ModuleProblem problem);
    void slotCalibrationCancelled(bool previousInForce);
    void slotStartTouchTest();
    void slotTouchTestClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectController();
    void connectSettingsWindow();
    void connectAlignmentView();
    void prepareCalibration();

    // Released in the destructor in an order of their own: the controller and the windows borrow
    // the texts.
    std::unique_ptr<LanguageTexts> texts;
    std::unique_ptr<ZelmoMainCtrl> mainCtrl;
    std::unique_ptr<MainDlg> mainDlg;       // top-level
    std::unique_ptr<AlignmentDlg> alignDlg; // top-level
    std::unique_ptr<TouchTestCanvas> touchCanvas;
};
