#pragma once

#include <QDialog>

class LanguageTexts;

// The frameless full-screen window of a calibration: black, white, the target pattern, or the
// instruction picture with the pen picture and progress ring of the touch phases.
class CalibDlg : public QDialog {
    Q_OBJECT
public:
    explicit CalibDlg(LanguageTexts* texts, QWidget* parent = nullptr);
    ~CalibDlg() override;

    int ceiling = 0;
    int rear = 0;
    int lens = 0;

signals:
    void sigCaliDlgWorkingDone(bool bDone);
    void sigMCNextStepPointer();
    void sigMCPrevStepPointer();
    void sigTouchEvent(int x, int y);

public slots:
    void OnTimer();
    void on_pushButton_clicked();
    void on_pushButtonLeft_clicked();

private:
    LanguageTexts* texts; // borrowed from the settings hub
};
