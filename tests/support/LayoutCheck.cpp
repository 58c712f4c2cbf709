#include "tests/support/LayoutCheck.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace {

QString describe(const QWidget* w) {
    return QStringLiteral("%1 (%2) at %3,%4 %5x%6")
        .arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()))
        .arg(w->x())
        .arg(w->y())
        .arg(w->width())
        .arg(w->height());
}

// The size below which the widget's contents no longer show whole; an invalid size when the
// widget does not say.
QSize neededSize(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->wordWrap() || label->text().isEmpty())
            return {};
        return label->minimumSizeHint();
    }
    if (qobject_cast<const QAbstractButton*>(w))
        return w->minimumSizeHint();
    if (auto* group = qobject_cast<const QGroupBox*>(w)) {
        if (group->title().isEmpty())
            return {};
        return QSize(group->fontMetrics().horizontalAdvance(group->title()) + 16, 0);
    }
    return {};
}

} // namespace

void LayoutCheck::allowOverlap(const QString& first, const QString& second) {
    allowedOverlaps.append({first, second});
}

void LayoutCheck::allowCut(const QString& name) {
    allowedCuts.append(name);
}

bool LayoutCheck::overlapAllowed(const QString& first, const QString& second) const {
    return allowedOverlaps.contains({first, second}) || allowedOverlaps.contains({second, first});
}

bool LayoutCheck::checked(const QWidget* widget, const QWidget* window) {
    return !widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")) &&
           widget->isVisibleTo(window) && !widget->isWindow();
}

QStringList LayoutCheck::problems(const QWidget* window, const QRect& screen) const {
    QStringList found;
    const QRect frame(window->mapToGlobal(QPoint(0, 0)), window->size());
    if (!screen.contains(frame))
        found << QStringLiteral("window %1 is not inside the screen %2,%3 %4x%5")
                     .arg(describe(window))
                     .arg(screen.x())
                     .arg(screen.y())
                     .arg(screen.width())
                     .arg(screen.height());
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (const QWidget* w : all) {
        if (!checked(w, window))
            continue;
        const QWidget* parent = w->parentWidget();
        if (!parent->rect().contains(w->geometry()))
            found << QStringLiteral("%1 reaches beyond its parent %2").arg(describe(w), describe(parent));
        const QSize needed = neededSize(w);
        if (needed.isValid() && !allowedCuts.contains(w->objectName()) &&
            (needed.width() > w->width() || needed.height() > w->height()))
            found << QStringLiteral("%1 is cut: it needs %2x%3")
                         .arg(describe(w))
                         .arg(needed.width())
                         .arg(needed.height());
        for (const QWidget* other : all) {
            // Each pair once, siblings only: a child lies on its parent by design.
            if (other <= w || other->parentWidget() != parent || !checked(other, window))
                continue;
            if (w->geometry().intersects(other->geometry()) &&
                !overlapAllowed(w->objectName(), other->objectName()))
                found << QStringLiteral("%1 overlaps %2").arg(describe(w), describe(other));
        }
    }
    return found;
}
