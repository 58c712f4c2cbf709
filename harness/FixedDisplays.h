#pragma once

#include "platform/DisplayProvider.h"

// A display list of one's own choosing, with one logical DPI for all of them (simulated desks).
class FixedDisplays : public DisplayProvider {
public:
    explicit FixedDisplays(QVector<QRect> rects, double dpi = 96.0)
        : monitors(std::move(rects))
        , dots(dpi) {}

    QVector<QRect> monitorRects() const override { return monitors; }
    double logicalDpiOf(const QRect& rect) const override { return monitors.contains(rect) ? dots : 96.0; }
    double primaryLogicalDpi() const override { return dots; }

private:
    QVector<QRect> monitors;
    double dots;
};
