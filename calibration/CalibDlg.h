#pragma once

#include "calibration/InstallationSettings.h"
#include "calibration/InstructionLayout.h"

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QSize>
#include <array>
#include <atomic>
#include <memory>

class LanguageTexts;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTimer;

// The frameless full-screen window of a calibration: black, white, the target pattern, or the
// instruction picture with the pen picture and progress ring of the touch phases. It draws what
// the running flow tells it (which target is current) and reports each requested paint.
class CalibDlg : public QDialog {
    Q_OBJECT
public:
    enum PaintMode { Black = 0, White = 1, Instruction = 2, Pattern = 3, KeepMode = 4, Analysing = 5 };
    enum class TargetSet { Automatic, Manual, SemiAutomatic };
    static constexpr int maxTargets = 25;
    using TargetList = std::array<QPointF, maxTargets>;

    explicit CalibDlg(LanguageTexts* texts, QWidget* parent = nullptr);
    ~CalibDlg() override;

    // The installation the pattern is drawn for (slots renumbered, markers mirrored); borrowed
    // from the controller, which outlives the window. Without one the pattern is drawn unmounted.
    void useInstallation(const InstallationSettings* settings);

    // Covers the display with the smallest left edge and chooses what to paint.
    void PrepareDisplay(int mode);
    // Automatic: pen hidden, 20 targets row by row. Manual: pen shown, 16 targets column by column.
    // Semi-automatic: pen shown, the 20 automatic targets numbered column by column.
    void ComputeTargets(TargetSet set);
    // Shows the window; painted() follows its first paint (or about 31 ms, when no paint comes).
    void showAndPaint();
    // Mode 0..3 changes what is painted, KeepMode repaints; painted() follows as above.
    void repaintAs(int mode);
    bool paintRequested() const { return paintPending; }

    // The target the touch flow made current, drawn with the pen picture and counted as "n / m".
    int shownTarget() const { return currentTarget; }
    void showTarget(int index) { currentTarget = index; }
    int targetCount() const { return touchTargetCount; }
    void setTargetCount(int count) { touchTargetCount = count; }

    // The ratio check's capture flag, borrowed from the flow that owns it (the controller's,
    // which outlives the window): while set, the next touch release is reported as sigTouchEvent
    // and the flag cleared.
    void useTouchCapture(std::atomic<bool>* armed) { touchCapture = armed; }

    void ringOn();
    void ringOff();
    bool ringRunning() const { return ringActive; }
    // Glide the pen picture to the current target from the one before (forward) or after (back).
    void animateForward();
    void animateBack();

    QSize screenSize() const { return QSize(screenWidth, screenHeight); }
    const TargetList& targetList() const { return targets; }
    int paintMode() const { return mode; }
    double dpiScale() const { return scale; }
    // Where the pen picture sits for a target: 113 x 113 around its centre.
    static QRect penRect(const QPointF& target);
    QLabel* penLabel() const { return pen; }
    QPixmap penPicture() const { return penImage; }
    // What the window shows while the captured images are analysed, with the Escape hint.
    QString analysingText() const;
    // What the touch phases show under the instructions: "3 / 16" and the Escape hint.
    QString progressText() const;
    // The instructions: the title, how to touch, how to go back.
    QString instructionText() const;
    // A short hint under the counter until the next target is reached (a refused or too short
    // touch); an empty text removes it. Repaints.
    void showHint(const QString& text);
    void clearHint() { showHint(QString()); }
    QString hint() const { return hintText; }
    // Where the instruction picture's parts are painted for the current target.
    InstructionLayout instructionLayout() const;

signals:
    void sigCaliDlgWorkingDone(bool bDone);
    void sigMCNextStepPointer();
    void sigMCPrevStepPointer();
    void sigTouchEvent(int x, int y);
    // What showAndPaint or repaintAs asked for is on the screen; once a request, emitted from the
    // paint itself (receivers that act on the window queue it).
    void painted();

public slots:
    void OnTimer();
    void on_pushButton_clicked();
    void on_pushButtonLeft_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void requestPaint();
    void reportPainted();
    void paintInstruction(QPainter& painter);
    void paintTitle(QPainter& painter, const QRect& band);
    void paintAnalysing(QPainter& painter);
    void paintRings(const QColor& colour, int spanDegrees);
    void glide(int from, int to);

    LanguageTexts* texts;                               // borrowed from the settings hub
    const InstallationSettings* installation = nullptr; // borrowed
    QLabel* pen = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* leftButton = nullptr;
    std::unique_ptr<QPropertyAnimation> penAnimation;
    std::unique_ptr<QTimer> ringTimer;
    std::unique_ptr<QTimer> paintFallback;     // painted() even when no paint comes (hidden window)
    std::atomic<bool>* touchCapture = nullptr; // borrowed

    TargetList targets{};
    int currentTarget = 0;
    int touchTargetCount = 0;
    int mode = Black;
    int screenWidth = 0;
    int screenHeight = 0;
    bool paintPending = false;
    bool ringActive = false;
    int ringDegrees = 0;
    QImage instructionImage;
    QImage penArt; // the pen drawing of the instruction picture, unscaled
    QString hintText;
    QPixmap penImage;
    double scale = 1.0;
};
