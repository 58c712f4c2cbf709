#include "ScreenGrabber.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>

ScreenGrabber::ScreenGrabber(QObject* parent)
    : QObject(parent) {}

QImage ScreenGrabber::grab(int timeoutMs) {
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

QSize ScreenGrabber::screenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize();
}

QImage ScreenGrabber::grabOnGuiThread() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QImage();
    // Window 0 is the root window: everything any client shows on the screen.
    const QPixmap shot = screen->grabWindow(0);
    if (shot.isNull())
        return QImage();
    return shot.toImage().convertToFormat(QImage::Format_Grayscale8);
}
