#include "platform/QtDisplayProvider.h"

#include <QGuiApplication>
#include <QScreen>

QVector<QRect> QtDisplayProvider::monitorRects() const {
    QVector<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens())
        rects.append(screen->geometry());
    return rects;
}

double QtDisplayProvider::logicalDpiOf(const QRect& rect) const {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry() == rect)
            return screen->logicalDotsPerInch();
    }
    return 96.0;
}

double QtDisplayProvider::primaryLogicalDpi() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

// In device-independent pixels: with Qt's own high-DPI scaling on, already divided by it.
QSize QtDisplayProvider::primaryAvailableSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize();
}
