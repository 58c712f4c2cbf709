#pragma once

#include <QFont>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

// Where the instruction picture of the touch phases puts its parts on a display of the given
// (logical) size: the title band, the instruction text, the counter ("3 / 16" and the Escape
// hint), the hint after a refused or too short touch, and the pen picture. The text, counter,
// hint and pen picture form one block that never lies under the current target: the pen must reach
// the target, and the person must read what the block says while touching it.
class InstructionLayout {
public:
    struct Texts {
        QString instructions;
        QString counter;
        QString hint;
    };

    // The pen drawing of the instruction picture, in the picture's 1280 x 800 pixels; the window
    // paints it where this layout says instead of where the picture has it.
    static QRect penArtInPicture() { return QRect(560, 550, 180, 180); }
    // The title word of the instruction picture, in the picture's pixels; painted over.
    static QRect titleInPicture() { return QRect(0, 70, 1280, 190); }
    // The current target's pen picture and ring: 113 x 113 around the target.
    static QRect targetRect(const QPointF& target);

    // hasTarget false: all targets are done (nothing needs to be avoided).
    InstructionLayout(const QSize& screen, const QFont& font, const Texts& texts, bool hasTarget,
                      const QPointF& currentTarget);

    QRect titleBand() const { return title; }
    QRect textBlock() const { return text; }
    QRect counter() const { return count; }
    QRect hint() const { return hintBox; }
    QRect penPicture() const { return penBox; }
    QRect target() const { return targetBox; }
    // The block of text, counter, hint and pen picture.
    QRect block() const { return text | count | hintBox | penBox; }

private:
    void place(const QPoint& topLeft);

    QRect title;
    QRect text;
    QRect count;
    QRect hintBox;
    QRect penBox;
    QRect targetBox;
    QSize textSize;
    QSize countSize;
    QSize hintSize;
    int penSide = 0;
    int blockWidth = 0;
};
