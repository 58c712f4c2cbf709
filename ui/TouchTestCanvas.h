#pragma once

#include "ui/TouchTestGrid.h"

#include <QHash>
#include <QPolygonF>
#include <QRect>
#include <QVector>
#include <QWidget>

class LanguageTexts;
class QTouchEvent;

// The touch test: a frameless window over the calibrated display (the one the calibration window
// covers) with a grid of crosses. The pen draws on it; each touch near a cross shows its offset
// in display pixels beside it, and a summary says how many crosses were touched and the largest
// offset. Touches are measured from touch events, and from the mouse events the system makes of
// touches while no touch event arrived; the mouse itself only draws. Escape closes it.
class TouchTestCanvas : public QWidget {
    Q_OBJECT
public:
    // texts: borrowed from the hub (for the layout direction); may be null (left to right).
    explicit TouchTestCanvas(const LanguageTexts* texts, QWidget* parent = nullptr);
    ~TouchTestCanvas() override;

    // Covers the calibrated display with an empty drawing and untouched crosses, and shows; false
    // (nothing shown) when there is no display.
    bool open();

    const TouchTestGrid& grid() const { return crosses; }
    QString summaryText() const;
    // Read by the tests: where the instructions and the summary are drawn, in window coordinates.
    QRect instructionsArea() const;
    QRect summaryArea() const;
    int strokeCount() const { return strokes.size(); }

signals:
    // The window stopped showing (Escape, closed, or hidden by its owner).
    void sigClosed();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void handleTouch(QTouchEvent* touch);
    bool mouseLeftToTouch(const QMouseEvent* event) const;
    void penDown(int id, const QPointF& at, bool measure);
    void penMoved(int id, const QPointF& at);
    void penUp(int id, const QPointF& at);
    void trimStrokes();
    void restart();
    int armLength() const;
    int offsetPixels(const QPointF& offset) const;
    QRect bandBetweenRows(int upperRow) const;
    void paintCrosses(QPainter& painter) const;
    void paintText(QPainter& painter, const QRect& area, const QString& text, int pixelSize) const;

    const LanguageTexts* texts; // borrowed
    TouchTestGrid crosses;
    QSize gridArea;
    QVector<QPolygonF> strokes;
    QHash<int, int> activeStrokes; // touch point id (or the mouse's) -> index into strokes
    int strokePoints = 0;
    // Once the screen sends touch events, the mouse events made of them are not counted again.
    bool touchEventsSeen = false;
    double scale = 1.0;
};
