#pragma once

#include <QRect>
#include <QtGlobal>

// The scale this run of the program was started with (CTest runs it at 1, 1.25, 1.5 and 2).
inline double scalingFactor() {
    bool ok = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok && factor > 0 ? factor : 1.0;
}

// A 1920 x 1080 display as the program sees it at that scale, in its logical pixels.
inline QRect logicalScreen() {
    return QRect(0, 0, qRound(1920 / scalingFactor()), qRound(1080 / scalingFactor()));
}
