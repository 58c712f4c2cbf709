#include "calibration/PatternPainter.h"

#include "analysis/DrawnPattern.h"

#include <QPainter>

namespace {

void paintMarker(QPainter& painter, int x, int y, int cell, int id, bool mirrored) {
    const PatternGeometry::MarkerCells inner = PatternGeometry::markerCells(id);
    const int left = DrawnPattern::markerStart(x, cell);
    const int top = DrawnPattern::markerStart(y, cell);
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 6; ++column) {
            const int source = mirrored ? 5 - column : column;
            const bool border = row == 0 || row == 5 || source == 0 || source == 5;
            const bool black = border || inner[row - 1][source - 1];
            if (black)
                painter.fillRect(left + column * cell, top + row * cell, cell, cell, Qt::black);
        }
    }
}

} // namespace

void PatternPainter::paint(QPainter& painter, int width, int height,
                           const PatternGeometry::AutomaticTargets& targets, int ceiling, int rear) {
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.fillRect(0, 0, width, height, Qt::white);
    const int radius = PatternGeometry::discRadius(width, height);
    const int cell = PatternGeometry::markerCellSize(radius);
    for (int row = 0; row < 4; ++row) {
        for (int position = 0; position < 5; ++position) {
            const QPointF& target = targets[static_cast<size_t>(5 * row + position)];
            const int x = PatternGeometry::nearest(target.x());
            const int y = PatternGeometry::nearest(target.y());
            const int slot = PatternGeometry::slotNumber(row, position, ceiling, rear);
            if (PatternGeometry::isMarkerSlot(slot)) {
                paintMarker(painter, x, y, cell, slot, rear == 1);
            } else {
                painter.setPen(QPen(Qt::black, 1));
                painter.setBrush(Qt::black);
                painter.drawEllipse(QPoint(x, y), radius, radius);
                painter.setPen(Qt::NoPen);
            }
        }
    }
    painter.restore();
}

QImage PatternPainter::render(int width, int height, int ceiling, int rear) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    paint(painter, width, height, PatternGeometry::automaticTargets(width, height), ceiling, rear);
    painter.end();
    return image.convertToFormat(QImage::Format_Grayscale8);
}
