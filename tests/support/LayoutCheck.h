#pragma once

#include <QPair>
#include <QRect>
#include <QStringList>

class QWidget;

// What a user would see as broken in a window's layout: a visible widget reaching beyond its
// parent, two visible siblings on top of each other, a widget smaller than its contents need (a cut
// text, a clipped check box outline), or the window beyond the screen.
// Only widgets with an object name are checked, so Qt's own inner widgets (a combo box's view, a
// scroll area's viewport) are left alone; name the widgets you create in code.
class LayoutCheck {
public:
    // Two object names that may overlap on purpose (a label drawn on a picture, say).
    void allowOverlap(const QString& first, const QString& second);
    // A widget whose contents may be smaller than it needs (a scroll area, an eliding label).
    void allowCut(const QString& name);

    // The problems of a shown window, each a sentence naming the widgets; empty when all is right.
    QStringList problems(const QWidget* window, const QRect& screen) const;

private:
    bool overlapAllowed(const QString& first, const QString& second) const;
    static bool checked(const QWidget* widget, const QWidget* window);

    QList<QPair<QString, QString>> allowedOverlaps;
    QStringList allowedCuts;
};
