#pragma once

#include <QImage>
#include <QObject>

// Photographs the X display this process is connected to (the root window of the primary screen),
// where another process on the same display draws its windows. Lives in the GUI thread; grab() may
// be called from any thread and is carried out there.
class ScreenGrabber : public QObject {
    Q_OBJECT
public:
    explicit ScreenGrabber(QObject* parent = nullptr);

    // The screen as an 8-bit grey image; a null image when the GUI thread does not answer within
    // timeoutMs (for instance while the program shuts down).
    QImage grab(int timeoutMs = 2000);
    // The screen's size in pixels (empty without a screen).
    QSize screenSize() const;

private:
    QImage grabOnGuiThread() const;
};
