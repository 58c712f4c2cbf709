#include "ui/SettingsFormArrangement.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace {
const QSize tallSize(560, 710);
const QSize wideSize(940, 448);
// Room left for the window manager's title bar and borders around the fixed-size form.
constexpr int frameAllowanceWidth = 16;
constexpr int frameAllowanceHeight = 48;
// Room kept below the tall form on a small screen for a status strip of about four lines.
constexpr int statusStripReserve = 80;

struct Placement {
    const char* name;
    QRect rect;
};

// Left column: banner, mode, mounting, model, language; right column: alignment and calibration;
// the status line, Close and the versions along the bottom.
const Placement wideArrangement[] = {
    {"label", {0, 0, 440, 64}},
    {"groupMode", {10, 72, 420, 91}},
    {"groupBasic", {10, 171, 420, 61}},
    {"checkCeiling", {12, 30, 214, 16}},
    {"checkRear", {230, 30, 184, 16}},
    {"groupLens", {10, 240, 420, 61}},
    {"labelSel_2", {20, 30, 111, 16}},
    {"comboLens", {140, 27, 270, 22}},
    {"groupLanguage", {10, 309, 420, 91}},
    {"labelUse", {10, 30, 200, 16}},
    {"labelUseL", {215, 30, 195, 16}},
    {"labelSel_1", {10, 60, 200, 16}},
    {"comboLanguage", {215, 57, 195, 22}},
    {"groupAdjust", {448, 8, 482, 131}},
    {"textEditInfo1", {30, 25, 432, 65}},
    {"pushView", {141, 92, 200, 30}},
    {"groupCalib", {448, 147, 482, 253}},
    {"labelInfo3", {30, 25, 442, 20}},
    {"textEditInfo3", {30, 50, 432, 157}},
    {"pushAutoCalib", {10, 212, 110, 30}},
    {"checkSemiAutoCalib", {124, 212, 128, 30}},
    {"pushManualCalib", {256, 212, 106, 30}},
    {"pushTouchTest", {366, 212, 104, 30}},
    {"pushClearEEPROM", {10, 408, 101, 31}},
    {"pushTCDebug", {180, 408, 31, 31}},
    {"pushClose", {468, 408, 120, 30}},
    {"labelFWVersion", {604, 405, 326, 16}},
    {"labelSWVersion", {604, 425, 326, 16}},
};

// In the tall form the model list spans the room its box has: lens names run long in some
// languages.
const Placement tallArrangement[] = {
    {"comboLens", {140, 27, 370, 22}},
};
} // namespace

double SettingsFormArrangement::fittedScale(double dpiScale, const QSize& available, const QSize& design,
                                            int reserve) {
    if (!available.isValid() || available.isEmpty())
        return dpiScale;
    const double fitWidth = (available.width() - frameAllowanceWidth) / static_cast<double>(design.width());
    const double fitHeight =
        (available.height() - frameAllowanceHeight) / static_cast<double>(design.height() + reserve);
    return qMax(0.1, qMin(dpiScale, qMin(fitWidth, fitHeight)));
}

SettingsFormArrangement SettingsFormArrangement::chosen(double dpiScale, const QSize& available) {
    SettingsFormArrangement result;
    result.formScale = fittedScale(dpiScale, available, tallSize, statusStripReserve);
    if (result.formScale >= dpiScale)
        return result;
    // The wide form lays a long status message across its bottom without growing much.
    const double wideScale = fittedScale(dpiScale, available, wideSize, 0);
    if (wideScale > result.formScale) {
        result.compact = true;
        result.formScale = wideScale;
    }
    return result;
}

QSize SettingsFormArrangement::designSize() const {
    return compact ? wideSize : tallSize;
}

QRect SettingsFormArrangement::statusRoom() const {
    // Ends short of Close so that a long line never touches it.
    return compact ? QRect(10, 408, 430, 31) : QRect(20, 670, 186, 31);
}

int SettingsFormArrangement::statusStripTop() const {
    return compact ? 446 : 708;
}

void SettingsFormArrangement::arrange(QWidget* dialog) const {
    auto place = [dialog](const Placement& p) {
        if (QWidget* widget = dialog->findChild<QWidget*>(QString::fromLatin1(p.name)))
            widget->setGeometry(p.rect);
    };
    if (compact) {
        for (const Placement& p : wideArrangement)
            place(p);
    } else {
        for (const Placement& p : tallArrangement)
            place(p);
    }
    dialog->setFixedSize(designSize());
}

void SettingsFormArrangement::fitRowHeights(QWidget* dialog) {
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(widget);
        const bool oneLineLabel = label && !label->wordWrap() && !label->text().isEmpty();
        if (!qobject_cast<QCheckBox*>(widget) && !qobject_cast<QRadioButton*>(widget) && !oneLineLabel)
            continue;
        const int needed = widget->minimumSizeHint().height();
        const QRect g = widget->geometry();
        if (needed <= g.height())
            continue;
        widget->setGeometry(g.x(), g.center().y() - needed / 2, g.width(), needed);
    }
}

QList<QWidget*> SettingsFormArrangement::formWidgets(QWidget* dialog) {
    QList<QWidget*> result;
    for (QWidget* child : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        result.append(child);
        if (qobject_cast<QGroupBox*>(child))
            result.append(child->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
    }
    return result;
}
