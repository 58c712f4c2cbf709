#include "calibration/InstructionLayout.h"

#include "calibration/PatternGeometry.h"

#include <QFontMetrics>
#include <vector>

namespace {

constexpr int gap = 8;      // between the parts of the block, and around the target
constexpr int penHalf = 56; // the pen picture of the current target is 113 x 113
constexpr int targetSize = 113;

QSize wrapped(const QFontMetrics& metrics, int width, const QString& text) {
    if (text.isEmpty())
        return QSize(width, 0);
    const QRect r =
        metrics.boundingRect(QRect(0, 0, width, 100000), Qt::AlignHCenter | Qt::TextWordWrap, text);
    return QSize(width, r.height());
}

} // namespace

QRect InstructionLayout::targetRect(const QPointF& t) {
    return QRect(PatternGeometry::nearest(t.x() - penHalf), PatternGeometry::nearest(t.y() - penHalf),
                 targetSize, targetSize);
}

InstructionLayout::InstructionLayout(const QSize& screen, const QFont& font, const Texts& texts,
                                     bool hasTarget, const QPointF& currentTarget) {
    const int w = screen.width();
    const int h = screen.height();
    // The translated title replaces the picture's word (70 to 260 of its 800 rows down) in a band
    // that leaves the text block more of the screen's height.
    title = QRect(0, h * 60 / 800, w, h * 120 / 800);
    targetBox = hasTarget ? targetRect(currentTarget) : QRect();

    // Two blocks a quarter of the screen in from either edge leave a gap wider than a target
    // between them, so one of them is always clear of the current target.
    blockWidth = qMax(1, w / 2 - targetSize - 2 * gap);
    const QFontMetrics metrics(font);
    textSize = wrapped(metrics, blockWidth, texts.instructions);
    countSize = wrapped(metrics, blockWidth, texts.counter);
    hintSize = wrapped(metrics, blockWidth, texts.hint);
    const int top = title.bottom() + 1 + gap;
    const int room = h - gap - top;
    const int textHeight = textSize.height() + gap + countSize.height() + gap + hintSize.height();
    // The pen drawing keeps its size on the picture scaled to the screen, or what room is left.
    const int drawn = qMin(w * penArtInPicture().width() / 1280, h * penArtInPicture().height() / 800);
    penSide = qMax(0, qMin(drawn, room - textHeight - gap));
    const int blockHeight = textHeight + gap + penSide;

    const int middle = top + qMax(0, room - blockHeight) / 2;
    const int lowest = qMax(top, h - gap - blockHeight);
    const std::vector<QPoint> candidates = {
        {(w - blockWidth) / 2, middle},       {(w - blockWidth) / 2, top},
        {(w - blockWidth) / 2, lowest},       {w / 4 - blockWidth / 2, middle},
        {3 * w / 4 - blockWidth / 2, middle},
    };
    const QRect avoid = targetBox.adjusted(-gap, -gap, gap, gap);
    place(candidates.front());
    for (const QPoint& c : candidates) {
        place(c);
        if (!hasTarget || !block().intersects(avoid))
            return;
    }
}

void InstructionLayout::place(const QPoint& topLeft) {
    text = QRect(topLeft, textSize);
    count = QRect(QPoint(topLeft.x(), text.bottom() + 1 + gap), countSize);
    hintBox = QRect(QPoint(topLeft.x(), count.bottom() + 1 + gap), hintSize);
    penBox = QRect(topLeft.x() + (blockWidth - penSide) / 2, hintBox.bottom() + 1 + gap, penSide, penSide);
}
