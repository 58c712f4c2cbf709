#pragma once

#include "analysis/LensType.h"

#include <QDialog>
#include <QString>

class LanguageTexts;

// The settings window: versions, input mode, language, mounting and lens, and the buttons that
// start the alignment view and the calibrations.
class MainDlg : public QDialog {
    Q_OBJECT
public:
    explicit MainDlg(LanguageTexts* texts, QWidget* parent = nullptr);
    ~MainDlg() override;

    void setFirmwareVersion(QString version);
    void setDeviceOptions(uchar ceiling, uchar rear, uchar finger, uchar lens);
    void changeUIState(bool bEnable);
    void resetUIState();
    void applyLanguage();

signals:
    void sigStartAlignmentDisplay();
    void sigStartMCalibration();
    void sigStartACalibration();
    void sigStartSCalibration();
    void sigSetCeiling(bool bcheck);
    void sigSetRear(bool bcheck);
    void sigSetFingerMode(bool bcheck);
    void sigSetLens(eLens lens);
    void sigClose(int code);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    LanguageTexts* texts; // borrowed from the hub
};
