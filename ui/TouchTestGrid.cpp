#include "ui/TouchTestGrid.h"

#include <QLineF>
#include <algorithm>

namespace {
constexpr double crossShares[] = {0.1, 0.5, 0.9};
} // namespace

TouchTestGrid::TouchTestGrid(const QSizeF& area) {
    for (double rowShare : crossShares) {
        for (double columnShare : crossShares)
            crosses.append(QPointF(area.width() * columnShare, area.height() * rowShare));
    }
    offsets.resize(crosses.size());
    const double spacing = std::min(area.width(), area.height()) * (crossShares[1] - crossShares[0]);
    reachPixels = std::max(0.0, spacing / 4.0);
}

int TouchTestGrid::record(const QPointF& touch) {
    if (reachPixels <= 0.0)
        return -1; // no area, no crosses to reach
    int nearest = -1;
    double nearestDistance = reachPixels;
    for (int i = 0; i < crosses.size(); ++i) {
        const double distance = QLineF(crosses[i], touch).length();
        if (distance <= nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    if (nearest < 0)
        return -1;
    offsets[nearest] = touch - crosses[nearest];
    ++measured;
    return nearest;
}

std::optional<QPointF> TouchTestGrid::offset(int index) const {
    return offsets.value(index);
}

int TouchTestGrid::touchedCount() const {
    return static_cast<int>(std::count_if(offsets.begin(), offsets.end(),
                                          [](const std::optional<QPointF>& o) { return o.has_value(); }));
}

double TouchTestGrid::largestOffset() const {
    double largest = 0.0;
    for (const std::optional<QPointF>& o : offsets) {
        if (o)
            largest = std::max(largest, QLineF(QPointF(), *o).length());
    }
    return largest;
}
