#pragma once

#include <QDialog>
#include <QImage>

// The full-screen alignment view: the module's live camera image, a border with arrow marks and
// the gain slider.
class AlignmentDlg : public QDialog {
    Q_OBJECT
public:
    explicit AlignmentDlg(QWidget* parent = nullptr);
    ~AlignmentDlg() override;

    void display(bool on);
    void setGain(int position);
    // A live image from the module; shown only while the view is displayed and visible.
    void showLiveImage(const QImage& image);

signals:
    void sigCamParamSend(int, int);
    void sigCamParamSendWait(unsigned short, unsigned int);
    void sigStopAlignmentDisplay();
    void sigSetBin(int);

public slots:
    void on_pushButton_clicked();
    void valueAlignmentGain();

private:
    int savedPosition = 5;
};
