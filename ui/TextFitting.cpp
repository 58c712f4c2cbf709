#include "ui/TextFitting.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTextDocument>
#include <QTextEdit>

QFont TextFitting::shrunk(const QFont& normal, double share) {
    QFont font = normal;
    font.setPixelSize(qMax(1, qRound(normal.pixelSize() * share)));
    return font;
}

bool TextFitting::infoTextFits(QTextEdit* box) {
    QTextDocument* document = box->document();
    document->setTextWidth(box->contentsRect().width());
    return document->size().height() <= box->contentsRect().height();
}

bool TextFitting::textCutOff(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text().isEmpty())
            return false;
        return label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width();
    }
    if (qobject_cast<QAbstractButton*>(widget))
        return widget->sizeHint().width() > widget->width();
    return false;
}

void TextFitting::shrinkCaption(QWidget* widget, const QFont& normal) {
    for (double share = 0.95; share >= smallestShare - 0.001 && textCutOff(widget); share -= 0.05)
        widget->setFont(shrunk(normal, share));
}
