#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// Where the settings window's groups stand. The designed arrangement is one tall column; on a
// screen too short for it at the chosen scale (a 1920 x 1080 display at 150 or 200 %), the groups
// stand in two columns at the same scale instead of shrinking the form below its texts and check
// box outlines. Rectangles are at 96 DPI; the window scales them afterwards.
class SettingsFormArrangement {
public:
    // The arrangement and scale for a screen's free area at a DPI scale.
    static SettingsFormArrangement chosen(double dpiScale, const QSize& available);

    bool isCompact() const { return compact; }
    double scale() const { return formScale; }
    QSize designSize() const;
    // The status line's own room below the calibration box, and the top of the strip that takes
    // its place for a longer message.
    QRect statusRoom() const;
    int statusStripTop() const;

    // Moves the form's widgets (at 96 DPI, before scaling) to this arrangement.
    void arrange(QWidget* dialog) const;
    // Check boxes, radio buttons and one-line labels at least as tall as their outline and text
    // need, about the middle of their designed row (the style's indicator does not scale with the
    // form, and some scripts' fonts stand taller).
    static void fitRowHeights(QWidget* dialog);
    // Direct children, and the children of each direct child group box: the widgets the settings
    // window scales and gives its font.
    static QList<QWidget*> formWidgets(QWidget* dialog);

private:
    static double fittedScale(double dpiScale, const QSize& available, const QSize& design, int reserve);

    bool compact = false;
    double formScale = 1.0;
};
