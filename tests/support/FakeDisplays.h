#pragma once

#include "platform/DisplayProvider.h"
#include "platform/Platform.h"

#include <QRect>
#include <QVector>
#include <memory>

// A display list the test chooses, with one logical DPI for every display.
class FakeDisplays : public DisplayProvider {
public:
    FakeDisplays(QVector<QRect> rects, double dpi)
        : monitors(std::move(rects))
        , dots(dpi) {}

    QVector<QRect> monitorRects() const override { return monitors; }
    double logicalDpiOf(const QRect& rect) const override { return monitors.contains(rect) ? dots : 96.0; }
    double primaryLogicalDpi() const override { return dots; }
    QSize primaryAvailableSize() const override { return monitors.value(0).size(); }

    // Installs a list for the life of the returned guard.
    struct Guard {
        ~Guard() { Platform::setDisplayProvider(nullptr); }
    };
    static std::unique_ptr<Guard> install(QVector<QRect> rects, double dpi = 96.0) {
        Platform::setDisplayProvider(std::make_unique<FakeDisplays>(std::move(rects), dpi));
        return std::make_unique<Guard>();
    }

private:
    QVector<QRect> monitors;
    double dots;
};
