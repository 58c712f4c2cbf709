#pragma once

#include "analysis/LensType.h"
#include "analysis/PointingAccuracy.h"
#include "device/ModuleProblem.h"
#include "services/GuidanceText.h"

#include <QDialog>
#include <QPoint>
#include <QString>
#include <memory>

class LanguageTexts;
class ModuleStatusView;
class SettingsFormArrangement;
class QLabel;
class QTextEdit;
class QTimer;

namespace Ui {
class MainDlg;
}

// The settings window: versions, input mode, language, mounting and lens, and the buttons that
// start the alignment view and the calibrations.
class MainDlg : public QDialog {
    Q_OBJECT
public:
    explicit MainDlg(LanguageTexts* texts, QWidget* parent = nullptr);
    ~MainDlg() override;

    void setFirmwareVersion(QString version);
    // Shows the module's options as the controller keeps them; nothing is announced back (the
    // controller already set its installation from the same report). A lens of 5 or more leaves
    // the shown lens as it was, one the window does not offer shows none.
    void setDeviceOptions(uchar ceiling, uchar rear, uchar finger, uchar lens);
    void changeUIState(bool bEnable);
    void resetUIState();
    void applyLanguage();

    // Read by the hub and the tests.
    eLens currentLens() const { return lens; }
    double dpiScale() const { return scale; }

signals:
    void sigStartAlignmentDisplay();
    void sigStartMCalibration();
    void sigStartACalibration();
    void sigStartSCalibration();
    void sigStartTouchTest();
    void sigSetCeiling(bool bcheck);
    void sigSetRear(bool bcheck);
    void sigSetFingerMode(bool bcheck);
    void sigSetLens(eLens lens);
    void sigClose(int code);

public:
    // The status line at the bottom left says for a few seconds that the calibration was stored,
    // then shows the connection state again.
    void showCalibrationStored();
    // The touch test needs a calibration stored in the connected module; a disconnection takes
    // that knowledge away (another module may come back).
    void setTouchTestAvailable(bool available);
    // After an accepted calibration: how accurately the pen points, until the user's next action
    // (a start or a change of a setting). Not known: the transient tick as above.
    void showCalibrationStored(const PointingAccuracy& accuracy);
    QString statusText() const { return transientStatus; }
    // Why the module cannot be used, with what to do, while it is disconnected.
    void showModuleProblem(ModuleProblem problem);
    // What just happened that the user did not ask for or may not have seen (a view that closed,
    // a calibration that was cancelled), shown before anything else until cleared.
    void showNotice(GuidanceText notice);
    void clearNotice();
    GuidanceText shownNotice() const { return notice; }

public slots:
    void on_comboLanguage_currentIndexChanged(int index);
    void on_pushView_clicked();
    void on_pushAutoCalib_clicked();
    void on_pushManualCalib_clicked();
    void on_pushTouchTest_clicked();
    void on_checkCeiling_clicked();
    void on_checkRear_clicked();
    void on_pushClose_clicked();
    void on_pushTCDebug_clicked();
    void on_radioPen_clicked();
    void on_radioFinger_clicked();
    void on_comboLanguage_highlighted(int index);
    void on_comboLens_currentIndexChanged(int index);
    void on_comboLens_highlighted(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void scaleGeometry();
    void placeCalibButtons(int lensValue);
    void insertInfoText(QTextEdit* box, const QString& text);
    void fitCaptions();
    void enableCalibControls(bool enable);
    void showConnectionState();
    // The status room: its own place below the calibration box for a short line, a strip across
    // the bottom of the window (which grows for it) for a longer one.
    void placeStatusView();
    // The user acted: the shown accuracy no longer describes what comes next.
    void forgetAccuracy();
    QString storedTick() const;
    void showVersions();
    // Why calibration is off while no model is chosen.
    QString modelNotChosenText() const;
    bool rightToLeft() const;

    std::unique_ptr<Ui::MainDlg> ui;
    bool updating = false;
    LanguageTexts* texts; // borrowed from the hub
    int languageComboIndex = 0;
    int lensIndex = 0;
    eLens lens = 3;
    QPoint tuningAutoPos, tuningSemiPos, tuningManualPos;
    QPoint plainAutoPos, plainManualPos;
    double scale = 1.0;
    std::unique_ptr<SettingsFormArrangement> arrangement;
    QString firmwareVersion;
    // The module's connection state, in the room the hidden service buttons leave below the
    // calibration box (the form's widgets keep their places).
    ModuleStatusView* connectionLabel = nullptr;
    bool deviceConnected = false;
    bool touchTestAvailable = false;
    ModuleProblem moduleProblem = ModuleProblem::none;
    PointingAccuracy accuracy;
    QTimer* statusTimer = nullptr; // Qt child; ends the transient status
    QString transientStatus;       // shown instead of the connection state while statusTimer runs
    GuidanceText notice = GuidanceText::None;
};
