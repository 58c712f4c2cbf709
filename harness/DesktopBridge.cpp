#include "harness/DesktopBridge.h"

#include "platform/DisplayProvider.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTouchEvent>
#include <QWidget>
#include <future>
#include <memory>

namespace {

// The topmost visible top-level window that covers the given rectangle's centre, preferring
// windows that stay on top (the calibration window and the alignment view).
QWidget* windowCovering(const QRect& display) {
    QWidget* best = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !w->geometry().contains(display.center()))
            continue;
        if (!best || (w->windowFlags() & Qt::WindowStaysOnTopHint))
            best = w;
    }
    return best;
}

QTouchDevice* sharedTouchDevice() {
    // Owned by the process: touch events keep a pointer to their device.
    static QTouchDevice* device = [] {
        auto* d = new QTouchDevice;
        d->setName(QStringLiteral("simulated module"));
        d->setType(QTouchDevice::TouchScreen);
        d->setCapabilities(QTouchDevice::Position);
        d->setMaximumTouchPoints(1);
        return d;
    }();
    return device;
}

QTouchEvent::TouchPoint touchPoint(QWidget* window, QPoint globalPosition, Qt::TouchPointState state) {
    const QPointF local = window->mapFromGlobal(globalPosition);
    QTouchEvent::TouchPoint point(0);
    point.setState(state);
    point.setPos(local);
    point.setStartPos(local);
    point.setScreenPos(globalPosition);
    point.setStartScreenPos(globalPosition);
    point.setPressure(state == Qt::TouchPointReleased ? 0.0 : 1.0);
    return point;
}

// A finger pressed and lifted at one place, delivered as the desktop delivers one: the window sees
// the touch first; a touch it leaves unhandled reaches the widget under the finger as a click.
void pressAndRelease(QWidget* window, QPoint globalPosition, QTouchDevice* device) {
    QTouchEvent begin(QEvent::TouchBegin, device, Qt::NoModifier, Qt::TouchPointPressed,
                      {touchPoint(window, globalPosition, Qt::TouchPointPressed)});
    begin.setWindow(window->windowHandle());
    begin.setTarget(window);
    begin.ignore();
    QApplication::sendEvent(window, &begin);
    const bool handled = begin.isAccepted();
    QTouchEvent end(QEvent::TouchEnd, device, Qt::NoModifier, Qt::TouchPointReleased,
                    {touchPoint(window, globalPosition, Qt::TouchPointReleased)});
    end.setWindow(window->windowHandle());
    end.setTarget(window);
    if (handled) {
        QApplication::sendEvent(window, &end);
        return;
    }
    QWidget* under = window->childAt(window->mapFromGlobal(globalPosition));
    QPointer<QWidget> receiver = under ? under : window;
    const QPointF local = receiver->mapFromGlobal(globalPosition);
    const QPointF inWindow = window->mapFromGlobal(globalPosition);
    QMouseEvent press(QEvent::MouseButtonPress, local, inWindow, globalPosition, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier, Qt::MouseEventSynthesizedByApplication);
    QApplication::sendEvent(receiver, &press);
    // The press may close the window it landed in.
    if (!receiver)
        return;
    QMouseEvent release(QEvent::MouseButtonRelease, local, inWindow, globalPosition, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier, Qt::MouseEventSynthesizedByApplication);
    QApplication::sendEvent(receiver, &release);
}

} // namespace

DesktopBridge::DesktopBridge(QObject* parent)
    : QObject(parent)
    , touchDevice(sharedTouchDevice()) {}

DesktopBridge::~DesktopBridge() = default;

QImage DesktopBridge::grabCoveredDisplay(int timeoutMs) {
    if (QThread::currentThread() == thread())
        return grabOnGuiThread();
    auto result = std::make_shared<std::promise<QImage>>();
    std::future<QImage> future = result->get_future();
    QMetaObject::invokeMethod(
        this, [this, result] { result->set_value(grabOnGuiThread()); }, Qt::QueuedConnection);
    if (future.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready)
        return QImage();
    return future.get();
}

void DesktopBridge::injectTouch(QPoint globalPosition) {
    QMetaObject::invokeMethod(
        this, [this, globalPosition] { touchOnGuiThread(globalPosition); }, Qt::QueuedConnection);
}

void DesktopBridge::injectOutputTouch(double outputX, double outputY) {
    QMetaObject::invokeMethod(
        this,
        [this, outputX, outputY] {
            const QRect display = Platform::displays().coveredDisplay();
            const QPoint global(display.left() + qRound(outputX / 4800.0 * display.width()),
                                display.top() + qRound(outputY / 3000.0 * display.height()));
            touchOnGuiThread(global);
        },
        Qt::QueuedConnection);
}

QImage DesktopBridge::grabOnGuiThread() const {
    QElapsedTimer took;
    took.start();
    QImage image = renderCoveredDisplay();
    grabTime += took.nsecsElapsed();
    return image;
}

QImage DesktopBridge::renderCoveredDisplay() const {
    const QRect display = Platform::displays().coveredDisplay();
    if (display.isEmpty())
        return QImage();
    QImage screen(display.size(), QImage::Format_RGB32);
    screen.fill(Qt::black);
    // Render the window that covers the display; a real screen grab would also work under X, but
    // rendering the widget works on every platform plugin, offscreen included.
    if (QWidget* window = windowCovering(display)) {
        QPainter painter(&screen);
        painter.drawPixmap(window->geometry().topLeft() - display.topLeft(), window->grab());
    }
    return screen.convertToFormat(QImage::Format_Grayscale8);
}

void DesktopBridge::touchOnGuiThread(QPoint globalPosition) {
    QWidget* target = QApplication::widgetAt(globalPosition);
    if (target)
        target = target->window();
    if (!target) {
        const QRect display = Platform::displays().coveredDisplay();
        target = windowCovering(QRect(globalPosition, QSize(1, 1)));
        if (!target && display.contains(globalPosition))
            target = windowCovering(display);
    }
    if (!target)
        return;
    pressAndRelease(target, globalPosition, touchDevice);
}
