#pragma once

#include "platform/DisplayProvider.h"

// Displays as Qt's screen list reports them (the primary screen first).
class QtDisplayProvider : public DisplayProvider {
public:
    QVector<QRect> monitorRects() const override;
    double logicalDpiOf(const QRect& rect) const override;
    double primaryLogicalDpi() const override;
    QSize primaryAvailableSize() const override;
};
