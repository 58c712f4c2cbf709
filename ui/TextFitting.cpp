#include "ui/TextFitting.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTextBlockFormat>
#include <QTextCursor>
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

void TextFitting::setInfoText(QTextEdit* box, const QString& text, int lineHeight,
                              Qt::LayoutDirection direction) {
    box->clear();
    // A cursor of its own, so the box keeps showing its first line.
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::Start);
    QTextBlockFormat format = cursor.blockFormat();
    format.setLineHeight(lineHeight, QTextBlockFormat::FixedHeight);
    format.setAlignment(Qt::AlignJustify);
    // The paragraphs run in the language's direction whatever word they begin with.
    format.setLayoutDirection(direction);
    cursor.setBlockFormat(format);
    cursor.insertText(text);
}

void TextFitting::fitInfoText(QTextEdit* box, const QString& text, int lineHeight, const QFont& normal,
                              Qt::LayoutDirection direction) {
    setInfoText(box, text, lineHeight, direction);
    if (infoTextFits(box))
        return;
    for (int tighter = lineHeight - 1; tighter >= box->fontMetrics().lineSpacing(); --tighter) {
        setInfoText(box, text, tighter, direction);
        if (infoTextFits(box))
            return;
    }
    for (double share = 0.95; share >= smallestShare - 0.001; share -= 0.05) {
        box->setFont(shrunk(normal, share));
        setInfoText(box, text, box->fontMetrics().lineSpacing(), direction);
        if (infoTextFits(box))
            return;
    }
}
