#pragma once

#include <QRect>
#include <QSize>
#include <QVector>

// The display functions of the desktop: which monitors exist, in the order the system
// enumerates them, and their logical DPI. The calibration window and the alignment view cover
// the display with the smallest left edge.
class DisplayProvider {
public:
    virtual ~DisplayProvider() = default;

    // Monitor rectangles in enumeration order (right and bottom edges inclusive, as QRect keeps them).
    virtual QVector<QRect> monitorRects() const = 0;
    // Logical DPI of the screen whose geometry equals rect; 96 when no screen matches.
    virtual double logicalDpiOf(const QRect& rect) const = 0;
    // Logical DPI of the primary screen; 96 when there is none.
    virtual double primaryLogicalDpi() const = 0;
    // The part of the primary screen that windows may use (without panels and task bars), in the
    // same pixels as the window geometry; empty when unknown.
    virtual QSize primaryAvailableSize() const { return QSize(); }

    // The display with the smallest left edge; the first enumerated among equals. Empty rect when
    // there is no display at all.
    QRect coveredDisplay() const;
};
