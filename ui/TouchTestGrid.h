#pragma once

#include <QPointF>
#include <QSizeF>
#include <QVector>
#include <optional>

// The crosses of the touch test and what the touches near them measured: 3 x 3 crosses at 10, 50
// and 90 % of the area. A touch counts for the nearest cross within reach (a quarter of the
// spacing between crosses, so that no touch is ambiguous); a later touch there replaces the
// earlier offset, so the user can try a cross again.
class TouchTestGrid {
public:
    static constexpr int columns = 3;
    static constexpr int rows = 3;

    explicit TouchTestGrid(const QSizeF& area = QSizeF());

    int crossCount() const { return crosses.size(); }
    QPointF cross(int index) const { return crosses.value(index); }
    double reach() const { return reachPixels; }

    // The index of the cross the touch counted for; -1 when none is within reach.
    int record(const QPointF& touch);
    // Touch minus cross; empty while the cross has not been touched.
    std::optional<QPointF> offset(int index) const;
    int touchedCount() const;
    // The largest distance between a touched cross and its touch; 0 before any.
    double largestOffset() const;
    // Touches that counted for a cross, repeats included.
    int measuredTouches() const { return measured; }

private:
    QVector<QPointF> crosses;
    QVector<std::optional<QPointF>> offsets;
    double reachPixels = 0.0;
    int measured = 0;
};
