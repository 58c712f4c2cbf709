#pragma once

#include "calibration/LiveFrameConverter.h"
#include "calibration/TweakRecord.h"
#include "device/DeviceWatchClient.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <atomic>
#include <memory>
#include <opencv2/core.hpp>

class CalibDlg;
class CamDevCtrl;
class LanguageTexts;
class QThread;
class QTimer;
class UsbTransport;

// Sits between the settings hub and the module: owns the device link and the calibration window,
// runs the device watcher, relays what the module reports and runs the calibration flows.
class ZelmoMainCtrl : public QObject, private DeviceWatchClient {
    Q_OBJECT
public:
    // transport: the USB stack to reach the module through; nullptr selects libusb and hidapi.
    explicit ZelmoMainCtrl(LanguageTexts* texts, std::unique_ptr<UsbTransport> transport = nullptr,
                           QObject* parent = nullptr);
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

    CalibDlg* calibWindow() const { return calibDlg; }
    // Hides and deletes the calibration window (the hub does this first at shut-down).
    void deleteCalibWindow();
    CamDevCtrl* device() const { return camDev; }

    // State the flows and the tests read.
    int firmwareIsSupported() const { return firmwareSupported.load(); }
    int firmwareMinor() const { return fwMinor; }
    int currentFlowStep() const { return flowStep; }
    const TweakRecord& storedTweaks() const { return prevTweak; }
    bool watchRunning() const;

    // Ends an automatic or semi-automatic run: window hidden, result message, fallback note.
    void FinishAutoCalibration(int result);
    // The module left the bus: a running flow ends, the user is told (M19) and nothing stays armed.
    void deviceLost();

signals:
    void sigSetFWVersion(QString sVersion);
    void sigSetFWOption(unsigned char ceiling, unsigned char rear, unsigned char finger, unsigned char lens);
    void sigUpdateAlignImage(QImage sImage);
    void sigChangeUIState(bool bEnable);
    // A calibration ended with its record stored in the module (no message box says so).
    void sigCalibrationStored();

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

    void connectDevice();
    void connectCalibWindow();
    void disconnectDevice();
    void disconnectCalibWindow();

    void setFlowStep(int step) { flowStep = step; }

    // The calibration flows.
    void startAutomatic(bool semiAutomatic);
    void analyseCapturedImages();
    void startTouchPhase(bool semiAutomatic);
    void armTouchPhase();
    void targetFinished(int reported);
    void touchedPointsArrived(const float* moduleSlots);
    void sendRatioTouch(int index);
    void stopRatioTimer();
    void finishRatioCheck();
    int touchTargetCount() const;

    CalibDlg* calibDlg = nullptr; // owned
    CamDevCtrl* camDev = nullptr; // owned
    LanguageTexts* texts;         // borrowed
    QThread* watcher = nullptr;   // owned

    std::atomic<bool> stopWatch{false};
    std::atomic<bool> connected{false};
    std::atomic<int> firmwareSupported{0};
    std::atomic<bool> openFailureShown{false}; // M1 shown in the current cannot-open episode
    int fwMinor = 10;
    int flowStep = 0;
    bool tuning = false;
    bool tuningFellBack = false;
    int imageId = 0;
    QElapsedTimer stepStart; // when the current screen colour was put up
    TweakRecord prevTweak;
    bool lastFitOk = false;
    // The coordinate-ratio check: two injected touches and where they arrived.
    int ratioIndex = 0;
    QPoint ratioMeasured[2];
    QTimer* ratioTimer = nullptr; // owned (Qt child); exists while a touch is awaited
    // The three captured calibration images and the analysis work image, 1280 x 720 grey.
    cv::Mat darkImage, brightImage, patternImage, workImage;
    LiveFrameConverter liveFrames;

    friend class ZelmoMainCtrlProbe; // tests set flow steps directly
};
