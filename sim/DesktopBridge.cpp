#include "sim/DesktopBridge.h"

#include "platform/DisplayProvider.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <QtTest/QTest>
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
    static QTouchDevice* device = QTest::createTouchDevice(QTouchDevice::TouchScreen);
    return device;
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
    const QPoint local = target->mapFromGlobal(globalPosition);
    QTest::touchEvent(target, touchDevice).press(0, local, target);
    QTest::touchEvent(target, touchDevice).release(0, local, target);
}
