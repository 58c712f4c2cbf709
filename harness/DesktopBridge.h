#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>

class QTouchDevice;

// What the simulated module needs from the desktop it is plugged into: a picture of what the
// covered display shows right now (its camera looks at the projection) and a way to deliver a
// touch (its touch output). Lives in the GUI thread; both operations may be called from any thread
// and are carried out on the GUI thread.
class DesktopBridge : public QObject {
    Q_OBJECT
public:
    explicit DesktopBridge(QObject* parent = nullptr);
    ~DesktopBridge() override;

    // The covered display's content as an 8-bit grey image of the display's size; a null image
    // when the GUI thread does not answer within timeoutMs.
    QImage grabCoveredDisplay(int timeoutMs = 2000);
    // A touch pressed and released at a global screen position, delivered to the window there.
    // Returns at once; the touch arrives through the GUI thread's event loop.
    void injectTouch(QPoint globalPosition);
    // A touch reported by the module in its 4800 x 3000 output space, which the desktop spreads
    // over the covered display.
    void injectOutputTouch(double outputX, double outputY);
    // How long the GUI thread has spent taking the camera's pictures so far: the simulated
    // camera's work, which a real one does on its own hardware. GUI thread only.
    qint64 grabNanoseconds() const { return grabTime; }

private:
    QImage grabOnGuiThread() const;
    QImage renderCoveredDisplay() const;
    void touchOnGuiThread(QPoint globalPosition);

    QTouchDevice* touchDevice; // registered with Qt for the life of the process
    mutable qint64 grabTime = 0;
};
