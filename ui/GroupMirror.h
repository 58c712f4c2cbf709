#pragma once

#include <QPoint>
#include <Qt>

class QGroupBox;
class QWidget;

// A group box of the settings window in a right-to-left language holds its widgets mirrored:
// what stands at the left in English stands at the right, so the reading order (Auto, Tuning,
// Manual) keeps each control beside the one it belongs to. The window's frame does not mirror.
class GroupMirror {
public:
    // Gives the group the direction, mirroring its widgets' places when the direction changes.
    static void setDirection(QGroupBox* group, Qt::LayoutDirection direction);
    // Where a widget placed at the left-to-right position stands in its group's direction.
    static QPoint placed(const QWidget* widget, const QPoint& leftToRight);
};
