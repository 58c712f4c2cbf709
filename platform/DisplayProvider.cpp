#include "platform/DisplayProvider.h"

QRect DisplayProvider::coveredDisplay() const {
    const QVector<QRect> rects = monitorRects();
    QRect best;
    bool found = false;
    for (const QRect& r : rects) {
        if (!found || r.left() < best.left()) {
            best = r;
            found = true;
        }
    }
    return best;
}
