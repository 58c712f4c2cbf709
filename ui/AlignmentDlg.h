#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

class QCheckBox;
class QFrame;
class QLabel;
class QLCDNumber;
class QListWidget;
class QPushButton;
class QSlider;

// The full-screen alignment view: the module's live camera image, a border with arrow marks and
// the gain slider.
class AlignmentDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int gainSteps = 10;
    static const unsigned short gainTable[gainSteps];
    // Index of "BRIGHTNESS" among the settings window's texts.
    static constexpr int brightnessText = 30;

    explicit AlignmentDlg(QWidget* parent = nullptr);
    ~AlignmentDlg() override;

    void display(bool on);
    void setGain(int position);
    // A live image from the module; shown only while the view is displayed and visible. The
    // image may borrow a buffer that the next frame overwrites, so it is copied into the label's
    // pixmap here and never kept.
    void showLiveImage(const QImage& image);

    // Read by the hub and the tests.
    bool isDisplayed() const { return shown; }
    int avMode() const { return avModeCounter; }
    double dpiScale() const { return scale; }
    QSize screenSize() const { return QSize(screenWidth, screenHeight); }
    // Frames painted (at most one per display refresh) and frames handed in.
    qint64 liveImagesShown() const { return imagesShown; }
    qint64 liveImagesReceived() const { return framesReceived; }

signals:
    void sigCamParamSend(int, int);
    void sigCamParamSendWait(unsigned short, unsigned int);
    void sigStopAlignmentDisplay();
    void sigSetBin(int);

public slots:
    void on_pushButton_clicked();
    void valueAlignmentGain();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildForm();
    void placeControls();
    void retranslate();
    void showAvMode();
    void placeServicePanels(int top);
    QLabel* addLabel(const char* name, const QString& text);
    void showPendingImage();
    int refreshIntervalMs() const;

    QLabel* imageLabel = nullptr;
    QPushButton* okButton = nullptr;
    QLabel* gainCaption = nullptr;
    QSlider* gainSlider = nullptr;
    QLCDNumber* gainNumber = nullptr;
    QFrame* gainFrame = nullptr;
    QCheckBox* touchCheck = nullptr;
    QFrame* lineTopMin = nullptr;
    QFrame* lineTopMax = nullptr;
    QFrame* lineLeftMin = nullptr;
    QFrame* lineRightMin = nullptr;
    QLabel* modeLabel = nullptr;
    QListWidget* listWidget = nullptr;
    QList<QWidget*> registerPanel;
    QList<QWidget*> imagePositionPanel;
    QList<QWidget*> optionPanel;

    int screenWidth = 0;
    int screenHeight = 0;
    bool shown = false;
    int savedPosition = 5;
    int avModeCounter = 0;
    double scale = 1.0;
    qint64 imagesShown = 0;
    qint64 framesReceived = 0;
    bool forwardingKey = false; // a key is on its way to the focused control
    bool settingGain = false;   // the slider is moved by setGain, which sends the gain itself
    QImage pendingImage;        // the newest frame not yet painted
    QTimer repaintTimer;
    QElapsedTimer lastRepaint;
};
