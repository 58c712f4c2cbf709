#include "ui/GroupMirror.h"

#include <QGroupBox>

void GroupMirror::setDirection(QGroupBox* group, Qt::LayoutDirection direction) {
    if (group->layoutDirection() == direction)
        return;
    for (QWidget* child : group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect g = child->geometry();
        child->move(group->width() - g.x() - g.width(), g.y());
    }
    group->setLayoutDirection(direction);
}

QPoint GroupMirror::placed(const QWidget* widget, const QPoint& leftToRight) {
    const QWidget* group = widget->parentWidget();
    if (!group || group->layoutDirection() != Qt::RightToLeft)
        return leftToRight;
    return QPoint(group->width() - leftToRight.x() - widget->width(), leftToRight.y());
}
